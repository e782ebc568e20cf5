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
#include "verificationworkflow.h"

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
const QString R0_UNCERTAINTY_OPTION = QStringLiteral("--r0-uncertainty");
const QString AGAIN_OPTION = QStringLiteral("--again");
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
                   "conformance or nonconformance is not proven, 5 when it is not judged; 1 on\n"
                   "failure, 2 on a usage error.");

TCommand::TDescription Command_Description(TVerifyCommand::TAction action)
{
  const QString csv = QStringLiteral("  --csv        a CSV table with a header line");
  switch (action)
  {
  case TVerifyCommand::ACTION_ADD:
    return {QStringLiteral("verify add"),
            MACHINE + QStringLiteral(" RESULTS.csv --date YYYY-MM-DD\n"
                                     "        --kind acceptance|reverification|interim "
                                     "[--temperature T]\n"
                                     "        [--component STANDARD:COMPONENT] [--uncertainty U] "
                                     "[--r0-uncertainty U]\n"
                                     "        [--rule simple|conformance|nonconformance] "
                                     "[--operator NAME]\n"
                                     "        [--artefact TEXT] [--notes TEXT] [--again]"),
            5,
            5,
            QStringLiteral("Add a verification record of one machine from a CSV file of results, "
                           "judge it\nagainst the catalogue's limit, store it with the figures "
                           "its verdict rests on,\nand print \"record N: STATE\"."),
            QStringLiteral("RESULTS.csv has a header naming its columns length_mm and error_um, "
                           "and if you\nlike position, repetition and retest (yes for a result "
                           "that repeats its set of\nlength and position), in any order; one bad "
                           "line refuses the file. A probing\ntest (10360:Pftu) needs no "
                           "lengths.\n"
                           "  --temperature T    air temperature in degrees Celsius, -10 to 50; "
                           "required for\n"
                           "                     an acceptance or reverification (20 for an "
                           "interim check)\n"
                           "  --component S:C    the component judged (default 10360:E0): a "
                           "limit that\n"
                           "                     varies with length, or 10360:Pftu\n"
                           "  --uncertainty U    the test's expanded uncertainty in "
                           "micrometres, a number or\n"
                           "                     an expression such as 0.3+0.4L/1000 "
                           "(default 0)\n"
                           "  --r0-uncertainty U the uncertainty of the ranges judged against R0 "
                           "(default 0)\n"
                           "  --rule R           simple (default), conformance or "
                           "nonconformance\n"
                           "  --again            store a record even when a stored one is the "
                           "same check\n"
                           "States: conforms, does not conform, conformance not proven, "
                           "nonconformance not\nproven, not judged (with its reason)."),
            {{DATE_OPTION, true},
             {KIND_OPTION, true},
             {COMPONENT_OPTION, true},
             {UNCERTAINTY_OPTION, true},
             {R0_UNCERTAINTY_OPTION, true},
             {RULE_OPTION, true},
             {TEMPERATURE_OPTION, true},
             {OPERATOR_OPTION, true},
             {ARTEFACT_OPTION, true},
             {NOTES_OPTION, true},
             {AGAIN_OPTION, false}},
            VERDICT_STATUS};
  case TVerifyCommand::ACTION_LIST:
    return {QStringLiteral("verify list"),
            MACHINE + QStringLiteral(" [--csv]"),
            4,
            4,
            QStringLiteral("List a machine's verification records as they were stored: number, "
                           "date, kind,\ncomponent, rule, U, results, largest share of the MPE, "
                           "state, limit and its\nsource, temperature, retested sets and how the "
                           "figures were kept."),
            csv,
            {{CSV_OPTION, false}}};
  case TVerifyCommand::ACTION_SHOW:
    return {QStringLiteral("verify show"),
            MACHINE + QStringLiteral(" N [--csv]"),
            5,
            5,
            QStringLiteral("Show record N's results with the MPE, zone and U each was judged "
                           "by (pass,\nconditional pass, conditional fail, fail, no limit), "
                           "then its ranges against R0\nor Volume."),
            csv + QStringLiteral("\nThe state, what it rests on and where today's catalogue "
                                 "differs go to\nstandard error."),
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

int TVerifyCommand::Open_Machine()
{
  const int status = Open(3);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  d_log = std::make_unique<TVerificationWorkflow>(Database());
  const QStringList &names = Machine();
  if (!d_log->Load(names.at(0), names.at(1), names.at(2)))
  {
    return Failure(QStringLiteral("cannot read the verification log: %1").arg(d_log->Error()));
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

int TVerifyCommand::Find_Record(const TVerificationWorkflow::TEntry **entry)
{
  int number = 0;
  if (!Whole_Number(Argument(4), 1, INT_MAX, &number))
  {
    return Usage_Error(QStringLiteral("'%1' is not a record number").arg(Argument(4)));
  }
  const int status = Open_Machine();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  *entry = d_log->Entry(number);
  if (!*entry)
  {
    return Failure(
        QStringLiteral("no record %1 of %2").arg(number).arg(Machine().join(QLatin1Char(' '))));
  }
  return STATUS_SUCCESS;
}

int TVerifyCommand::Read_Record(TVerificationRecord *record)
{
  TVerificationRecord &r = *record;
  if (!Has_Option(DATE_OPTION) || !Has_Option(KIND_OPTION))
  {
    return Usage_Error(QStringLiteral("verify add needs --date and --kind"));
  }
  if (!TVerificationRecord::Parse_Date(Option_Value(DATE_OPTION), &r.date))
  {
    return Usage_Error(QStringLiteral("the date '%1' is not a day written YYYY-MM-DD")
                           .arg(Option_Value(DATE_OPTION)));
  }
  r.kind = TVerificationRecord::Kind_Of(Option_Value(KIND_OPTION));
  if (r.kind < 0)
  {
    return Usage_Error(QStringLiteral("the kind '%1' is not acceptance, reverification or interim")
                           .arg(Option_Value(KIND_OPTION)));
  }
  if (Has_Option(RULE_OPTION))
  {
    r.rule = TVerificationRecord::Rule_Of(Option_Value(RULE_OPTION));
    if (r.rule < 0)
    {
      return Usage_Error(
          QStringLiteral("the rule '%1' is not simple, conformance or nonconformance")
              .arg(Option_Value(RULE_OPTION)));
    }
  }
  if (Has_Option(COMPONENT_OPTION) &&
      !TVerificationRecord::Parse_Component(Option_Value(COMPONENT_OPTION), &r.standard,
                                            &r.component))
  {
    return Usage_Error(QStringLiteral("--component '%1' is not STANDARD:COMPONENT")
                           .arg(Option_Value(COMPONENT_OPTION)));
  }
  QString error;
  if (!TVerificationRecord::Read_Uncertainty(Option_Value(UNCERTAINTY_OPTION), &r.uncertainty,
                                             &error) ||
      !TVerificationRecord::Read_Temperature(Option_Value(TEMPERATURE_OPTION), r.kind,
                                             &r.temperature, &error))
  {
    return Usage_Error(error);
  }
  if (Has_Option(R0_UNCERTAINTY_OPTION) &&
      (!TSpecificationLimits::To_Number(Option_Value(R0_UNCERTAINTY_OPTION), &r.r0_uncertainty) ||
       !(r.r0_uncertainty >= 0.0 && r.r0_uncertainty <= TVerificationRecord::MAXIMUM_ERROR)))
  {
    return Usage_Error(QStringLiteral("--r0-uncertainty '%1' is not a number from 0 to %2")
                           .arg(Option_Value(R0_UNCERTAINTY_OPTION))
                           .arg(TVerificationRecord::MAXIMUM_ERROR));
  }
  r.operator_name = Option_Value(OPERATOR_OPTION);
  r.artefact = Option_Value(ARTEFACT_OPTION);
  r.notes = Option_Value(NOTES_OPTION);
  return STATUS_SUCCESS;
}

int TVerifyCommand::Add()
{
  // The arguments first: a usage error is reported before any file is touched.
  TVerificationRecord record;
  int status = Read_Record(&record);
  QString results_file;
  if (status == STATUS_SUCCESS)
  {
    status = File_Argument(4, QStringLiteral("results file"), &results_file);
  }
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  QString error;
  if (!TVerificationResults::Read_File(
          results_file, &record.results, &error,
          TVerificationWorkflow::Needs_Length(record.standard, record.component)))
  {
    return Failure(QStringLiteral("cannot read the results '%1': %2").arg(results_file, error));
  }
  if (!record.Check(&error))
  {
    return Failure(QStringLiteral("cannot add the record: %1").arg(error));
  }
  status = Open_Machine();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  TVerificationJudgement::TJudgement judgement;
  if (!d_log->Save(&record, &judgement, Has_Option(AGAIN_OPTION)))
  {
    return Failure(
        QStringLiteral("cannot add the record: %1%2")
            .arg(d_log->Error(), d_log->Same_Number() > 0
                                     ? QStringLiteral(" Give --again to store it anyway.")
                                     : QString()));
  }
  Out() << TVerificationRows::Verdict_Line(record.number, judgement) << '\n';
  for (const QString &note : TVerificationRows::Notes(judgement))
  {
    Note(note);
  }
  // The record is stored: a script that sees only a failure must not store it again.
  Out().flush();
  if (Out().status() != QTextStream::Ok)
  {
    return Failure(
        QStringLiteral("cannot write to standard output; record %1 was saved").arg(record.number));
  }
  return TVerificationJudgement::Exit_Status(judgement.verdict);
}

int TVerifyCommand::List()
{
  const int status = Open_Machine();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  QList<QStringList> rows;
  for (const TVerificationWorkflow::TEntry &entry : d_log->Entries())
  {
    rows.append(TVerificationRows::List_Row(entry.record, entry.judgement));
  }
  Write_Listing(TVerificationRows::List_Header(), rows);
  if (Output_Status() != STATUS_SUCCESS)
  {
    return STATUS_FAILURE;
  }
  for (const TVerificationWorkflow::TEntry &entry : d_log->Entries())
  {
    for (const QString &change : entry.changes)
    {
      Note(QStringLiteral("record %1: %2").arg(entry.record.number).arg(change));
    }
  }
  return STATUS_SUCCESS;
}

int TVerifyCommand::Show()
{
  const TVerificationWorkflow::TEntry *entry = nullptr;
  const int status = Find_Record(&entry);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const TVerificationJudgement::TJudgement &judgement = entry->judgement;
  Write_Listing(TVerificationRows::Show_Header(), TVerificationRows::Show_Rows(judgement));
  if (!judgement.ranges.isEmpty())
  {
    Out() << '\n';
    Write_Listing(TVerificationRows::Range_Header(), TVerificationRows::Range_Rows(judgement));
  }
  if (Output_Status() != STATUS_SUCCESS)
  {
    return STATUS_FAILURE;
  }
  Note(TVerificationRows::Verdict_Line(entry->record.number, judgement));
  for (const QStringList &lines : {TVerificationRows::Basis_Lines(entry->record, judgement),
                                   TVerificationRows::Notes(judgement), entry->changes})
  {
    for (const QString &line : lines)
    {
      Note(line);
    }
  }
  return TVerificationJudgement::Exit_Status(judgement.verdict);
}

int TVerifyCommand::Report()
{
  QString file_name;
  int status = Output_File_Argument(5, &file_name);
  const TVerificationWorkflow::TEntry *entry = nullptr;
  if (status == STATUS_SUCCESS)
  {
    status = Find_Record(&entry);
  }
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  QString error;
  if (!TVerificationReport::Write(TSpecificationReport::Appended_Pdf_Suffix(file_name), names.at(0),
                                  names.at(1), names.at(2), entry->record, entry->judgement,
                                  entry->changes, &error))
  {
    return Failure(error);
  }
  return STATUS_SUCCESS;
}

int TVerifyCommand::Delete()
{
  const TVerificationWorkflow::TEntry *entry = nullptr;
  const int status = Find_Record(&entry);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const int number = entry->record.number;
  if (!d_log->Remove(number))
  {
    return Failure(QStringLiteral("cannot delete record %1: %2").arg(number).arg(d_log->Error()));
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
  const int status = Open_Machine();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  TVerificationSchedule::TIntervals intervals = d_log->Intervals();
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
    if (!d_log->Set_Intervals(intervals))
    {
      return Failure(QStringLiteral("cannot set the schedule: %1").arg(d_log->Error()));
    }
  }

  QList<QStringList> rows{{QStringLiteral("kind"), QStringLiteral("interval"),
                           QStringLiteral("last"), QStringLiteral("due"),
                           QStringLiteral("status")}};
  for (const TVerificationSchedule::TCheck &check : TVerificationSchedule::Checks(
           d_log->Schedule(), QDate::currentDate(), TVerificationSchedule::DUE_WITHIN_DAYS))
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
