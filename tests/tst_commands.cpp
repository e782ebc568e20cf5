#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "filedialog.h"
#include "messagebox.h"
#include "metrova.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <fcntl.h>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// make;model;option;standard;component;expression in micrometres;source
const char *const CATALOGUE[] = {"Acme;X1;Standard;10360;E0;1.5+3.3L/1000;0",
                                 "Acme;X1;Standard;10360;E150;1+0.1Td+(2+0.2Td)L/1000;0",
                                 "Acme;X1;Standard;10360;Ts_Min;18C;0",
                                 "Acme;X1;Standard;B89.4.1;Repeat;2;0",
                                 "Acme;X1;Standard;B89.4.1;Volume;5/500;0",
                                 "Acme;X1;Standard;VDIVDE_2617;V3;1.8;0",
                                 "Acme;X1;Standard;VDIVDE_2617;U3;1.5+3.3L/1000;1",
                                 "Acme;X1;Standard;CMMA;M;2.5+3.3L/1000|8;0",
                                 "Acme;X1;Standard;CMMA;Repeat;4;1",
                                 "Acme;X1;Extended;10360;E0;2+4L/1000;0",
                                 "Acme;X1;Extended;10360;E150;2+0.2Td+(1+0.1Td)L/1000;0",
                                 "Acme;X2;Standard;10360;E0;2.5+4L/1000;0",
                                 "Zenith;Z9;Basic;CMMA;M;3+5L/1000;0",
                                 "Brand;B1;Other;10360;E0;5+6L/1000;0"};

const QStringList ALL_MAKES = {"Acme", "Brand", "Zenith"};

const QStringList ACTION_NAMES =
    QStringLiteral("new_database open_database close_database export import output quit "
                   "delete_make delete_model delete_option edit_specification "
                   "specification_limits about")
        .split(' ');
const QStringList OPTION_ACTIONS =
    QStringLiteral("about close_database delete_make delete_model delete_option "
                   "edit_specification export import new_database open_database output quit "
                   "specification_limits")
        .split(' ');

const QString SAVE_ERROR = QStringLiteral("Save Error / Cannot save the specification.");
const QString OUTPUT_ERROR = QStringLiteral("Output Error / Cannot write the PDF report.");
const QString TITLE = QStringLiteral("Coordinate Measuring Machine Specifications");
const QString LEGEND_NOTE =
    QStringLiteral("All expression results in um (micrometers) unless otherwise specified.");

const char *const LIMIT_FIELDS[] = {
    "b89_repeat_result",  "b89_ballbar_result",   "iso10360_r0_result",
    "iso10360_e0_result", "iso10360_e150_result", "vdivde_v3_result",
    "vdivde_u3_result",   "cmma_repeat_result",   "cmma_m_result"};

QStringList Empty_Results()
{
  return QStringList(QVector<QString>(std::size(LIMIT_FIELDS)).toList());
}

TSpecificationItem Item(const QString &component, const QString &expression_um, int source)
{
  TSpecificationItem item;
  item.name = component;
  item.expression.Set_Expression(expression_um, TExpressionItem::UNITS_UM);
  item.source = source;
  return item;
}

bool Write_Rows(const QString &file_name, const QStringList &rows)
{
  TDatabase database(QStringLiteral("tst_commands_fixture"));
  if (!database.Connect(file_name) || !database.Initialize())
    return false;
  std::map<QString, TDatabaseItem> records;
  for (const QString &row : rows)
  {
    const QStringList fields = row.split(';');
    TDatabaseItem &record = records[fields.mid(0, 4).join(';')];
    record.Set_Make(fields.at(0));
    record.Set_Model(fields.at(1));
    record.Set_Option(fields.at(2));
    record.Set_Standard(fields.at(3));
    record.Add_Specification_Item(Item(fields.at(4), fields.at(5), fields.at(6).toInt()));
  }
  for (const auto &entry : records)
    if (!database.Write_Specification(entry.second))
      return false;
  return true;
}

QStringList Catalogue_Rows()
{
  QStringList rows;
  for (const char *row : CATALOGUE)
    rows.append(QString::fromLatin1(row));
  return rows;
}

// Runs statements on the file through a connection of its own.
class TSideConnection
{
public:
  TSideConnection(const QString &file_name, const QString &name) : d_name(name)
  {
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d_name);
    database.setDatabaseName(file_name);
    d_open = database.open();
  }
  ~TSideConnection() { QSqlDatabase::removeDatabase(d_name); }
  TSideConnection(const TSideConnection &) = delete;
  TSideConnection &operator=(const TSideConnection &) = delete;

  bool Run(const QString &statement)
  {
    QSqlQuery query(QSqlDatabase::database(d_name, false));
    const bool done = d_open && query.exec(statement);
    if (!done)
      qWarning() << statement << query.lastError().text();
    return done;
  }

  // Every row of the named tables, as text, in a stable order.
  QStringList Dump(const QStringList &tables)
  {
    QStringList lines;
    for (const QString &table : tables)
    {
      QSqlQuery query(QSqlDatabase::database(d_name, false));
      if (!d_open || !query.exec(QStringLiteral("SELECT * FROM ") + table))
        return {QStringLiteral("<cannot read %1>").arg(table)};
      QStringList rows;
      while (query.next())
      {
        QStringList values;
        for (int column = 0; column < query.record().count(); ++column)
          values.append(query.value(column).toString());
        rows.append(table + QLatin1Char(':') + values.join(QLatin1Char(',')));
      }
      rows.sort();
      lines += rows;
    }
    return lines;
  }

private:
  QString d_name;
  bool d_open = false;
};

