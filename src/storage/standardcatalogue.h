#ifndef METROVA_STANDARDCATALOGUE_H
#define METROVA_STANDARDCATALOGUE_H

#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>

class TSqlConnection;

// The standards and their component types as the file holds them: look-ups by name and id, the
// lists, and the seeding of what is missing. Every row read is read for each specification row,
// so the look-ups are cached until the catalogue may have changed.
class TStandardCatalogue
{
public:
  struct TComponentType
  {
    QString name;
    QString description;
    int expression_types = 0;
  };

  explicit TStandardCatalogue(TSqlConnection *connection);

  // Failures give -1, an empty name, null or false, with the reason in Error(); Is_Fault() tells
  // a failed read or write from a name that is not there.
  int Standard_Type_Id(const QString &name);
  QString Standard_Type_Name(int standard_id);
  int Component_Type_Id(int standard_id, const QString &name);
  const TComponentType *Component_Type(int standard_id, int component_id);
  bool Standard_Types(QStringList *names);
  bool Component_Types(int standard_id, QStringList *names);
  bool Add_Standard_Type(const QString &name);
  bool Add_Component_Type(int standard_id, const QString &name, const QString &description,
                          int expression_types);
  // Insert the seeded rows that are missing; rows found by name are left as they are.
  bool Create_Standard_Types();
  bool Create_Component_Types();
  // Whether every seeded row is there; false also when that cannot be read.
  bool Is_Seeded();

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

  // The cached look-ups are dropped: the catalogue may have changed (a rollback, a clear).
  void Invalidate();
  // A transaction began: the cache is checked once more against the file's data version, since
  // another connection may have rewritten the catalogue; within the transaction nobody can.
  void Transaction_Begun();

private:
  void Validate();
  bool Fail(const QString &text, bool fault);
  // found: a TSqlConnection::TSelect.
  void Fail_Lookup(const QString &missing, int found);

  TSqlConnection *d_connection;
  QString d_error;
  bool d_fault = false;
  QHash<QString, int> d_standard_ids;
  QHash<int, QString> d_standard_names;
  QHash<QPair<int, QString>, int> d_component_ids;
  QHash<QPair<int, int>, TComponentType> d_components;
  QStringList d_standard_list;
  bool d_standard_list_cached = false;
  // Each standard's component names, by the standard's id.
  QHash<int, QStringList> d_component_lists;
  qint64 d_version = -1;
  bool d_current = false;
};

#endif // METROVA_STANDARDCATALOGUE_H
