#include "catalogueview.h"
#include "faultsupport.h"
#include "guitestsupport.h"
#include "historydialog.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"
#include "verificationlog.h"
#include "verificationlogdialog.h"

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableWidget>

#include <unistd.h>

using namespace GuiTestSupport;

namespace
{
const QString SETTINGS_FILE = QStringLiteral("/.metrova/metrova_settings.ini");
const QString NO_CATALOGUE = QStringLiteral(
    "No catalogue open: File > New Database, Open Database, or Help > Open Sample Catalogue");

QStringList Repeated(const QString &line, int count)
{
  return QVector<QString>(count, line).toList();
}

QStringList Without(QStringList list, const QStringList &removed)
{
  for (const QString &entry : removed)
    list.removeAll(entry);
  return list;
}
} // namespace

class TestMetrova : public QObject, public TWindowFixture
{
  Q_OBJECT

private slots:
  void initTestCase() { Set_Up(); }
  void init() { Start_Test(); }
  void cleanup() { Finish_Test(); }

  void geometry_data();
  void geometry();
  void settings_data();
  void settings();
  void settingsFallbackUnprivileged_data();
  void settingsFallbackUnprivileged();
  void messageBox();
  void shortcuts_data();
  void shortcuts();
  void fileCommands_data();
  void fileCommands();
  void failedOpen_data();
  void failedOpen();
  void connectServer();
  void browse();
  void reselection_data();
  void reselection();
  void deletes_data();
  void deletes();
  void import_data();
  void import();
  void workerRunning();
  void readOnlyCatalogue_data();
  void readOnlyCatalogue();
  void sampleCatalogue();
  void history();
  void listsOfManyNames();
};

void TestMetrova::geometry_data()
{
  QTest::addColumn<bool>("saved");
  QTest::addColumn<QRect>("stored");
  QTest::addColumn<QRect>("expected");

  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(screen.width() > 600 && screen.height() > 550);
  const QRect fallback(30, 30, 901, 601);
  const QRect overlap_501(screen.right() - 500, screen.top(), 700, 520);

  QTest::newRow("first start") << false << QRect() << fallback.intersected(screen);
  QTest::newRow("too large") << true << QRect(screen.topLeft(), screen.size() + QSize(1200, 900))
                             << screen;
  QTest::newRow("off screen") << true
                              << QRect(screen.bottomRight() + QPoint(50, 50), QSize(600, 600))
                              << fallback;
  QTest::newRow("501 wide overlap")
      << true << overlap_501 << QRect(overlap_501.topLeft(), QSize(501, 520));
  QTest::newRow("500 wide overlap") << true << overlap_501.translated(1, 0) << fallback;
}