QStringList Stored_Content(const QString &file_name)
{
  TSideConnection connection(file_name, QStringLiteral("tst_commands_dump"));
  return connection.Dump({"make", "model_types", "option_types", "specification"});
}

// One machine's stored rows as "standard|component|expression in um|MFG or EST", sorted.
QStringList Stored_Machine(const QString &file_name, const QString &make, const QString &model,
                           const QString &option)
{
  TDatabase database(QStringLiteral("tst_commands_reader"));
  if (!database.Connect(file_name))
    return {QStringLiteral("<cannot connect>")};
  QStringList lines;
  bool valid = false;
  for (const QString &standard : database.Standard_Types(&valid))
  {
    const TDatabaseItem record = database.Read_Specification(make, model, option, standard, &valid);
    for (int index = 0; index < record.Specification_Item_Count(); ++index)
    {
      const TSpecificationItem item = record.Specification_Item(index);
      lines.append(QStringList{standard, item.name,
                               item.expression.Expression_Text(TExpressionItem::UNITS_UM),
                               item.source == TDatabaseItem::SOURCE_ESTIMATED ? "EST" : "MFG"}
                       .join('|'));
    }
  }
  lines.sort();
  return lines;
}

QStringList Sorted(QStringList list)
{
  list.sort();
  return list;
}

QStringList Texts(const QListWidget *list)
{
  QStringList texts;
  for (int row = 0; row < list->count(); ++row)
    texts.append(list->item(row)->text());
  return texts;
}

QString Selected_Current(const QListWidget *list)
{
  return list->currentItem() && list->currentItem()->isSelected() ? list->currentItem()->text()
                                                                  : QString();
}

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

// The tree's rows as "standard|component|expression|source", sorted.
QStringList Tree_Rows(const QTreeWidget *tree)
{
  QStringList lines;
  for (int top = 0; top < tree->topLevelItemCount(); ++top)
  {
    const QTreeWidgetItem *standard = tree->topLevelItem(top);
    for (int child = 0; child < standard->childCount(); ++child)
    {
      const QTreeWidgetItem *row = standard->child(child);
      lines.append(
          QStringList{standard->text(0), row->text(1), row->text(2), row->text(3)}.join('|'));
    }
  }
  lines.sort();
  return lines;
}

QStringList Message_Lines(const QList<TMessageBox::TShownMessage> &messages)
{
  QStringList lines;
  for (const TMessageBox::TShownMessage &message : messages)
    lines.append(message.heading + QStringLiteral(" / ") + message.text);
  return lines;
}

template <typename T>
T *Child(QWidget *parent, const QString &name)
{
  T *child = parent->findChild<T *>(name);
  if (!child)
    qFatal("missing child widget %s", qPrintable(name));
  return child;
}

void Finish_Editing(QLineEdit *field, const QString &text)
{
  field->setText(text);
  QTest::keyClick(field, Qt::Key_Return);
}

// What the editor shows: names, status labels, rows as "standard|component|expression|status".
struct TEditorView
{
  QStringList names;
  QStringList labels;
  QStringList rows;
  bool accept_enabled = false;
};

TEditorView View(QDialog *editor)
{
  TEditorView view;
  for (const char *name : {"make", "model", "option"})
  {
    view.names.append(Child<QLineEdit>(editor, QLatin1String(name) + "_edit")->text());
    view.labels.append(Child<QLabel>(editor, QLatin1String(name) + "_status")->text());
  }
  const QTableWidget *table = Child<QTableWidget>(editor, "specification_table");
  for (int row = 0; row < table->rowCount(); ++row)
  {
    QStringList cells;
    for (int column = 0; column < 4; ++column)
      cells.append(table->item(row, column) ? table->item(row, column)->text() : QString());
    view.rows.append(cells.join('|'));
  }
  view.accept_enabled = Child<QPushButton>(editor, "accept_button")->isEnabled();
  return view;
}

// Types "standard|component|text" edits into the editor's expression cells.
void Type_Cells(QDialog *editor, const QStringList &edits)
{
  QTableWidget *table = Child<QTableWidget>(editor, "specification_table");
  for (const QString &edit : edits)
  {
    const QStringList fields = edit.split('|');
    int row = 0;
    while (row < table->rowCount() && (table->item(row, 0)->text() != fields.at(0) ||
                                       table->item(row, 1)->text() != fields.at(1)))
      ++row;
    if (row == table->rowCount())
      qFatal("no editor row %s", qPrintable(edit));
    table->item(row, 2)->setText(fields.mid(2).join('|'));
  }
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

bool Pdf_Pages(const QString &file_name, QStringList *pages)
{
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file_name, "-"});
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return false;
  *pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
  pages->removeLast(); // every page ends with a form feed
  return true;
}

int Line_Of(const QStringList &lines, const QString &text)
{
  for (int index = 0; index < lines.size(); ++index)
    if (lines.at(index).trimmed() == text)
      return index;
  return -1;
}

