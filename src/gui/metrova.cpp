#include "metrova.h"

#include "catalogueview.h"
#include "comparemachinesdialog.h"
#include "database.h"
#include "databaseitem.h"
#include "exchangefile.h"
#include "exportoptionsdialog.h"
#include "expressionitem.h"
#include "filedialog.h"
#include "importexportthread.h"
#include "messagebox.h"
#include "progressdialog.h"
#include "samplecatalogue.h"
#include "specificationedit.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"
#include "specificationreport.h"
#include "verificationlog.h"
#include "verificationlogdialog.h"
#include "windowsettings.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

// Q_INIT_RESOURCE must be used outside any namespace.
void Initialize_Metrova_Resources()
{
  Q_INIT_RESOURCE(metrova);
}

namespace
{
const QString DATABASE_FILTER = QStringLiteral("Database File (*.db)");
const QString CSV_FILTER = QStringLiteral("Comma Separated File (*.csv)");
const QString QIF_FILTER = QStringLiteral("QIF document (*.qif)");
const QString EXCHANGE_FILTERS = CSV_FILTER + QStringLiteral(";;") + QIF_FILTER;
// An import offers both formats at once, so that neither kind of file is hidden at first.
const QString IMPORT_FILTERS = QStringLiteral("Catalogues (*.csv *.qif);;") + EXCHANGE_FILTERS;
const QString NO_CATALOGUE_TEXT = QStringLiteral(
    "No catalogue open: File > New Database, Open Database, or Help > Open Sample Catalogue");

// The format of a chosen file: its extension names it, else the filter it was chosen under.
TCatalogueExchange::TFormat Exchange_Format(const QString &file_name,
                                            const QString &selected_filter)
{
  return TCatalogueExchange::Format_Of(file_name, selected_filter == QIF_FILTER
                                                      ? TCatalogueExchange::FORMAT_QIF
                                                      : TCatalogueExchange::FORMAT_CSV);
}

// The sample exchange file, built into the program so that it is there however it was installed.
const QString SAMPLE_EXCHANGE_FILE = QStringLiteral(":/examples/catalogue.csv");
const QString SAMPLE_CATALOGUE_FILE = QStringLiteral("sample_catalogue.db");
} // namespace

TMetrova::TMetrova(QWidget *parent)
    : QMainWindow(parent), d_progress_dialog(nullptr), d_export_options_dialog(nullptr),
      d_import_export_thread(nullptr), d_specification_editor_dialog(nullptr),
      d_specification_limits_dialog(nullptr), d_compare_machines_dialog(nullptr),
      d_database(std::make_unique<TDatabase>()), d_message_box(nullptr), d_catalogue_label(nullptr),
      d_window_settings(std::make_unique<TWindowSettings>())
{
  Initialize_Metrova_Resources();

  const QScreen *screen = QGuiApplication::primaryScreen();
  const QRect geometry =
      d_window_settings->Window_Geometry(screen ? screen->availableGeometry() : QRect());
  resize(geometry.size());
  move(geometry.topLeft());

  Create_Actions();
  d_catalogue_view = new TCatalogueView(this);
  d_make_list = d_catalogue_view->Make_List();
  d_model_list = d_catalogue_view->Model_List();
  d_option_list = d_catalogue_view->Option_List();
  d_specification_tree = d_catalogue_view->Specification_Tree();
  setCentralWidget(d_catalogue_view);
  Create_Menus();

  d_message_box = new TMessageBox(this);
  d_progress_dialog = new TProgressDialog(this);
  d_import_export_thread = new TImportExportThread(this);

  // Which file is open, where every window shows it: the title stays the program's.
  d_catalogue_label = new QLabel(this);
  d_catalogue_label->setObjectName(QStringLiteral("catalogue_label"));
  // A narrow window cuts the text rather than growing for it; the tool tip has the path.
  d_catalogue_label->setMinimumWidth(1);
  d_catalogue_label->setContentsMargins(6, 0, 6, 0);
  statusBar()->addPermanentWidget(d_catalogue_label, 1);
  Update_Database_Commands();

  setWindowTitle(QStringLiteral("Metrova"));

  connect(d_action_new_database, &QAction::triggered, this, &TMetrova::New_Database);
  connect(d_action_open_database, &QAction::triggered, this, &TMetrova::Open_Database);
  connect(d_action_close_database, &QAction::triggered, this, &TMetrova::Close_Database);
  connect(d_action_export, &QAction::triggered, this, &TMetrova::Export);
  connect(d_action_import, &QAction::triggered, this, &TMetrova::Import);
  connect(d_action_output, &QAction::triggered, this, &TMetrova::Output);
  connect(d_action_edit_specification, &QAction::triggered, this, &TMetrova::Edit_Specification);
  connect(d_action_specification_limits, &QAction::triggered, this,
          &TMetrova::Specification_Limits);
  connect(d_action_compare_machines, &QAction::triggered, this, &TMetrova::Compare_Machines);
  connect(d_action_verification_log, &QAction::triggered, this, &TMetrova::Verification_Log);
  // The log needs one selected machine, as Limits does.
  connect(d_action_specification_limits, &QAction::changed, d_action_verification_log,
          [this]()
          { d_action_verification_log->setEnabled(d_action_specification_limits->isEnabled()); });
  d_action_verification_log->setEnabled(false);
  connect(d_action_delete_make, &QAction::triggered, this, &TMetrova::Delete_Make);
  connect(d_action_delete_model, &QAction::triggered, this, &TMetrova::Delete_Model);
  connect(d_action_delete_option, &QAction::triggered, this, &TMetrova::Delete_Option);
  QAction *action_about = findChild<QAction *>(QStringLiteral("action_about"));
  connect(action_about, &QAction::triggered, this, &TMetrova::Help_About);
  connect(d_action_open_sample_catalogue, &QAction::triggered, this,
          &TMetrova::Open_Sample_Catalogue);
  connect(d_action_quit, &QAction::triggered, this, &TMetrova::close);

  connect(d_import_export_thread, &QThread::started, this, &TMetrova::Thread_Started);
  connect(d_import_export_thread, &QThread::finished, this, &TMetrova::Thread_Finished);
  connect(d_import_export_thread, &TImportExportThread::Update_Progress, this,
          &TMetrova::Thread_Progress);
  connect(d_import_export_thread, &TImportExportThread::Update_Progress_Text, this,
          &TMetrova::Thread_Progress_Text);

  connect(d_make_list, &QListWidget::itemSelectionChanged, this, &TMetrova::Make_Selection_Changed);
  connect(d_model_list, &QListWidget::itemSelectionChanged, this,
          &TMetrova::Model_Selection_Changed);
  connect(d_option_list, &QListWidget::itemSelectionChanged, this,
          &TMetrova::Option_Selection_Changed);
}

