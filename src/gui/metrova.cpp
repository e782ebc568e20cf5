#include "metrova.h"

#include "cataloguecontroller.h"
#include "cataloguelocation.h"
#include "catalogueview.h"
#include "comparemachinesdialog.h"
#include "connectserverdialog.h"
#include "database.h"
#include "databaseitem.h"
#include "deleteflow.h"
#include "exchangerunner.h"
#include "filedialog.h"
#include "historydialog.h"
#include "messagebox.h"
#include "specificationedit.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"
#include "specificationreport.h"
#include "specificationsave.h"
#include "transaction.h"
#include "verificationlogdialog.h"
#include "windowsettings.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
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
const QString NO_CATALOGUE_TEXT = QStringLiteral(
    "No catalogue open: File > New Database, Open Database, or Help > Open Sample Catalogue");
} // namespace

TMetrova::TMetrova(QWidget *parent)
    : QMainWindow(parent), d_specification_editor_dialog(nullptr),
      d_specification_limits_dialog(nullptr), d_compare_machines_dialog(nullptr),
      d_verification_log_dialog(nullptr), d_window_settings(std::make_unique<TWindowSettings>())
{
  Initialize_Metrova_Resources();

  const QScreen *screen = QGuiApplication::primaryScreen();
  const QRect geometry =
      d_window_settings->Window_Geometry(screen ? screen->availableGeometry() : QRect());
  resize(geometry.size());
  move(geometry.topLeft());

  d_message_box = new TMessageBox(this);
  d_catalogue = new TCatalogueController(this);
  d_browser = new TCatalogueView(this);
  d_browser->Set_Database(d_catalogue->Database());
  setCentralWidget(d_browser);
  d_exchange_runner =
      new TExchangeRunner(this, d_catalogue, d_message_box, d_window_settings.get());
  d_delete_flow = std::make_unique<TDeleteFlow>(d_catalogue, d_browser, d_message_box);
  Create_Actions();
  Create_Menus();

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
  connect(d_action_connect_server, &QAction::triggered, this, &TMetrova::Connect_To_Server);
  connect(d_action_close_database, &QAction::triggered, this, &TMetrova::Close_Database);
  connect(d_action_export, &QAction::triggered, this,
          [this]
          { d_exchange_runner->Export(d_browser->Selected_Names(TCatalogueView::LEVEL_MAKE)); });
  connect(d_action_import, &QAction::triggered, d_exchange_runner, &TExchangeRunner::Import);
  connect(d_action_output, &QAction::triggered, this, &TMetrova::Output);
  connect(d_action_edit_specification, &QAction::triggered, this, &TMetrova::Edit_Specification);
  connect(d_action_specification_limits, &QAction::triggered, this,
          &TMetrova::Specification_Limits);
  connect(d_action_compare_machines, &QAction::triggered, this, &TMetrova::Compare_Machines);
  connect(d_action_verification_log, &QAction::triggered, this, &TMetrova::Verification_Log);
  connect(d_action_history, &QAction::triggered, this, &TMetrova::History);
  // A delete is triggered by a shortcut too: it refuses by itself while the worker runs.
  const struct
  {
    QAction *action;
    void (TDeleteFlow::*remove)();
  } deletes[] = {{d_action_delete_make, &TDeleteFlow::Delete_Make},
                 {d_action_delete_model, &TDeleteFlow::Delete_Model},
                 {d_action_delete_option, &TDeleteFlow::Delete_Option}};
  for (const auto &entry : deletes)
  {
    connect(entry.action, &QAction::triggered, this,
            [this, remove = entry.remove]
            {
              if (!Worker_Running())
              {
                (d_delete_flow.get()->*remove)();
              }
            });
  }
  connect(d_action_about, &QAction::triggered, this, &TMetrova::Help_About);
  connect(d_action_open_sample_catalogue, &QAction::triggered, this,
          &TMetrova::Open_Sample_Catalogue);
  connect(d_action_quit, &QAction::triggered, this, &TMetrova::close);

  connect(d_catalogue, &TCatalogueController::Catalogue_Changed, this,
          &TMetrova::Catalogue_Changed);
  connect(d_browser, &TCatalogueView::Selection_Changed, this, &TMetrova::Update_Database_Commands);
  connect(d_exchange_runner, &TExchangeRunner::Running_Changed, this,
          &TMetrova::Worker_Running_Changed);
  connect(d_exchange_runner, &TExchangeRunner::Import_Started, d_browser, &TCatalogueView::Clear);
  connect(d_exchange_runner, &TExchangeRunner::Import_Finished, d_browser,
          &TCatalogueView::Show_Makes);
}