QByteArray File_Bytes(const QString &file_name)
{
  QFile file(file_name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The makes named by the record lines of an exchange file.
QStringList Exported_Makes(const QString &file_name)
{
  QStringList makes;
  const QList<QByteArray> lines = File_Bytes(file_name).split('\n');
  for (int index = 1; index < lines.size(); ++index)
    if (!lines.at(index).trimmed().isEmpty())
      makes.append(QString::fromUtf8(lines.at(index).split(',').first()));
  makes.removeDuplicates();
  makes.sort();
  return makes;
}

// Lowers the file size limit of this process for its lifetime; writes past it fail with EFBIG
// instead of raising SIGXFSZ.
class TFileSizeLimit
{
public:
  explicit TFileSizeLimit(rlim_t bytes)
  {
    d_previous_handler = ::signal(SIGXFSZ, SIG_IGN);
    d_valid = ::getrlimit(RLIMIT_FSIZE, &d_previous) == 0;
    rlimit limit = d_previous;
    limit.rlim_cur = bytes;
    d_valid = d_valid && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~TFileSizeLimit()
  {
    ::setrlimit(RLIMIT_FSIZE, &d_previous);
    ::signal(SIGXFSZ, d_previous_handler);
  }
  TFileSizeLimit(const TFileSizeLimit &) = delete;
  TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;
  bool Is_Valid() const { return d_valid; }

private:
  rlimit d_previous{};
  void (*d_previous_handler)(int) = nullptr;
  bool d_valid = false;
};
} // namespace

class TestCommands : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();

  void editorWithoutSelection();
  void editorShowsManufacturerRows();
  void editorSaves_data();
  void editorSaves();
  void editorSaveFails_data();
  void editorSaveFails();

  void limits_data();
  void limits();
  void limitsKeptOnReopening();
  void limitsIncompleteSelection();

  void exportCommand_data();
  void exportCommand();
  void refusedWhileRunning();

  void outputReport();
  void outputSecondPage();
  void outputSuffix_data();
  void outputSuffix();
  void outputFailure_data();
  void outputFailure();

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
  void Open_Catalogue(const QStringList &extra_rows = QStringList());
  void Select_Machine(const QString &make, const QString &model, const QString &option);

  // Calls handler on the next modal dialog of type TDialog, from the event loop of its exec().
  template <typename TDialog>
  void Answer_Dialog(std::function<void(TDialog *)> handler);
  QStringList Open_Limits(const QString &length, const QString &temperature,
                          QStringList *inputs = nullptr);

  QTemporaryDir d_root;
  QString d_folder;
  QString d_catalogue;
  std::unique_ptr<TMetrova> d_window;
  int d_test_count = 0;
  QList<QPointer<QTimer>> d_answers;
  // Closes modal dialogs that no test answered, so that a fault fails instead of hanging.
  QTimer d_watchdog;
  QSet<QWidget *> d_seen_dialogs;
  QStringList d_unexpected_dialogs;
};

template <typename TDialog>
void TestCommands::Answer_Dialog(std::function<void(TDialog *)> handler)
{
  QTimer *timer = new QTimer(this);
  timer->setInterval(5);
  connect(timer, &QTimer::timeout, this,
          [timer, handler]
          {
            TDialog *dialog = qobject_cast<TDialog *>(QApplication::activeModalWidget());
            if (!dialog)
              return;
            timer->stop();
            timer->deleteLater();
            handler(dialog);
            // A handler that stopped at a failed check must not leave the dialog open.
            if (dialog->isVisible())
              dialog->reject();
          });
  timer->start();
  d_answers.append(timer);
}

void TestCommands::initTestCase()
{
  QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
           "pdftotext (poppler-utils) is needed");

  d_watchdog.setInterval(250);
  connect(&d_watchdog, &QTimer::timeout, this,
          [this]
          {
            QSet<QWidget *> visible;
            for (QWidget *widget : QApplication::topLevelWidgets())
            {
              QDialog *dialog = qobject_cast<QDialog *>(widget);
              if (!dialog || !dialog->isVisible() || dialog->windowModality() == Qt::NonModal)
                continue;
              if (!d_seen_dialogs.contains(dialog))
              {
                visible.insert(dialog);
                continue;
              }
              d_unexpected_dialogs.append(dialog->windowTitle());
              dialog->reject();
            }
            d_seen_dialogs = visible;
          });

  QVERIFY(d_root.isValid());
  QVERIFY(QDir(d_root.path()).mkpath(QStringLiteral("config")));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(d_root.filePath(QStringLiteral("config"))));
  QVERIFY(QDir::setCurrent(d_root.path()));
}

void TestCommands::init()
{
  d_unexpected_dialogs.clear();
  d_seen_dialogs.clear();
  d_watchdog.start();
  d_folder = d_root.filePath(QStringLiteral("test%1").arg(++d_test_count));
  d_catalogue = d_folder + QStringLiteral("/data/catalogue.db");
  QVERIFY(QDir().mkpath(d_folder + QStringLiteral("/bin")));
  QVERIFY(QDir().mkpath(d_folder + QStringLiteral("/data")));
  QVERIFY(QDir().mkpath(d_folder + QStringLiteral("/reports")));
  TMetrova::Set_Application_Directory(d_folder + QStringLiteral("/bin"));
  TMessageBox::Reset_Test_Answers();
  TFileDialog::Reset_Test_Answers();
}

void TestCommands::cleanup()
{
  int unanswered = 0;
  for (const QPointer<QTimer> &timer : d_answers)
  {
    if (timer && timer->isActive())
      ++unanswered;
    delete timer;
  }
  d_answers.clear();
  d_window.reset();
  d_watchdog.stop();
  QVERIFY2(d_unexpected_dialogs.isEmpty(), qPrintable(d_unexpected_dialogs.join('\n')));
  QCOMPARE(unanswered, 0);
  QCOMPARE(TMessageBox::Queued_Answer_Count(), 0);
  QCOMPARE(TFileDialog::Queued_File_Name_Count(), 0);
  TMetrova::Set_Application_Directory(QString());
}

QAction *TestCommands::Action(const QString &name) const
{
  QAction *action = d_window->findChild<QAction *>(QStringLiteral("action_") + name);
  if (!action)
    qFatal("no action %s", qPrintable(name));
  return action;
}

