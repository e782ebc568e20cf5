#include "initcommand.h"

#include "database.h"

#include <QTextStream>

TInitCommand::TInitCommand()
    : TDatabaseCommand(
          {QStringLiteral("init"),
           QStringLiteral("DATABASE"),
           1,
           1,
           QStringLiteral("Create an empty catalogue in DATABASE, a new file or a server's empty "
                          "database, and\nprint the statements that let a reader role and a writer "
                          "role use it."),
           QStringLiteral("Run it as the role that is to own the catalogue's tables; Metrova "
                          "creates no roles\nand needs no superuser. The statements are psql's "
                          "input, the roles its variables:\n  metrova-cli init "
                          "postgresql://admin@db.example/qa > grants.sql\n  psql -v "
                          "reader=qa_readers -v writer=qa_engineers -d qa -f grants.sql\nA "
                          "catalogue that is there already is left as it is, and its statements "
                          "printed\nagain. A file has none: its permissions say who may read or "
                          "write it."),
           {}})
{
}

int TInitCommand::Run()
{
  int status = Open_Or_Create();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  if (!End_Filling(true))
  {
    return Failure(QStringLiteral("cannot initialize database '%1': %2")
                       .arg(Database_Name(), Database()->Last_Error()));
  }
  QStringList statements;
  if (!Database()->Grant_Statements(&statements))
  {
    return Failure(QStringLiteral("cannot read the names of database '%1': %2")
                       .arg(Database_Name(), Database()->Last_Error()));
  }
  for (const QString &statement : statements)
  {
    Out() << statement << '\n';
  }
  return STATUS_SUCCESS;
}
