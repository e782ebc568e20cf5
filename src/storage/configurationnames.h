#ifndef METROVA_CONFIGURATIONNAMES_H
#define METROVA_CONFIGURATIONNAMES_H

#include <QString>
#include <QStringList>
#include <initializer_list>

class QVariant;
class TSqlConnection;

// The names of a machine configuration, in the order make, model, option: their ids and back,
// and the adding of a new name. A model or option name is shared by all makes.
class TConfigurationNames
{
public:
  enum TKind
  {
    MAKE = 0,
    MODEL,
    OPTION
  };

  explicit TConfigurationNames(TSqlConnection *connection);

  // Failures give -1, a null name or false with the reason in Error(); Is_Fault() tells a failed
  // read or write from a name that is not there ("CMM Make not found." and so on). A name with
  // U+FFFD also finds a row stored with U+FFFE or U+FFFF there (by an older version), which
  // SQLite reads back as U+FFFD.
  int Id(int kind, const QString &name);
  QString Name(int kind, int id);
  // The ids of a make and, as far as given, its model and option, looked up in that order; false
  // at the first unknown name.
  bool Ids(const QStringList &names, int *ids);
  // The id of a name, which is added first when it is new.
  int Added_Id(int kind, const QString &name);
  // The names (make, model, option, as far as given) as stored, for a statement by names that
  // found nothing: true when one of them is stored otherwise than it reads back (see Id), and so
  // the statement is worth running again with *stored.
  bool Stored_Names(const QStringList &names, QStringList *stored);
  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

  // The condition on the specification rows (as s) of the first name_count names, bound in
  // order as parameters and resolved inside the statement as Id resolves them: a read by names
  // is then one statement instead of one per name.
  static QString Rows_Of_Names(int name_count);

private:
  // The exact look-up of Id, then the one for a name read back with U+FFFD; *stored gets the
  // stored form when only the second found it.
  // A TSqlConnection::TSelect.
  int Find(int kind, const QString &name, QVariant *id, QString *stored = nullptr);
  bool Fail(const QString &text, bool fault);
  void Fail_Lookup(int kind, int found);

  TSqlConnection *d_connection;
  QString d_error;
  bool d_fault = false;
};

#endif // METROVA_CONFIGURATIONNAMES_H
