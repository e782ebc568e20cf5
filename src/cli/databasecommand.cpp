#include "databasecommand.h"

#include "database.h"
#include "newcatalogue.h"
#include "transaction.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace
{
// The reason in the connection report, which names the file and the drivers as well.
QString Connect_Reason(const QString &report)
{
  static const QRegularExpression pattern(
      QStringLiteral("(?:Database|Driver) Error: '([^'\\n]+)'"));
  const QRegularExpressionMatch match = pattern.match(report);
  return match.hasMatch() ? match.captured(1).simplified() : report.simplified();
}
} // namespace

TDatabaseCommand::TDatabaseCommand(const TDescription &description, int database_argument)
    : TCommand(description), d_database_argument(database_argument)
{
}

TDatabaseCommand::~TDatabaseCommand() = default;

QString TDatabaseCommand::Catalogue_Name(int index) const
{
  const TCatalogueLocation location(Argument(index));
  return location.Is_File() ? location.Text() : location.Display_Name();
}

int TDatabaseCommand::Connect(bool create)
{
  return Connect_To(d_database_argument, create, &d_database, QStringLiteral("metrova_cli"));
}

int TDatabaseCommand::Open_Other(int index, std::unique_ptr<TDatabase> *database)
{
  return Connect_To(index, false, database, QStringLiteral("metrova_cli_%1").arg(index));
}

int TDatabaseCommand::Connect_To(int index, bool create, std::unique_ptr<TDatabase> *database,
                                 const QString &connection_name)
{
  QString text;
  const int status = File_Argument(index, QStringLiteral("database"), &text);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const TCatalogueLocation location(text);
  const QString file_name = Catalogue_Name(index);
  const QFileInfo info(location.File_Name());
  if (location.Is_File() && info.isDir())
  {
    return Failure(QStringLiteral("cannot open database '%1': it is a folder").arg(file_name));
  }
  if (location.Is_File() && !create && !info.exists())
  {
    return Failure(QStringLiteral("cannot open database '%1': no such file").arg(file_name));
  }
  // A new file is made here; a server's database is there before any catalogue is.
  if (create && location.Is_File())
  {
    d_new_catalogue = std::make_unique<TNewCatalogue>(file_name);
    if (!d_new_catalogue->Create())
    {
      return Failure(QStringLiteral("cannot create database '%1': %2")
                         .arg(file_name, d_new_catalogue->Error()));
    }
  }
  *database = std::make_unique<TDatabase>(connection_name);
  if (!(*database)->Connect(location))
  {
    return Failure(QStringLiteral("cannot open database '%1': %2")
                       .arg(file_name, Connect_Reason((*database)->Last_Error())));
  }
  if (create)
  {
    return STATUS_SUCCESS;
  }
  // The other commands change no schema: a file without the catalogue's tables is refused.
  bool valid = false;
  (*database)->Standard_Types(&valid);
  if (!valid)
  {
    const QString reason = (*database)->Last_Error();
    return Failure(
        QStringLiteral("'%1' is not a Metrova catalogue%2")
            .arg(file_name, reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
  }
  return STATUS_SUCCESS;
}

int TDatabaseCommand::Open_Or_Create()
{
  // A new file that another import created and took away again after its own failure, while
  // this one waited for the lock, is created anew; twice at most.
  int status = STATUS_SUCCESS;
  for (int attempt = 0; attempt < 3; ++attempt)
  {
    status = Connect(true);
    if (status != STATUS_SUCCESS)
    {
      break;
    }
    d_filling = std::make_unique<TTransaction>(d_database.get());
    if (d_filling->Begin())
    {
      break;
    }
    d_filling.reset();
    if (!d_database->File_Moved())
    {
      break;
    }
    d_database->Close();
  }
  if (status == STATUS_SUCCESS)
  {
    if (d_filling && d_new_catalogue)
    {
      d_new_catalogue->Remove_When_Interrupted();
    }
    if (!d_filling)
    {
      status = Failure(QStringLiteral("cannot write to database '%1': %2")
                           .arg(Database_Name(), d_database->Last_Error()));
    }
    else if (!d_database->Initialize())
    {
      status = Failure(QStringLiteral("cannot initialize database '%1': %2")
                           .arg(Database_Name(), d_database->Last_Error()));
    }
  }
  if (status != STATUS_SUCCESS)
  {
    End_Filling(false);
  }
  return status;
}

bool TDatabaseCommand::End_Filling(bool done)
{
  // Once the lock goes, another program may commit to the file.
  if (d_new_catalogue)
  {
    d_new_catalogue->Keep();
  }
  if (d_filling)
  {
    // A failed commit has ended the transaction already; what was not done is rolled back.
    const bool committed = done && d_filling->Commit();
    d_filling.reset();
    if (committed)
    {
      return true;
    }
  }
  if (d_database)
  {
    d_database->Close();
  }
  if (d_new_catalogue)
  {
    d_new_catalogue->Remove_If_Empty();
  }
  return false;
}

int TDatabaseCommand::Open(int levels, TMachineRule rule)
{
  const int status = Connect(false);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  static const char *const LEVELS[] = {"make", "model", "option"};
  d_machine.clear();
  for (int level = 0; level < levels; ++level)
  {
    const QString given = Argument(1 + level);
    const QString name = TDatabaseItem::Cleaned_Name(given);
    if (name.isEmpty())
    {
      return Usage_Error(
          QStringLiteral("the %1 name '%2' is empty once cleaned").arg(LEVELS[level], given));
    }
    if (name != given)
    {
      Note(QStringLiteral("the %1 name '%2' is taken as '%3'").arg(LEVELS[level], given, name));
    }
    d_machine.append(name);
  }
  return levels == 0 || rule == MACHINE_MAY_BE_NEW ? STATUS_SUCCESS : Find_Machine(levels);
}

int TDatabaseCommand::Find_Machine(int levels)
{
  const QString database = Database_Name();
  const QStringList &names = d_machine;
  if (!d_database->Make_Exists(names.at(0)))
  {
    return Not_Found(QStringLiteral("no make '%1' in '%2'").arg(names.at(0), database));
  }
  if (levels > 1 && !d_database->Model_Exists(names.at(0), names.at(1)))
  {
    return Not_Found(QStringLiteral("no model '%1' of make '%2' in '%3'")
                         .arg(names.at(1), names.at(0), database));
  }
  if (levels > 2 && !d_database->Option_Exists(names.at(0), names.at(1), names.at(2)))
  {
    return Not_Found(QStringLiteral("no option '%1' of %2 %3 in '%4'")
                         .arg(names.at(2), names.at(0), names.at(1), database));
  }
  return STATUS_SUCCESS;
}

int TDatabaseCommand::Not_Found(const QString &text)
{
  if (d_database->Database_Failed())
  {
    return Failure(
        QStringLiteral("cannot read '%1': %2").arg(Database_Name(), d_database->Last_Error()));
  }
  return Failure(text);
}