void TestMetrova::geometry()
{
  QFETCH(bool, saved);
  QFETCH(QRect, stored);
  QFETCH(QRect, expected);

  if (saved)
  {
    QSettings settings(d_application + SETTINGS_FILE, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Mainwindow_Position"), stored.topLeft());
    settings.setValue(QStringLiteral("Mainwindow_Size"), stored.size());
  }
  New_Window();
  QCOMPARE(QRect(d_window->pos(), d_window->size()), expected);
}

void TestMetrova::settings_data()
{
  QTest::addColumn<bool>("writable");
  QTest::addColumn<QVariant>("stored");
  QTest::addColumn<QString>("offered");
  QTest::addColumn<QString>("chosen");
  QTest::addColumn<QString>("remembered");

  const QString home = QStringLiteral("<home>"), data = QStringLiteral("<data>");
  QTest::newRow("first start, cancelled") << true << QVariant() << home << QString() << home;
  QTest::newRow("existing folder") << true << QVariant(data) << data << data + "/other.db" << data;
  QTest::newRow("folder gone") << true << QVariant(data + "/gone")
                               << QStringLiteral("<application>") << data + "/sub/x.db"
                               << data + "/sub";
  // Nobody, root included, can make a folder below a regular file.
  QTest::newRow("executable folder not writable")
      << false << QVariant() << home << data + "/x.db" << data;
}

// Where the settings go, and the window's place and the folder for files kept in them.
void TestMetrova::settings()
{
  QFETCH(bool, writable);
  QFETCH(QVariant, stored);
  QFETCH(QString, offered);
  QFETCH(QString, chosen);
  QFETCH(QString, remembered);

  const auto resolve = [this](QString text)
  {
    return text.replace(QStringLiteral("<home>"), QDir::homePath())
        .replace(QStringLiteral("<data>"), d_folder + QStringLiteral("/data"))
        .replace(QStringLiteral("<application>"), d_application);
  };
  QVERIFY(QDir().mkpath(d_folder + QStringLiteral("/data/sub")));
  QString settings_file = d_application + SETTINGS_FILE;
  if (!writable)
  {
    QVERIFY(Write_File(d_folder + QStringLiteral("/regular"), QByteArray()));
    TWindowSettings::Set_Application_Directory(d_folder + QStringLiteral("/regular/bin"));
    settings_file = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                    QStringLiteral("/metrova_settings.ini");
    QVERIFY(settings_file.startsWith(d_root.path()));
    QFile::remove(settings_file);
  }
  if (stored.isValid())
    QSettings(settings_file, QSettings::IniFormat)
        .setValue(QStringLiteral("Current_Path"), resolve(stored.toString()));

  QCOMPARE(New_Window()->Settings_File_Name(), settings_file);
  TFileDialog::Queue_File_Name(resolve(chosen));
  Action("new_database")->trigger();
  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  QCOMPARE(requests.size(), 1);
  QCOMPARE(requests.first().folder, resolve(offered));
  d_window->move(33, 44);
  d_window->resize(610, 515);
  QVERIFY(d_window->close());
  d_window.reset();
  QCOMPARE(QSettings(settings_file, QSettings::IniFormat)
               .value(QStringLiteral("Current_Path"))
               .toString(),
           resolve(remembered));

  New_Window();
  QCOMPARE(d_window->pos(), QPoint(33, 44));
  QCOMPARE(d_window->size(), QSize(610, 515));
  d_window.reset();
  QFile::remove(settings_file);
}

void TestMetrova::settingsFallbackUnprivileged_data()
{
  QTest::addColumn<bool>("folder_exists");
  QTest::newRow("settings folder cannot be made") << false;
  QTest::newRow("settings folder cannot be written") << true;
}

void TestMetrova::settingsFallbackUnprivileged()
{
  QFETCH(bool, folder_exists);

  // Permission bits do not stop root, so root runs the window as the user nobody; other users
  // run it on folders they cannot write.
  const QString home = d_folder + QStringLiteral("/home");
  const QString folder = d_application + QStringLiteral("/.metrova");
  QVERIFY(QDir().mkpath(home) && (!folder_exists || QDir().mkpath(folder)));
  for (const QString &path : {d_root.path(), d_folder})
    QVERIFY(QFile::setPermissions(path, QFile::Permissions(0x7755)));
  QVERIFY(QFile::setPermissions(home, QFile::Permissions(0x7777)));
  const QStringList closed = {folder, d_application};
  for (const QString &path : closed)
    QFile::setPermissions(path, QFile::Permissions(0x5555));
  const auto run = [&home]
  {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    TMetrova window;
    window.move(40, 50);
    window.resize(640, 520);
    window.close();
    return window.Settings_File_Name();
  };
  const QString written_to =
      ::geteuid() == 0 ? FaultSupport::Run_As_Nobody(run) : TestSupport::Child_Report(run);
  for (const QString &path : closed)
    QFile::setPermissions(path, QFile::Permissions(0x7755));

  const QString expected = home + QStringLiteral("/config/tst_metrova/metrova_settings.ini");
  QCOMPARE(written_to, expected);
  QCOMPARE(QFileInfo::exists(folder), folder_exists);
  QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/metrova_settings.ini")));
  QSettings written(expected, QSettings::IniFormat);
  QCOMPARE(written.value(QStringLiteral("Mainwindow_Position")).toPoint(), QPoint(40, 50));
  QCOMPARE(written.value(QStringLiteral("Mainwindow_Size")).toSize(), QSize(640, 520));
}

void TestMetrova::messageBox()
{
  QWidget parent;
  TMessageBox box(&parent);
  box.setText(QStringLiteral("Heading"));
  box.setInformativeText(QString(40, 'w') + QStringLiteral(" long explanation ").repeated(30));

  // Shown on purpose, so not the watchdog's to close.
  d_watchdog.Stop();
  box.show();
  QVERIFY(QTest::qWaitForWindowExposed(&box));
  QCOMPARE(box.width(), 500);
  box.setInformativeText(QStringLiteral("short"));
  box.resize(900, 400);
  QTRY_COMPARE(box.width(), 500);
  box.hide();
  // A file name is text, not markup.
  box.setInformativeText(QStringLiteral("/tmp/a<b>&c"));
  QVERIFY(box.informativeText().contains(QStringLiteral("/tmp/a&lt;b&gt;&amp;c")));
}

void TestMetrova::shortcuts_data()
{
  QTest::addColumn<QString>("action");
  QTest::addColumn<int>("keys");
  QTest::addColumn<QString>("text");
  QTest::newRow("new") << "new_database" << int(QKeySequence::New) << "New Database...";
  QTest::newRow("open") << "open_database" << int(QKeySequence::Open) << "Open Database...";
  QTest::newRow("close") << "close_database" << int(QKeySequence::Close) << "Close Database";
  QTest::newRow("print") << "output" << int(QKeySequence::Print) << "Output PDF";
  QTest::newRow("quit") << "quit" << int(QKeySequence::Quit) << "Quit";
}

// The platform's keys (offscreen has none for Quit), and the menu texts as they were.
void TestMetrova::shortcuts()
{
  QFETCH(QString, action);
  QFETCH(int, keys);
  QFETCH(QString, text);

  New_Window();
  QCOMPARE(Action(action)->shortcuts(), QKeySequence::keyBindings(QKeySequence::StandardKey(keys)));
  QCOMPARE(Action(action)->text(), text);
}

void TestMetrova::fileCommands_data()
{
  QTest::addColumn<bool>("create");
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("opened");
  QTest::addColumn<int>("answer");
  QTest::addColumn<QStringList>("messages");
  QTest::addColumn<QStringList>("makes");

  const QStringList none;
  const QStringList clear = {
      "Question: Clear Database / Do you want to clear the existing database?"};
  const int ok = QMessageBox::Ok;
  const QString catalogue = QStringLiteral("catalogue.db");
  QTest::newRow("open") << false << catalogue << catalogue << ok << none << ALL_MAKES;
  QTest::newRow("open cancelled") << false << ""
                                  << "" << ok << none << none;
  // Typed without its extension, the file gets the filter's, which the Open dialog shows.
  QTest::newRow("new file") << true << "new"
                            << "new.db" << ok << none << none;
  QTest::newRow("new on existing, keep")
      << true << catalogue << catalogue << int(QMessageBox::No) << clear << ALL_MAKES;
  QTest::newRow("new on existing, clear")
      << true << catalogue << catalogue << int(QMessageBox::Yes) << clear << none;
}

// New, Open and Close of a file that opens.
void TestMetrova::fileCommands()
{
  QFETCH(bool, create);
  QFETCH(QString, file);
  QFETCH(QString, opened);
  QFETCH(int, answer);
  QFETCH(QStringList, messages);
  QFETCH(QStringList, makes);

  const QString data = d_folder + QStringLiteral("/data/");
  QVERIFY(Write_Catalogue(data + QStringLiteral("catalogue.db")));

  New_Window();
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS));
  // The status bar names the open file, its path in the tool tip, or says what to do.
  const QLabel *label = Child<QLabel>(d_window.get(), "catalogue_label");
  QCOMPARE(label->text(), NO_CATALOGUE);
  // The icons live in a static library: they show only if its resources were registered.
  QVERIFY(!Action("new_database")->icon().isNull());
  for (int count = 0; count < messages.size(); ++count)
    TMessageBox::Queue_Answer(QMessageBox::StandardButton(answer));
  TFileDialog::Queue_File_Name(file.isEmpty() ? QString() : data + file);
  Action(create ? "new_database" : "open_database")->trigger();
  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  QCOMPARE(requests.size(), 1);
  // New asks its own question about an existing file; the file dialog must not ask first.
  QCOMPARE(requests.first().options,
           create ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options());
  QCOMPARE(Take_Messages(), messages);

  QCOMPARE(Texts(List("make_list")), makes);
  QCOMPARE(Enabled_Actions(), Sorted(opened.isEmpty() ? CLOSED_ACTIONS : OPEN_ACTIONS));
  QCOMPARE(label->text(), opened.isEmpty() ? NO_CATALOGUE : "Catalogue: " + opened);
  if (!opened.isEmpty())
  {
    QCOMPARE(label->toolTip(), data + opened);
    // The file holds the seeded catalogue whatever the answer.
    TDatabase check(QStringLiteral("tst_metrova_check"));
    QVERIFY(check.Connect(data + opened));
    bool valid = false;
    QCOMPARE(check.Standard_Types(&valid).size(), 4);
    QCOMPARE(Sorted(check.Makes(&valid)), makes);
    QVERIFY(valid);

    if (!makes.isEmpty())
      Select_Machine("Acme", "X1", "Standard");
    Action("close_database")->trigger();
    QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS));
    QCOMPARE(label->text(), NO_CATALOGUE);
    for (const char *list : {"make_list", "model_list", "option_list"})
      QCOMPARE(List(list)->count(), 0);
    QCOMPARE(Tree()->topLevelItemCount(), 0);
  }

  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Action("about")->trigger();
  QCOMPARE(Take_Messages(),
           QStringList{"Information: Specification Editor / Specification Editor - Version 1.0"});
}

