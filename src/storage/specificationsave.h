#ifndef METROVA_SPECIFICATIONSAVE_H
#define METROVA_SPECIFICATIONSAVE_H

#include "specificationedit.h"

#include <QList>
#include <QString>

class TDatabase;

// The editor's rows of one make, model and option read from the catalogue and stored back, the
// same for the editor dialog and the command-line tool (TSpecificationEdit holds the rules).
class TSpecificationSave
{
public:
  // One row per component of every standard, in catalogue order, with the machine's
  // manufacturer expressions in micrometres; estimated values stay empty, since a save derives
  // them again. Without a complete make, model and option, or for a machine not stored yet,
  // every row is empty. False, with no rows, when the standards, their components or the machine
  // cannot be read (the database's Last_Error() says why): empty rows saved would delete what is
  // stored.
  static bool Read_Rows(TDatabase *database, const QString &make, const QString &model,
                        const QString &option, QList<TEditorRow> *rows);

  // Replaces every standard's manufacturer rows of the machine by the rows' expressions and
  // estimates the other standards again, as one unit: after a failure the database holds the
  // machine as it was, and *error says why. With read_rows, the rows that Read_Rows gave for this
  // machine when its editing began, the save also fails, changing nothing, when the machine no
  // longer holds those values: another program changed or deleted it meanwhile.
  static bool Save(TDatabase *database, const QString &make, const QString &model,
                   const QString &option, const QList<TEditorRow> &rows, QString *error,
                   const QList<TEditorRow> *read_rows = nullptr);

private:
  // Whether the rows leave the machine a value, or it has no verification records; false with
  // *reason, or with the database's Last_Error() when the records cannot be counted.
  static bool Keeps_Records_Reachable(TDatabase *database, const QString &make,
                                      const QString &model, const QString &option,
                                      const QList<TEditorRow> &rows, QString *reason);
};

#endif // METROVA_SPECIFICATIONSAVE_H