TMetrova::~TMetrova()
{
  // The worker uses the database object; never pull it away under a running import or export.
  if (d_import_export_thread)
    d_import_export_thread->wait();
  d_database.reset();
}

QString TMetrova::Settings_File_Name() const
{
  return d_window_settings->File_Name();
}

void TMetrova::Create_Actions()
{
  struct TActionEntry
  {
    QAction **action;
    const char *icon;
    const char *text;
    const char *name;
  };
  QAction *action_about = nullptr;
  const TActionEntry entries[] = {
      {&d_action_new_database, ":/actions/new_database.png", "New Database...",
       "action_new_database"},
      {&d_action_close_database, ":/actions/close_database.png", "Close Database",
       "action_close_database"},
      {&d_action_open_database, ":/actions/open_database.png", "Open Database...",
       "action_open_database"},
      {&d_action_export, ":/actions/export.png", "Export...", "action_export"},
      {&d_action_import, ":/actions/import.png", "Import...", "action_import"},
      {&d_action_quit, nullptr, "Quit", "action_quit"},
      {&d_action_output, ":/actions/output.png", "Output PDF", "action_output"},
      {&d_action_delete_make, nullptr, "Delete Make", "action_delete_make"},
      {&d_action_delete_model, nullptr, "Delete Model", "action_delete_model"},
      {&d_action_delete_option, nullptr, "Delete Option", "action_delete_option"},
      {&d_action_edit_specification, ":/actions/edit.png", "Specification Editor...",
       "action_edit_specification"},
      {&d_action_specification_limits, ":/actions/limits.png", "Limits...",
       "action_specification_limits"},
      {&d_action_compare_machines, ":/actions/compare.png", "Compare Machines...",
       "action_compare_machines"},
      {&d_action_verification_log, ":/actions/verification.png", "Verification Log...",
       "action_verification_log"},
      {&action_about, ":/actions/about.png", "About", "action_about"},
      {&d_action_open_sample_catalogue, nullptr, "Open Sample Catalogue",
       "action_open_sample_catalogue"},
  };
  for (const TActionEntry &entry : entries)
  {
    QAction *action = new QAction(this);
    if (entry.icon)
      action->setIcon(QIcon(QString::fromLatin1(entry.icon)));
    action->setText(QString::fromLatin1(entry.text));
    action->setObjectName(QString::fromLatin1(entry.name));
    *entry.action = action;
  }
}