void TestMetrova::failedOpen_data()
{
  QTest::addColumn<bool>("create");
  QTest::addColumn<QString>("file");
  QTest::addColumn<QStringList>("messages");
  QTest::addColumn<QString>("reason");

  // The fixed text, and the cause in plain words.
  QTest::newRow("connect") << false << "garbage.db"
                           << QStringList{"Warning: Connect Error / Error trying to connect to "
                                          "the database. The file is not a database."}
                           << "not a database";
  QTest::newRow("no folder") << true << "missing/new.db"
                             << QStringList{"Warning: Connect Error / Error trying to connect to "
                                            "the database. The folder does not exist."}
                             << "missing/new.db";
  // A view holds the name of a table that the catalogue needs.
  QTest::newRow("initialize") << false << "view.db"
                              << QStringList{"Warning: Initialize Error / Error trying to "
                                             "initialize the database."}
                              << "make";
  QTest::newRow("clear") << true << "refusing.db"
                         << QStringList{"Question: Clear Database / Do you want to clear the "
                                        "existing database?",
                                        "Warning: Clear Error / Cannot clear the database."}
                         << "refused";
}

// Whatever fails, New and Open leave no catalogue open, say why, and change no file.
void TestMetrova::failedOpen()
{
  QFETCH(bool, create);
  QFETCH(QString, file);
  QFETCH(QStringList, messages);
  QFETCH(QString, reason);

  const QString data = d_folder + QStringLiteral("/data/");
  QVERIFY(Write_File(data + QStringLiteral("garbage.db"), QByteArray(4096, 'x')));
  QVERIFY(TestSupport::Execute_On_File(data + QStringLiteral("view.db"),
                                       QStringLiteral("CREATE VIEW make AS SELECT 1 AS name")));
  QVERIFY(Write_Catalogue(data + QStringLiteral("refusing.db")));
  QVERIFY(
      TestSupport::Execute_On_File(data + QStringLiteral("refusing.db"),
                                   QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON make "
                                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
  const QByteArray before = File_Bytes(data + file);

  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  for (int count = 0; count < messages.size(); ++count)
    TMessageBox::Queue_Answer(QMessageBox::Yes);
  TFileDialog::Queue_File_Name(data + file);
  Action(create ? "new_database" : "open_database")->trigger();
  TFileDialog::Take_Requests();
  QList<TMessageBox::TShownMessage> shown;
  QCOMPARE(Take_Messages(&shown), messages);
  QVERIFY2(shown.last().details.contains(reason), qPrintable(shown.last().details));

  for (const char *list : {"make_list", "model_list", "option_list"})
    QCOMPARE(List(list)->count(), 0);
  QCOMPARE(Tree()->topLevelItemCount(), 0);
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS));
  QCOMPARE(Child<QLabel>(d_window.get(), "catalogue_label")->text(), NO_CATALOGUE);
  QCOMPARE(File_Bytes(data + file), before);

  // Closed indeed: the exchange commands refuse before asking for a file, and their message
  // shows none of the failure's details.
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Action("import")->trigger();
  Action("export")->trigger();
  QCOMPARE(Take_Messages(&shown), Repeated("Warning: Database Error / Database not open.", 2));
  QVERIFY(shown.first().details.isEmpty());
  QVERIFY(TFileDialog::Take_Requests().isEmpty());
}

