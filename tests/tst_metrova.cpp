#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "filedialog.h"
#include "messagebox.h"
#include "metrova.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char SETTINGS_CHILD_ARGUMENT[] = "--settings-child";

// make|model|option|standard|component|expression in micrometres|source. Acme and Zenith share
// model X1 with option Standard; Brand has X1 without it; Solo has no X1.
const char *const CATALOGUE[] = {"Acme|X1|Standard|10360|E0|1.5+3.3L/1000|0",
                                 "Acme|X1|Standard|10360|Pftu|1.8|0",
                                 "Acme|X1|Standard|10360|Ts_Min|18C|0",
                                 "Acme|X1|Standard|B89.4.1|Repeat|2.2|1",
                                 "Acme|X1|Standard|CMMA|G|2.5|5",
                                 "Acme|X1|Extended|10360|E0|2+4L/1000|0",
                                 "Acme|X2|Standard|10360|E0|2.5+4L/1000|0",
                                 "Zenith|X1|Standard|10360|E0|3+5L/1000|0",
                                 "Zenith|X1|Basic|10360|E0|4+5L/1000|0",
                                 "Brand|X1|Other|10360|E0|5+6L/1000|0",
                                 "Solo|S7|Standard|10360|E0|6+6L/1000|0"};

const QStringList ALL_MAKES = {"Acme", "Brand", "Solo", "Zenith"};

const QStringList ACTION_NAMES =
    QStringLiteral("new_database open_database close_database export import output quit "
                   "delete_make delete_model delete_option edit_specification "
                   "specification_limits about")
        .split(' ');

const QStringList CLOSED_ACTIONS = {"new_database", "open_database", "quit", "about"};
const QStringList OPEN_ACTIONS =
    CLOSED_ACTIONS + QStringList{"close_database", "export", "import", "edit_specification"};
const QStringList OPTION_ACTIONS =
    OPEN_ACTIONS +
    QStringList{"output", "delete_make", "delete_model", "delete_option", "specification_limits"};

bool Write_Catalogue(const QString &file_name)
{
  TDatabase database(QStringLiteral("tst_metrova_fixture"));
  if (!database.Connect(file_name) || !database.Initialize())
    return false;
  std::map<QString, TDatabaseItem> records;
  for (const char *row : CATALOGUE)
  {
    const QStringList fields = QString::fromLatin1(row).split('|');
    TDatabaseItem &record = records[fields.mid(0, 4).join('|')];
    record.Set_Make(fields.at(0));
    record.Set_Model(fields.at(1));
    record.Set_Option(fields.at(2));
    record.Set_Standard(fields.at(3));
    TSpecificationItem item;
    item.name = fields.at(4);
    item.expression.Set_Expression(fields.at(5), TExpressionItem::UNITS_UM);
    item.source = fields.at(6).toInt();
    record.Add_Specification_Item(item);
  }
  for (const auto &entry : records)
    if (!database.Write_Specification(entry.second))
      return false;
  return true;
}

// What the catalogue file holds now, as "make/model/option" paths.
QStringList Stored_Machines(const QString &file_name)
{
  TDatabase database(QStringLiteral("tst_metrova_reader"));
  QStringList machines;
  bool valid = false;
  if (!database.Connect(file_name))
    return {QStringLiteral("<cannot connect>")};
  for (const QString &make : database.Makes(&valid))
  {
    machines.append(make);
    for (const QString &model : database.Models(make, &valid))
      for (const QString &option : database.Options(make, model, &valid))
        machines.append(make + '/' + model + '/' + option);
  }
  machines.sort();
  return machines;
}

QStringList All_Stored_Machines()
{
  QStringList machines;
  for (const char *row : CATALOGUE)
  {
    const QStringList fields = QString::fromLatin1(row).split('|');
    machines << fields.at(0) << fields.mid(0, 3).join('/');
  }
  machines.removeDuplicates();
  machines.sort();
  return machines;
}

QStringList Without(QStringList list, const QStringList &removed)
{
  for (const QString &entry : removed)
    list.removeAll(entry);
  return list;
}

QStringList Texts(const QListWidget *list)
{
  QStringList texts;
  for (int row = 0; row < list->count(); ++row)
    texts.append(list->item(row)->text());
  return texts;
}

QString Current_Text(const QListWidget *list)
{
  return list->currentItem() && list->currentItem()->isSelected() ? list->currentItem()->text()
                                                                  : QString();
}

// Selects as a click (and control-clicks for further rows) would: the old selection goes in the
// same step as the new row comes.
void Select(QListWidget *list, const QStringList &texts)
{
  for (const QString &text : texts)
  {
    const QList<QListWidgetItem *> matches = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(matches.size() == 1, qPrintable(text));
    list->setCurrentItem(matches.first(), text == texts.first()
                                              ? QItemSelectionModel::ClearAndSelect
                                              : QItemSelectionModel::Select);
  }
}

// The tree as lines "standard" and "  component|expression|source|description".
QStringList Tree_Lines(const QTreeWidget *tree)
{
  QStringList lines;
  for (int top = 0; top < tree->topLevelItemCount(); ++top)
  {
    const QTreeWidgetItem *standard = tree->topLevelItem(top);
    lines.append(standard->text(0));
    for (int child = 0; child < standard->childCount(); ++child)
    {
      const QTreeWidgetItem *row = standard->child(child);
      lines.append(QStringLiteral("  ") +
                   QStringList{row->text(1), row->text(2), row->text(3), row->text(4)}.join('|'));
    }
  }
  return lines;
}

