#include "postgresconnectionoptions.h"

#include "cataloguelocation.h"

#include <QSqlDatabase>
#include <QStringList>

#include <libpq-fe.h>

bool TPostgresConnectionOptions::Parse(const TCatalogueLocation &location, QString *error)
{
  d_keywords.clear();
  d_values.clear();
  char *message = nullptr;
  PQconninfoOption *parsed = PQconninfoParse(location.Text().toUtf8().constData(), &message);
  if (!parsed)
  {
    *error = message ? QString::fromUtf8(message).trimmed()
                     : QStringLiteral("the server's address cannot be read");
    PQfreemem(message);
    return false;
  }
  bool timeout = false;
  for (const PQconninfoOption *option = parsed; option->keyword; ++option)
  {
    if (!option->val)
    {
      continue;
    }
    const QByteArray keyword(option->keyword);
    if (keyword == "password" && !location.Password().isEmpty())
    {
      continue;
    }
    timeout = timeout || keyword == "connect_timeout";
    d_keywords.push_back(keyword);
    d_values.push_back(QByteArray(option->val));
  }
  PQconninfoFree(parsed);
  if (!location.Password().isEmpty())
  {
    d_keywords.push_back("password");
    d_values.push_back(location.Password().toUtf8());
  }
  if (!timeout)
  {
    d_keywords.push_back("connect_timeout");
    d_values.push_back(QByteArray::number(CONNECT_TIMEOUT_SECONDS));
  }
  return true;
}

void TPostgresConnectionOptions::Apply(QSqlDatabase *connection) const
{
  QStringList extra;
  for (std::size_t index = 0; index < d_keywords.size(); ++index)
  {
    const QByteArray &keyword = d_keywords[index];
    const QString value = QString::fromUtf8(d_values[index]);
    bool number = false;
    value.toInt(&number);
    if (keyword == "dbname")
    {
      connection->setDatabaseName(value);
    }
    else if (keyword == "host")
    {
      connection->setHostName(value);
    }
    else if (keyword == "port" && number)
    {
      connection->setPort(value.toInt());
    }
    else if (keyword == "user")
    {
      connection->setUserName(value);
    }
    else if (keyword == "password")
    {
      connection->setPassword(value);
    }
    else
    {
      extra.append(QString::fromLatin1(keyword) + QLatin1Char('=') + Quoted_Value(value));
    }
  }
  connection->setConnectOptions(extra.join(QLatin1Char(';')));
}

bool TPostgresConnectionOptions::Server_Wants_Password() const
{
  std::vector<const char *> keywords;
  std::vector<const char *> values;
  for (std::size_t index = 0; index < d_keywords.size(); ++index)
  {
    keywords.push_back(d_keywords[index].constData());
    values.push_back(d_values[index].constData());
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  PGconn *connection = PQconnectdbParams(keywords.data(), values.data(), 0);
  const bool needs = connection && PQstatus(connection) != CONNECTION_OK &&
                     PQconnectionNeedsPassword(connection) != 0;
  PQfinish(connection);
  return needs;
}

QString TPostgresConnectionOptions::Quoted_Value(const QString &value)
{
  QString quoted = value;
  quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  quoted.replace(QLatin1Char('\''), QLatin1String("\\'"));
  return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}