// Connect to Server on the run's server, as a role that must give a password: the password is
// asked for, opens the catalogue and is kept nowhere; the fields are offered again.
void TestMetrova::connectServer()
{
  if (TestSupport::Engine_Has_Files())
    QSKIP("needs the run's PostgreSQL server (tst_metrova_postgresql)");
  const QString password = QStringLiteral("typed-secret-6x");
  // Only this role on this database must give one; every other connection stays trusted.
  const QString rule = QStringLiteral("local metrova_window metrova_window_user scram-sha-256");
  // Read before COPY empties the file to write it.
  const auto set_rules = [](const QString &first)
  {
    return TestSupport::Execute_On_Server(
               QStringLiteral(
                   "DO $$DECLARE lines text[]; BEGIN SELECT array_agg(line) INTO lines FROM "
                   "unnest(array_prepend('%1', string_to_array(pg_read_file(current_setting("
                   "'hba_file')), E'\\n'))) AS line WHERE line NOT LIKE '%metrova_window_user%' "
                   "OR line='%1'; EXECUTE format('COPY (SELECT unnest(%L::text[])) TO %L', lines, "
                   "current_setting('hba_file')); END$$")
                   .arg(first)) &&
           TestSupport::Execute_On_Server(QStringLiteral("SELECT pg_reload_conf()"));
  };
  const auto restore = qScopeGuard(
      [&]
      {
        d_window.reset();
        set_rules(QString());
        TestSupport::Execute_On_Server("DROP DATABASE IF EXISTS metrova_window WITH (FORCE)");
        TestSupport::Execute_On_Server("DROP ROLE IF EXISTS metrova_window_user");
      });
  QVERIFY(TestSupport::Execute_On_Server("DROP DATABASE IF EXISTS metrova_window WITH (FORCE)"));
  QVERIFY(TestSupport::Execute_On_Server("DROP ROLE IF EXISTS metrova_window_user"));
  QVERIFY(TestSupport::Execute_On_Server("CREATE ROLE metrova_window_user LOGIN PASSWORD '" +
                                         password + "'"));
  QVERIFY(
      TestSupport::Execute_On_Server("CREATE DATABASE metrova_window OWNER metrova_window_user"));
  QVERIFY(set_rules(rule));

  TWindowSettings::TServer server;
  server.host = TestSupport::Server_Folder();
  server.database = QStringLiteral("metrova_window");
  server.user = QStringLiteral("metrova_window_user");
  server.sslmode = QStringLiteral("require");
  New_Window();
  // Cancelled: nothing opened, nothing remembered.
  TConnectServerDialog::Queue_Server(server, false);
  Action("connect_server")->trigger();
  TConnectServerDialog::Queue_Server(server);
  TConnectServerDialog::Queue_Password(password);
  Action("connect_server")->trigger();
  const QList<TWindowSettings::TServer> offered = TConnectServerDialog::Take_Offered_Servers();
  QCOMPARE(offered.size(), 2);
  QCOMPARE(offered.last().database, QString());
  QCOMPARE(offered.last().port, 5432);
  QCOMPARE(TConnectServerDialog::Take_Password_Requests(),
           QStringList("The server asks for the password of postgresql:///metrova_window?host=" +
                       server.host + "&port=5432&user=metrova_window_user:"));
  QCOMPARE(Take_Messages(), QStringList());
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  QCOMPARE(Child<QLabel>(d_window.get(), "catalogue_label")->text(),
           "Catalogue: postgresql:///metrova_window?host=" + server.host +
               "&port=5432&user=metrova_window_user");

  QVERIFY(d_window->close());
  const QString settings_file = d_application + SETTINGS_FILE;
  QVERIFY(!File_Bytes(settings_file).contains(password.toUtf8()));
  New_Window();
  TConnectServerDialog::Queue_Server(server, false);
  Action("connect_server")->trigger();
  const TWindowSettings::TServer again = TConnectServerDialog::Take_Offered_Servers().value(0);
  QCOMPARE(QStringList({again.host, again.database, again.user, again.sslmode}),
           QStringList({server.host, server.database, server.user, server.sslmode}));
}

void TestMetrova::browse()
{
  Open_Catalogue();
  // A source that is neither manufacturer (0) nor estimated (1) shows no source.
  QVERIFY(TestSupport::Execute_On_File(
      d_catalogue, QStringLiteral("UPDATE specification SET source=2 WHERE expression='18.00 C'")));
  QListWidget *makes = List("make_list");
  QListWidget *models = List("model_list");
  QListWidget *options = List("option_list");
  QCOMPARE(makes->selectionMode(), QAbstractItemView::ExtendedSelection);

  Select(makes, {"Acme"});
  QCOMPARE(Texts(models), Words("X1 X2"));
  Select(models, {"X1"});
  QCOMPARE(Texts(options), Words("Extended Standard"));
  Select(options, {"Standard"});
  // Micrometres, MFG or EST, one expanded line per standard, and descriptions.
  QCOMPARE(
      Tree_Rows(Tree()),
      (QStringList{"10360|E0|1.5+3.3L/1000|MFG", "10360|E150|1.0+0.10Td+(2.0+0.20Td)L/1000|MFG",
                   "10360|Ts_Min|18.00 C|", "B89.4.1|Repeat|2.0|MFG", "B89.4.1|Volume|5.0/500|MFG",
                   "VDIVDE_2617|V3|1.8|MFG", "VDIVDE_2617|U3|1.5+3.3L/1000|EST",
                   "CMMA|M|2.5+3.3L/1000|8.0|MFG", "CMMA|Repeat|4.0|EST"}));
  QCOMPARE(Tree()->topLevelItem(0)->child(0)->text(4), QStringLiteral("Maximum length error"));
  QVERIFY(Tree()->topLevelItem(3)->isExpanded());
  // The limits dialog shows copies: while it is open, another program may write.
  Answer_Dialog<TSpecificationLimitsDialog>(
      [this](TSpecificationLimitsDialog *)
      {
        QVERIFY(TestSupport::Execute_On_File(
            d_catalogue, QStringLiteral("UPDATE specification SET source=2 WHERE source=2")));
      });
  Action("specification_limits")->trigger();

  // Another model of the same make lists its options; the same option stays selected.
  Select(models, {"X2"});
  QCOMPARE(Texts(options), QStringList{"Standard"});
  QCOMPARE(Selected_Text(options), QStringLiteral("Standard"));
  QCOMPARE(Tree_Rows(Tree()), QStringList{"10360|E0|2.5+4.0L/1000|MFG"});
  QCOMPARE(Tree()->topLevelItemCount(), 4); // standards without rows too

  options->clearSelection();
  QCOMPARE(Tree()->topLevelItemCount(), 0);
  makes->clearSelection();
  QCOMPARE(models->count() + options->count(), 0);
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));

  // Another file replaces the first one's makes.
  Select(makes, {"Acme"});
  TFileDialog::Queue_File_Name(d_folder + QStringLiteral("/data/second.db"));
  Action("open_database")->trigger();
  TFileDialog::Take_Requests();
  QCOMPARE(makes->count() + models->count(), 0);
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
}

