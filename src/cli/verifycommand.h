#ifndef METROVA_VERIFYCOMMAND_H
#define METROVA_VERIFYCOMMAND_H

#include "databasecommand.h"
#include "databaseitem.h"

#include <QList>

struct TVerificationRecord;

// verify add, list, show, report, delete, schedule and due: a machine's verification log, its
// records judged against the catalogue's limit, and the checks that fall due. add and show exit
// with the verdict (0 conforms, 3 does not conform, 4 not proven), so a script can act on it.
class TVerifyCommand : public TDatabaseCommand
{
public:
  enum TAction
  {
    ACTION_ADD,
    ACTION_LIST,
    ACTION_SHOW,
    ACTION_REPORT,
    ACTION_DELETE,
    ACTION_SCHEDULE,
    ACTION_DUE
  };

  explicit TVerifyCommand(TAction action);
  bool Draws() const override { return d_action == ACTION_REPORT; }

protected:
  int Run() override;

private:
  int Add();
  int List();
  int Show();
  int Report();
  int Delete();
  int Schedule();
  int Due();

  // The record numbered by the argument after the machine, with the machine's rows; a usage
  // error for a number that is none, a failure when there is no such record.
  int Find_Record(TVerificationRecord *record, QList<TDatabaseItem> *machine);
  // The header and rows as a table, or as CSV with --csv.
  void Write_Listing(const QStringList &header, QList<QStringList> rows);
  // Opens the catalogue on the machine named after it and reads what is asked for: the machine's
  // rows of every standard, which the judgement reads, and its records.
  int Open_Machine(QList<TDatabaseItem> *machine, QList<TVerificationRecord> *records = nullptr);

  TAction d_action;
};

#endif // METROVA_VERIFYCOMMAND_H
