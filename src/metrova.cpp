#include "metrova.h"

#include "database.h"
#include "databaseitem.h"
#include "exportoptionsdialog.h"
#include "expressionitem.h"
#include "filedialog.h"
#include "importexportthread.h"
#include "messagebox.h"
#include "progressdialog.h"
#include "specificationedit.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"
#include "specificationreport.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QToolBar>
#include <QTreeWidget>

// Q_INIT_RESOURCE must be used outside any namespace.
void Initialize_Metrova_Resources()
{
  Q_INIT_RESOURCE(metrova);
}

namespace
{
const QString SETTINGS_FOLDER = QStringLiteral(".metrova");
const QString SETTINGS_FILE = QStringLiteral("metrova_settings.ini");
const QString KEY_POSITION = QStringLiteral("Mainwindow_Position");
const QString KEY_SIZE = QStringLiteral("Mainwindow_Size");
const QString KEY_CURRENT_PATH = QStringLiteral("Current_Path");
const QPoint DEFAULT_POSITION(30, 30);
const QSize DEFAULT_SIZE(901, 601);
const QString DATABASE_FILTER = QStringLiteral("Database File (*.db)");
const QString CSV_FILTER = QStringLiteral("Comma Separated File (*.csv)");

QString &Application_Directory_Override()
{
  static QString path;
  return path;
}

// QSettings saves through a lock file and a temporary file beside the settings file, so the
// folder itself must take new files, and an existing settings file must be writable.
bool Settings_Folder_Writable(const QString &folder)
{
  QTemporaryFile probe(folder + QStringLiteral("/.metrova_probe_XXXXXX"));
  if (!probe.open())
    return false;
  QFile settings(folder + QLatin1Char('/') + SETTINGS_FILE);
  return !settings.exists() || settings.open(QIODevice::ReadWrite);
}

QStringList Texts(const QList<QListWidgetItem *> &items)
{
  QStringList texts;
  for (const QListWidgetItem *item : items)
    texts.append(item->data(Qt::DisplayRole).toString());
  return texts;
}

void Make_First_Match_Current(QListWidget *list, const QString &text)
{
  const QList<QListWidgetItem *> matches =
      list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (!matches.isEmpty())
    list->setCurrentItem(matches.first());
}

QString Current_Text(const QListWidget *list)
{
  const QListWidgetItem *item = list->currentItem();
  return item ? item->data(Qt::DisplayRole).toString() : QString();
}

// A current item that is not selected does not count: the user cleared it.
QString Current_Selected_Text(const QListWidget *list)
{
  const QListWidgetItem *item = list->currentItem();
  return item && item->isSelected() ? item->data(Qt::DisplayRole).toString() : QString();
}

} // namespace

TMetrova::TMetrova(QWidget *parent)
    : QMainWindow(parent), d_progress_dialog(nullptr), d_export_options_dialog(nullptr),
      d_import_export_thread(nullptr), d_specification_editor_dialog(nullptr),
      d_specification_limits_dialog(nullptr), d_database(nullptr), d_message_box(nullptr),
      d_settings(nullptr)
{
  Initialize_Metrova_Resources();

  Open_Settings();
  Restore_Geometry();

  d_current_path = d_settings->value(KEY_CURRENT_PATH, QDir::homePath()).toString();
  if (d_current_path.isEmpty() || !QFileInfo(d_current_path).isDir())
    d_current_path = d_application_path;

  Create_Actions();
  Create_Central_Widget();
  Create_Menus();

  d_database = new TDatabase;
  d_message_box = new TMessageBox(this);
  d_progress_dialog = new TProgressDialog(this);
  d_import_export_thread = new TImportExportThread(this);

  d_action_delete_make->setEnabled(false);
  d_action_delete_model->setEnabled(false);
  d_action_delete_option->setEnabled(false);
  d_action_edit_specification->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_close_database->setEnabled(false);
  d_action_export->setEnabled(false);
  d_action_import->setEnabled(false);
  d_action_output->setEnabled(false);

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
  connect(d_action_delete_make, &QAction::triggered, this, &TMetrova::Delete_Make);
  connect(d_action_delete_model, &QAction::triggered, this, &TMetrova::Delete_Model);
  connect(d_action_delete_option, &QAction::triggered, this, &TMetrova::Delete_Option);
  QAction *action_about = findChild<QAction *>(QStringLiteral("action_about"));
  connect(action_about, &QAction::triggered, this, &TMetrova::Help_About);
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
  delete d_database;
  d_database = nullptr;
}