QString Message_Line(const TMessageBox::TShownMessage &message)
{
  return message.heading + QStringLiteral(" / ") + message.text;
}

QStringList Message_Lines(const QList<TMessageBox::TShownMessage> &messages)
{
  QStringList lines;
  for (const TMessageBox::TShownMessage &message : messages)
    lines.append(Message_Line(message));
  return lines;
}

// Holds the worker's import in open(2) on a named pipe until the test lets it read.
class TPipeFeed
{
public:
  explicit TPipeFeed(const QString &path) : d_path(path) {}
  ~TPipeFeed() { Feed(QByteArray()); }
  bool Create() { return ::mkfifo(QFile::encodeName(d_path).constData(), 0600) == 0; }
  void Feed(const QByteArray &content)
  {
    if (d_fed)
      return;
    d_fed = true;
    const int descriptor = ::open(QFile::encodeName(d_path).constData(), O_WRONLY);
    if (descriptor < 0)
      return;
    const ssize_t written = ::write(descriptor, content.constData(), content.size());
    Q_UNUSED(written);
    ::close(descriptor);
  }

private:
  QString d_path;
  bool d_fed = false;
};

int Run_Settings_Child(int argc, char *argv[])
{
  QApplication application(argc, argv);
  TMetrova window;
  window.move(40, 50);
  window.resize(640, 520);
  window.close();
  QTextStream(stdout) << window.Settings_File_Name();
  return 0;
}
} // namespace

class TestMetrova : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();

  void startState();
  void resources_data();
  void resources();
  void geometry_data();
  void geometry();
  void currentPath_data();
  void currentPath();
  void settings_data();
  void settings();
  void settingsFallbackUnprivileged();

  void newDatabase_data();
  void newDatabase();
  void openAndClose();
  void connectErrors_data();
  void connectErrors();
  void messageBox();

  void browse();
  void reselection_data();
  void reselection();
  void selectSpecification();
  void severalMakes();
  void deletes_data();
  void deletes();

  void import_data();
  void import();
  void workerRunning();
  void refusedWhenClosed();

private:
  QAction *Action(const QString &name) const;
  QStringList Enabled_Actions() const;
  QListWidget *List(const char *name) const
  {
    return d_window->findChild<QListWidget *>(QString::fromLatin1(name));
  }
  QTreeWidget *Tree() const
  {
    return d_window->findChild<QTreeWidget *>(QStringLiteral("specification_tree"));
  }
  void Open_Catalogue();

  QTemporaryDir d_root;
  QString d_folder;      // this test's own folder inside d_root
  QString d_application; // this test's executable folder
  QString d_catalogue;
  std::unique_ptr<TMetrova> d_window;
  int d_test_count = 0;
  // Closes any modal dialog that no test answer was queued for, so that a fault fails the test
  // instead of hanging it.
  QTimer d_watchdog;
  QStringList d_unexpected_dialogs;
};

void TestMetrova::initTestCase()
{
  d_watchdog.setInterval(200);
  connect(&d_watchdog, &QTimer::timeout, this,
          [this]
          {
            for (QWidget *widget : QApplication::topLevelWidgets())
            {
              QDialog *dialog = qobject_cast<QDialog *>(widget);
              if (dialog && dialog->isVisible() && dialog->windowModality() != Qt::NonModal)
              {
                const QMessageBox *box = qobject_cast<QMessageBox *>(dialog);
                d_unexpected_dialogs.append(box ? box->informativeText() : dialog->windowTitle());
                dialog->reject();
              }
            }
          });

  QVERIFY(d_root.isValid());
  // Everything the window and the per-user settings write stays in the temporary folder.
  QVERIFY(QDir(d_root.path()).mkpath(QStringLiteral("config")));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(d_root.filePath(QStringLiteral("config"))));
  QVERIFY(QDir::setCurrent(d_root.path()));
}

void TestMetrova::init()
{
  d_unexpected_dialogs.clear();
  d_watchdog.start();
  d_folder = d_root.filePath(QStringLiteral("test%1").arg(++d_test_count));
  d_application = d_folder + QStringLiteral("/bin");
  d_catalogue = d_folder + QStringLiteral("/data/catalogue.db");
  QVERIFY(QDir().mkpath(d_application));
  QVERIFY(QDir().mkpath(d_folder + QStringLiteral("/data")));
  TMetrova::Set_Application_Directory(d_application);
  TMessageBox::Reset_Test_Answers();
  TFileDialog::Reset_Test_Answers();
}

void TestMetrova::cleanup()
{
  d_window.reset();
  QVERIFY2(d_unexpected_dialogs.isEmpty(), qPrintable(d_unexpected_dialogs.join('\n')));
  // Every queued answer must have been asked for.
  QCOMPARE(TMessageBox::Queued_Answer_Count(), 0);
  QCOMPARE(TFileDialog::Queued_File_Name_Count(), 0);
  TMetrova::Set_Application_Directory(QString());
}

QAction *TestMetrova::Action(const QString &name) const
{
  QAction *action = d_window->findChild<QAction *>(QStringLiteral("action_") + name);
  if (!action)
    qFatal("no action %s", qPrintable(name));
  return action;
}

QStringList TestMetrova::Enabled_Actions() const
{
  QStringList names;
  for (const QString &name : ACTION_NAMES)
    if (Action(name)->isEnabled())
      names.append(name);
  names.sort();
  return names;
}

static QStringList Sorted(QStringList list)
{
  list.sort();
  return list;
}

void TestMetrova::Open_Catalogue()
{
  QVERIFY(Write_Catalogue(d_catalogue));
  d_window = std::make_unique<TMetrova>();
  TFileDialog::Queue_File_Name(d_catalogue);
  Action("open_database")->trigger();
  QCOMPARE(Texts(List("make_list")), ALL_MAKES);
}

