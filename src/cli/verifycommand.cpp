#include "verifycommand.h"

#include "database.h"
#include "specificationlimits.h"
#include "specificationreport.h"
#include "verificationjudgement.h"
#include "verificationlog.h"
#include "verificationrecord.h"
#include "verificationreport.h"
#include "verificationresults.h"
#include "verificationrows.h"
#include "verificationschedule.h"

#include <QDate>
#include <QTextStream>

#include <climits>

namespace
{
const QString CSV_OPTION = QStringLiteral("--csv");
const QString DATE_OPTION = QStringLiteral("--date");
const QString KIND_OPTION = QStringLiteral("--kind");
const QString COMPONENT_OPTION = QStringLiteral("--component");
const QString UNCERTAINTY_OPTION = QStringLiteral("--uncertainty");
const QString RULE_OPTION = QStringLiteral("--rule");
const QString TEMPERATURE_OPTION = QStringLiteral("--temperature");
const QString OPERATOR_OPTION = QStringLiteral("--operator");
const QString ARTEFACT_OPTION = QStringLiteral("--artefact");
const QString NOTES_OPTION = QStringLiteral("--notes");
const QString REVERIFICATION_OPTION = QStringLiteral("--reverification");
const QString INTERIM_OPTION = QStringLiteral("--interim");
const QString ON_OPTION = QStringLiteral("--on");
const QString WITHIN_OPTION = QStringLiteral("--within");

// The largest intervals a schedule keeps: a century of months or of days.
constexpr int MAXIMUM_MONTHS = 1200;
constexpr int MAXIMUM_DAYS = 36500;

const QString MACHINE = QStringLiteral("DATABASE MAKE MODEL OPTION");
const QString VERDICT_STATUS =
    QStringLiteral("Exit status: 0 when the record conforms, 3 when it does not conform, 4 when\n"
                   "neither is proven; 1 on failure, 2 on a usage error.");

TCommand::TDescription Command_Description(TVerifyCommand::TAction action)
{
  const QString csv = QStringLiteral("  --csv        a CSV table with a header line");
  switch (action)
  {
  case TVerifyCommand::ACTION_ADD:
    return {QStringLiteral("verify add"),
            MACHINE + QStringLiteral(" RESULTS.csv --date YYYY-MM-DD\n"
                                     "        --kind acceptance|reverification|interim "
                                     "[--component STANDARD:COMPONENT]\n"
                                     "        [--uncertainty U] [--rule "
                                     "simple|conformance|nonconformance]\n"
                                     "        [--temperature T] [--operator NAME] "
                                     "[--artefact TEXT] [--notes TEXT]"),
            5,
            5,
            QStringLiteral("Add a verification record of one machine from a CSV file of results, "
                           "judge it\nagainst the catalogue's limit and print "
                           "\"record N: conforms\", \"record N:\ndoes not conform\" or "
                           "\"record N: not proven\"."),
            QStringLiteral("RESULTS.csv has a header naming its columns length_mm and error_um, "
                           "and if you\nlike position and repetition, in any order; one bad "
                           "line refuses the file.\n"
                           "  --component S:C  the component judged (default 10360:E0); its "
                           "limit must vary\n"
                           "                   with length\n"
                           "  --uncertainty U  the test's expanded uncertainty in micrometres "
                           "(default 0)\n"
                           "  --rule R         simple (default), conformance or nonconformance\n"
                           "  --temperature T  air temperature in degrees Celsius (default 20)"),
            {{DATE_OPTION, true},
             {KIND_OPTION, true},
             {COMPONENT_OPTION, true},
             {UNCERTAINTY_OPTION, true},
             {RULE_OPTION, true},
             {TEMPERATURE_OPTION, true},
             {OPERATOR_OPTION, true},
             {ARTEFACT_OPTION, true},
             {NOTES_OPTION, true}},
            VERDICT_STATUS};
  case TVerifyCommand::ACTION_LIST:
    return {QStringLiteral("verify list"),
            MACHINE + QStringLiteral(" [--csv]"),
            4,
            4,
            QStringLiteral("List a machine's verification records: number, date, kind, "
                           "component, rule, U,\nresults, largest share of the MPE and "
                           "verdict."),
            csv,
            {{CSV_OPTION, false}}};
  case TVerifyCommand::ACTION_SHOW:
    return {QStringLiteral("verify show"),
            MACHINE + QStringLiteral(" N [--csv]"),
            5,
            5,
            QStringLiteral("Show record N's results with the MPE and zone of each (pass, "
                           "conditional pass,\nconditional fail, fail, no limit), then the "
                           "ranges of repeated lengths against R0."),
            csv + QStringLiteral("\nThe verdict and what keeps the record from conforming go "
                                 "to standard error."),
            {{CSV_OPTION, false}},
            VERDICT_STATUS};
  case TVerifyCommand::ACTION_REPORT:
    return {QStringLiteral("verify report"),
            MACHINE + QStringLiteral(" N FILE.pdf"),
            6,
            6,
            QStringLiteral("Write the PDF verification report of record N (\".pdf\" is appended "
                           "to a name\nthat does not exist)."),
            QStringLiteral("An existing file is replaced only once the new report is complete."),
            {}};
  case TVerifyCommand::ACTION_DELETE:
    return {QStringLiteral("verify delete"),
            MACHINE + QStringLiteral(" N"),
            5,
            5,
            QStringLiteral("Delete record N of a machine; its number is not given again."),
            QString(),
            {}};
  case TVerifyCommand::ACTION_SCHEDULE:
    return {QStringLiteral("verify schedule"),
            MACHINE + QStringLiteral(" [--reverification MONTHS] [--interim DAYS]"),
            4,
            4,
            QStringLiteral("Set how often a machine is reverified and checked in between, and "
                           "show its\nnext checks: kind, interval, last, due date and status."),
            QStringLiteral("  --reverification MONTHS  months after the latest acceptance or "
                           "reverification;\n"
                           "                           0 removes the interval\n"
                           "  --interim DAYS           days after the latest interim check; 0 "
                           "removes it\n"
                           "Without an option the schedule is only shown."),
            {{REVERIFICATION_OPTION, true}, {INTERIM_OPTION, true}}};
  case TVerifyCommand::ACTION_DUE:
    break;
  }
  return {QStringLiteral("verify due"),
          QStringLiteral("DATABASE [--on YYYY-MM-DD] [--within DAYS] [--csv]"),
          1,
          1,
          QStringLiteral("List the checks of every machine that are due or overdue: make, model, "
                         "option,\nkind, last, due and status, the earliest first."),
          QStringLiteral("  --on DATE      the day to judge from (default today)\n"
                         "  --within DAYS  a check this many days ahead is due (default 14)\n") +
              csv,
          {{ON_OPTION, true}, {WITHIN_OPTION, true}, {CSV_OPTION, false}}};
}

// A whole number from min to max, as typed.
bool Whole_Number(const QString &text, int minimum, int maximum, int *value)
{
  bool ok = false;
  *value = text.trimmed().toInt(&ok);
  return ok && *value >= minimum && *value <= maximum;
}
} // namespace