TMetrova::~TMetrova()
{
  // The worker uses the controller's database: the runner waits for it before anything goes.
  delete d_exchange_runner;
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
    // The platform's keys for the command; the menu texts stay as they are.
    QKeySequence::StandardKey keys;
  };
  const TActionEntry entries[] = {
      {&d_action_new_database, ":/actions/new_database.png", "New Database...",
       "action_new_database", QKeySequence::New},
      {&d_action_close_database, ":/actions/close_database.png", "Close Database",
       "action_close_database", QKeySequence::Close},
      {&d_action_open_database, ":/actions/open_database.png", "Open Database...",
       "action_open_database", QKeySequence::Open},
      {&d_action_connect_server, nullptr, "Connect to Server...", "action_connect_server",
       QKeySequence::UnknownKey},
      {&d_action_export, ":/actions/export.png", "Export...", "action_export",
       QKeySequence::UnknownKey},
      {&d_action_import, ":/actions/import.png", "Import...", "action_import",
       QKeySequence::UnknownKey},
      {&d_action_quit, nullptr, "Quit", "action_quit", QKeySequence::Quit},
      {&d_action_output, ":/actions/output.png", "Output PDF", "action_output",
       QKeySequence::Print},
      {&d_action_delete_make, nullptr, "Delete Make", "action_delete_make",
       QKeySequence::UnknownKey},
      {&d_action_delete_model, nullptr, "Delete Model", "action_delete_model",
       QKeySequence::UnknownKey},
      {&d_action_delete_option, nullptr, "Delete Option", "action_delete_option",
       QKeySequence::UnknownKey},
      {&d_action_edit_specification, ":/actions/edit.png", "Specification Editor...",
       "action_edit_specification", QKeySequence::UnknownKey},
      {&d_action_specification_limits, ":/actions/limits.png", "Limits...",
       "action_specification_limits", QKeySequence::UnknownKey},
      {&d_action_compare_machines, ":/actions/compare.png", "Compare Machines...",
       "action_compare_machines", QKeySequence::UnknownKey},
      {&d_action_verification_log, ":/actions/verification.png", "Verification Log...",
       "action_verification_log", QKeySequence::UnknownKey},
      {&d_action_history, nullptr, "History...", "action_history", QKeySequence::UnknownKey},
      {&d_action_about, ":/actions/about.png", "About", "action_about", QKeySequence::UnknownKey},
      {&d_action_open_sample_catalogue, nullptr, "Open Sample Catalogue",
       "action_open_sample_catalogue", QKeySequence::UnknownKey},
  };
  for (const TActionEntry &entry : entries)
  {
    QAction *action = new QAction(this);
    if (entry.icon)
    {
      action->setIcon(QIcon(QString::fromLatin1(entry.icon)));
    }
    action->setText(QString::fromLatin1(entry.text));
    action->setObjectName(QString::fromLatin1(entry.name));
    if (entry.keys != QKeySequence::UnknownKey)
    {
      action->setShortcuts(entry.keys);
    }
    *entry.action = action;
  }
}

void TMetrova::Create_Menus()
{
  QMenu *file_menu = menuBar()->addMenu(QStringLiteral("File"));
  file_menu->addAction(d_action_new_database);
  file_menu->addAction(d_action_open_database);
  file_menu->addAction(d_action_connect_server);
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
  edit_menu->addAction(d_action_history);
  edit_menu->addSeparator();
  edit_menu->addAction(d_action_delete_make);
  edit_menu->addAction(d_action_delete_model);
  edit_menu->addAction(d_action_delete_option);
  edit_menu->addSeparator();

  QMenu *help_menu = menuBar()->addMenu(QStringLiteral("Help"));
  help_menu->addAction(d_action_open_sample_catalogue);
  help_menu->addSeparator();
  help_menu->addAction(d_action_about);

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
  tool_bar->addAction(d_action_about);
  addToolBar(Qt::TopToolBarArea, tool_bar);
}

void TMetrova::closeEvent(QCloseEvent *event)
{
  d_window_settings->Save(pos(), size());
  if (Worker_Running())
  {
    event->ignore();
  }
  else
  {
    event->accept();
  }
}

bool TMetrova::Worker_Running() const
{
  return d_exchange_runner->Is_Running();
}