void TMetrova::Set_Application_Directory(const QString &path)
{
  Application_Directory_Override() = path;
}

QString TMetrova::Settings_File_Name() const
{
  return d_settings->fileName();
}

void TMetrova::Open_Settings()
{
  d_application_path = Application_Directory_Override().isEmpty()
                           ? QCoreApplication::applicationDirPath()
                           : Application_Directory_Override();

  // Beside the executable while that folder can be written; an installed copy in a folder the
  // user cannot write keeps its settings in the per-user configuration folder instead.
  QDir directory(d_application_path);
  if (!directory.exists(SETTINGS_FOLDER))
    directory.mkdir(SETTINGS_FOLDER);
  if (directory.cd(SETTINGS_FOLDER) && Settings_Folder_Writable(directory.absolutePath()))
  {
    d_settings_path = directory.absolutePath();
  }
  else
  {
    d_settings_path = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(d_settings_path);
  }
  d_settings =
      new QSettings(d_settings_path + QLatin1Char('/') + SETTINGS_FILE, QSettings::IniFormat, this);
}

void TMetrova::Restore_Geometry()
{
  const QPoint position = d_settings->value(KEY_POSITION, DEFAULT_POSITION).toPoint();
  const QSize size = d_settings->value(KEY_SIZE, DEFAULT_SIZE).toSize();

  QRect area;
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    area = QRect(position, size).intersected(screen->availableGeometry());

  if (area.isValid() && area.right() - area.left() > 499 && area.bottom() - area.top() > 499)
  {
    resize(area.size());
    move(area.topLeft());
  }
  else
  {
    resize(DEFAULT_SIZE);
    move(DEFAULT_POSITION);
  }
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
      {&action_about, ":/actions/about.png", "About", "action_about"},
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

void TMetrova::Create_Central_Widget()
{
  QFont notice_font(QStringLiteral("Verdana"), 8);
  notice_font.setItalic(true);

  QWidget *central_widget = new QWidget(this);
  QGridLayout *grid = new QGridLayout(central_widget);

  auto new_line = [central_widget](QFrame::Shape shape)
  {
    QFrame *line = new QFrame(central_widget);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
  };
  auto new_list = [central_widget](const char *name)
  {
    QListWidget *list = new QListWidget(central_widget);
    list->setObjectName(QString::fromLatin1(name));
    list->setSortingEnabled(true);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return list;
  };

  d_make_list = new_list("make_list");
  d_make_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  d_model_list = new_list("model_list");
  d_option_list = new_list("option_list");

  d_specification_tree = new QTreeWidget(central_widget);
  d_specification_tree->setObjectName(QStringLiteral("specification_tree"));
  d_specification_tree->setColumnCount(5);
  const QStringList headings = {QStringLiteral("Standard"), QStringLiteral("Component"),
                                QStringLiteral("Expression"), QStringLiteral("Source"),
                                QStringLiteral("Description")};
  for (int column = 0; column < headings.size(); ++column)
    d_specification_tree->headerItem()->setData(column, Qt::DisplayRole, headings.at(column));

  grid->addWidget(new QLabel(QStringLiteral("Make:"), central_widget), 0, 0);
  grid->addWidget(d_make_list, 1, 0);
  grid->addWidget(new_line(QFrame::VLine), 0, 1, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("Model:"), central_widget), 0, 2);
  grid->addWidget(d_model_list, 1, 2);
  grid->addWidget(new_line(QFrame::VLine), 0, 3, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("Option:"), central_widget), 0, 4);
  grid->addWidget(d_option_list, 1, 4);
  grid->addWidget(new_line(QFrame::HLine), 2, 0, 1, 5);
  grid->addWidget(new QLabel(QStringLiteral("Specifications:"), central_widget), 3, 0, 1, 5);
  grid->addWidget(d_specification_tree, 4, 0, 1, 5);

  QLabel *notice_label = new QLabel(
      QStringLiteral("Metrova: accuracy specifications of coordinate measuring machines"),
      central_widget);
  notice_label->setFont(notice_font);
  notice_label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);

  QLabel *logo_label = new QLabel(central_widget);
  logo_label->setMinimumSize(100, 40);
  logo_label->setMaximumSize(100, 40);
  logo_label->setPixmap(QPixmap(QStringLiteral(":/images/logo.png")));

  QHBoxLayout *bottom_layout = new QHBoxLayout;
  bottom_layout->addWidget(notice_label);
  bottom_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
  bottom_layout->addWidget(logo_label);
  grid->addLayout(bottom_layout, 5, 0, 1, 5);

  setCentralWidget(central_widget);
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
  edit_menu->addSeparator();
  edit_menu->addAction(d_action_delete_make);
  edit_menu->addAction(d_action_delete_model);
  edit_menu->addAction(d_action_delete_option);
  edit_menu->addSeparator();

  QMenu *help_menu = menuBar()->addMenu(QStringLiteral("Help"));
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
  tool_bar->addSeparator();
  tool_bar->addAction(action_about);
  addToolBar(Qt::TopToolBarArea, tool_bar);
}

