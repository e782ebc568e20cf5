#include "copycommand.h"

#include "cataloguecopy.h"
#include "database.h"

#include <QFileInfo>

TCopyCommand::TCopyCommand()
    : TDatabaseCommand(
          {QStringLiteral("copy"),
           QStringLiteral("SOURCE TARGET"),
           2,
           2,
           QStringLiteral("Copy the whole catalogue SOURCE into TARGET: the specifications as "
                          "stored, with\nthe estimates, the verification log with its figures "
                          "and schedules, and the\nhistory. Either may be a file or a server's "
                          "database."),
           QStringLiteral("TARGET must be a new file, which is created, or an empty catalogue; "
                          "nothing is\nkept of a copy that fails. Move a desk catalogue to a "
                          "server with\n  metrova-cli copy catalogue.db "
                          "postgresql://db.example/qa"),
           {}},
          1)
{
}

int TCopyCommand::Run()
{
  QString source_text;
  QString target_text;
  int status = File_Argument(0, QStringLiteral("database"), &source_text);
  if (status == STATUS_SUCCESS)
  {
    status = File_Argument(1, QStringLiteral("database"), &target_text);
  }
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const TCatalogueLocation source_location(source_text);
  const TCatalogueLocation target_location(target_text);
  // A file copied onto itself would wait for its own lock.
  const QFileInfo source_file(source_location.File_Name());
  if (source_text == target_text ||
      (source_location.Is_File() && target_location.Is_File() && source_file.exists() &&
       source_file.canonicalFilePath() == QFileInfo(target_text).canonicalFilePath()))
  {
    return Usage_Error(QStringLiteral("SOURCE and TARGET are the same catalogue"));
  }

  std::unique_ptr<TDatabase> source;
  status = Open_Other(0, &source);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  status = Open_Or_Create();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QString failure = QStringLiteral("cannot copy '%1' to '%2': %3");
  TCatalogueCopy copy(source.get(), Database());
  if (!copy.Copy())
  {
    End_Filling(false);
    return Failure(failure.arg(Catalogue_Name(0), Database_Name(), copy.Error()));
  }
  if (!End_Filling(true))
  {
    return Failure(failure.arg(Catalogue_Name(0), Database_Name(), Database()->Last_Error()));
  }
  return STATUS_SUCCESS;
}