// The worker and the window share one database connection: while a run goes on, nothing in
// the window may read, change or close the database.
void TMetrova::Worker_Running_Changed(bool running)
{
  d_browser->Set_Browsing_Enabled(!running);
  Update_Database_Commands();
}

void TMetrova::Catalogue_Changed()
{
  d_browser->Show_Makes();
  Update_Database_Commands();
}

void TMetrova::Update_Database_Commands()
{
  const bool connected = d_catalogue->Is_Open();
  const bool open = connected && d_browser->Make_List()->isEnabled();
  // A catalogue that cannot be written is shown, searched and exported; nothing changes it.
  const bool writable = open && !d_catalogue->Is_Read_Only();
  const int makes = d_browser->Make_List()->selectedItems().size();
  const int models = d_browser->Model_List()->selectedItems().size();
  const int options = d_browser->Option_List()->selectedItems().size();
  const bool option_selected = open && makes > 0 && models == 1 && options > 0;

  // While the worker runs they stay on, to say why they refuse.
  d_action_export->setEnabled(connected);
  d_action_import->setEnabled(connected && !d_catalogue->Is_Read_Only());
  d_action_close_database->setEnabled(open);
  d_action_edit_specification->setEnabled(open);
  d_action_compare_machines->setEnabled(open);
  d_action_delete_make->setEnabled(writable && makes > 0);
  d_action_delete_model->setEnabled(writable && makes == 1 && models == 1);
  d_action_delete_option->setEnabled(writable && option_selected);
  d_action_specification_limits->setEnabled(option_selected);
  // The log needs one selected machine, as Limits does.
  d_action_verification_log->setEnabled(option_selected);
  // The history of a make, a model or a machine, as far as selected.
  d_action_history->setEnabled(makes == 1);
  d_action_output->setEnabled(option_selected);
  Show_Catalogue_Name();
}

void TMetrova::Show_Catalogue_Name()
{
  if (!d_catalogue->Is_Open())
  {
    d_catalogue_label->setText(NO_CATALOGUE_TEXT);
    d_catalogue_label->setToolTip(QString());
    return;
  }
  d_catalogue_label->setText(QStringLiteral("Catalogue: %1%2")
                                 .arg(d_catalogue->Name(), d_catalogue->Is_Read_Only()
                                                               ? QStringLiteral(" (read-only)")
                                                               : QString()));
  // The reason beyond a lack of permission, which Open_Catalogue tells on opening.
  const QString reason = d_catalogue->Database()->Read_Only_Reason();
  d_catalogue_label->setToolTip(d_catalogue->Location() +
                                (reason.isEmpty() ? QString() : QStringLiteral("\n") + reason));
}

void TMetrova::Show_Catalogue_Failure()
{
  const TCatalogueController::TFailure failure = d_catalogue->Last_Failure();
  d_message_box->Show(failure.heading, failure.text, failure.details, QMessageBox::Ok,
                      QMessageBox::Ok, QMessageBox::Warning);
}

bool TMetrova::Open_Catalogue(const TCatalogueLocation &location)
{
  bool opened = d_catalogue->Open(location);
  if (!opened && d_catalogue->Needs_Password() && location.Password().isEmpty())
  {
    // Only in memory, for this catalogue's connections: never in a setting or a message.
    QString password;
    if (!TConnectServerDialog::Ask_Password(this, location.Display_Name(), &password))
    {
      return false;
    }
    TCatalogueLocation with_password = location;
    with_password.Set_Password(password);
    opened = d_catalogue->Open(with_password);
  }
  if (!opened)
  {
    Show_Catalogue_Failure();
    return false;
  }
  // A reason the user can remove (another name of the file) is told on every open.
  const QString reason = d_catalogue->Database()->Read_Only_Reason();
  if (!reason.isEmpty())
  {
    d_message_box->Show(QStringLiteral("Opened read-only"), reason, QString(), QMessageBox::Ok,
                        QMessageBox::Ok, QMessageBox::Information);
  }
  return true;
}

void TMetrova::New_Database()
{
  // The program asks its own question about an existing file, once.
  const QString file_name = TFileDialog::Get_Save_File_Name(
      this, QStringLiteral("New database"), d_window_settings->Current_Path(), DATABASE_FILTER,
      QFileDialog::DontConfirmOverwrite);
  if (file_name.isEmpty() || d_exchange_runner->Refused_While_Running())
  {
    return;
  }
  const bool existed = QFile::exists(file_name);
  if (!Open_Catalogue(file_name))
  {
    return;
  }
  // A file that cannot be written is opened as it is: it could not be cleared. A failed clear
  // changed nothing.
  if (existed && !d_catalogue->Is_Read_Only() &&
      d_message_box->Show(QStringLiteral("Clear Database"),
                          QStringLiteral("Do you want to clear the existing database?"), QString(),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                          QMessageBox::Question) == QMessageBox::Yes &&
      !d_catalogue->Clear())
  {
    Show_Catalogue_Failure();
    return;
  }
  d_window_settings->Remember_Folder(file_name);
}

