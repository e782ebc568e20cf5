#ifndef METROVA_CATALOGUECOPY_H
#define METROVA_CATALOGUECOPY_H

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class TDatabase;
class TSqlConnection;

// Copies a whole catalogue into an empty one, on any engine to any engine: the standards, the
// makes, models and options in the order of their first storage, every specification row as
// stored (the manufacturer's and the estimates, in their order), the verification log with its
// frozen figures, schedules and counters, and the history, to which the copy adds itself. The
// source is read in one read transaction; the target is written inside the caller's write unit,
// which holds its catalogue (initialized) and ends with the copy: a failure leaves nothing.
// Ids are the target's own: each row is mapped to the ids its names got there, so that a copy
// needs no more rights than any write.
class TCatalogueCopy
{
public:
  TCatalogueCopy(TDatabase *source, TDatabase *target);

  // False with Error(); Is_Fault() tells a failed read or write from a target that is not
  // empty or a source whose log this program cannot copy.
  bool Copy();

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  // What the target holds besides the seeded standards: a copy goes only into nothing.
  bool Check_Empty();
  bool Copy_Standards();
  // The rows of a table of names (make, model_types, option_types) in the order of their ids.
  bool Copy_Names(const QString &table, const QString &id_column, QHash<int, int> *ids);
  // Every row of a table: the source's columns read in order, each row's values mapped (false
  // leaves the row out) and inserted a batch at a time.
  template <typename TMap>
  bool Copy_Rows(const QString &table, const QStringList &columns, const QString &order, TMap map);
  bool Copy_Records();
  // An insert that gives the new row's id.
  bool Insert(const QString &statement, const QVector<QVariant> &values, int *id);
  bool Fail_Source();
  bool Fail_Target();
  bool Fail(const QString &text, bool fault);

  TDatabase *d_source;
  TDatabase *d_target;
  TSqlConnection *d_from;
  TSqlConnection *d_to;
  QHash<int, int> d_standards;
  QHash<int, int> d_components;
  QHash<int, int> d_makes;
  QHash<int, int> d_models;
  QHash<int, int> d_options;
  QHash<int, int> d_records;
  QString d_error;
  bool d_fault = false;
};

#endif // METROVA_CATALOGUECOPY_H