QStringList TestCommands::Enabled_Actions() const
{
  QStringList names;
  for (const QString &name : ACTION_NAMES)
    if (Action(name)->isEnabled())
      names.append(name);
  names.sort();
  return names;
}

void TestCommands::Open_Catalogue(const QStringList &extra_rows)
{
  QVERIFY(Write_Rows(d_catalogue, Catalogue_Rows() + extra_rows));
  d_window = std::make_unique<TMetrova>();
  TFileDialog::Queue_File_Name(d_catalogue);
  Action("open_database")->trigger();
  TFileDialog::Take_Requests();
  QVERIFY(List("make_list")->count() > 0);
}

void TestCommands::Select_Machine(const QString &make, const QString &model, const QString &option)
{
  Select(List("make_list"), {make});
  Select(List("model_list"), {model});
  Select(List("option_list"), {option});
  QCOMPARE(Enabled_Actions(), OPTION_ACTIONS);
}

void TestCommands::editorWithoutSelection()
{
  Open_Catalogue();
  const QStringList stored = Stored_Content(d_catalogue);

  TEditorView view;
  Answer_Dialog<TSpecificationEditorDialog>(
      [&view](TSpecificationEditorDialog *editor)
      {
        view = View(editor);
        editor->reject();
      });
  Action("edit_specification")->trigger();

  // A new specification: no names, one empty row per catalogue component.
  QCOMPARE(view.names, (QStringList{"", "", ""}));
  QCOMPARE(view.labels, (QStringList{"", "", ""}));
  QVERIFY(!view.accept_enabled);
  TDatabase catalogue(QStringLiteral("tst_commands_catalogue"));
  QVERIFY(catalogue.Connect(d_catalogue));
  QStringList expected;
  bool valid = false;
  for (const QString &standard : catalogue.Standard_Types(&valid))
    for (const QString &component : catalogue.Component_Types(standard, &valid))
      expected.append(standard + '|' + component + QStringLiteral("||"));
  QCOMPARE(expected.size(), 19);
  QCOMPARE(view.rows, expected);
  QCOMPARE(Stored_Content(d_catalogue), stored);
}

void TestCommands::editorShowsManufacturerRows()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  const QStringList stored = Stored_Content(d_catalogue);

  TEditorView view;
  Answer_Dialog<TSpecificationEditorDialog>(
      [&view](TSpecificationEditorDialog *editor)
      {
        view = View(editor);
        // A change that is cancelled is not written.
        Type_Cells(editor, {"10360|E0|9+9L/1000"});
        editor->reject();
      });
  Action("edit_specification")->trigger();

  QCOMPARE(view.names, (QStringList{"Acme", "X1", "Standard"}));
  QCOMPARE(view.labels, (QStringList{"Exists", "Exists", "Exists"}));
  QVERIFY(!view.accept_enabled);

  // Manufacturer rows in micrometres with their status; estimated ones (U3, CMMA Repeat) empty.
  QMap<QString, QString> shown;
  for (const QString &row : Catalogue_Rows())
  {
    const QStringList fields = row.split(';');
    if (fields.mid(0, 3).join(';') == QLatin1String("Acme;X1;Standard") &&
        fields.at(6) == QLatin1String("0"))
      shown[fields.at(3) + '|' + fields.at(4)] =
          Item(fields.at(4), fields.at(5), 0).expression.Expression_Text(TExpressionItem::UNITS_UM);
  }
  QCOMPARE(shown.size(), 7);
  for (const QString &row : view.rows)
  {
    const QStringList cells = row.split('|');
    const QString key = cells.at(0) + '|' + cells.at(1);
    const QString expression = shown.value(key);
    QCOMPARE(cells.mid(2, cells.size() - 3).join('|'), expression);
    QCOMPARE(cells.last(), expression.isEmpty() ? QString() : QStringLiteral("Ok"));
  }
  QCOMPARE(Stored_Content(d_catalogue), stored);
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());
}

void TestCommands::editorSaves_data()
{
  QTest::addColumn<QStringList>("selection");
  QTest::addColumn<QStringList>("typed_names");
  QTest::addColumn<QStringList>("edits");
  QTest::addColumn<QStringList>("names");
  QTest::addColumn<QStringList>("expected");

  // E0 feeds E150, U3, M and twice its value to Volume; the B89.4.1 Repeat gives Rpt, R0 and
  // the CMMA Repeat; V3 gives Pftu. Cleared cells lose their rows.
  QTest::newRow("selected machine")
      << QStringList{"Acme", "X1", "Standard"} << QStringList()
      << QStringList{"10360|E0|2+3L/1000", "10360|E150|",     "10360|Ts_Max|22",
                     "B89.4.1|Repeat|1.5", "B89.4.1|Volume|", "CMMA|M|"}
      << QStringList{"Acme", "X1", "Standard"}
      << QStringList{"10360|E0|2.0+3.0L/1000|MFG",
                     "10360|Ts_Min|18.00 C|MFG",
                     "10360|Ts_Max|22.00 C|MFG",
                     "10360|E150|2.0+3.0L/1000|EST",
                     "10360|Rpt|1.5|EST",
                     "10360|R0|3.0|EST",
                     "10360|Pftu|1.8|EST",
                     "B89.4.1|Repeat|1.5|MFG",
                     "B89.4.1|Volume|4.0+6.0L/1000|EST",
                     "VDIVDE_2617|V3|1.8|MFG",
                     "VDIVDE_2617|U3|2.0+3.0L/1000|EST",
                     "CMMA|M|2.0+3.0L/1000|EST",
                     "CMMA|Repeat|3.0|EST"};
  QTest::newRow("new machine") << QStringList() << QStringList{"No:va", " N1 ", "Base"}
                               << QStringList{"10360|E0|1+2L/1000"}
                               << QStringList{"Nova", "N1", "Base"}
                               << QStringList{"10360|E0|1.0+2.0L/1000|MFG",
                                              "10360|E150|1.0+2.0L/1000|EST",
                                              "B89.4.1|Volume|2.0+4.0L/1000|EST",
                                              "VDIVDE_2617|U3|1.0+2.0L/1000|EST",
                                              "CMMA|M|1.0+2.0L/1000|EST"};
}