TVerifyCommand::TVerifyCommand(TAction action)
    : TDatabaseCommand(Command_Description(action)), d_action(action)
{
}

int TVerifyCommand::Run()
{
  switch (d_action)
  {
  case ACTION_ADD:
    return Add();
  case ACTION_LIST:
    return List();
  case ACTION_SHOW:
    return Show();
  case ACTION_REPORT:
    return Report();
  case ACTION_DELETE:
    return Delete();
  case ACTION_SCHEDULE:
    return Schedule();
  case ACTION_DUE:
    break;
  }
  return Due();
}

int TVerifyCommand::Open_Machine(QList<TDatabaseItem> *machine, QList<TVerificationRecord> *records)
{
  const int status = Open(3);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  bool valid = true;
  if (machine)
  {
    *machine = Database()->Read_Configuration(names.at(0), names.at(1), names.at(2), &valid);
    if (!valid)
    {
      return Failure(
          QStringLiteral("cannot read the specifications: %1").arg(Database()->Last_Error()));
    }
  }
  if (records)
  {
    *records = TVerificationLog(Database()).Records(names.at(0), names.at(1), names.at(2), &valid);
    if (!valid)
    {
      return Failure(
          QStringLiteral("cannot read the verification log: %1").arg(Database()->Last_Error()));
    }
  }
  return STATUS_SUCCESS;
}