void TestMetrova::startState()
{
  d_window = std::make_unique<TMetrova>();
  QCOMPARE(d_window->windowTitle(), QStringLiteral("Metrova"));
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS));

  QCOMPARE(List("make_list")->selectionMode(), QAbstractItemView::ExtendedSelection);
  QCOMPARE(List("model_list")->selectionMode(), QAbstractItemView::SingleSelection);
  QCOMPARE(List("option_list")->selectionMode(), QAbstractItemView::SingleSelection);
  for (const char *list : {"make_list", "model_list", "option_list"})
  {
    QVERIFY(List(list)->isSortingEnabled());
    QCOMPARE(List(list)->count(), 0);
  }

  QTreeWidget *tree = Tree();
  QCOMPARE(tree->columnCount(), 5);
  QStringList headings;
  for (int column = 0; column < tree->columnCount(); ++column)
    headings.append(tree->headerItem()->text(column));
  QCOMPARE(headings, (QStringList{"Standard", "Component", "Expression", "Source", "Description"}));

  QToolBar *tool_bar = d_window->findChild<QToolBar *>();
  QVERIFY(tool_bar);
  QCOMPARE(tool_bar->iconSize(), QSize(32, 32));
  QCOMPARE(d_window->toolBarArea(tool_bar), Qt::TopToolBarArea);

  // The settings folder is made beside the executable on the first start.
  QVERIFY(QFileInfo(d_application + QStringLiteral("/.metrova")).isDir());
  QCOMPARE(d_window->Settings_File_Name(),
           d_application + QStringLiteral("/.metrova/metrova_settings.ini"));
}

void TestMetrova::resources_data()
{
  QTest::addColumn<QString>("path");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<QString>("action");

  QTest::newRow("window icon") << ":/icons/metrova.png" << QSize(64, 64) << QString();
  QTest::newRow("logo") << ":/images/logo.png" << QSize(100, 40) << QString();
  const char *const actions[][2] = {{"new_database", "new_database"},
                                    {"open_database", "open_database"},
                                    {"close_database", "close_database"},
                                    {"export", "export"},
                                    {"import", "import"},
                                    {"output", "output"},
                                    {"edit", "edit_specification"},
                                    {"limits", "specification_limits"},
                                    {"about", "about"}};
  for (const auto &action : actions)
    QTest::newRow(action[0]) << QStringLiteral(":/actions/%1.png").arg(action[0]) << QSize(32, 32)
                             << QString::fromLatin1(action[1]);
}

void TestMetrova::resources()
{
  QFETCH(QString, path);
  QFETCH(QSize, size);
  QFETCH(QString, action);

  d_window = std::make_unique<TMetrova>();
  const QImage image(path);
  QVERIFY2(!image.isNull(), qPrintable(path));
  QCOMPARE(image.size(), size);
  QVERIFY(image.hasAlphaChannel());
  if (!action.isEmpty())
    QVERIFY(!Action(action)->icon().isNull());
}

void TestMetrova::geometry_data()
{
  QTest::addColumn<bool>("saved");
  QTest::addColumn<QRect>("stored");
  QTest::addColumn<QRect>("expected");

  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(screen.width() > 600 && screen.height() > 550);
  const QRect fallback(30, 30, 901, 601);

  QTest::newRow("first start") << false << QRect() << fallback.intersected(screen);
  const QRect fits(screen.topLeft() + QPoint(10, 20), QSize(600, 530));
  QTest::newRow("fits") << true << fits << fits;
  QTest::newRow("too large") << true << QRect(screen.topLeft(), screen.size() + QSize(1200, 900))
                             << screen;
  QTest::newRow("off screen") << true
                              << QRect(screen.bottomRight() + QPoint(50, 50), QSize(600, 600))
                              << fallback;
  const QRect overlap_501(screen.right() - 500, screen.top(), 700, 520);
  QTest::newRow("501 wide overlap")
      << true << overlap_501 << QRect(overlap_501.topLeft(), QSize(501, 520));
  QTest::newRow("500 wide overlap") << true << overlap_501.translated(1, 0) << fallback;
  QTest::newRow("500 high") << true << QRect(screen.topLeft(), QSize(600, 500)) << fallback;
}

void TestMetrova::geometry()
{
  QFETCH(bool, saved);
  QFETCH(QRect, stored);
  QFETCH(QRect, expected);

  if (saved)
  {
    QVERIFY(QDir().mkpath(d_application + QStringLiteral("/.metrova")));
    QSettings settings(d_application + QStringLiteral("/.metrova/metrova_settings.ini"),
                       QSettings::IniFormat);
    settings.setValue(QStringLiteral("Mainwindow_Position"), stored.topLeft());
    settings.setValue(QStringLiteral("Mainwindow_Size"), stored.size());
  }
  d_window = std::make_unique<TMetrova>();
  QCOMPARE(QRect(d_window->pos(), d_window->size()), expected);
}

void TestMetrova::currentPath_data()
{
  QTest::addColumn<QVariant>("stored");
  QTest::addColumn<QString>("expected");
  QTest::addColumn<QString>("chosen");
  QTest::addColumn<QString>("remembered");

  QTest::newRow("missing key, cancelled") << QVariant() << "<home>"
                                          << ""
                                          << "<home>";
  QTest::newRow("existing folder") << QVariant("<data>") << "<data>"
                                   << "<data>/other.db"
                                   << "<data>";
  QTest::newRow("folder gone") << QVariant("<data>/gone") << "<application>"
                               << "<data>/sub/x.db"
                               << "<data>/sub";
  QTest::newRow("name without slash") << QVariant("<data>") << "<data>"
                                      << "plain.db"
                                      << "plain.db";
}