void TMetrova::Create_Menus()
{
  QAction *action_about = findChild<QAction *>(QStringLiteral("action_about"));

  QMenu *file_menu = menuBar()->addMenu(QStringLiteral("File"));
  file_menu->addAction(d_action_new_database);
  file_menu->addAction(d_action_open_database);
  file_menu->addAction(d_action_close_database);
  file_menu->addSeparator();
  file_menu->addAction(d_action_export);
  file_menu->addAction(d_action_import);
  file_menu->addSeparator();
  file_menu->addAction(d_action_output);
  file_menu->addSeparator();
  file_menu->addAction(d_action_quit);

  QMenu *edit_menu = menuBar()->addMenu(QStringLiteral("Edit"));
  edit_menu->addAction(d_action_edit_specification);
  edit_menu->addAction(d_action_specification_limits);
  edit_menu->addAction(d_action_compare_machines);
  edit_menu->addAction(d_action_verification_log);
  edit_menu->addSeparator();
  edit_menu->addAction(d_action_delete_make);
  edit_menu->addAction(d_action_delete_model);
  edit_menu->addAction(d_action_delete_option);
  edit_menu->addSeparator();

  QMenu *help_menu = menuBar()->addMenu(QStringLiteral("Help"));
  help_menu->addAction(d_action_open_sample_catalogue);
  help_menu->addSeparator();
  help_menu->addAction(action_about);

  QToolBar *tool_bar = new QToolBar(this);
  tool_bar->setObjectName(QStringLiteral("tool_bar"));
  tool_bar->setIconSize(QSize(32, 32));
  tool_bar->addAction(d_action_new_database);
  tool_bar->addAction(d_action_open_database);
  tool_bar->addAction(d_action_close_database);
  tool_bar->addSeparator();
  tool_bar->addAction(d_action_export);
  tool_bar->addAction(d_action_import);
  tool_bar->addAction(d_action_output);
  tool_bar->addSeparator();
  tool_bar->addAction(d_action_edit_specification);
  tool_bar->addAction(d_action_specification_limits);
  tool_bar->addAction(d_action_compare_machines);
  tool_bar->addAction(d_action_verification_log);
  tool_bar->addSeparator();
  tool_bar->addAction(action_about);
  addToolBar(Qt::TopToolBarArea, tool_bar);
}

void TMetrova::closeEvent(QCloseEvent *event)
{
  d_window_settings->Save(pos(), size());

  if (Worker_Running())
    event->ignore();
  else
    event->accept();
}

void TMetrova::Show_Database_Makes()
{
  bool valid = false;
  const QStringList makes = d_database->Makes(&valid);
  if (valid)
    d_make_list->addItems(makes);
}

bool TMetrova::Worker_Running() const
{
  return d_import_export_thread && d_import_export_thread->isRunning();
}

// The worker and the window share one database connection: while a run goes on, nothing in
// the window may read, change or close the database.
void TMetrova::Set_Worker_Running(bool running)
{
  d_make_list->setEnabled(!running);
  d_model_list->setEnabled(!running);
  d_option_list->setEnabled(!running);
  d_specification_tree->setEnabled(!running);
  Update_Database_Commands();
}

void TMetrova::Update_Database_Commands()
{
  const bool connected = d_database->Is_Open();
  const bool open = connected && d_make_list->isEnabled();
  // A catalogue that cannot be written is shown, searched and exported; nothing changes it.
  const bool writable = open && !d_database->Is_Read_Only();
  const int makes = d_make_list->selectedItems().size();
  const int models = d_model_list->selectedItems().size();
  const int options = d_option_list->selectedItems().size();
  const bool option_selected = open && makes > 0 && models == 1 && options > 0;

  // While the worker runs they stay on, to say why they refuse.
  d_action_export->setEnabled(connected);
  d_action_import->setEnabled(connected && !d_database->Is_Read_Only());
  d_action_close_database->setEnabled(open);
  d_action_edit_specification->setEnabled(open);
  d_action_compare_machines->setEnabled(open);
  d_action_delete_make->setEnabled(writable && makes > 0);
  d_action_delete_model->setEnabled(writable && makes == 1 && models == 1);
  d_action_delete_option->setEnabled(writable && option_selected);
  d_action_specification_limits->setEnabled(option_selected);
  d_action_output->setEnabled(option_selected);
  Show_Catalogue_Name();
}

void TMetrova::Show_Catalogue_Name()
{
  if (!d_database->Is_Open())
  {
    d_catalogue_label->setText(NO_CATALOGUE_TEXT);
    d_catalogue_label->setToolTip(QString());
    return;
  }
  const QFileInfo file(d_database->File_Name());
  d_catalogue_label->setText(QStringLiteral("Catalogue: %1%2")
                                 .arg(file.fileName(), d_database->Is_Read_Only()
                                                           ? QStringLiteral(" (read-only)")
                                                           : QString()));
  d_catalogue_label->setToolTip(QDir::toNativeSeparators(file.absoluteFilePath()));
}

