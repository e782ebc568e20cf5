#ifndef METROVA_VERIFYCOMMAND_H
#define METROVA_VERIFYCOMMAND_H

#include "databasecommand.h"
#include "verificationworkflow.h"

#include <QList>

#include <memory>

// verify add, list, show, report, delete, schedule and due: a machine's verification log, its
// records with the figures they were judged by, and the checks that fall due. add and show exit
// with the record's state (0 conforms, 3 does not conform, 4 conformance or nonconformance not
// proven, 5 not judged), so a script can act on it.
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

  // The record numbered by the argument after the machine, in the loaded log; a usage error for
  // a number that is none, a failure when there is no such record.
  int Find_Record(const TVerificationWorkflow::TEntry **entry);
  // The header and rows as a table, or as CSV with --csv.
  void Write_Listing(const QStringList &header, QList<QStringList> rows);
  // Opens the catalogue on the machine named after it and loads its log.
  int Open_Machine();
  // A new record's fields from the options.
  int Read_Record(TVerificationRecord *record);

  TAction d_action;
  // The machine's log, once the catalogue is open.
  std::unique_ptr<TVerificationWorkflow> d_log;
};

#endif // METROVA_VERIFYCOMMAND_H