void TestMetrova::currentPath()
{
  QFETCH(QVariant, stored);
  QFETCH(QString, expected);
  QFETCH(QString, chosen);
  QFETCH(QString, remembered);

  const auto resolve = [this](QString text)
  {
    return text.replace(QStringLiteral("<home>"), QDir::homePath())
        .replace(QStringLiteral("<data>"), d_folder + QStringLiteral("/data"))
        .replace(QStringLiteral("<application>"), d_application);
  };
  QVERIFY(QDir().mkpath(d_folder + QStringLiteral("/data/sub")));
  const QString settings_file = d_application + QStringLiteral("/.metrova/metrova_settings.ini");
  if (stored.isValid())
  {
    QVERIFY(QDir().mkpath(d_application + QStringLiteral("/.metrova")));
    QSettings(settings_file, QSettings::IniFormat)
        .setValue(QStringLiteral("Current_Path"), resolve(stored.toString()));
  }

  d_window = std::make_unique<TMetrova>();
  TFileDialog::Queue_File_Name(resolve(chosen));
  Action("new_database")->trigger();
  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  QCOMPARE(requests.size(), 1);
  QVERIFY(requests.first().save);
  QCOMPARE(requests.first().caption, QStringLiteral("New database"));
  QCOMPARE(requests.first().filter, QStringLiteral("Database File (*.db)"));
  QCOMPARE(requests.first().folder, resolve(expected));

  QVERIFY(d_window->close());
  d_window.reset();
  QCOMPARE(QSettings(settings_file, QSettings::IniFormat)
               .value(QStringLiteral("Current_Path"))
               .toString(),
           resolve(remembered));
}

void TestMetrova::settings_data()
{
  QTest::addColumn<bool>("writable");
  QTest::newRow("beside the executable") << true;
  // Nobody, root included, can make a folder below a regular file.
  QTest::newRow("executable folder not writable") << false;
}

void TestMetrova::settings()
{
  QFETCH(bool, writable);

  QString expected = d_application + QStringLiteral("/.metrova/metrova_settings.ini");
  if (!writable)
  {
    QFile regular(d_folder + QStringLiteral("/regular"));
    QVERIFY(regular.open(QIODevice::WriteOnly));
    TMetrova::Set_Application_Directory(regular.fileName() + QStringLiteral("/bin"));
    expected = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
               QStringLiteral("/metrova_settings.ini");
    QVERIFY(expected.startsWith(d_root.path()));
    QFile::remove(expected);
  }

  d_window = std::make_unique<TMetrova>();
  QCOMPARE(d_window->Settings_File_Name(), expected);
  d_window->move(33, 44);
  d_window->resize(610, 515);
  QVERIFY(d_window->close());
  d_window.reset();
  QVERIFY(QFile::exists(expected));

  d_window = std::make_unique<TMetrova>();
  QCOMPARE(d_window->pos(), QPoint(33, 44));
  QCOMPARE(d_window->size(), QSize(610, 515));
  d_window.reset();
  QFile::remove(expected);
}

void TestMetrova::settingsFallbackUnprivileged()
{
  // Permission bits do not stop root, so root runs the check as the unprivileged user "nobody";
  // other users run it directly on a folder they cannot write.
  const bool root = ::geteuid() == 0;
  const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
  if (root && setpriv.isEmpty())
    QSKIP("setpriv is not available");

  const QFile::Permissions open_folder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                         QFile::ExeOther;
  const QFile::Permissions shared_folder = open_folder | QFile::WriteGroup | QFile::WriteOther;
  QVERIFY(QFile::setPermissions(d_root.path(), open_folder));
  QVERIFY(QFile::setPermissions(d_folder, open_folder));

  // A copy of this program in a folder that the child cannot write.
  const QString program = d_application + QStringLiteral("/tst_metrova");
  QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
  const QString home = d_folder + QStringLiteral("/home");
  QVERIFY(QDir().mkpath(home));
  QVERIFY(QFile::setPermissions(home, shared_folder));
  if (!root)
    QVERIFY(QFile::setPermissions(d_application, open_folder & ~QFile::WriteOwner));

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("HOME"), home);
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
  environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setWorkingDirectory(home);
  if (root)
    child.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                          QStringLiteral("--clear-groups"), program,
                          QString::fromLatin1(SETTINGS_CHILD_ARGUMENT)});
  else
    child.start(program, {QString::fromLatin1(SETTINGS_CHILD_ARGUMENT)});
  QVERIFY(child.waitForFinished(120000));
  QFile::setPermissions(d_application, open_folder);
  // 126: the temporary folder does not let programs run (mounted noexec, or not reachable).
  if (child.error() == QProcess::FailedToStart || child.exitCode() == 126)
    QSKIP("cannot run a program from the temporary folder");
  QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
           child.readAllStandardError().constData());

  const QString expected = home + QStringLiteral("/config/tst_metrova/metrova_settings.ini");
  QCOMPARE(QString::fromLocal8Bit(child.readAllStandardOutput()), expected);
  QVERIFY(!QFileInfo::exists(d_application + QStringLiteral("/.metrova")));
  QSettings written(expected, QSettings::IniFormat);
  QCOMPARE(written.value(QStringLiteral("Mainwindow_Position")).toPoint(), QPoint(40, 50));
  QCOMPARE(written.value(QStringLiteral("Mainwindow_Size")).toSize(), QSize(640, 520));
}