void TMetrova::Open_Database()
{
  const QString file_name = TFileDialog::Get_Open_File_Name(
      this, QStringLiteral("Open database"), d_window_settings->Current_Path(), DATABASE_FILTER);
  if (file_name.isEmpty() || d_exchange_runner->Refused_While_Running())
  {
    return;
  }
  if (!Open_Catalogue(file_name))
  {
    return;
  }
  d_window_settings->Remember_Folder(file_name);
}

// The fields are remembered even when the server cannot be reached: a typing error is mended
// next time rather than typed again.
void TMetrova::Connect_To_Server()
{
  TWindowSettings::TServer server = d_window_settings->Server();
  if (!TConnectServerDialog::Ask(this, &server) || d_exchange_runner->Refused_While_Running())
  {
    return;
  }
  d_window_settings->Remember_Server(server);
  Open_Catalogue(TCatalogueLocation::For_Server(server.host, server.port, server.database,
                                                server.user, server.sslmode));
}

void TMetrova::Close_Database()
{
  if (!Worker_Running())
  {
    d_catalogue->Close();
  }
}

// The folder offered by the file dialogs stays the user's.
void TMetrova::Open_Sample_Catalogue()
{
  if (!d_exchange_runner->Refused_While_Running() && !d_catalogue->Open_Sample())
  {
    Show_Catalogue_Failure();
  }
}

void TMetrova::Output()
{
  if (Worker_Running())
  {
    return;
  }
  const QString make = TCatalogueView::Current_Text(d_browser->Make_List());
  const QString model = TCatalogueView::Current_Text(d_browser->Model_List());
  const QString option = TCatalogueView::Current_Text(d_browser->Option_List());
  if (make.isEmpty() || model.isEmpty() || option.isEmpty())
  {
    return;
  }
  QString file_name = TFileDialog::Get_Save_File_Name(this, QStringLiteral("Output specification"),
                                                      d_window_settings->Current_Path(),
                                                      QStringLiteral("Adobe PDF files (*.pdf)"));
  if (file_name.isEmpty())
  {
    return;
  }
  file_name = TSpecificationReport::Appended_Pdf_Suffix(file_name);

  const QList<QStringList> rows =
      TSpecificationReport::Build_Rows(d_catalogue->Database(), make, model, option);
  QString error_text;
  // The reason, such as "Permission denied", is what the user acts on: it is in the message.
  if (!TSpecificationReport::Write(file_name, make, model, option, rows, &error_text))
  {
    d_message_box->Show(QStringLiteral("Output Error"), error_text, QString(), QMessageBox::Ok,
                        QMessageBox::Ok, QMessageBox::Warning);
  }
}