void TestMetrova::reselection_data()
{
  QTest::addColumn<QString>("make");
  QTest::addColumn<QStringList>("selected");
  QTest::addColumn<QStringList>("actions");
  QTest::addColumn<QStringList>("tree");

  QTest::newRow("same model and option")
      << QStringLiteral("Zenith") << QStringList{"Zenith", "X1", "Standard"} << OPTION_ACTIONS
      << QStringList{"10360|E0|3.0+5.0L/1000|MFG"};
  QTest::newRow("same model, other options")
      << QStringLiteral("Brand") << QStringList{"Brand", "X1", ""}
      << OPEN_ACTIONS + Words("delete_make delete_model") << QStringList();
  QTest::newRow("no such model") << QStringLiteral("Solo") << QStringList{"Solo", "", ""}
                                 << OPEN_ACTIONS + Words("delete_make") << QStringList();
}

// Another make keeps the model and option selected where it has them.
void TestMetrova::reselection()
{
  QFETCH(QString, make);
  QFETCH(QStringList, selected);
  QFETCH(QStringList, actions);
  QFETCH(QStringList, tree);

  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  Select(List("make_list"), {make});
  QCOMPARE(Selected_Machine(), selected);
  QCOMPARE(Enabled_Actions(), Sorted(actions));
  QCOMPARE(Tree_Rows(Tree()), tree);
}

void TestMetrova::deletes_data()
{
  QTest::addColumn<QStringList>("makes");
  QTest::addColumn<QString>("level");
  QTest::addColumn<int>("answer");
  // To the question whether Acme X1 Standard's verification record goes too; none when not asked.
  QTest::addColumn<int>("records_answer");
  QTest::addColumn<QStringList>("removed");
  QTest::addColumn<QStringList>("models");
  QTest::addColumn<QStringList>("options");
  QTest::addColumn<QStringList>("actions");

  const QStringList acme = {"Acme"}, none, x1 = Words("X1 X2"),
                    x1_options = Words("Extended Standard");
  const QStringList acme_x1 = Words("Acme/X1/Standard Acme/X1/Extended");
  const QStringList all_acme = Words("Acme Acme/X2/Standard") + acme_x1;
  const int no = QMessageBox::No, yes = QMessageBox::Yes, none_asked = 0;
  QTest::newRow("make, no") << acme << "Make" << no << none_asked << none << x1 << x1_options
                            << OPTION_ACTIONS;
  QTest::newRow("make, yes") << acme << "Make" << yes << yes << all_acme << none << none
                             << OPEN_ACTIONS;
  QTest::newRow("two makes, yes") << Words("Acme Zenith") << "Make" << yes << yes
                                  << all_acme + Words("Zenith Zenith/X1/Standard Zenith/X1/Basic")
                                  << none << none << OPEN_ACTIONS;
  QTest::newRow("model, yes") << acme << "Model" << yes << yes << acme_x1 << Words("X2") << none
                              << OPEN_ACTIONS + Words("delete_make");
  QTest::newRow("option, yes, records no")
      << acme << "Option" << yes << no << none << x1 << x1_options << OPTION_ACTIONS;
  QTest::newRow("option, yes") << acme << "Option" << yes << yes << Words("Acme/X1/Standard") << x1
                               << Words("Extended")
                               << OPEN_ACTIONS + Words("delete_make delete_model");
}

void TestMetrova::deletes()
{
  QFETCH(QStringList, makes);
  QFETCH(QString, level);
  QFETCH(int, answer);
  QFETCH(int, records_answer);
  QFETCH(QStringList, removed);
  QFETCH(QStringList, models);
  QFETCH(QStringList, options);
  QFETCH(QStringList, actions);

  Open_Catalogue();
  TDatabase other(QStringLiteral("deletes_log"));
  QVERIFY(other.Connect(d_catalogue));
  TVerificationRecord record;
  record.date = QDate(2024, 2, 29);
  record.results = {{500.0, QString(), 1, 1.0}};
  QVERIFY(TVerificationLog(&other).Add_Record("Acme", "X1", "Standard", &record));
  const QStringList stored = Stored_Catalogue(d_catalogue);
  Select_Machine("Acme", "X1", "Standard");
  Select(List("make_list"), makes);
  if (makes.size() > 1)
  {
    // Several makes show no models; only they can be deleted.
    QCOMPARE(List("model_list")->count() + List("option_list")->count(), 0);
    QCOMPARE(Tree()->topLevelItemCount(), 0);
    QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS + Words("delete_make")));
  }

  TMessageBox::Queue_Answer(QMessageBox::StandardButton(answer));
  if (records_answer)
    TMessageBox::Queue_Answer(QMessageBox::StandardButton(records_answer));
  Action(QStringLiteral("delete_") + level.toLower())->trigger();
  QStringList questions{
      QStringLiteral("Question: Delete Current %1 / Are you sure you want to delete selected %1 "
                     "and all sub items?")
          .arg(level)};
  if (records_answer)
    questions.append(QStringLiteral("Question: Delete Verification Records / 1 verification "
                                    "record of the selected %1 is deleted with it. Delete them "
                                    "as well?")
                         .arg(level));
  QCOMPARE(Take_Messages(), questions);
  QCOMPARE(TestSupport::TOtherConnection(d_catalogue)
               .Number(QStringLiteral("SELECT count(*) FROM verification_record")),
           removed.isEmpty() ? 1 : 0);
  QCOMPARE(Stored_Catalogue(d_catalogue), Without(stored, removed));
  QCOMPARE(Texts(List("make_list")), Without(ALL_MAKES, removed));
  QCOMPARE(Texts(List("model_list")), models);
  QCOMPARE(Texts(List("option_list")), options);
  QCOMPARE(Enabled_Actions(), Sorted(actions));
  QCOMPARE(Tree()->topLevelItemCount(), removed.isEmpty() ? 4 : 0);
}