void TestMetrova::newDatabase_data()
{
  QTest::addColumn<bool>("existing");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QStringList>("makes");

  QTest::newRow("missing file") << false << int(QMessageBox::NoButton) << QStringList();
  QTest::newRow("existing, keep") << true << int(QMessageBox::No) << ALL_MAKES;
  QTest::newRow("existing, clear") << true << int(QMessageBox::Yes) << QStringList();
}

void TestMetrova::newDatabase()
{
  QFETCH(bool, existing);
  QFETCH(int, answer);
  QFETCH(QStringList, makes);

  if (existing)
    QVERIFY(Write_Catalogue(d_catalogue));
  d_window = std::make_unique<TMetrova>();
  if (existing)
    TMessageBox::Queue_Answer(QMessageBox::StandardButton(answer));
  TFileDialog::Queue_File_Name(d_catalogue);
  Action("new_database")->trigger();

  const QList<TMessageBox::TShownMessage> messages = TMessageBox::Take_Shown_Messages();
  if (existing)
  {
    QCOMPARE(messages.size(), 1);
    QCOMPARE(Message_Line(messages.first()),
             QStringLiteral("Clear Database / Do you want to clear the existing database?"));
    QCOMPARE(messages.first().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(messages.first().default_button, QMessageBox::No);
    QCOMPARE(messages.first().icon, QMessageBox::Question);
  }
  else
  {
    QCOMPARE(messages.size(), 0);
  }

  QCOMPARE(Texts(List("make_list")), makes);
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  // The file holds the seeded catalogue whatever the answer.
  TDatabase check(QStringLiteral("tst_metrova_check"));
  QVERIFY(check.Connect(d_catalogue));
  bool valid = false;
  QCOMPARE(check.Standard_Types(&valid).size(), 4);
  QVERIFY(valid);
  QCOMPARE(check.Makes(&valid), makes);
}

void TestMetrova::openAndClose()
{
  Open_Catalogue();
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  QCOMPARE(requests.size(), 1);
  QVERIFY(!requests.first().save);
  QCOMPARE(requests.first().caption, QStringLiteral("Open database"));
  QCOMPARE(requests.first().filter, QStringLiteral("Database File (*.db)"));

  // A cancelled dialog changes nothing.
  Select(List("make_list"), {"Acme"});
  TFileDialog::Queue_File_Name(QString());
  Action("open_database")->trigger();
  QCOMPARE(List("model_list")->count(), 2);

  // Opening a second file replaces the first.
  const QString second = d_folder + QStringLiteral("/data/second.db");
  TFileDialog::Queue_File_Name(second);
  Action("open_database")->trigger();
  QCOMPARE(List("make_list")->count(), 0);
  QCOMPARE(List("model_list")->count(), 0);
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));

  TFileDialog::Queue_File_Name(d_catalogue);
  Action("open_database")->trigger();
  Select(List("make_list"), {"Acme"});
  Select(List("model_list"), {"X1"});
  Select(List("option_list"), {"Standard"});
  QCOMPARE(Enabled_Actions(), Sorted(OPTION_ACTIONS));

  Action("close_database")->trigger();
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS));
  for (const char *list : {"make_list", "model_list", "option_list"})
    QCOMPARE(List(list)->count(), 0);
  QCOMPARE(Tree()->topLevelItemCount(), 0);
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());
}

void TestMetrova::connectErrors_data()
{
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("heading");
  QTest::addColumn<QString>("text");

  const QString connect_error = QStringLiteral("Error trying to connect to the database.");
  QTest::newRow("missing folder") << "missing/catalogue.db"
                                  << "Connect Error" << connect_error;
  QTest::newRow("not a database") << "garbage.db"
                                  << "Connect Error" << connect_error;
  QTest::newRow("table name taken") << "view.db"
                                    << "Initialize Error"
                                    << "Error trying to initialize the database.";
}

void TestMetrova::connectErrors()
{
  QFETCH(QString, file);
  QFETCH(QString, heading);
  QFETCH(QString, text);

  QFile garbage(d_folder + QStringLiteral("/garbage.db"));
  QVERIFY(garbage.open(QIODevice::WriteOnly));
  QVERIFY(garbage.write(QByteArray(4096, 'x')) == 4096);
  garbage.close();
  {
    // A view holds the name of a table that the catalogue needs.
    QSqlDatabase view_file =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_metrova_view"));
    view_file.setDatabaseName(d_folder + QStringLiteral("/view.db"));
    QVERIFY(view_file.open());
    QSqlQuery query(view_file);
    QVERIFY(query.exec(QStringLiteral("CREATE VIEW make AS SELECT 1 AS name")));
    query.finish();
    view_file.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("tst_metrova_view"));

  d_window = std::make_unique<TMetrova>();
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  TFileDialog::Queue_File_Name(d_folder + '/' + file);
  Action("open_database")->trigger();
  QList<TMessageBox::TShownMessage> messages = TMessageBox::Take_Shown_Messages();
  QCOMPARE(messages.size(), 1);
  QCOMPARE(Message_Line(messages.first()), heading + QStringLiteral(" / ") + text);
  QVERIFY(!messages.first().details.isEmpty());
  QCOMPARE(messages.first().icon, QMessageBox::Warning);
  QCOMPARE(messages.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS));

  // The next message has no details, so the previous ones must be gone.
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Action("about")->trigger();
  messages = TMessageBox::Take_Shown_Messages();
  QCOMPARE(Message_Lines(messages),
           QStringList{"Specification Editor / Specification Editor - Version 1.0"});
  QCOMPARE(messages.first().icon, QMessageBox::Information);
  QVERIFY(messages.first().details.isEmpty());
}