bool TMetrova::Connect_Database(const QString &file_name)
{
  if (Refused_While_Running())
    return false;
  if (d_database->Is_Open())
    d_database->Close();
  if (!d_database->Connect(file_name))
  {
    Show_Open_Failure(QStringLiteral("Connect Error"),
                      QStringLiteral("Error trying to connect to the database."));
    return false;
  }
  if (!d_database->Initialize())
  {
    Show_Open_Failure(QStringLiteral("Initialize Error"),
                      QStringLiteral("Error trying to initialize the database."));
    return false;
  }
  return true;
}

void TMetrova::New_Database()
{
  // The program asks its own question about an existing file, once.
  const QString file_name = TFileDialog::Get_Save_File_Name(
      this, QStringLiteral("New database"), d_window_settings->Current_Path(), DATABASE_FILTER,
      QFileDialog::DontConfirmOverwrite);
  if (file_name.isEmpty())
    return;

  const bool existed = QFile::exists(file_name);
  if (!Connect_Database(file_name))
    return;

  // A file that cannot be written is opened as it is: it could not be cleared.
  if (existed && !d_database->Is_Read_Only() &&
      d_message_box->Show(QStringLiteral("Clear Database"),
                          QStringLiteral("Do you want to clear the existing database?"), QString(),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                          QMessageBox::Question) == QMessageBox::Yes)
  {
    // A failed clear changed nothing.
    if (!d_database->Clear())
    {
      Show_Open_Failure(QStringLiteral("Clear Error"),
                        QStringLiteral("Cannot clear the database."));
      return;
    }
  }

  d_window_settings->Remember_Folder(file_name);
  Show_Opened_Database();
}

void TMetrova::Open_Database()
{
  const QString file_name = TFileDialog::Get_Open_File_Name(
      this, QStringLiteral("Open database"), d_window_settings->Current_Path(), DATABASE_FILTER);
  if (file_name.isEmpty())
    return;

  if (!Connect_Database(file_name))
    return;

  d_window_settings->Remember_Folder(file_name);
  Show_Opened_Database();
}

// The common end of New, Open and Open Sample Catalogue: the database commands on, the lists
// showing the new file.
void TMetrova::Show_Opened_Database()
{
  d_catalogue_view->Clear();
  Show_Database_Makes();
  Update_Database_Commands();
}