void TestMetrova::import_data()
{
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("filter");
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QStringList>("messages");
  QTest::addColumn<QStringList>("makes");

  const QByteArray header = "MetrovaDatabase:Version=1:Format=CSV\n\n";
  const QByteArray good = "Nova,N1,Standard,10360,E0:0.0015+0.0033L/1000\n";
  const QString csv = QStringLiteral("Comma Separated File (*.csv)");
  const QString qif = QStringLiteral("QIF document (*.qif)");
  // A failed import changed nothing, and the lists show so.
  QTest::newRow("wrong header") << "import.csv" << csv << "Some other file\n" + good
                                << QStringList{"Warning: Import Export Error / Operation failed."}
                                << ALL_MAKES;
  QTest::newRow("bad line") << "import.csv" << csv
                            << header + good + "Nova,N2,Standard,10360,Nope:1\n"
                            << QStringList{"Warning: Import Warning / Some of the file was not "
                                           "imported."}
                            << ALL_MAKES + Words("Nova");
  // The format is the extension's, else the filter's.
  const QByteArray document =
      "<?xml version=\"1.0\"?><QIFDocument xmlns=\"http://qifstandards.org/xsd/qif3\" "
      "versionQIF=\"3.0.0\" idMax=\"1\"><QPId>x</QPId><MeasurementResources>"
      "<MeasurementDevices n=\"1\"><CartesianCMM id=\"1\"><Name>Nova N1 Standard</Name>"
      "<Description>Standard</Description><Manufacturer>Nova</Manufacturer>"
      "<ModelNumber>N1</ModelNumber><Accuracies n=\"1\"><CartesianCMMAccuracy>"
      "<CartesianCMMISO10360Test><MaxErrorConstant>0.003</MaxErrorConstant>"
      "</CartesianCMMISO10360Test><AccuracySource><AccuracySourceEnum>MANUFACTURER_SPECIFICATION"
      "</AccuracySourceEnum></AccuracySource></CartesianCMMAccuracy></Accuracies></CartesianCMM>"
      "</MeasurementDevices></MeasurementResources></QIFDocument>";
  QTest::newRow("QIF by extension")
      << "import.qif" << csv << document << QStringList() << ALL_MAKES + Words("Nova");
  QTest::newRow("QIF by filter") << "import.xml" << qif << document << QStringList()
                                 << ALL_MAKES + Words("Nova");
  QTest::newRow("CSV by extension under the QIF filter")
      << "import.csv" << qif << header + good << QStringList() << ALL_MAKES + Words("Nova");
}

void TestMetrova::import()
{
  QFETCH(QString, name);
  QFETCH(QString, filter);
  QFETCH(QByteArray, content);
  QFETCH(QStringList, messages);
  QFETCH(QStringList, makes);

  Open_Catalogue();
  const QString file_name = d_folder + QStringLiteral("/data/") + name;
  QVERIFY(Write_File(file_name, content));
  for (int count = 0; count < messages.size(); ++count)
    TMessageBox::Queue_Answer(QMessageBox::Ok);
  TFileDialog::Queue_File_Name(file_name, filter);
  Action("import")->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(List("make_list")->isEnabled(), 60000);

  QList<TMessageBox::TShownMessage> shown;
  QCOMPARE(Take_Messages(&shown), messages);
  for (const TMessageBox::TShownMessage &message : shown)
    QVERIFY(!message.details.isEmpty());
  QCOMPARE(Texts(List("make_list")), Sorted(makes));
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  // Both formats at once, first: neither kind of file is hidden.
  QCOMPARE(TFileDialog::Take_Requests().value(0).filter.section(";;", 0, 0),
           "Catalogues (*.csv *.qif)");
}