void TestCommands::editorSaves()
{
  QFETCH(QStringList, selection);
  QFETCH(QStringList, typed_names);
  QFETCH(QStringList, edits);
  QFETCH(QStringList, names);
  QFETCH(QStringList, expected);

  Open_Catalogue();
  if (!selection.isEmpty())
    Select_Machine(selection.at(0), selection.at(1), selection.at(2));

  bool accepted = false;
  Answer_Dialog<TSpecificationEditorDialog>(
      [&](TSpecificationEditorDialog *editor)
      {
        Type_Cells(editor, edits);
        const char *const fields[] = {"make_edit", "model_edit", "option_edit"};
        for (int index = 0; index < typed_names.size(); ++index)
          Finish_Editing(Child<QLineEdit>(editor, fields[index]), typed_names.at(index));
        QPushButton *accept = Child<QPushButton>(editor, "accept_button");
        accepted = accept->isEnabled();
        accept->click();
      });
  Action("edit_specification")->trigger();
  QVERIFY(accepted);
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());

  QCOMPARE(Stored_Machine(d_catalogue, names.at(0), names.at(1), names.at(2)), Sorted(expected));
  QCOMPARE(Tree_Rows(Tree()), Sorted(expected));
  QStringList makes = ALL_MAKES + QStringList{names.at(0)};
  makes.removeDuplicates();
  QCOMPARE(Texts(List("make_list")), Sorted(makes));
  QCOMPARE(Selected_Current(List("make_list")), names.at(0));
  QCOMPARE(Selected_Current(List("model_list")), names.at(1));
  QCOMPARE(Selected_Current(List("option_list")), names.at(2));
  QCOMPARE(List("make_list")->selectedItems().size(), 1);
  QCOMPARE(Enabled_Actions(), OPTION_ACTIONS);
}

void TestCommands::editorSaveFails_data()
{
  QTest::addColumn<bool>("locked");
  QTest::addColumn<QString>("reason");

  // Another program holds the write lock for longer than the busy timeout.
  QTest::newRow("database locked") << true << "locked";
  // The first three standards are written before the last one is refused; none may stay.
  QTest::newRow("last standard refused") << false << "refused";
}