void TestMetrova::messageBox()
{
  QWidget parent;
  TMessageBox box(&parent);
  box.setText(QStringLiteral("Heading"));
  box.setInformativeText(QString(40, 'w') + QStringLiteral(" long explanation ").repeated(30));
  QCOMPARE(box.QMessageBox::text(),
           QStringLiteral(
               "<span style=\"font-size:10pt; font-weight:600; color:#000000;\" >Heading</span>"));
  QVERIFY(box.informativeText().startsWith(
      QStringLiteral("<span style=\"font-size:10pt; font-weight:400; color:#000000;\" >www")));
  QCOMPARE(box.textFormat(), Qt::RichText);

  // Shown on purpose, so not the watchdog's to close.
  d_watchdog.stop();
  box.show();
  QVERIFY(QTest::qWaitForWindowExposed(&box));
  QCOMPARE(box.width(), 500);
  box.setInformativeText(QStringLiteral("short"));
  box.resize(900, 400);
  QTRY_COMPARE(box.width(), 500);
  box.hide();
}

void TestMetrova::browse()
{
  Open_Catalogue();
  QListWidget *makes = List("make_list");
  QListWidget *models = List("model_list");
  QListWidget *options = List("option_list");

  Select(makes, {"Acme"});
  QCOMPARE(Texts(models), (QStringList{"X1", "X2"}));
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS + QStringList{"delete_make"}));

  Select(models, {"X1"});
  QCOMPARE(Texts(options), (QStringList{"Extended", "Standard"}));
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS + QStringList{"delete_make", "delete_model"}));

  Select(options, {"Standard"});
  QCOMPARE(Enabled_Actions(), Sorted(OPTION_ACTIONS));
  // Every standard whose lookup succeeds has a row, empty or not; micrometres, MFG and EST.
  QCOMPARE(Tree_Lines(Tree()),
           (QStringList{"10360", "  E0|1.5+3.3L/1000|MFG|Maximum length error",
                        "  Pftu|1.8|MFG|Maximum probe form error",
                        "  Ts_Min|18.00 C|MFG|Minimum volume temperature celsius", "B89.4.1",
                        "  Repeat|2.2|EST|Maximum sphere position variation", "VDIVDE_2617", "CMMA",
                        "  G|2.5||Maximum probe error"}));
  QVERIFY(Tree()->topLevelItem(0)->isExpanded());

  // Another model of the same make clears the options and switches the option commands off.
  Select(models, {"X2"});
  QCOMPARE(Texts(options), QStringList{"Standard"});
  QCOMPARE(Current_Text(options), QStringLiteral("Standard"));
  QCOMPARE(Tree_Lines(Tree()).mid(0, 2),
           (QStringList{"10360", "  E0|2.5+4.0L/1000|MFG|Maximum length error"}));

  options->clearSelection();
  QCOMPARE(Tree()->topLevelItemCount(), 0);
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS + QStringList{"delete_make", "delete_model"}));

  makes->clearSelection();
  QCOMPARE(models->count(), 0);
  QCOMPARE(options->count(), 0);
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
}

void TestMetrova::reselection_data()
{
  QTest::addColumn<QString>("make");
  QTest::addColumn<QString>("model");
  QTest::addColumn<QString>("option");
  QTest::addColumn<QStringList>("actions");
  QTest::addColumn<QString>("expression");

  QTest::newRow("same model and option") << "Zenith"
                                         << "X1"
                                         << "Standard" << OPTION_ACTIONS << "3.0+5.0L/1000";
  QTest::newRow("same model, other options")
      << "Brand"
      << "X1"
      << "" << OPEN_ACTIONS + QStringList{"delete_make", "delete_model"} << "";
  QTest::newRow("no such model") << "Solo"
                                 << ""
                                 << "" << OPEN_ACTIONS + QStringList{"delete_make"} << "";
}

void TestMetrova::reselection()
{
  QFETCH(QString, make);
  QFETCH(QString, model);
  QFETCH(QString, option);
  QFETCH(QStringList, actions);
  QFETCH(QString, expression);

  Open_Catalogue();
  Select(List("make_list"), {"Acme"});
  Select(List("model_list"), {"X1"});
  Select(List("option_list"), {"Standard"});

  Select(List("make_list"), {make});
  QCOMPARE(Current_Text(List("model_list")), model);
  QCOMPARE(Current_Text(List("option_list")), option);
  QCOMPARE(Enabled_Actions(), Sorted(actions));
  if (expression.isEmpty())
    QCOMPARE(Tree()->topLevelItemCount(), 0);
  else
    QCOMPARE(Tree()->topLevelItem(0)->child(0)->text(2), expression);
}

void TestMetrova::selectSpecification()
{
  Open_Catalogue();
  Select(List("make_list"), {"Acme"});
  Select(List("model_list"), {"X1"});
  const QStringList actions = Enabled_Actions();

  // The options are listed but none is selected: selecting by name fills the tree without
  // running the selection commands.
  d_window->Select_Specification(QStringLiteral("Acme"), QStringLiteral("X1"),
                                 QStringLiteral("Extended"));
  QCOMPARE(Current_Text(List("option_list")), QStringLiteral("Extended"));
  QCOMPARE(Tree_Lines(Tree()).mid(0, 2),
           (QStringList{"10360", "  E0|2.0+4.0L/1000|MFG|Maximum length error"}));
  QCOMPARE(Enabled_Actions(), actions);

  // A name that is not listed stops there and leaves the tree alone.
  d_window->Select_Specification(QStringLiteral("Acme"), QStringLiteral("X1"),
                                 QStringLiteral("Missing"));
  QCOMPARE(Tree_Lines(Tree()).mid(0, 2),
           (QStringList{"10360", "  E0|2.0+4.0L/1000|MFG|Maximum length error"}));
}

