#include "exchangerunner.h"

#include "cataloguecontroller.h"
#include "database.h"
#include "exportoptionsdialog.h"
#include "filedialog.h"
#include "importexportthread.h"
#include "messagebox.h"
#include "progressdialog.h"
#include "windowsettings.h"

namespace
{
const QString CSV_FILTER = QStringLiteral("Comma Separated File (*.csv)");
const QString QIF_FILTER = QStringLiteral("QIF document (*.qif)");
const QString EXCHANGE_FILTERS = CSV_FILTER + QStringLiteral(";;") + QIF_FILTER;
// An import offers both formats at once, so that neither kind of file is hidden at first.
const QString IMPORT_FILTERS = QStringLiteral("Catalogues (*.csv *.qif);;") + EXCHANGE_FILTERS;
} // namespace

TExchangeRunner::TExchangeRunner(QWidget *window, TCatalogueController *catalogue,
                                 TMessageBox *message_box, TWindowSettings *settings)
    : QObject(window), d_window(window), d_catalogue(catalogue), d_message_box(message_box),
      d_settings(settings), d_export_options_dialog(nullptr)
{
  d_thread = new TImportExportThread(this);
  d_progress_dialog = new TProgressDialog(window);
  connect(d_thread, &QThread::started, this, &TExchangeRunner::Thread_Started);
  connect(d_thread, &QThread::finished, this, &TExchangeRunner::Thread_Finished);
  connect(d_thread, &TImportExportThread::Update_Progress, this, &TExchangeRunner::Thread_Progress);
  connect(d_thread, &TImportExportThread::Update_Progress_Text, this,
          &TExchangeRunner::Thread_Progress_Text);
}

TExchangeRunner::~TExchangeRunner()
{
  // The worker uses the window's database; never pull it away under a running import or export.
  d_thread->wait();
}

bool TExchangeRunner::Is_Running() const
{
  return d_thread->isRunning();
}

bool TExchangeRunner::Refused_While_Running()
{
  if (!Is_Running())
  {
    return false;
  }
  d_message_box->Show(QStringLiteral("IO Thread Running"),
                      QStringLiteral("Database is currently being imported or exported."),
                      QString(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
  return true;
}

bool TExchangeRunner::Refused()
{
  if (!d_catalogue->Is_Open())
  {
    d_message_box->Show(QStringLiteral("Database Error"), QStringLiteral("Database not open."),
                        QString(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return true;
  }
  return Refused_While_Running();
}

void TExchangeRunner::Import()
{
  if (Refused() || d_catalogue->Is_Read_Only())
  {
    return;
  }
  QString selected_filter;
  const QString file_name =
      TFileDialog::Get_Open_File_Name(d_window, QStringLiteral("Import database"),
                                      d_settings->Current_Path(), IMPORT_FILTERS, &selected_filter);
  if (file_name.isEmpty())
  {
    return;
  }
  emit Import_Started();
  Start(TImportExportThread::MODE_IMPORT, file_name, selected_filter);
}

void TExchangeRunner::Export(const QStringList &selected_makes)
{
  if (Refused())
  {
    return;
  }
  QStringList makes;
  if (!selected_makes.isEmpty())
  {
    if (!d_export_options_dialog)
    {
      d_export_options_dialog = new TExportOptionsDialog(d_window);
    }
    if (d_export_options_dialog->exec() != QDialog::Accepted)
    {
      return;
    }
    if (d_export_options_dialog->Is_Selected_Specifications())
    {
      makes = selected_makes;
    }
  }
  QString selected_filter;
  const QString file_name = TFileDialog::Get_Save_File_Name(
      d_window, QStringLiteral("Export database"), d_settings->Current_Path(), EXCHANGE_FILTERS, {},
      &selected_filter);
  if (file_name.isEmpty())
  {
    return;
  }
  d_thread->Set_Export_Makes(makes);
  Start(TImportExportThread::MODE_EXPORT, file_name, selected_filter);
}

void TExchangeRunner::Start(int mode, const QString &file_name, const QString &selected_filter)
{
  d_settings->Remember_Folder(file_name);
  // The format of a chosen file: its extension names it, else the filter it was chosen under.
  d_thread->Set_Format(TCatalogueExchange::Format_Of(
      file_name, selected_filter == QIF_FILTER ? TCatalogueExchange::FORMAT_QIF
                                               : TCatalogueExchange::FORMAT_CSV));
  d_thread->Set_Database(d_catalogue->Database());
  d_thread->Set_Mode(mode);
  d_thread->Set_File_Name(file_name);
  emit Running_Changed(true);
  d_thread->start(QThread::NormalPriority);
}

void TExchangeRunner::Thread_Started()
{
  d_progress_dialog->Set_Maximum(100);
  d_progress_dialog->Set_Value(0);
  d_progress_dialog->show();
}

void TExchangeRunner::Thread_Finished()
{
  d_progress_dialog->hide();
  // finished() is queued; the run is over, only the thread's own exit may still be pending.
  d_thread->wait();
  emit Running_Changed(false);

  const bool imported = d_thread->Mode() == TImportExportThread::MODE_IMPORT;
  if (d_thread->Has_Error())
  {
    d_message_box->Show(QStringLiteral("Import Export Error"), QStringLiteral("Operation failed."),
                        d_thread->Error_Text(), QMessageBox::Ok, QMessageBox::Ok,
                        QMessageBox::Warning);
  }
  // A skipped line or component, or a name the file could not carry as stored, is not silent.
  else if (d_thread->Has_Warnings())
  {
    d_message_box->Show(
        imported ? QStringLiteral("Import Warning") : QStringLiteral("Export Warning"),
        imported ? QStringLiteral("Some of the file was not imported.")
                 : QStringLiteral("Some of the catalogue was not exported as it is "
                                  "stored."),
        d_thread->Warning_Text(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
  }
  if (imported)
  {
    emit Import_Finished();
  }
}

void TExchangeRunner::Thread_Progress(int value, int maximum)
{
  d_progress_dialog->Set_Maximum(maximum);
  d_progress_dialog->Set_Value(value);
}

void TExchangeRunner::Thread_Progress_Text(const QString &text)
{
  d_progress_dialog->Set_Text(text);
}