// The worker shares the window's connection: while it runs, nothing else may use the database.
void TestMetrova::workerRunning()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  const QStringList stored = Stored_Catalogue(d_catalogue);

  // The import waits on a pipe until the checks below are done.
  const QString pipe = d_folder + QStringLiteral("/data/pipe.csv");
  TPipeFeed feed(pipe);
  QVERIFY(feed.Create());
  TFileDialog::Queue_File_Name(pipe);
  Action("import")->trigger();
  TFileDialog::Take_Requests();
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS + Words("export import")));
  for (const char *list : {"make_list", "model_list", "option_list"})
    QVERIFY(!List(list)->isEnabled());
  QVERIFY(!Tree()->isEnabled());

  // Import and Export refuse before asking for a file; New and Open after it.
  for (int count = 0; count < 4; ++count)
    TMessageBox::Queue_Answer(QMessageBox::Ok);
  for (const char *action : {"import", "export", "new_database", "open_database"})
  {
    if (QByteArray(action).endsWith("database"))
      TFileDialog::Queue_File_Name(d_folder + QStringLiteral("/data/new.db"));
    Action(action)->trigger();
  }
  QCOMPARE(Take_Messages(), Repeated("Warning: IO Thread Running / Database is currently being "
                                     "imported or exported.",
                                     4));
  QCOMPARE(TFileDialog::Take_Requests().size(), 2);
  QVERIFY(!QFile::exists(d_folder + QStringLiteral("/data/new.db")));

  // Even with a machine in the frozen lists, the other commands neither ask nor act.
  const char *const lists[] = {"make_list", "model_list", "option_list"};
  const QStringList machine = {"Acme", "X1", "Standard"};
  for (int level = 0; level < 3; ++level)
  {
    const QSignalBlocker blocker(List(lists[level]));
    List(lists[level])->addItem(machine.at(level));
    List(lists[level])->setCurrentRow(0);
  }
  for (int count = 0; count < 3; ++count)
    TMessageBox::Queue_Answer(QMessageBox::Yes);
  TFileDialog::Queue_File_Name(d_folder + QStringLiteral("/reports/running.pdf"));
  // Disabled actions are triggered as a shortcut might: the commands refuse by themselves.
  for (const QString &action : Words("delete_option delete_model delete_make close_database "
                                     "edit_specification specification_limits output"))
    Action(action)->trigger();
  QCOMPARE(TMessageBox::Queued_Answer_Count(), 3);
  QCOMPARE(TFileDialog::Queued_File_Name_Count(), 1);
  TMessageBox::Reset_Test_Answers();
  TFileDialog::Reset_Test_Answers();
  QVERIFY(!d_window->findChild<TSpecificationEditorDialog *>());
  QVERIFY(!d_window->findChild<TSpecificationLimitsDialog *>());
  for (const char *list : lists)
  {
    const QSignalBlocker blocker(List(list));
    List(list)->clear();
  }

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
  QVERIFY(Take_Messages().isEmpty());
  QCOMPARE(Texts(List("make_list")), Sorted(ALL_MAKES + Words("Nova")));
  QCOMPARE(Stored_Catalogue(d_catalogue), Sorted(stored + Words("Nova Nova/N1/Standard")));
  QVERIFY(List("model_list")->isEnabled() && List("option_list")->isEnabled());
  QVERIFY(Tree()->isEnabled());
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  Select_Machine("Nova", "N1", "Standard");
  QVERIFY(d_window->close());
}

void TestMetrova::readOnlyCatalogue_data()
{
  QTest::addColumn<int>("file_mode");
  QTest::addColumn<int>("folder_mode");
  QTest::addColumn<QString>("link"); // another name of the file, made before it is opened
  QTest::addColumn<QString>("message");
  QTest::newRow("read-only file") << 0x6444 << 0x7777 << ""
                                  << "";
  QTest::newRow("read-only folder") << 0x6666 << 0x7555 << ""
                                    << "";
  // A write cut short through one name would be undone through the other.
  QTest::newRow("second name")
      << 0x6666 << 0x7777 << "second.db"
      << "Opened read-only: A catalogue file with 2 names (hard links) is opened read-only: a "
         "write cut short through one name could undo, through another, work committed "
         "meanwhile. To change it, copy the file, or remove the other link.";
}

// A catalogue that this user cannot change opens for reading only: it is shown, compared,
// exported and seen in the editor, nothing offers to change it, and the status bar says so; one
// with another name says why on opening.
void TestMetrova::readOnlyCatalogue()
{
  QFETCH(int, file_mode);
  QFETCH(int, folder_mode);
  QFETCH(QString, link);
  QFETCH(QString, message);

  QVERIFY(Write_Catalogue(d_catalogue));
  if (!link.isEmpty())
    QCOMPARE(::link(QFile::encodeName(d_catalogue).constData(),
                    QFile::encodeName(QFileInfo(d_catalogue).path() + "/" + link).constData()),
             0);
  const QByteArray bytes = File_Bytes(d_catalogue);
  // Permission bits do not stop root, who looks as the user nobody: every folder on the way open.
  for (const QString &folder : {d_root.path(), d_folder})
    QVERIFY(QFile::setPermissions(folder, QFile::Permissions(0x7755)));
  QVERIFY(QFile::setPermissions(d_catalogue, QFile::Permissions(file_mode)) &&
          QFile::setPermissions(QFileInfo(d_catalogue).path(), QFile::Permissions(folder_mode)));
  const auto look = [this]
  {
    New_Window();
    TFileDialog::Queue_File_Name(d_catalogue);
    TMessageBox::Queue_Answer(QMessageBox::Ok);
    Action("open_database")->trigger();
    QStringList messages;
    for (const TMessageBox::TShownMessage &shown : TMessageBox::Take_Shown_Messages())
      messages.append(shown.heading + ": " + shown.text);
    TMessageBox::Reset_Test_Answers();
    Select(List("make_list"), {"Acme"});
    Select(List("model_list"), {"X1"});
    Select(List("option_list"), {"Standard"});
    QStringList seen = {messages.join(' '),
                        Child<QLabel>(d_window.get(), "catalogue_label")->text(),
                        Enabled_Actions().join(' ')};
    Answer_Dialog<TSpecificationEditorDialog>(
        [&seen](TSpecificationEditorDialog *editor)
        {
          const QTableWidgetItem *cell =
              Child<QTableWidget>(editor, "specification_table")->item(0, 2);
          seen.append(cell->text() + (cell->flags() & Qt::ItemIsEditable ? " editable" : " fixed"));
        });
    Action("edit_specification")->trigger();
    Answer_Dialog<TVerificationLogDialog>(
        [&seen](TVerificationLogDialog *log)
        {
          QStringList enabled;
          for (const char *name : {"new_record_button", "save_record_button", "paste_button",
                                   "import_button", "save_schedule_button", "close_button"})
            if (Child<QPushButton>(log, name)->isEnabled())
              enabled.append(name);
          seen.append(enabled.join(' '));
          seen.append(Child<QLabel>(log, "read_only_label")->isVisibleTo(log)
                          ? Child<QLabel>(log, "read_only_label")->text()
                          : QString());
        });
    Action("verification_log")->trigger();
    return seen.join('\n');
  };
  const QString seen =
      ::geteuid() == 0 ? FaultSupport::Run_As_Nobody(look) : TestSupport::Child_Report(look);
  QFile::setPermissions(QFileInfo(d_catalogue).path(), QFile::Permissions(0x7700));
  QCOMPARE(seen.split('\n'),
           QStringList({message, "Catalogue: catalogue.db (read-only)",
                        Sorted(Without(OPTION_ACTIONS, Words("import delete_make delete_model "
                                                             "delete_option")))
                            .join(' '),
                        " fixed", "close_button",
                        "The catalogue is read-only: its log is shown, not written."}));
  QCOMPARE(File_Bytes(d_catalogue), bytes);
}