void TVerifyCommand::Write_Listing(const QStringList &header, QList<QStringList> rows)
{
  // A table for the eye names its columns in its first row too.
  const bool csv = Has_Option(CSV_OPTION);
  if (!csv)
  {
    rows.prepend(header);
  }
  Write_Table(header, rows, csv);
}

int TVerifyCommand::Find_Record(TVerificationRecord *record, QList<TDatabaseItem> *machine)
{
  int number = 0;
  if (!Whole_Number(Argument(4), 1, INT_MAX, &number))
  {
    return Usage_Error(QStringLiteral("'%1' is not a record number").arg(Argument(4)));
  }
  QList<TVerificationRecord> records;
  const int status = Open_Machine(machine, &records);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  for (const TVerificationRecord &candidate : records)
  {
    if (candidate.number == number)
    {
      *record = candidate;
      return STATUS_SUCCESS;
    }
  }
  return Failure(
      QStringLiteral("no record %1 of %2").arg(number).arg(Machine().join(QLatin1Char(' '))));
}

int TVerifyCommand::Add()
{
  // The arguments first: a usage error is reported before any file is touched.
  TVerificationRecord record;
  if (!Has_Option(DATE_OPTION) || !Has_Option(KIND_OPTION))
  {
    return Usage_Error(QStringLiteral("verify add needs --date and --kind"));
  }
  if (!TVerificationRecord::Parse_Date(Option_Value(DATE_OPTION), &record.date))
  {
    return Usage_Error(QStringLiteral("the date '%1' is not a day written YYYY-MM-DD")
                           .arg(Option_Value(DATE_OPTION)));
  }
  record.kind = TVerificationRecord::Kind_Of(Option_Value(KIND_OPTION));
  if (record.kind < 0)
  {
    return Usage_Error(QStringLiteral("the kind '%1' is not acceptance, reverification or interim")
                           .arg(Option_Value(KIND_OPTION)));
  }
  if (Has_Option(RULE_OPTION))
  {
    record.rule = TVerificationRecord::Rule_Of(Option_Value(RULE_OPTION));
    if (record.rule < 0)
    {
      return Usage_Error(
          QStringLiteral("the rule '%1' is not simple, conformance or nonconformance")
              .arg(Option_Value(RULE_OPTION)));
    }
  }
  if (Has_Option(COMPONENT_OPTION) &&
      !TVerificationRecord::Parse_Component(Option_Value(COMPONENT_OPTION), &record.standard,
                                            &record.component))
  {
    return Usage_Error(QStringLiteral("--component '%1' is not STANDARD:COMPONENT")
                           .arg(Option_Value(COMPONENT_OPTION)));
  }
  if (Has_Option(UNCERTAINTY_OPTION) &&
      (!TSpecificationLimits::To_Number(Option_Value(UNCERTAINTY_OPTION), &record.uncertainty) ||
       record.uncertainty < 0.0))
  {
    return Usage_Error(QStringLiteral("the uncertainty '%1' is not a number of 0 or more")
                           .arg(Option_Value(UNCERTAINTY_OPTION)));
  }
  if (Has_Option(TEMPERATURE_OPTION) &&
      !TSpecificationLimits::To_Number(Option_Value(TEMPERATURE_OPTION), &record.temperature))
  {
    return Usage_Error(QStringLiteral("the temperature '%1' is not a number")
                           .arg(Option_Value(TEMPERATURE_OPTION)));
  }
  record.operator_name = Option_Value(OPERATOR_OPTION);
  record.artefact = Option_Value(ARTEFACT_OPTION);
  record.notes = Option_Value(NOTES_OPTION);
  QString results_file;
  int status = File_Argument(4, QStringLiteral("results file"), &results_file);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }

  QString error;
  if (!TVerificationResults::Read_File(results_file, &record.results, &error))
  {
    return Failure(QStringLiteral("cannot read the results '%1': %2").arg(results_file, error));
  }
  QList<TDatabaseItem> machine;
  status = Open_Machine(&machine);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  if (!TVerificationLog(Database()).Add_Record(names.at(0), names.at(1), names.at(2), &record))
  {
    return Failure(QStringLiteral("cannot add the record: %1").arg(Database()->Last_Error()));
  }
  const TVerificationJudgement::TJudgement judgement =
      TVerificationJudgement::Judge(record, machine);
  Out() << TVerificationRows::Verdict_Line(record.number, judgement.verdict) << '\n';
  for (const QString &note : TVerificationRows::Notes(judgement))
  {
    Note(note);
  }
  return TVerificationJudgement::Exit_Status(judgement.verdict);
}