// A failed New or Open leaves no catalogue open, as at start: the previous one was closed before
// the new file was tried, and nothing may act on a file that did not open. Says why, in a
// sentence, with the database's reason as the details.
void TMetrova::Show_Open_Failure(const QString &heading, const QString &text)
{
  const QString reason = d_database->Last_Error();
  const QString cause = d_database->Failure_Cause();
  Show_Closed_Database();
  d_message_box->Show(heading, cause.isEmpty() ? text : text + QLatin1Char(' ') + cause, reason,
                      QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
}

void TMetrova::Close_Database()
{
  if (Worker_Running())
    return;
  Show_Closed_Database();
}

void TMetrova::Show_Closed_Database()
{
  d_database->Close();
  d_catalogue_view->Clear();
  Update_Database_Commands();
}

// Shows "IO Thread Running" while an import or export goes on; the caller then stops.
bool TMetrova::Refused_While_Running()
{
  if (!Worker_Running())
    return false;
  d_message_box->Show(QStringLiteral("IO Thread Running"),
                      QStringLiteral("Database is currently being imported or exported."),
                      QString(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
  return true;
}

// Import and Export need an open database and an idle worker thread.
bool TMetrova::Exchange_Refused()
{
  if (!d_database->Is_Open())
  {
    d_message_box->Show(QStringLiteral("Database Error"), QStringLiteral("Database not open."),
                        QString(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return true;
  }
  return Refused_While_Running();
}

void TMetrova::Export()
{
  if (Exchange_Refused())
    return;

  const QList<QListWidgetItem *> selected_makes = d_make_list->selectedItems();
  d_import_export_thread->Set_Export_Makes(QStringList());
  if (!selected_makes.isEmpty())
  {
    if (!d_export_options_dialog)
      d_export_options_dialog = new TExportOptionsDialog(this);
    if (d_export_options_dialog->exec() != QDialog::Accepted)
      return;
    if (d_export_options_dialog->Is_Selected_Specifications())
      d_import_export_thread->Set_Export_Makes(TCatalogueView::Texts(selected_makes));
  }

  QString selected_filter;
  const QString file_name = TFileDialog::Get_Save_File_Name(this, QStringLiteral("Export database"),
                                                            d_window_settings->Current_Path(),
                                                            EXCHANGE_FILTERS, {}, &selected_filter);
  if (file_name.isEmpty())
    return;
  const TCatalogueExchange::TFormat format = Exchange_Format(file_name, selected_filter);
  d_window_settings->Remember_Folder(file_name);

  d_import_export_thread->Set_Database(d_database.get());
  d_import_export_thread->Set_Format(format);
  d_import_export_thread->Set_Mode(TImportExportThread::MODE_EXPORT);
  d_import_export_thread->Set_File_Name(file_name);
  Set_Worker_Running(true);
  d_import_export_thread->start(QThread::NormalPriority);
}

void TMetrova::Import()
{
  if (Exchange_Refused() || d_database->Is_Read_Only())
    return;

  QString selected_filter;
  const QString file_name = TFileDialog::Get_Open_File_Name(this, QStringLiteral("Import database"),
                                                            d_window_settings->Current_Path(),
                                                            IMPORT_FILTERS, &selected_filter);
  if (file_name.isEmpty())
    return;
  d_window_settings->Remember_Folder(file_name);

  d_catalogue_view->Clear();

  d_import_export_thread->Set_Database(d_database.get());
  d_import_export_thread->Set_Format(Exchange_Format(file_name, selected_filter));
  d_import_export_thread->Set_Mode(TImportExportThread::MODE_IMPORT);
  d_import_export_thread->Set_File_Name(file_name);
  Set_Worker_Running(true);
  d_import_export_thread->start(QThread::NormalPriority);
}

void TMetrova::Output()
{
  if (Worker_Running())
    return;

  const QString make = TCatalogueView::Current_Text(d_make_list);
  const QString model = TCatalogueView::Current_Text(d_model_list);
  const QString option = TCatalogueView::Current_Text(d_option_list);
  if (make.isEmpty() || model.isEmpty() || option.isEmpty())
    return;

  QString file_name = TFileDialog::Get_Save_File_Name(this, QStringLiteral("Output specification"),
                                                      d_window_settings->Current_Path(),
                                                      QStringLiteral("Adobe PDF files (*.pdf)"));
  if (file_name.isEmpty())
    return;
  file_name = TSpecificationReport::Appended_Pdf_Suffix(file_name);

  const QList<QStringList> rows =
      TSpecificationReport::Build_Rows(d_database.get(), make, model, option);
  QString error_text;
  if (!TSpecificationReport::Write(file_name, make, model, option, rows, &error_text))
    d_message_box->Show(QStringLiteral("Output Error"),
                        QStringLiteral("Cannot write the PDF report."), error_text, QMessageBox::Ok,
                        QMessageBox::Ok, QMessageBox::Warning);
}

void TMetrova::Edit_Specification()
{
  if (Worker_Running())
    return;

  if (!d_specification_editor_dialog)
    d_specification_editor_dialog = new TSpecificationEditorDialog(this);
  // A catalogue that cannot be written is shown in the editor, not changed.
  d_specification_editor_dialog->Set_Read_Only(d_database->Is_Read_Only());

  // With nothing selected the editor starts a new specification.
  const QString selected_make = TCatalogueView::Current_Selected_Text(d_make_list);
  const QString selected_model = TCatalogueView::Current_Selected_Text(d_model_list);
  const QString selected_option = TCatalogueView::Current_Selected_Text(d_option_list);

  QList<TEditorRow> rows;
  if (!TSpecificationEdit::Read_Rows(d_database.get(), selected_make, selected_model,
                                     selected_option, &rows))
  {
    // Opening the editor on rows that could not be read would offer to save them as empty.
    d_message_box->Show(QStringLiteral("Read Error"),
                        QStringLiteral("Cannot read the specification."), d_database->Last_Error(),
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return;
  }

  d_specification_editor_dialog->Set_Data(d_database.get(), selected_make, selected_model,
                                          selected_option, rows);
  if (d_specification_editor_dialog->exec() != QDialog::Accepted || d_database->Is_Read_Only())
    return;

  const QString make = d_specification_editor_dialog->Make_Text();
  const QString model = d_specification_editor_dialog->Model_Text();
  const QString option = d_specification_editor_dialog->Option_Text();
  QString error_text;
  // Saved over the machine it showed only if that still holds what it showed.
  const bool same_machine =
      make == selected_make && model == selected_model && option == selected_option;
  const bool saved = TSpecificationEdit::Save(d_database.get(), make, model, option,
                                              d_specification_editor_dialog->Rows(), &error_text,
                                              same_machine ? &rows : nullptr);
  if (!saved)
    d_message_box->Show(QStringLiteral("Save Error"),
                        QStringLiteral("Cannot save the specification."), error_text,
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);

  // Shown from what the database holds: the saved machine, or after a failure the one that was
  // selected, which is unchanged.
  const QString shown_make = saved ? make : selected_make;
  const QString shown_model = saved ? model : selected_model;
  const QString shown_option = saved ? option : selected_option;
  bool valid = false;
  TCatalogueView::Replace_Names(d_make_list, d_database->Makes(&valid));
  TCatalogueView::Replace_Names(
      d_model_list, shown_make.isEmpty() ? QStringList() : d_database->Models(shown_make, &valid));
  TCatalogueView::Replace_Names(d_option_list,
                                shown_make.isEmpty() || shown_model.isEmpty()
                                    ? QStringList()
                                    : d_database->Options(shown_make, shown_model, &valid));
  d_specification_tree->clear();
  Select_Specification(shown_make, shown_model, shown_option);
  Update_Database_Commands();
}

void TMetrova::Specification_Limits()
{
  if (Worker_Running())
    return;

  if (!d_specification_limits_dialog)
    d_specification_limits_dialog = new TSpecificationLimitsDialog(this);

  const QString make = TCatalogueView::Current_Selected_Text(d_make_list);
  const QString model = TCatalogueView::Current_Selected_Text(d_model_list);
  const QString option = TCatalogueView::Current_Selected_Text(d_option_list);
  d_specification_limits_dialog->Set_Identification(make, model, option);

  bool valid = false;
  const QStringList standards = d_database->Standard_Types(&valid);
  if (!valid)
    return;

  if (!make.isEmpty() && !model.isEmpty() && !option.isEmpty())
  {
    for (const QString &standard : standards)
    {
      bool found = false;
      const TDatabaseItem record =
          d_database->Read_Specification(make, model, option, standard, &found);
      if (found)
        d_specification_limits_dialog->Add_Database_Item(record);
    }
  }

  d_specification_limits_dialog->Update_Limits();
  d_specification_limits_dialog->exec();
}

void TMetrova::Compare_Machines()
{
  if (Worker_Running() || !d_database->Is_Open())
    return;

  if (!d_compare_machines_dialog)
    d_compare_machines_dialog = new TCompareMachinesDialog(this);
  d_compare_machines_dialog->Set_Folder(d_window_settings->Current_Path());
  // The catalogue as it is now, with the selected machine, if any, already compared.
  d_compare_machines_dialog->Set_Database(d_database.get());
  const QString make = TCatalogueView::Current_Selected_Text(d_make_list);
  const QString model = TCatalogueView::Current_Selected_Text(d_model_list);
  const QString option = TCatalogueView::Current_Selected_Text(d_option_list);
  if (!make.isEmpty() && !model.isEmpty() && !option.isEmpty())
    d_compare_machines_dialog->Add_Machine(make, model, option);
  d_compare_machines_dialog->exec();

  const QString exported = d_compare_machines_dialog->Exported_File_Name();
  if (!exported.isEmpty())
    d_window_settings->Remember_Folder(exported);
}

void TMetrova::Verification_Log()
{
  const QString make = TCatalogueView::Current_Selected_Text(d_make_list);
  const QString model = TCatalogueView::Current_Selected_Text(d_model_list);
  const QString option = TCatalogueView::Current_Selected_Text(d_option_list);
  if (Worker_Running() || make.isEmpty() || model.isEmpty() || option.isEmpty())
    return;

  TVerificationLogDialog dialog(this);
  dialog.Set_Message_Box(d_message_box);
  dialog.Set_Folder(d_window_settings->Current_Path());
  if (dialog.Set_Machine(d_database.get(), make, model, option))
    dialog.exec();
  if (!dialog.Last_File_Name().isEmpty())
    d_window_settings->Remember_Folder(dialog.Last_File_Name());
}

void TMetrova::Delete_Make()
{
  const QStringList makes = TCatalogueView::Texts(d_make_list->selectedItems());
  if (makes.isEmpty())
    return;
  Delete_Level(
      QStringLiteral("Make"), d_make_list,
      [&]
      {
        int records = 0;
        for (const QString &make : makes)
        {
          const int count = TVerificationLog(d_database.get()).Record_Count(make);
          records = records < 0 || count < 0 ? -1 : records + count;
        }
        return records;
      },
      [&](bool with_records)
      {
        // Every selected make, whether or not one before it failed.
        bool removed = true;
        for (const QString &make : makes)
          removed = d_database->Remove_Make(make, with_records) && removed;
        return removed;
      },
      [this](bool *valid) { return d_database->Makes(valid); });
}

void TMetrova::Delete_Model()
{
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  if (makes.isEmpty() || models.isEmpty())
    return;
  const QString make = makes.first()->data(Qt::DisplayRole).toString();
  const QString model = models.first()->data(Qt::DisplayRole).toString();
  Delete_Level(
      QStringLiteral("Model"), d_model_list,
      [&] { return TVerificationLog(d_database.get()).Record_Count(make, model); },
      [&](bool with_records) { return d_database->Remove_Model(make, model, with_records); },
      [&](bool *valid) { return d_database->Models(make, valid); });
}

void TMetrova::Delete_Option()
{
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  const QList<QListWidgetItem *> options = d_option_list->selectedItems();
  if (makes.isEmpty() || models.isEmpty() || options.isEmpty())
    return;
  const QString make = makes.first()->data(Qt::DisplayRole).toString();
  const QString model = models.first()->data(Qt::DisplayRole).toString();
  const QString option = options.first()->data(Qt::DisplayRole).toString();
  Delete_Level(
      QStringLiteral("Option"), d_option_list,
      [&] { return TVerificationLog(d_database.get()).Record_Count(make, model, option); },
      [&](bool with_records)
      { return d_database->Remove_Option(make, model, option, with_records); },
      [&](bool *valid) { return d_database->Options(make, model, valid); });
}

void TMetrova::Delete_Level(const QString &level, QListWidget *list,
                            const std::function<int()> &records,
                            const std::function<bool(bool)> &remove,
                            const std::function<QStringList(bool *)> &names)
{
  if (Worker_Running() || d_database->Is_Read_Only())
    return;
  if (d_message_box->Show(
          QStringLiteral("Delete Current %1").arg(level),
          QStringLiteral("Are you sure you want to delete selected %1 and all sub items?")
              .arg(level),
          QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
          QMessageBox::Question) != QMessageBox::Yes)
    return;
  // Records go only when their deletion was confirmed; any added meanwhile keep the machine.
  const int record_count = records();
  if (!Records_Deletion_Confirmed(level, record_count))
    return;

  if (!remove(record_count != 0))
    d_message_box->Show(QStringLiteral("Delete Error"),
                        QStringLiteral("Cannot delete selected %1.").arg(level), QString(),
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);

  // Reloaded whether or not the delete worked: the lists show what the database holds.
  bool valid = false;
  const QStringList reloaded = names(&valid);
  bool below = false;
  for (QListWidget *each : {d_make_list, d_model_list, d_option_list})
  {
    if (each == list || below)
      TCatalogueView::Replace_Names(each, each == list ? reloaded : QStringList());
    below = below || each == list;
  }
  d_specification_tree->clear();
  // The lists were reloaded with their signals blocked: nothing below the deleted level is
  // selected any more.
  Update_Database_Commands();
}

bool TMetrova::Records_Deletion_Confirmed(const QString &level, int records)
{
  if (records == 0)
    return true;
  // Records of checks are evidence: they go only on a second answer.
  const QString text =
      records < 0
          ? QStringLiteral("The verification records of the selected %1, if any, are deleted "
                           "with it; they could not be counted.")
                .arg(level)
          : QStringLiteral("%1 verification record%2 of the selected %3 %4 deleted with it.")
                .arg(records)
                .arg(records == 1 ? QString() : QStringLiteral("s"), level,
                     records == 1 ? QStringLiteral("is") : QStringLiteral("are"));
  return d_message_box->Show(QStringLiteral("Delete Verification Records"),
                             text + QStringLiteral(" Delete them as well?"),
                             records < 0 ? d_database->Last_Error() : QString(),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                             QMessageBox::Question) == QMessageBox::Yes;
}

void TMetrova::Help_About()
{
  d_message_box->Show(QStringLiteral("Specification Editor"),
                      QStringLiteral("Specification Editor - Version 1.0"), QString(),
                      QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Information);
}

// The user's own copy of the sample, made on the first click and opened as it is on every later
// one. The folder offered by the file dialogs stays the user's.
void TMetrova::Open_Sample_Catalogue()
{
  if (Refused_While_Running())
    return;

  const QString file_name = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                            QLatin1Char('/') + SAMPLE_CATALOGUE_FILE;
  QString reason;
  if (!TSampleCatalogue::Create(SAMPLE_EXCHANGE_FILE, file_name, &reason))
  {
    d_message_box->Show(QStringLiteral("Sample Error"),
                        QStringLiteral("Cannot create the sample catalogue."), reason,
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return;
  }
  if (Connect_Database(file_name))
    Show_Opened_Database();
}

void TMetrova::Make_Selection_Changed()
{
  // The commands follow the selection as it is when the slot ends.
  const auto update = qScopeGuard([this] { Update_Database_Commands(); });
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();

  if (makes.size() == 1)
  {
    // Clearing the model list clears the options before the model can be found again, so the
    // option to reselect is remembered here as well.
    const QString model = TCatalogueView::Current_Text(d_model_list);
    const QString option = TCatalogueView::Current_Text(d_option_list);
    d_model_list->clear();

    bool valid = false;
    const QStringList models =
        d_database->Models(makes.first()->data(Qt::DisplayRole).toString(), &valid);
    if (valid)
      d_model_list->addItems(models);

    if (!model.isEmpty())
    {
      TCatalogueView::Make_First_Match_Current(d_model_list, model);
      if (!option.isEmpty() && d_model_list->selectedItems().size() == 1 &&
          !d_option_list->currentItem())
        TCatalogueView::Make_First_Match_Current(d_option_list, option);
    }
  }
  else
  {
    d_model_list->clear();
    d_option_list->clear();
    d_specification_tree->clear();
  }
}

void TMetrova::Model_Selection_Changed()
{
  // The commands follow the selection as it is when the slot ends.
  const auto update = qScopeGuard([this] { Update_Database_Commands(); });
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  if (makes.size() != 1)
    return;
  const QString make = makes.first()->data(Qt::DisplayRole).toString();

  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  if (models.size() == 1)
  {
    const QString option = TCatalogueView::Current_Text(d_option_list);
    d_option_list->clear();

    bool valid = false;
    const QStringList options =
        d_database->Options(make, models.first()->data(Qt::DisplayRole).toString(), &valid);
    if (valid)
      d_option_list->addItems(options);

    if (!option.isEmpty())
      TCatalogueView::Make_First_Match_Current(d_option_list, option);
  }
  else
  {
    d_option_list->clear();
    d_specification_tree->clear();
  }
}

void TMetrova::Option_Selection_Changed()
{
  // The commands follow the selection as it is when the slot ends.
  const auto update = qScopeGuard([this] { Update_Database_Commands(); });
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  if (makes.isEmpty())
    return;
  const QString make = makes.first()->data(Qt::DisplayRole).toString();

  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  if (models.size() != 1)
    return;
  const QString model = models.first()->data(Qt::DisplayRole).toString();

  const QList<QListWidgetItem *> options = d_option_list->selectedItems();
  if (options.isEmpty())
  {
    d_specification_tree->clear();
    return;
  }
  const QString option = options.first()->data(Qt::DisplayRole).toString();
  d_catalogue_view->Show_Specifications(d_database.get(), make, model, option);
}

void TMetrova::Add_Specification_Tree_Items(const QString &standard, const TDatabaseItem &item)
{
  d_catalogue_view->Add_Specification_Tree_Items(standard, item);
}

void TMetrova::Select_Specification(const QString &make, const QString &model,
                                    const QString &option)
{
  const struct
  {
    QListWidget *list;
    const QString &name;
  } levels[] = {{d_make_list, make}, {d_model_list, model}, {d_option_list, option}};

  for (const auto &level : levels)
  {
    const QList<QListWidgetItem *> matches =
        level.list->findItems(level.name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (matches.isEmpty())
      return;
    const QSignalBlocker blocker(level.list);
    level.list->setCurrentItem(matches.first(), QItemSelectionModel::Select);
  }

  d_catalogue_view->Show_Specifications(d_database.get(), make, model, option);
}

void TMetrova::Thread_Started()
{
  d_progress_dialog->Set_Maximum(100);
  d_progress_dialog->Set_Value(0);
  d_progress_dialog->show();
}

void TMetrova::Thread_Finished()
{
  d_progress_dialog->hide();
  // finished() is queued; the run is over, only the thread's own exit may still be pending.
  d_import_export_thread->wait();
  Set_Worker_Running(false);

  if (d_import_export_thread->Has_Error())
  {
    d_message_box->Show(QStringLiteral("Import Export Error"), QStringLiteral("Operation failed."),
                        d_import_export_thread->Error_Text(), QMessageBox::Ok, QMessageBox::Ok,
                        QMessageBox::Warning);
    return;
  }

  const bool imported = d_import_export_thread->Mode() == TImportExportThread::MODE_IMPORT;
  // A skipped line or component, or a name the file could not carry as stored, is not silent.
  if (d_import_export_thread->Has_Warnings())
    d_message_box->Show(imported ? QStringLiteral("Import Warning")
                                 : QStringLiteral("Export Warning"),
                        imported ? QStringLiteral("Some of the file was not imported.")
                                 : QStringLiteral("Some of the catalogue was not exported as it is "
                                                  "stored."),
                        d_import_export_thread->Warning_Text(), QMessageBox::Ok, QMessageBox::Ok,
                        QMessageBox::Warning);
  if (imported)
    Show_Database_Makes();
}

void TMetrova::Thread_Progress(int value, int maximum)
{
  d_progress_dialog->Set_Maximum(maximum);
  d_progress_dialog->Set_Value(value);
}

void TMetrova::Thread_Progress_Text(const QString &text)
{
  d_progress_dialog->Set_Text(text);
}