void TMetrova::Edit_Specification()
{
  if (Worker_Running())
  {
    return;
  }
  TDatabase *database = d_catalogue->Database();
  if (!d_specification_editor_dialog)
  {
    d_specification_editor_dialog = new TSpecificationEditorDialog(this);
  }
  // A catalogue that cannot be written is shown in the editor, not changed.
  d_specification_editor_dialog->Set_Read_Only(d_catalogue->Is_Read_Only());

  // With nothing selected the editor starts a new specification.
  const QStringList selected = d_browser->Selected_Machine();
  QList<TEditorRow> rows;
  if (!TSpecificationSave::Read_Rows(database, selected.at(0), selected.at(1), selected.at(2),
                                     &rows))
  {
    // Opening the editor on rows that could not be read would offer to save them as empty.
    d_message_box->Show(QStringLiteral("Read Error"),
                        QStringLiteral("Cannot read the specification."), database->Last_Error(),
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return;
  }
  d_specification_editor_dialog->Set_Data(database, selected.at(0), selected.at(1), selected.at(2),
                                          rows);
  if (d_specification_editor_dialog->exec() != QDialog::Accepted || d_catalogue->Is_Read_Only())
  {
    return;
  }

  const QStringList edited = {d_specification_editor_dialog->Make_Text(),
                              d_specification_editor_dialog->Model_Text(),
                              d_specification_editor_dialog->Option_Text()};
  QString error_text;
  // Saved over the machine it showed only if that still holds what it showed.
  const bool saved = TSpecificationSave::Save(database, edited.at(0), edited.at(1), edited.at(2),
                                              d_specification_editor_dialog->Rows(), &error_text,
                                              edited == selected ? &rows : nullptr);
  if (!saved)
  {
    d_message_box->Show(QStringLiteral("Save Error"),
                        QStringLiteral("Cannot save the specification."), error_text,
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
  }
  // Shown from what the database holds: the saved machine, or after a failure the one that was
  // selected, which is unchanged.
  const QStringList shown = saved ? edited : selected;
  d_browser->Show_Machine(shown.at(0), shown.at(1), shown.at(2));
}

void TMetrova::Specification_Limits()
{
  if (Worker_Running())
  {
    return;
  }
  if (!d_specification_limits_dialog)
  {
    d_specification_limits_dialog = new TSpecificationLimitsDialog(this);
  }
  const QStringList machine = d_browser->Selected_Machine();
  d_specification_limits_dialog->Set_Identification(machine.at(0), machine.at(1), machine.at(2));

  TDatabase *database = d_catalogue->Database();
  {
    // Every standard's record of one state of the catalogue, in one read; the dialog holds
    // copies, so nothing stays open while it shows them.
    TReadTransaction one_state(database);
    one_state.Join();
    bool valid = false;
    database->Standard_Types(&valid);
    if (!valid)
    {
      return;
    }
    if (!machine.contains(QString()))
    {
      bool found = false;
      const QList<TDatabaseItem> records =
          database->Read_Configuration(machine.at(0), machine.at(1), machine.at(2), &found);
      for (const TDatabaseItem &record : records)
      {
        d_specification_limits_dialog->Add_Database_Item(record);
      }
    }
  }
  d_specification_limits_dialog->Update_Limits();
  d_specification_limits_dialog->exec();
}

void TMetrova::Compare_Machines()
{
  if (Worker_Running() || !d_catalogue->Is_Open())
  {
    return;
  }
  if (!d_compare_machines_dialog)
  {
    d_compare_machines_dialog = new TCompareMachinesDialog(this);
  }
  d_compare_machines_dialog->Set_Folder(d_window_settings->Current_Path());
  // The catalogue as it is now, with the selected machine, if any, already compared.
  d_compare_machines_dialog->Set_Database(d_catalogue->Database());
  const QStringList machine = d_browser->Selected_Machine();
  if (!machine.contains(QString()))
  {
    d_compare_machines_dialog->Add_Machine(machine.at(0), machine.at(1), machine.at(2));
  }
  d_compare_machines_dialog->exec();

  const QString exported = d_compare_machines_dialog->Exported_File_Name();
  if (!exported.isEmpty())
  {
    d_window_settings->Remember_Folder(exported);
  }
}

void TMetrova::Verification_Log()
{
  const QStringList machine = d_browser->Selected_Machine();
  if (Worker_Running() || machine.contains(QString()))
  {
    return;
  }
  if (!d_verification_log_dialog)
  {
    d_verification_log_dialog = new TVerificationLogDialog(this);
    d_verification_log_dialog->Set_Message_Box(d_message_box);
  }
  TVerificationLogDialog *dialog = d_verification_log_dialog;
  dialog->Set_Folder(d_window_settings->Current_Path());
  if (dialog->Set_Machine(d_catalogue->Database(), machine.at(0), machine.at(1), machine.at(2)))
  {
    dialog->exec();
  }
  if (!dialog->Last_File_Name().isEmpty())
  {
    d_window_settings->Remember_Folder(dialog->Last_File_Name());
  }
}

void TMetrova::History()
{
  QStringList names;
  for (const QString &name : d_browser->Selected_Machine())
  {
    if (name.isEmpty())
    {
      break;
    }
    names.append(name);
  }
  if (Worker_Running() || names.isEmpty())
  {
    return;
  }
  THistoryDialog dialog(this);
  if (!dialog.Set_Names(d_catalogue->Database(), names))
  {
    d_message_box->Show(
        QStringLiteral("History"),
        QStringLiteral("The history of %1 cannot be read.").arg(names.join(QLatin1Char(' '))),
        dialog.Error(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return;
  }
  dialog.exec();
}

void TMetrova::Help_About()
{
  d_message_box->Show(QStringLiteral("Specification Editor"),
                      QStringLiteral("Specification Editor - Version 1.0"), QString(),
                      QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Information);
}