int TVerifyCommand::List()
{
  QList<TDatabaseItem> machine;
  QList<TVerificationRecord> records;
  const int status = Open_Machine(&machine, &records);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  Write_Listing(TVerificationRows::List_Header(), TVerificationRows::List_Rows(records, machine));
  return STATUS_SUCCESS;
}

int TVerifyCommand::Show()
{
  TVerificationRecord record;
  QList<TDatabaseItem> machine;
  const int status = Find_Record(&record, &machine);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const TVerificationJudgement::TJudgement judgement =
      TVerificationJudgement::Judge(record, machine);
  Write_Listing(TVerificationRows::Show_Header(), TVerificationRows::Show_Rows(judgement));
  if (!judgement.ranges.isEmpty())
  {
    Out() << '\n';
    Write_Listing(TVerificationRows::Range_Header(), TVerificationRows::Range_Rows(judgement));
  }
  Note(TVerificationRows::Verdict_Line(record.number, judgement.verdict));
  for (const QString &note : TVerificationRows::Notes(judgement))
  {
    Note(note);
  }
  return TVerificationJudgement::Exit_Status(judgement.verdict);
}

int TVerifyCommand::Report()
{
  QString file_name;
  int status = Output_File_Argument(5, &file_name);
  TVerificationRecord record;
  QList<TDatabaseItem> machine;
  if (status == STATUS_SUCCESS)
  {
    status = Find_Record(&record, &machine);
  }
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  QString error;
  if (!TVerificationReport::Write(TSpecificationReport::Appended_Pdf_Suffix(file_name), names.at(0),
                                  names.at(1), names.at(2), record, machine, &error))
  {
    return Failure(error);
  }
  return STATUS_SUCCESS;
}

int TVerifyCommand::Delete()
{
  TVerificationRecord record;
  QList<TDatabaseItem> machine;
  const int status = Find_Record(&record, &machine);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  if (!TVerificationLog(Database())
           .Remove_Record(names.at(0), names.at(1), names.at(2), record.number))
  {
    return Failure(QStringLiteral("cannot delete record %1: %2")
                       .arg(record.number)
                       .arg(Database()->Last_Error()));
  }
  return STATUS_SUCCESS;
}