void TestCommands::editorSaveFails()
{
  QFETCH(bool, locked);
  QFETCH(QString, reason);

  Open_Catalogue();
  TSideConnection side(d_catalogue, QStringLiteral("tst_commands_side"));
  // CMMA is the last standard of the catalogue, and so the last one written.
  QVERIFY(locked || side.Run(QStringLiteral(
                        "CREATE TRIGGER refuse_last_standard BEFORE INSERT ON specification "
                        "WHEN NEW.standard_id = (SELECT MAX(standard_type_id) FROM standard_types) "
                        "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
  Select_Machine("Acme", "X1", "Standard");
  const QStringList stored = Stored_Content(d_catalogue);
  const QStringList tree = Tree_Rows(Tree());
  QVERIFY(!tree.isEmpty());

  if (locked)
    QVERIFY(side.Run(QStringLiteral("BEGIN IMMEDIATE")));
  Answer_Dialog<TSpecificationEditorDialog>(
      [](TSpecificationEditorDialog *editor)
      {
        Type_Cells(editor, {"10360|E0|9+9L/1000", "CMMA|G|1.2"});
        Finish_Editing(Child<QLineEdit>(editor, "option_edit"), QStringLiteral("Renamed"));
        Child<QPushButton>(editor, "accept_button")->click();
      });
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Action("edit_specification")->trigger();
  if (locked)
    QVERIFY(side.Run(QStringLiteral("ROLLBACK")));

  const QList<TMessageBox::TShownMessage> messages = TMessageBox::Take_Shown_Messages();
  QCOMPARE(Message_Lines(messages), QStringList{SAVE_ERROR});
  QVERIFY2(messages.first().details.contains(reason), qPrintable(messages.first().details));
  QCOMPARE(messages.first().icon, QMessageBox::Warning);
  QCOMPARE(messages.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

  // The file and the window show the specification as it was.
  QCOMPARE(Stored_Content(d_catalogue), stored);
  QCOMPARE(Texts(List("option_list")), (QStringList{"Extended", "Standard"}));
  QCOMPARE(Selected_Current(List("make_list")), QStringLiteral("Acme"));
  QCOMPARE(Selected_Current(List("model_list")), QStringLiteral("X1"));
  QCOMPARE(Selected_Current(List("option_list")), QStringLiteral("Standard"));
  QCOMPARE(Tree_Rows(Tree()), tree);
  QCOMPARE(Enabled_Actions(), OPTION_ACTIONS);

  // The connection is usable again once the lock is gone.
  if (locked)
  {
    Answer_Dialog<TSpecificationEditorDialog>(
        [](TSpecificationEditorDialog *editor)
        {
          Type_Cells(editor, {"CMMA|G|1.2"});
          Child<QPushButton>(editor, "accept_button")->click();
        });
    Action("edit_specification")->trigger();
    QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());
    QVERIFY(Tree_Rows(Tree()).contains(QStringLiteral("CMMA|G|1.2|MFG")));
  }
}

QStringList TestCommands::Open_Limits(const QString &length, const QString &temperature,
                                      QStringList *inputs)
{
  QStringList results;
  Answer_Dialog<TSpecificationLimitsDialog>(
      [&](TSpecificationLimitsDialog *dialog)
      {
        QLineEdit *length_edit = Child<QLineEdit>(dialog, "measurement_length_edit");
        QLineEdit *temperature_edit = Child<QLineEdit>(dialog, "actual_temperature_edit");
        if (inputs)
          *inputs = QStringList{Child<QLineEdit>(dialog, "make_edit")->text(),
                                Child<QLineEdit>(dialog, "model_edit")->text(),
                                Child<QLineEdit>(dialog, "option_edit")->text(),
                                length_edit->text(), temperature_edit->text()};
        if (!temperature.isEmpty())
          Finish_Editing(temperature_edit, temperature);
        if (!length.isEmpty())
          Finish_Editing(length_edit, length);
        for (const char *field : LIMIT_FIELDS)
          results.append(Child<QLineEdit>(dialog, QLatin1String(field))->text());
        dialog->close();
      });
  d_window->Specification_Limits();
  return results;
}

void TestCommands::limits_data()
{
  QTest::addColumn<QString>("length");
  QTest::addColumn<QString>("temperature");
  QTest::addColumn<QStringList>("results");

  // Every stored row counts, estimated ones (U3, CMMA Repeat) included; R0 is not stored.
  QTest::newRow("defaults") << ""
                            << "" << QStringList{"2.0 um",     "5.0/500 um", "",
                                                 "+/- 4.8 um", "+/- 3.0 um", "1.8 um",
                                                 "+/- 4.8 um", "4.0 um",     "+/- 5.8 um"};
  QTest::newRow("near the ballbar length, 22 C")
      << "550"
      << "22" << QStringList{"2.0 um", "5.0 um",     "",       "+/- 3.3 um", "+/- 2.5 um",
                             "1.8 um", "+/- 3.3 um", "4.0 um", "+/- 4.3 um"};
  QTest::newRow("long, 15 C, maximum reached")
      << "2000"
      << "15" << QStringList{"2.0 um", "5.0/500 um", "",       "+/- 8.1 um", "+/- 7.5 um",
                             "1.8 um", "+/- 8.1 um", "4.0 um", "+/- 8.0 um"};
  QTest::newRow("length not a number") << "abc"
                                       << "25" << Empty_Results();
}

void TestCommands::limits()
{
  QFETCH(QString, length);
  QFETCH(QString, temperature);
  QFETCH(QStringList, results);

  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  QStringList inputs;
  QCOMPARE(Open_Limits(length, temperature, &inputs), results);
  QCOMPARE(inputs, (QStringList{"Acme", "X1", "Standard", "1000.000", "20.00"}));
}

void TestCommands::limitsKeptOnReopening()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  Open_Limits(QStringLiteral("2000"), QStringLiteral("15"));

  // Another option: its own rows at the length and temperature typed before.
  Select(List("option_list"), {"Extended"});
  QStringList inputs;
  QCOMPARE(Open_Limits(QString(), QString(), &inputs),
           (QStringList{"", "", "", "+/- 10.0 um", "+/- 6.0 um", "", "", "", ""}));
  QCOMPARE(inputs, (QStringList{"Acme", "X1", "Extended", "2000", "15"}));
}

void TestCommands::limitsIncompleteSelection()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  QVERIFY(!Open_Limits(QString(), QString()).join(QString()).isEmpty());

  // The option stays current but is no longer selected: nothing is read.
  List("option_list")->clearSelection();
  QVERIFY(!Action("specification_limits")->isEnabled());
  QStringList inputs;
  QCOMPARE(Open_Limits(QString(), QString(), &inputs), Empty_Results());
  QCOMPARE(inputs, (QStringList{"Acme", "X1", "", "1000.000", "20.00"}));
}

void TestCommands::exportCommand_data()
{
  QTest::addColumn<QStringList>("selected");
  QTest::addColumn<QString>("choice");
  QTest::addColumn<QStringList>("exported");

  QTest::newRow("nothing selected, no question") << QStringList() << "" << ALL_MAKES;
  QTest::newRow("selected specifications")
      << QStringList{"Zenith", "Acme"} << "Selected Specifications"
      << QStringList{"Acme", "Zenith"};
  QTest::newRow("all specification data")
      << QStringList{"Zenith", "Acme"} << "All Specification Data" << ALL_MAKES;
  QTest::newRow("options cancelled") << QStringList{"Brand"} << "Cancel" << QStringList();
}

void TestCommands::exportCommand()
{
  QFETCH(QStringList, selected);
  QFETCH(QString, choice);
  QFETCH(QStringList, exported);

  Open_Catalogue();
  if (!selected.isEmpty())
    Select(List("make_list"), selected);

  bool asked = false;
  if (!choice.isEmpty())
    Answer_Dialog<QDialog>(
        [&](QDialog *dialog)
        {
          asked = dialog->windowTitle() == QLatin1String("Export Options");
          if (choice == QLatin1String("Cancel"))
          {
            dialog->reject();
            return;
          }
          for (QRadioButton *button : dialog->findChildren<QRadioButton *>())
            if (button->text() == choice)
              button->setChecked(true);
          for (QPushButton *button : dialog->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("Continue"))
              button->click();
        });
  const QString file_name = d_folder + QStringLiteral("/reports/export.csv");
  if (!exported.isEmpty())
    TFileDialog::Queue_File_Name(file_name);
  Action("export")->trigger();
  QCOMPARE(asked, !choice.isEmpty());
  QTRY_VERIFY_WITH_TIMEOUT(List("make_list")->isEnabled(), 60000);
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());

  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  if (exported.isEmpty())
  {
    QVERIFY(requests.isEmpty());
    QVERIFY(!QFile::exists(file_name));
    return;
  }
  QCOMPARE(requests.size(), 1);
  QVERIFY(requests.first().save);
  QCOMPARE(requests.first().caption, QStringLiteral("Export database"));
  QCOMPARE(requests.first().filter, QStringLiteral("Comma Separated File (*.csv)"));
  QCOMPARE(Exported_Makes(file_name), exported);
  // An export leaves the window as it was.
  QCOMPARE(List("make_list")->selectedItems().size(), selected.size());
}

