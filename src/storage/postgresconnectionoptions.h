#ifndef METROVA_POSTGRESCONNECTIONOPTIONS_H
#define METROVA_POSTGRESCONNECTIONOPTIONS_H

#include <QByteArray>
#include <QString>

#include <vector>

class QSqlDatabase;
class TCatalogueLocation;

// libpq's keywords and values of a server's location (a URI or a key=value string), with the
// caller's password and a connect timeout added where the location gives none.
class TPostgresConnectionOptions
{
public:
  static constexpr int CONNECT_TIMEOUT_SECONDS = 10;

  // False with libpq's reason in *error when the location cannot be read.
  bool Parse(const TCatalogueLocation &location, QString *error);
  // Qt's driver takes the database, host, port, user and password by name and everything else
  // as its options.
  void Apply(QSqlDatabase *connection) const;
  // Whether the server asks for a password that the options do not give: libpq's own
  // connection, since Qt's driver keeps none after a failure.
  bool Server_Wants_Password() const;

private:
  // A value of libpq's connection string: quoted, with its quotes and backslashes escaped.
  static QString Quoted_Value(const QString &value);

  std::vector<QByteArray> d_keywords;
  std::vector<QByteArray> d_values;
};

#endif // METROVA_POSTGRESCONNECTIONOPTIONS_H
