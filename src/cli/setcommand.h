#ifndef METROVA_SETCOMMAND_H
#define METROVA_SETCOMMAND_H

#include "databasecommand.h"
#include "specificationedit.h"

// set and unset: manufacturer values of one standard of one machine changed with the editor's
// checks, then the other standards estimated again, all in one transaction. Every argument is
// checked before anything is written: one bad value changes nothing.
class TSetCommand : public TDatabaseCommand
{
public:
  enum TChange
  {
    // COMPONENT=EXPRESSION: a machine that is not stored yet is created.
    CHANGE_SET,
    // COMPONENT: the machine must exist.
    CHANGE_UNSET
  };

  explicit TSetCommand(TChange change);

protected:
  int Run() override;

private:
  // The whole change, inside the write transaction.
  int Change();
  // The checks both share: the standard exists, and each argument names one of its components;
  // a failure names what there is instead.
  int Check_Standard(const QList<TEditorRow> &rows);
  int Find_Row(const QString &component, QList<TEditorRow> *rows, TEditorRow **row);
  int Set(const QString &argument, QList<TEditorRow> *rows);
  int Unset(const QString &argument, QList<TEditorRow> *rows);

  TChange d_change;
};

#endif // METROVA_SETCOMMAND_H