void TestCommands::refusedWhileRunning()
{
  Open_Catalogue();
  const QStringList stored = Stored_Content(d_catalogue);

  const QString pipe = d_folder + QStringLiteral("/data/pipe.csv");
  TPipeFeed feed(pipe);
  QVERIFY(feed.Create());
  TFileDialog::Queue_File_Name(pipe);
  Action("import")->trigger();
  TFileDialog::Take_Requests();

  // Even with a machine in the (frozen) lists, no command may use the database now.
  const struct
  {
    const char *list;
    const char *text;
  } planted[] = {{"make_list", "Acme"}, {"model_list", "X1"}, {"option_list", "Standard"}};
  for (const auto &entry : planted)
  {
    QListWidget *list = List(entry.list);
    QVERIFY(!list->isEnabled());
    const QSignalBlocker blocker(list);
    list->addItem(QLatin1String(entry.text));
    list->setCurrentRow(0);
  }
  for (int count = 0; count < 3; ++count)
    TMessageBox::Queue_Answer(QMessageBox::Yes);
  TFileDialog::Queue_File_Name(d_folder + QStringLiteral("/reports/running.pdf"));

  d_window->Delete_Option();
  d_window->Delete_Model();
  d_window->Delete_Make();
  d_window->Edit_Specification();
  d_window->Specification_Limits();
  d_window->Output();

  QCOMPARE(TMessageBox::Queued_Answer_Count(), 3);
  QCOMPARE(TFileDialog::Queued_File_Name_Count(), 1);
  TMessageBox::Reset_Test_Answers();
  TFileDialog::Reset_Test_Answers();
  QVERIFY(!d_window->findChild<TSpecificationEditorDialog *>());
  QVERIFY(!d_window->findChild<TSpecificationLimitsDialog *>());
  for (const auto &entry : planted)
  {
    const QSignalBlocker blocker(List(entry.list));
    List(entry.list)->clear();
  }

  feed.Feed(
      "MetrovaDatabase:Version=1:Format=CSV\n\nNova,N1,Standard,10360,E0:0.002+0.003L/1000\n");
  QTRY_VERIFY_WITH_TIMEOUT(List("make_list")->isEnabled(), 60000);
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());
  QCOMPARE(Texts(List("make_list")), Sorted(ALL_MAKES + QStringList{"Nova"}));
  // Nothing was deleted: only the imported machine was added.
  const QStringList after = Stored_Content(d_catalogue);
  for (const QString &row : stored)
    QVERIFY2(after.contains(row), qPrintable(row));
}

void TestCommands::outputReport()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  const QString file_name = d_folder + QStringLiteral("/reports/acme.pdf");
  TFileDialog::Queue_File_Name(file_name);
  Action("output")->trigger();
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());

  // The folder offered stays the database's: the report's folder is not remembered.
  TFileDialog::Queue_File_Name(QString());
  Action("output")->trigger();
  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  QCOMPARE(requests.size(), 2);
  for (const TFileDialog::TRequest &request : requests)
  {
    QVERIFY(request.save);
    QCOMPARE(request.caption, QStringLiteral("Output specification"));
    QCOMPARE(request.filter, QStringLiteral("Adobe PDF files (*.pdf)"));
    QCOMPARE(request.folder, d_folder + QStringLiteral("/data"));
  }

  QStringList pages;
  QVERIFY(Pdf_Pages(file_name, &pages));
  QCOMPARE(pages.size(), 1);
  const QString &text = pages.first();
  const QStringList lines = text.split('\n');
  QVERIFY(text.contains(TITLE));
  QVERIFY(text.contains(QRegularExpression("Make:\\s+Acme\\s*\\n")));
  QVERIFY(text.contains(QRegularExpression("Model:\\s+X1\\s*\\n")));
  QVERIFY(text.contains(QRegularExpression("Option:\\s+Standard\\s*\\n")));
  QVERIFY(text.contains(QRegularExpression("Component\\s+Expression\\s+Source\\s+Description")));
  QVERIFY(text.contains(QRegularExpression("Page 1\\b")));

  // The standards in the report's own order, each followed by its rows.
  const int iso = Line_Of(lines, "ASME B89.4.10360, ISO/IEC 10360");
  const int vdi = Line_Of(lines, "VDIVDE_2617");
  const int b89 = Line_Of(lines, "ASME B89.4.1");
  const int cmma = Line_Of(lines, "CMMA");
  const int legend = Line_Of(lines, "Legend");
  QVERIFY(iso > 0 && iso < vdi && vdi < b89 && b89 < cmma && cmma < legend);
  const auto row_line = [&lines](const QString &pattern)
  {
    const QRegularExpression expression(QStringLiteral("^\\s+") + pattern);
    for (int index = 0; index < lines.size(); ++index)
      if (expression.match(lines.at(index)).hasMatch())
        return index;
    return -1;
  };
  const int e0 = row_line("E0\\s+1\\.5\\+3\\.3L/1000\\s+MFG\\s+Maximum length error");
  const int u3 = row_line("U3\\s+1\\.5\\+3\\.3L/1000\\s+EST\\s+");
  const int volume = row_line("Volume\\s+5\\.0/500\\s+MFG");
  const int repeat = row_line("Repeat\\s+4\\.0\\s+EST");
  QVERIFY(iso < e0 && e0 < vdi);
  QVERIFY(vdi < u3 && u3 < b89);
  QVERIFY(b89 < volume && volume < cmma);
  QVERIFY(cmma < repeat && repeat < legend);
  QVERIFY(text.contains(QRegularExpression("MFG\\s+Specification provided by manufacturer")));
  QVERIFY(text.contains(LEGEND_NOTE));
}