void TMetrova::closeEvent(QCloseEvent *event)
{
  d_settings->setValue(KEY_POSITION, pos());
  d_settings->setValue(KEY_SIZE, size());
  d_settings->setValue(KEY_CURRENT_PATH, d_current_path);
  d_settings->sync();

  if (Worker_Running())
    event->ignore();
  else
    event->accept();
}

int TMetrova::Show_Message(const QString &heading, const QString &text, const QString &details,
                           QMessageBox::StandardButtons buttons,
                           QMessageBox::StandardButton default_button, QMessageBox::Icon icon)
{
  d_message_box->setText(heading);
  d_message_box->setInformativeText(text);
  d_message_box->setDetailedText(details);
  d_message_box->setStandardButtons(buttons);
  d_message_box->setDefaultButton(default_button);
  d_message_box->setIcon(icon);
  return d_message_box->exec();
}

void TMetrova::Remember_Folder(const QString &file_name)
{
  const int separator = file_name.lastIndexOf(QLatin1Char('/'));
  d_current_path = separator < 0 ? file_name : file_name.left(separator);
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
  const bool idle = d_make_list->isEnabled();
  const bool open = idle && d_database->Is_Open();
  const int makes = d_make_list->selectedItems().size();
  const int models = d_model_list->selectedItems().size();
  const int options = d_option_list->selectedItems().size();

  d_action_close_database->setEnabled(open);
  d_action_edit_specification->setEnabled(open);
  d_action_delete_make->setEnabled(open && makes > 0);
  d_action_delete_model->setEnabled(open && makes == 1 && models == 1);
  const bool option_selected = open && makes > 0 && models == 1 && options > 0;
  d_action_delete_option->setEnabled(option_selected);
  d_action_specification_limits->setEnabled(option_selected);
  d_action_output->setEnabled(option_selected);
}