// Edit > History shows what the catalogue keeps of the selected make and model (changes of other
// machines left out), whoever made them.
void TestMetrova::history()
{
  QVERIFY(Write_Catalogue(d_catalogue));
  {
    TDatabase other(QStringLiteral("history_writer"));
    QVERIFY(other.Connect(d_catalogue));
    QVERIFY(other.Record_Change(QStringLiteral("set"), {"Acme", "X1", "Standard"},
                                QStringLiteral("E0=1.6+3.3L/1000 (was 1.5+3.3L/1000)")));
    QVERIFY(other.Record_Change(QStringLiteral("set"), {"Zenith", "X1", "Basic"},
                                QStringLiteral("E0=4.1+5L/1000 (was 4+5L/1000)")));
  }
  New_Window();
  TFileDialog::Queue_File_Name(d_catalogue);
  Action("open_database")->trigger();
  TFileDialog::Take_Requests();
  Select(List("make_list"), {"Acme"});
  Select(List("model_list"), {"X1"});
  QStringList seen;
  Answer_Dialog<THistoryDialog>(
      [&seen](THistoryDialog *dialog)
      {
        const QStandardItemModel *model = dialog->Model();
        for (int row = 0; row < model->rowCount(); ++row)
        {
          QStringList cells;
          for (int column = THistoryDialog::COLUMN_USER; column < THistoryDialog::COLUMN_COUNT;
               ++column)
            cells.append(model->item(row, column)->text());
          seen.append(cells.join('|'));
        }
      });
  Action("history")->trigger();
  QCOMPARE(seen, QStringList{TestSupport::Catalogue_User() +
                             "|set|Acme|X1|Standard|E0=1.6+3.3L/1000 (was 1.5+3.3L/1000)"});
}

// The first click makes the user's copy of the sample, later ones open that copy as it is; a copy
// that cannot be made leaves nothing behind.
void TestMetrova::sampleCatalogue()
{
  const QString data_home = d_folder + QStringLiteral("/share");
  qputenv("XDG_DATA_HOME", QFile::encodeName(data_home));
  const auto restore = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
  const QString copy = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                       QStringLiteral("/sample_catalogue.db");
  QVERIFY(copy.startsWith(data_home));

  QVERIFY(Write_File(data_home, "a file where the folder belongs"));
  New_Window();
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Action("open_sample_catalogue")->trigger();
  QCOMPARE(Take_Messages(),
           QStringList{"Warning: Sample Error / Cannot create the sample catalogue."});
  QCOMPARE(Enabled_Actions(), Sorted(CLOSED_ACTIONS));

  QVERIFY(QFile::remove(data_home));
  Action("open_sample_catalogue")->trigger();
  QCOMPARE(Texts(List("make_list")),
           (QStringList{"Example Instruments", "Example Machines", "Example Messtechnik",
                        "Example Metrology", "Hexagon", "White Paper Example", "Zeiss"}));
  QCOMPARE(Enabled_Actions(), Sorted(OPEN_ACTIONS));
  QCOMPARE(QDir(QFileInfo(copy).path()).entryList(QDir::Files), QStringList{"sample_catalogue.db"});

  QVERIFY(TestSupport::Execute_On_File(copy, "DELETE FROM make WHERE name='Zeiss'"));
  Action("open_sample_catalogue")->trigger();
  QVERIFY(!Texts(List("make_list")).contains("Zeiss"));
  QCOMPARE(Take_Messages(), QStringList());
}

// The lists lay out thousands of names at once, and show and scroll as lists that measure every
// name would: the widest one, wherever it sorts, sets how far they scroll.
void TestMetrova::listsOfManyNames()
{
  QStringList names;
  for (int index = 0; index < 3000; ++index)
    names.append(QStringLiteral("Prism %1-%2").arg(index % 30).arg(index, 4, 10, QChar('0')));
  // Names a locale's collation orders apart from their codes, or holds equal (a soft hyphen).
  names << "Wide WWWW MMMM"
        << "iiiiiiiiiiiiiiiiiiiiiiiiiiii"
        << "AVAVAVAVAVAV Tyrolean Wavy Model with a long name"
        << "eclair"
        << "\u00c9clair"
        << "Eclair"
        << "ab"
        << "a\u00adb"
        << "zeta";
  TCatalogueView view;
  view.resize(500, 400);
  view.show();
  QListWidget plain;
  plain.setSortingEnabled(true);
  plain.setFixedSize(view.Model_List()->size());
  plain.show();
  plain.addItems(names);
  TCatalogueView::Add_Names(view.Model_List(), names);
  QCOMPARE(TCatalogueView::Texts(view.Model_List()->findItems("", Qt::MatchContains)),
           TCatalogueView::Texts(plain.findItems("", Qt::MatchContains)));
  QCoreApplication::processEvents();
  QVERIFY(view.Model_List()->uniformItemSizes());
  for (QListWidget *list : {&plain, view.Model_List()})
    list->scrollToItem(list->findItems("AVAVAVAVAVAV", Qt::MatchStartsWith).first());
  QCOMPARE(view.Model_List()->horizontalScrollBar()->maximum(),
           plain.horizontalScrollBar()->maximum());
  QVERIFY(plain.horizontalScrollBar()->maximum() > 0);
  QCOMPARE(view.Model_List()->verticalScrollBar()->value(), plain.verticalScrollBar()->value());
  const auto picture = [](QWidget *list)
  { return list->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  QCOMPARE(picture(view.Model_List()), picture(&plain));
}

QTEST_MAIN(TestMetrova)

#include "tst_metrova.moc"