void TestCommands::outputSecondPage()
{
  // One standard with more rows than a page holds.
  QStringList rows;
  const int count = 70;
  for (int index = 1; index <= count; ++index)
    rows.append(QStringLiteral("Long;L1;Many;CMMA;G;%1;0").arg(index));
  Open_Catalogue(rows);
  Select_Machine("Long", "L1", "Many");

  const QString file_name = d_folder + QStringLiteral("/reports/long.pdf");
  TFileDialog::Queue_File_Name(file_name);
  Action("output")->trigger();
  TFileDialog::Take_Requests();
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());

  QStringList pages;
  QVERIFY(Pdf_Pages(file_name, &pages));
  QCOMPARE(pages.size(), 2);
  const QRegularExpression row_pattern(QStringLiteral("^\\s+G\\s+(\\d+)\\.0\\s+MFG\\s+"),
                                       QRegularExpression::MultilineOption);
  QList<int> printed;
  for (int page = 0; page < pages.size(); ++page)
  {
    const QString &text = pages.at(page);
    QVERIFY(text.contains(TITLE));
    QVERIFY(text.contains(QRegularExpression("Make:\\s+Long\\s*\\n")));
    QVERIFY(text.contains(QStringLiteral("Page %1").arg(page + 1)));
    QCOMPARE(Line_Of(text.split('\n'), "CMMA") >= 0, page == 0);
    QCOMPARE(text.contains(LEGEND_NOTE), page == 1);
    auto match = row_pattern.globalMatch(text);
    int on_page = 0;
    while (match.hasNext())
    {
      printed.append(match.next().captured(1).toInt());
      ++on_page;
    }
    QVERIFY(on_page > 0);
  }
  QList<int> all;
  for (int index = 1; index <= count; ++index)
    all.append(index);
  QCOMPARE(printed, all);
}

void TestCommands::outputSuffix_data()
{
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("written");

  QTest::newRow("no extension") << "report"
                                << "report.pdf";
  QTest::newRow("upper case") << "Report.PDF"
                              << "Report.PDF";
  QTest::newRow("other extension") << "report.pdf.txt"
                                   << "report.pdf.txt.pdf";
}

void TestCommands::outputSuffix()
{
  QFETCH(QString, typed);
  QFETCH(QString, written);

  Open_Catalogue();
  Select_Machine("Zenith", "Z9", "Basic");
  const QString folder = d_folder + QStringLiteral("/reports/");
  TFileDialog::Queue_File_Name(folder + typed);
  Action("output")->trigger();
  QVERIFY(TMessageBox::Take_Shown_Messages().isEmpty());
  QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{written});
  QVERIFY(File_Bytes(folder + written).startsWith("%PDF-"));
}

void TestCommands::outputFailure_data()
{
  QTest::addColumn<QString>("target");
  QTest::addColumn<bool>("size_limit");
  QTest::addColumn<QString>("reason");

  QTest::newRow("folder does not exist") << "missing/report.pdf" << false << "does not exist";
  QTest::newRow("file size limit") << "report.pdf" << true << "incomplete";
}

void TestCommands::outputFailure()
{
  QFETCH(QString, target);
  QFETCH(bool, size_limit);
  QFETCH(QString, reason);

  Open_Catalogue();
  const QString folder = d_folder + QStringLiteral("/reports");
  const QString file_name = folder + '/' + target;

  // An earlier report of another machine sits where the new one cannot be written.
  Select_Machine("Zenith", "Z9", "Basic");
  const QString existing = folder + QStringLiteral("/report.pdf");
  TFileDialog::Queue_File_Name(existing);
  Action("output")->trigger();
  const QByteArray before = File_Bytes(existing);
  QVERIFY(before.startsWith("%PDF-"));

  Select_Machine("Acme", "X1", "Standard");
  TFileDialog::Queue_File_Name(file_name);
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  {
    std::unique_ptr<TFileSizeLimit> limit;
    if (size_limit)
    {
      limit = std::make_unique<TFileSizeLimit>(before.size() / 4);
      QVERIFY(limit->Is_Valid());
    }
    Action("output")->trigger();
  }
  TFileDialog::Take_Requests();

  const QList<TMessageBox::TShownMessage> messages = TMessageBox::Take_Shown_Messages();
  QCOMPARE(Message_Lines(messages), QStringList{OUTPUT_ERROR});
  QCOMPARE(messages.first().icon, QMessageBox::Warning);
  QCOMPARE(messages.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  QVERIFY2(messages.first().details.contains(QDir::toNativeSeparators(file_name)),
           qPrintable(messages.first().details));
  QVERIFY2(messages.first().details.contains(reason), qPrintable(messages.first().details));

  QCOMPARE(File_Bytes(existing), before);
  QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList{"report.pdf"});
}

QTEST_MAIN(TestCommands)

#include "tst_commands.moc"