bool TMetrova::Connect_Database(const QString &file_name)
{
  if (Refused_While_Running())
    return false;
  if (d_database->Is_Open())
    d_database->Close();
  if (!d_database->Connect(file_name))
  {
    Show_Message(QStringLiteral("Connect Error"),
                 QStringLiteral("Error trying to connect to the database."),
                 d_database->Last_Error(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return false;
  }
  if (!d_database->Initialize())
  {
    Show_Message(QStringLiteral("Initialize Error"),
                 QStringLiteral("Error trying to initialize the database."),
                 d_database->Last_Error(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
    return false;
  }
  return true;
}

void TMetrova::New_Database()
{
  const QString file_name = TFileDialog::Get_Save_File_Name(this, QStringLiteral("New database"),
                                                            d_current_path, DATABASE_FILTER);
  if (file_name.isEmpty())
    return;

  const bool existed = QFile::exists(file_name);
  if (!Connect_Database(file_name))
    return;

  if (existed && Show_Message(QStringLiteral("Clear Database"),
                              QStringLiteral("Do you want to clear the existing database?"),
                              QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                              QMessageBox::Question) == QMessageBox::Yes)
  {
    d_database->Clear();
  }

  Show_Opened_Database(file_name);
}

void TMetrova::Open_Database()
{
  const QString file_name = TFileDialog::Get_Open_File_Name(this, QStringLiteral("Open database"),
                                                            d_current_path, DATABASE_FILTER);
  if (file_name.isEmpty())
    return;

  if (!Connect_Database(file_name))
    return;

  Show_Opened_Database(file_name);
}

// The common end of New and Open: the database commands on, the lists showing the new file.
void TMetrova::Show_Opened_Database(const QString &file_name)
{
  d_action_edit_specification->setEnabled(true);
  d_action_close_database->setEnabled(true);
  d_action_export->setEnabled(true);
  d_action_import->setEnabled(true);
  Remember_Folder(file_name);

  d_make_list->clear();
  d_model_list->clear();
  d_option_list->clear();
  d_specification_tree->clear();
  Show_Database_Makes();

  d_action_delete_make->setEnabled(false);
  d_action_delete_model->setEnabled(false);
  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
}

void TMetrova::Close_Database()
{
  if (Worker_Running())
    return;

  d_database->Close();
  d_make_list->clear();
  d_model_list->clear();
  d_option_list->clear();
  d_specification_tree->clear();

  d_action_edit_specification->setEnabled(false);
  d_action_close_database->setEnabled(false);
  d_action_export->setEnabled(false);
  d_action_import->setEnabled(false);
  d_action_delete_make->setEnabled(false);
  d_action_delete_model->setEnabled(false);
  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_output->setEnabled(false);
}

// Shows "IO Thread Running" while an import or export goes on; the caller then stops.
bool TMetrova::Refused_While_Running()
{
  if (!Worker_Running())
    return false;
  Show_Message(QStringLiteral("IO Thread Running"),
               QStringLiteral("Database is currently being imported or exported."), QString(),
               QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
  return true;
}

// Import and Export need an open database and an idle worker thread.
bool TMetrova::Exchange_Refused()
{
  if (!d_database->Is_Open())
  {
    Show_Message(QStringLiteral("Database Error"), QStringLiteral("Database not open."), QString(),
                 QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
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
      d_import_export_thread->Set_Export_Makes(Texts(selected_makes));
  }

  const QString file_name = TFileDialog::Get_Save_File_Name(this, QStringLiteral("Export database"),
                                                            d_current_path, CSV_FILTER);
  if (file_name.isEmpty())
    return;
  Remember_Folder(file_name);

  d_import_export_thread->Set_Database(d_database);
  d_import_export_thread->Set_Mode(TImportExportThread::MODE_EXPORT);
  d_import_export_thread->Set_File_Name(file_name);
  Set_Worker_Running(true);
  d_import_export_thread->start(QThread::NormalPriority);
}

void TMetrova::Import()
{
  if (Exchange_Refused())
    return;

  const QString file_name = TFileDialog::Get_Open_File_Name(this, QStringLiteral("Import database"),
                                                            d_current_path, CSV_FILTER);
  if (file_name.isEmpty())
    return;
  Remember_Folder(file_name);

  d_make_list->clear();
  d_model_list->clear();
  d_option_list->clear();
  d_specification_tree->clear();

  d_import_export_thread->Set_Database(d_database);
  d_import_export_thread->Set_Mode(TImportExportThread::MODE_IMPORT);
  d_import_export_thread->Set_File_Name(file_name);
  Set_Worker_Running(true);
  d_import_export_thread->start(QThread::NormalPriority);
}

void TMetrova::Output()
{
  if (Worker_Running())
    return;

  const QString make = Current_Text(d_make_list);
  const QString model = Current_Text(d_model_list);
  const QString option = Current_Text(d_option_list);
  if (make.isEmpty() || model.isEmpty() || option.isEmpty())
    return;

  QString file_name =
      TFileDialog::Get_Save_File_Name(this, QStringLiteral("Output specification"), d_current_path,
                                      QStringLiteral("Adobe PDF files (*.pdf)"));
  if (file_name.isEmpty())
    return;
  file_name = TSpecificationReport::Appended_Pdf_Suffix(file_name);

  const QList<QStringList> rows = TSpecificationReport::Build_Rows(d_database, make, model, option);
  QString error_text;
  if (!TSpecificationReport::Write(file_name, make, model, option, rows, &error_text))
    Show_Message(QStringLiteral("Output Error"), QStringLiteral("Cannot write the PDF report."),
                 error_text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
}

void TMetrova::Edit_Specification()
{
  if (Worker_Running())
    return;

  if (!d_specification_editor_dialog)
    d_specification_editor_dialog = new TSpecificationEditorDialog(this);

  // With nothing selected the editor starts a new specification.
  const QString selected_make = Current_Selected_Text(d_make_list);
  const QString selected_model = Current_Selected_Text(d_model_list);
  const QString selected_option = Current_Selected_Text(d_option_list);

  QList<TEditorRow> rows;
  if (!TSpecificationEdit::Read_Rows(d_database, selected_make, selected_model, selected_option,
                                     &rows))
    return;

  d_specification_editor_dialog->Set_Data(d_database, selected_make, selected_model,
                                          selected_option, rows);
  if (d_specification_editor_dialog->exec() != QDialog::Accepted)
    return;

  const QString make = d_specification_editor_dialog->Make_Text();
  const QString model = d_specification_editor_dialog->Model_Text();
  const QString option = d_specification_editor_dialog->Option_Text();
  QString error_text;
  const bool saved = TSpecificationEdit::Save(d_database, make, model, option,
                                              d_specification_editor_dialog->Rows(), &error_text);
  if (!saved)
    Show_Message(QStringLiteral("Save Error"), QStringLiteral("Cannot save the specification."),
                 error_text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);

  // Shown from what the database holds: the saved machine, or after a failure the one that was
  // selected, which is unchanged.
  const QString shown_make = saved ? make : selected_make;
  const QString shown_model = saved ? model : selected_model;
  const QString shown_option = saved ? option : selected_option;
  bool valid = false;
  {
    const QSignalBlocker blocker(d_make_list);
    d_make_list->clear();
    d_make_list->addItems(d_database->Makes(&valid));
  }
  {
    const QSignalBlocker blocker(d_model_list);
    d_model_list->clear();
    if (!shown_make.isEmpty())
      d_model_list->addItems(d_database->Models(shown_make, &valid));
  }
  {
    const QSignalBlocker blocker(d_option_list);
    d_option_list->clear();
    if (!shown_make.isEmpty() && !shown_model.isEmpty())
      d_option_list->addItems(d_database->Options(shown_make, shown_model, &valid));
  }
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

  const QString make = Current_Selected_Text(d_make_list);
  const QString model = Current_Selected_Text(d_model_list);
  const QString option = Current_Selected_Text(d_option_list);
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

void TMetrova::Delete_Make()
{
  const QStringList makes = Texts(d_make_list->selectedItems());
  if (makes.isEmpty() || Worker_Running())
    return;

  if (Show_Message(
          QStringLiteral("Delete Current Make"),
          QStringLiteral("Are you sure you want to delete selected Make and all sub items?"),
          QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
          QMessageBox::Question) == QMessageBox::No)
    return;

  bool failed = false;
  for (const QString &make : makes)
  {
    if (!d_database->Remove_Make(make))
      failed = true;
  }
  if (failed)
    Show_Message(QStringLiteral("Delete Error"), QStringLiteral("Cannot delete selected Make."),
                 QString(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);

  bool valid = false;
  const QStringList remaining = d_database->Makes(&valid);
  {
    const QSignalBlocker blocker(d_make_list);
    d_make_list->clear();
    d_make_list->addItems(remaining);
  }
  {
    const QSignalBlocker blocker(d_model_list);
    d_model_list->clear();
  }
  {
    const QSignalBlocker blocker(d_option_list);
    d_option_list->clear();
  }
  d_specification_tree->clear();

  d_action_delete_make->setEnabled(false);
  d_action_delete_model->setEnabled(false);
  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_output->setEnabled(false);
}

void TMetrova::Delete_Model()
{
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  if (makes.isEmpty() || models.isEmpty() || Worker_Running())
    return;
  const QString make = makes.first()->data(Qt::DisplayRole).toString();
  const QString model = models.first()->data(Qt::DisplayRole).toString();

  if (Show_Message(
          QStringLiteral("Delete Current Model"),
          QStringLiteral("Are you sure you want to delete selected Model and all sub items?"),
          QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
          QMessageBox::Question) == QMessageBox::No)
    return;

  if (!d_database->Remove_Model(make, model))
    Show_Message(QStringLiteral("Delete Error"), QStringLiteral("Cannot delete selected Model."),
                 QString(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);

  bool valid = false;
  const QStringList remaining = d_database->Models(make, &valid);
  {
    const QSignalBlocker blocker(d_model_list);
    d_model_list->clear();
    d_model_list->addItems(remaining);
  }
  {
    const QSignalBlocker blocker(d_option_list);
    d_option_list->clear();
  }
  d_specification_tree->clear();

  d_action_delete_model->setEnabled(false);
  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_output->setEnabled(false);
}

void TMetrova::Delete_Option()
{
  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  const QList<QListWidgetItem *> options = d_option_list->selectedItems();
  if (makes.isEmpty() || models.isEmpty() || options.isEmpty() || Worker_Running())
    return;
  const QString make = makes.first()->data(Qt::DisplayRole).toString();
  const QString model = models.first()->data(Qt::DisplayRole).toString();
  const QString option = options.first()->data(Qt::DisplayRole).toString();

  if (Show_Message(
          QStringLiteral("Delete Current Option"),
          QStringLiteral("Are you sure you want to delete selected Option and all sub items?"),
          QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
          QMessageBox::Question) == QMessageBox::No)
    return;

  if (!d_database->Remove_Option(make, model, option))
    Show_Message(QStringLiteral("Delete Error"), QStringLiteral("Cannot delete selected Option."),
                 QString(), QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);

  bool valid = false;
  const QStringList remaining = d_database->Options(make, model, &valid);
  {
    const QSignalBlocker blocker(d_option_list);
    d_option_list->clear();
    d_option_list->addItems(remaining);
  }
  d_specification_tree->clear();

  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_output->setEnabled(false);
}

void TMetrova::Help_About()
{
  Show_Message(QStringLiteral("Specification Editor"),
               QStringLiteral("Specification Editor - Version 1.0"), QString(), QMessageBox::Ok,
               QMessageBox::Ok, QMessageBox::Information);
}

void TMetrova::Make_Selection_Changed()
{
  d_action_delete_model->setEnabled(false);
  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_output->setEnabled(false);

  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  d_action_delete_make->setEnabled(!makes.isEmpty());

  if (makes.size() == 1)
  {
    // Clearing the model list clears the options before the model can be found again, so the
    // option to reselect is remembered here as well.
    const QString model = Current_Text(d_model_list);
    const QString option = Current_Text(d_option_list);
    d_model_list->clear();

    bool valid = false;
    const QStringList models =
        d_database->Models(makes.first()->data(Qt::DisplayRole).toString(), &valid);
    if (valid)
      d_model_list->addItems(models);

    if (!model.isEmpty())
    {
      Make_First_Match_Current(d_model_list, model);
      if (!option.isEmpty() && d_model_list->selectedItems().size() == 1 &&
          !d_option_list->currentItem())
        Make_First_Match_Current(d_option_list, option);
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
  d_action_delete_model->setEnabled(false);
  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_output->setEnabled(false);

  const QList<QListWidgetItem *> makes = d_make_list->selectedItems();
  if (makes.size() != 1)
    return;
  const QString make = makes.first()->data(Qt::DisplayRole).toString();

  const QList<QListWidgetItem *> models = d_model_list->selectedItems();
  if (models.size() == 1)
  {
    d_action_delete_model->setEnabled(true);
    const QString option = Current_Text(d_option_list);
    d_option_list->clear();

    bool valid = false;
    const QStringList options =
        d_database->Options(make, models.first()->data(Qt::DisplayRole).toString(), &valid);
    if (valid)
      d_option_list->addItems(options);

    if (!option.isEmpty())
      Make_First_Match_Current(d_option_list, option);
  }
  else
  {
    d_option_list->clear();
    d_specification_tree->clear();
  }
}

void TMetrova::Option_Selection_Changed()
{
  d_action_delete_option->setEnabled(false);
  d_action_specification_limits->setEnabled(false);
  d_action_output->setEnabled(false);

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

  d_action_delete_option->setEnabled(true);
  d_action_specification_limits->setEnabled(true);
  d_action_output->setEnabled(true);

  d_specification_tree->clear();
  Fill_Specification_Tree(make, model, option);
}

void TMetrova::Fill_Specification_Tree(const QString &make, const QString &model,
                                       const QString &option)
{
  bool valid = false;
  const QStringList standards = d_database->Standard_Types(&valid);
  if (valid)
  {
    for (const QString &standard : standards)
    {
      bool found = false;
      const TDatabaseItem item =
          d_database->Read_Specification(make, model, option, standard, &found);
      if (found)
        Add_Specification_Tree_Items(standard, item);
    }
  }
  d_specification_tree->expandAll();
  for (int column = 0; column < 5; ++column)
    d_specification_tree->resizeColumnToContents(column);
}

void TMetrova::Add_Specification_Tree_Items(const QString &standard, const TDatabaseItem &item)
{
  QTreeWidgetItem *standard_row = new QTreeWidgetItem(d_specification_tree);
  standard_row->setText(0, standard);

  for (int index = 0; index < item.Specification_Item_Count(); ++index)
  {
    const TSpecificationItem specification = item.Specification_Item(index);
    QString source;
    if (specification.source == TDatabaseItem::SOURCE_MANUFACTURER)
      source = QStringLiteral("MFG");
    else if (specification.source == TDatabaseItem::SOURCE_ESTIMATED)
      source = QStringLiteral("EST");

    QTreeWidgetItem *row = new QTreeWidgetItem;
    row->setText(1, specification.name);
    row->setText(2, specification.expression.Expression_Text(TExpressionItem::UNITS_UM));
    row->setText(3, source);
    row->setText(4, specification.description);
    standard_row->addChild(row);
  }
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

  d_specification_tree->clear();
  Fill_Specification_Tree(make, model, option);
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
    Show_Message(QStringLiteral("Import Export Error"), QStringLiteral("Operation failed."),
                 d_import_export_thread->Error_Text(), QMessageBox::Ok, QMessageBox::Ok,
                 QMessageBox::Warning);
    return;
  }

  if (d_import_export_thread->Mode() == TImportExportThread::MODE_IMPORT)
  {
    if (d_import_export_thread->Has_Warnings())
      Show_Message(QStringLiteral("Import Warning"),
                   QStringLiteral("Some lines of the file were not imported."),
                   d_import_export_thread->Warning_Text(), QMessageBox::Ok, QMessageBox::Ok,
                   QMessageBox::Warning);
    Show_Database_Makes();
  }
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
