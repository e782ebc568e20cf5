#include "reportcommand.h"

#include "specificationreport.h"

TReportCommand::TReportCommand()
    : TDatabaseCommand(
          {QStringLiteral("report"),
           QStringLiteral("DATABASE MAKE MODEL OPTION FILE.pdf"),
           5,
           5,
           QStringLiteral("Write the PDF report of one machine, as the window's Output PDF does "
                          "(\".pdf\" is\nappended to a name that does not exist)."),
           QStringLiteral("An existing file is replaced only once the new report is complete."),
           {}})
{
}

int TReportCommand::Run()
{
  QString file_name;
  int status = Output_File_Argument(4, &file_name);
  if (status == STATUS_SUCCESS)
  {
    status = Open(3);
  }
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  const QList<QStringList> rows =
      TSpecificationReport::Build_Rows(Database(), names.at(0), names.at(1), names.at(2));
  QString error;
  if (!TSpecificationReport::Write(TSpecificationReport::Appended_Pdf_Suffix(file_name),
                                   names.at(0), names.at(1), names.at(2), rows, &error))
  {
    return Failure(error);
  }
  return STATUS_SUCCESS;
}