void TestMetrova::severalMakes()
{
  Open_Catalogue();
  Select(List("make_list"), {"Acme"});
  Select(List("model_list"), {"X1"});
  Select(List("option_list"), {"Standard"});

  Select(List("make_list"), {"Acme", "Zenith"});
  QCOMPARE(List("model_list")->count(), 0);
  QCOMPARE(List("option_list")->count(), 0);
  QCOMPARE(Tree()->topLevelItemCount(), 0);
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS + QStringList{"delete_make"}));

  TMessageBox::Queue_Answer(QMessageBox::Yes);
  Action("delete_make")->trigger();
  QCOMPARE(TMessageBox::Take_Shown_Messages().size(), 1);
  QCOMPARE(Texts(List("make_list")), (QStringList{"Brand", "Solo"}));
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  QCOMPARE(Stored_Machines(d_catalogue),
           Sorted({"Brand", "Brand/X1/Other", "Solo", "Solo/S7/Standard"}));
}

void TestMetrova::deletes_data()
{
  QTest::addColumn<QString>("command");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("question");
  QTest::addColumn<QStringList>("removed");
  QTest::addColumn<QStringList>("models");
  QTest::addColumn<QStringList>("options");
  QTest::addColumn<QStringList>("actions");

  const QStringList all_lists = {"X1", "X2"};
  const QString make_question = QStringLiteral(
      "Delete Current Make / Are you sure you want to delete selected Make and all sub items?");
  const QString model_question = QStringLiteral(
      "Delete Current Model / Are you sure you want to delete selected Model and all sub items?");
  const QString option_question = QStringLiteral(
      "Delete Current Option / Are you sure you want to delete selected Option and all sub "
      "items?");

  QTest::newRow("make, no") << "delete_make" << int(QMessageBox::No) << make_question
                            << QStringList() << all_lists << QStringList{"Extended", "Standard"}
                            << OPTION_ACTIONS;
  QTest::newRow("make, yes") << "delete_make" << int(QMessageBox::Yes) << make_question
                             << QStringList{"Acme", "Acme/X1/Standard", "Acme/X1/Extended",
                                            "Acme/X2/Standard"}
                             << QStringList() << QStringList() << OPEN_ACTIONS;
  QTest::newRow("model, no") << "delete_model" << int(QMessageBox::No) << model_question
                             << QStringList() << all_lists << QStringList{"Extended", "Standard"}
                             << OPTION_ACTIONS;
  QTest::newRow("model, yes") << "delete_model" << int(QMessageBox::Yes) << model_question
                              << QStringList{"Acme/X1/Standard", "Acme/X1/Extended"}
                              << QStringList{"X2"} << QStringList()
                              << OPEN_ACTIONS + QStringList{"delete_make"};
  QTest::newRow("option, no") << "delete_option" << int(QMessageBox::No) << option_question
                              << QStringList() << all_lists << QStringList{"Extended", "Standard"}
                              << OPTION_ACTIONS;
  QTest::newRow("option, yes") << "delete_option" << int(QMessageBox::Yes) << option_question
                               << QStringList{"Acme/X1/Standard"} << all_lists
                               << QStringList{"Extended"}
                               << OPEN_ACTIONS + QStringList{"delete_make", "delete_model"};
}

void TestMetrova::deletes()
{
  QFETCH(QString, command);
  QFETCH(int, answer);
  QFETCH(QString, question);
  QFETCH(QStringList, removed);
  QFETCH(QStringList, models);
  QFETCH(QStringList, options);
  QFETCH(QStringList, actions);

  Open_Catalogue();
  Select(List("make_list"), {"Acme"});
  Select(List("model_list"), {"X1"});
  Select(List("option_list"), {"Standard"});

  TMessageBox::Queue_Answer(QMessageBox::StandardButton(answer));
  Action(command)->trigger();
  const QList<TMessageBox::TShownMessage> messages = TMessageBox::Take_Shown_Messages();
  QCOMPARE(messages.size(), 1);
  QCOMPARE(Message_Line(messages.first()), question);
  QCOMPARE(messages.first().buttons, QMessageBox::Yes | QMessageBox::No);
  QCOMPARE(messages.first().default_button, QMessageBox::No);
  QCOMPARE(messages.first().icon, QMessageBox::Question);

  QCOMPARE(Stored_Machines(d_catalogue), Without(All_Stored_Machines(), removed));
  QCOMPARE(Texts(List("make_list")), Without(ALL_MAKES, removed));
  QCOMPARE(Texts(List("model_list")), models);
  QCOMPARE(Texts(List("option_list")), options);
  QCOMPARE(Enabled_Actions(), Sorted(actions));
  QCOMPARE(Tree()->topLevelItemCount(), answer == QMessageBox::Yes ? 0 : 4);
}

void TestMetrova::import_data()
{
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QStringList>("messages");
  QTest::addColumn<QStringList>("makes");

  const QByteArray header = "MetrovaDatabase:Version=1:Format=CSV\n\n";
  const QByteArray good = "Nova,N1,Standard,10360,E0:0.0015+0.0033L/1000\n";
  QTest::newRow("good file") << header + good << QStringList() << ALL_MAKES + QStringList{"Nova"};
  QTest::newRow("wrong header") << "Some other file\n" + good
                                << QStringList{"Import Export Error / Operation failed."}
                                << QStringList();
  QTest::newRow("bad line") << header + good + "Nova,N2,Standard,10360,Nope:1\n"
                            << QStringList{"Import Warning / Some lines of the file were not "
                                           "imported."}
                            << ALL_MAKES + QStringList{"Nova"};
}