int TVerifyCommand::Schedule()
{
  const bool change = Has_Option(REVERIFICATION_OPTION) || Has_Option(INTERIM_OPTION);
  int months = 0;
  int days = 0;
  if (Has_Option(REVERIFICATION_OPTION) &&
      !Whole_Number(Option_Value(REVERIFICATION_OPTION), 0, MAXIMUM_MONTHS, &months))
  {
    return Usage_Error(QStringLiteral("--reverification '%1' is not a number of months from 0 "
                                      "to %2")
                           .arg(Option_Value(REVERIFICATION_OPTION))
                           .arg(MAXIMUM_MONTHS));
  }
  if (Has_Option(INTERIM_OPTION) &&
      !Whole_Number(Option_Value(INTERIM_OPTION), 0, MAXIMUM_DAYS, &days))
  {
    return Usage_Error(QStringLiteral("--interim '%1' is not a number of days from 0 to %2")
                           .arg(Option_Value(INTERIM_OPTION))
                           .arg(MAXIMUM_DAYS));
  }
  QList<TVerificationRecord> records;
  const int status = Open_Machine(nullptr, &records);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  TVerificationLog log(Database());
  bool valid = false;
  TVerificationSchedule::TIntervals intervals =
      log.Intervals(names.at(0), names.at(1), names.at(2), &valid);
  if (!valid)
  {
    return Failure(
        QStringLiteral("cannot read the verification log: %1").arg(Database()->Last_Error()));
  }
  if (change)
  {
    if (Has_Option(REVERIFICATION_OPTION))
    {
      intervals.reverification_months = months;
    }
    if (Has_Option(INTERIM_OPTION))
    {
      intervals.interim_days = days;
    }
    if (!log.Set_Intervals(names.at(0), names.at(1), names.at(2), intervals))
    {
      return Failure(QStringLiteral("cannot set the schedule: %1").arg(Database()->Last_Error()));
    }
  }

  const TVerificationSchedule::TMachine schedule =
      TVerificationSchedule::Of_Records(intervals, records);
  QList<QStringList> rows{{QStringLiteral("kind"), QStringLiteral("interval"),
                           QStringLiteral("last"), QStringLiteral("due"),
                           QStringLiteral("status")}};
  for (const TVerificationSchedule::TCheck &check : TVerificationSchedule::Checks(
           schedule, QDate::currentDate(), TVerificationSchedule::DUE_WITHIN_DAYS))
  {
    const bool reverification = check.kind == TVerificationRecord::KIND_REVERIFICATION;
    const int interval = reverification ? intervals.reverification_months : intervals.interim_days;
    rows.append(
        {TVerificationRecord::Kind_Name(check.kind),
         interval == 0 ? QStringLiteral("none")
                       : QStringLiteral("%1 %2").arg(interval).arg(
                             reverification ? QStringLiteral("months") : QStringLiteral("days")),
         TVerificationRecord::Date_Text(check.last), TVerificationRecord::Date_Text(check.due),
         TVerificationSchedule::Status_Name(check.status)});
  }
  Write_Table(QStringList(), rows, false);
  return STATUS_SUCCESS;
}

int TVerifyCommand::Due()
{
  QDate on = QDate::currentDate();
  if (Has_Option(ON_OPTION) && !TVerificationRecord::Parse_Date(Option_Value(ON_OPTION), &on))
  {
    return Usage_Error(QStringLiteral("the date '%1' is not a day written YYYY-MM-DD")
                           .arg(Option_Value(ON_OPTION)));
  }
  int within = TVerificationSchedule::DUE_WITHIN_DAYS;
  if (Has_Option(WITHIN_OPTION) &&
      !Whole_Number(Option_Value(WITHIN_OPTION), 0, MAXIMUM_DAYS, &within))
  {
    return Usage_Error(QStringLiteral("--within '%1' is not a number of days from 0 to %2")
                           .arg(Option_Value(WITHIN_OPTION))
                           .arg(MAXIMUM_DAYS));
  }
  const int status = Open();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  bool valid = false;
  const QList<TVerificationSchedule::TMachine> machines =
      TVerificationLog(Database()).Schedules(&valid);
  if (!valid)
  {
    return Failure(
        QStringLiteral("cannot read the verification log: %1").arg(Database()->Last_Error()));
  }
  Write_Listing(TVerificationSchedule::Due_Header(),
                TVerificationSchedule::Due_Rows(machines, on, within));
  return STATUS_SUCCESS;
}
