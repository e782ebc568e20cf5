#include "historycommand.h"

#include "database.h"

namespace
{
const QString CSV_OPTION = QStringLiteral("--csv");
} // namespace

THistoryCommand::THistoryCommand()
    : TDatabaseCommand(
          {QStringLiteral("history"),
           QStringLiteral("DATABASE [MAKE [MODEL [OPTION]]] [--csv]"),
           1,
           4,
           QStringLiteral("List who changed what and when, oldest first: every change, or those of "
                          "MAKE, of\nits MODEL or of one machine, with the changes of the whole "
                          "catalogue."),
           QStringLiteral("  --csv        a CSV table with a header line\n"
                          "Times are UTC. The user is the database user; for a catalogue file, "
                          "the login\nname of whoever changed it. A deleted machine's history "
                          "is still listed."),
           {{CSV_OPTION, false}}})
{
}

int THistoryCommand::Run()
{
  // A machine deleted since is no longer in the catalogue, and its history is still wanted.
  const int status = Open(Argument_Count() - 1, MACHINE_MAY_BE_NEW);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  bool valid = false;
  const QList<THistoryEntry> entries = Database()->History(Machine(), &valid);
  if (!valid)
  {
    return Failure(QStringLiteral("cannot read the history: %1").arg(Database()->Last_Error()));
  }
  const QStringList header{QStringLiteral("time"),   QStringLiteral("user"),
                           QStringLiteral("change"), QStringLiteral("make"),
                           QStringLiteral("model"),  QStringLiteral("option"),
                           QStringLiteral("details")};
  const bool csv = Has_Option(CSV_OPTION);
  QList<QStringList> rows;
  // A table for the eye names its columns in its first row too.
  if (!csv)
  {
    rows.append(header);
  }
  for (const THistoryEntry &entry : entries)
  {
    rows.append({entry.time, entry.user, entry.change, entry.make, entry.model, entry.option,
                 entry.details});
  }
  Write_Table(header, rows, csv);
  return STATUS_SUCCESS;
}