void TestMetrova::import()
{
  QFETCH(QByteArray, content);
  QFETCH(QStringList, messages);
  QFETCH(QStringList, makes);

  Open_Catalogue();
  const QString file_name = d_folder + QStringLiteral("/data/import.csv");
  QFile file(file_name);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QVERIFY(file.write(content) == content.size());
  file.close();

  for (int count = 0; count < messages.size(); ++count)
    TMessageBox::Queue_Answer(QMessageBox::Ok);
  TFileDialog::Queue_File_Name(file_name);
  Action("import")->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(List("make_list")->isEnabled(), 60000);

  const QList<TMessageBox::TShownMessage> shown = TMessageBox::Take_Shown_Messages();
  QCOMPARE(Message_Lines(shown), messages);
  for (const TMessageBox::TShownMessage &message : shown)
  {
    QCOMPARE(message.icon, QMessageBox::Warning);
    QVERIFY(!message.details.isEmpty());
  }
  QCOMPARE(Texts(List("make_list")), Sorted(makes));
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  QCOMPARE(requests.last().caption, QStringLiteral("Import database"));
  QCOMPARE(requests.last().filter, QStringLiteral("Comma Separated File (*.csv)"));
}

void TestMetrova::workerRunning()
{
  Open_Catalogue();
  Select(List("make_list"), {"Acme"});
  Select(List("model_list"), {"X1"});
  Select(List("option_list"), {"Standard"});

  // The import waits on a pipe until the checks below are done.
  const QString pipe = d_folder + QStringLiteral("/data/pipe.csv");
  TPipeFeed feed(pipe);
  QVERIFY(feed.Create());
  TFileDialog::Queue_File_Name(pipe);
  Action("import")->trigger();
  TFileDialog::Take_Requests();

  // Nothing may reach the database: commands off, lists and tree frozen.
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS + QStringList{"export", "import"}));
  for (const char *list : {"make_list", "model_list", "option_list"})
    QVERIFY(!List(list)->isEnabled());
  QVERIFY(!Tree()->isEnabled());

  // Import and Export refuse before asking for a file; New and Open after it.
  const QString refusal =
      QStringLiteral("IO Thread Running / Database is currently being imported or exported.");
  for (int count = 0; count < 4; ++count)
    TMessageBox::Queue_Answer(QMessageBox::Ok);
  d_window->Import();
  d_window->Export();
  TFileDialog::Queue_File_Name(d_folder + QStringLiteral("/data/new.db"));
  d_window->New_Database();
  TFileDialog::Queue_File_Name(d_catalogue);
  d_window->Open_Database();
  QCOMPARE(Message_Lines(TMessageBox::Take_Shown_Messages()),
           (QStringList{refusal, refusal, refusal, refusal}));
  QCOMPARE(TFileDialog::Take_Requests().size(), 2);
  QVERIFY(!QFile::exists(d_folder + QStringLiteral("/data/new.db")));

  // The delete commands do nothing even when called directly.
  d_window->Delete_Make();
  d_window->Close_Database();
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());

  // Closing is refused, but the settings are written.
  d_window->resize(612, 534);
  QVERIFY(!d_window->close());
  QCOMPARE(QSettings(d_window->Settings_File_Name(), QSettings::IniFormat)
               .value(QStringLiteral("Mainwindow_Size"))
               .toSize(),
           QSize(612, 534));

  feed.Feed(
      "MetrovaDatabase:Version=1:Format=CSV\n\nNova,N1,Standard,10360,E0:0.002+0.003L/1000\n");
  QTRY_VERIFY_WITH_TIMEOUT(List("make_list")->isEnabled(), 60000);
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());
  QCOMPARE(Texts(List("make_list")), Sorted(ALL_MAKES + QStringList{"Nova"}));
  QVERIFY(List("model_list")->isEnabled() && List("option_list")->isEnabled());
  QVERIFY(Tree()->isEnabled());
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));

  // Back to normal: the selection drives the commands again.
  Select(List("make_list"), {"Nova"});
  Select(List("model_list"), {"N1"});
  Select(List("option_list"), {"Standard"});
  QCOMPARE(Enabled_Actions(), Sorted(OPTION_ACTIONS));
  QVERIFY(d_window->close());
}

void TestMetrova::refusedWhenClosed()
{
  d_window = std::make_unique<TMetrova>();
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  d_window->Import();
  d_window->Export();
  const QList<TMessageBox::TShownMessage> messages = TMessageBox::Take_Shown_Messages();
  QCOMPARE(Message_Lines(messages), (QStringList{"Database Error / Database not open.",
                                                 "Database Error / Database not open."}));
  QCOMPARE(messages.first().icon, QMessageBox::Warning);
  QVERIFY(TFileDialog::Take_Requests().isEmpty());
}

// Re-invoked with SETTINGS_CHILD_ARGUMENT, the program opens and closes one window as whatever
// user runs it and prints where the settings went.
int main(int argc, char *argv[])
{
  if (argc == 2 && qstrcmp(argv[1], SETTINGS_CHILD_ARGUMENT) == 0)
    return Run_Settings_Child(argc, argv);

  QApplication application(argc, argv);
  TestMetrova test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "tst_metrova.moc"
