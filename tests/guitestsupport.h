#ifndef METROVA_GUITESTSUPPORT_H
#define METROVA_GUITESTSUPPORT_H

// What the tests of the main window share: a catalogue, a fixture that drives a real TMetrova
// offscreen through the message box and file dialog seams, and readers for what it wrote.

#include "connectserverdialog.h"
#include "filedialog.h"
#include "messagebox.h"
#include "metrova.h"
#include "testsupport.h"
#include "windowsettings.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace GuiTestSupport
{
using TestSupport::File_Bytes;
using TestSupport::Write_File;

// "make|model|option|record" with the record in TestSupport's compact text. Acme and Zenith share
// model X1 with option Standard; Brand has X1 without it; Solo has no X1.
inline const char *const CATALOGUE[] = {
    "Acme|X1|Standard|10360 E0=1.5+3.3L/1000 E150=1+0.1Td+(2+0.2Td)L/1000 Ts_Min=18C",
    "Acme|X1|Standard|B89.4.1 Repeat=2 Volume=5/500",
    "Acme|X1|Standard|VDIVDE_2617 V3=1.8 U3=1.5+3.3L/1000#1",
    "Acme|X1|Standard|CMMA M=2.5+3.3L/1000|8 Repeat=4#1",
    "Acme|X1|Extended|10360 E0=2+4L/1000 E150=2+0.2Td+(1+0.1Td)L/1000",
    "Acme|X2|Standard|10360 E0=2.5+4L/1000",
    "Zenith|X1|Standard|10360 E0=3+5L/1000",
    "Zenith|X1|Basic|10360 E0=4+5L/1000",
    "Brand|X1|Other|10360 E0=5+6L/1000",
    "Solo|S7|Standard|10360 E0=6+6L/1000"};
inline const QStringList ALL_MAKES = {"Acme", "Brand", "Solo", "Zenith"};

inline const QStringList ACTION_NAMES =
    QStringLiteral("new_database open_database connect_server close_database export import "
                   "output quit "
                   "delete_make delete_model delete_option edit_specification "
                   "specification_limits compare_machines about")
        .split(' ');
// The actions enabled with no database, with one open, and with a machine selected.
inline const QStringList CLOSED_ACTIONS = {"new_database", "open_database", "connect_server",
                                           "quit", "about"};
inline const QStringList OPEN_ACTIONS =
    CLOSED_ACTIONS +
    QStringList{"close_database", "export", "import", "edit_specification", "compare_machines"};
inline const QStringList OPTION_ACTIONS =
    OPEN_ACTIONS +
    QStringList{"output", "delete_make", "delete_model", "delete_option", "specification_limits"};

inline QStringList Sorted(QStringList list)
{
  list.sort();
  return list;
}

inline QStringList Words(const QString &text)
{
  return text.split(' ', Qt::SkipEmptyParts);
}

template <typename T>
T *Child(QObject *parent, const QString &name)
{
  T *child = parent->findChild<T *>(name);
  if (!child)
    qFatal("missing child %s", qPrintable(name));
  return child;
}

// Commits a text to a field as the user does, with Return.
inline void Finish_Editing(QLineEdit *field, const QString &text)
{
  field->setText(text);
  QTest::keyClick(field, Qt::Key_Return);
}

// Writes the catalogue into a new database file.
inline bool Write_Catalogue(const QString &file_name)
{
  TDatabase database(QStringLiteral("guitestsupport_fixture"));
  if (!database.Connect(file_name) || !database.Initialize())
    return false;
  for (const QString row : CATALOGUE)
  {
    bool valid = false;
    const TDatabaseItem record =
        TestSupport::Record(row.section('|', 0, 0), row.section('|', 1, 1), row.section('|', 2, 2),
                            row.section('|', 3), &valid);
    if (!valid || !database.Write_Specification(record))
      return false;
  }
  return true;
}

// What a catalogue file holds, sorted: its makes, its machines as "make/model/option" and, with
// rows, each machine's rows as "make/model/option:standard|component|expression|MFG or EST".
inline QStringList Stored_Catalogue(const QString &file_name, bool with_rows = false)
{
  TDatabase database(QStringLiteral("guitestsupport_reader"));
  if (!database.Connect(file_name))
    return {QStringLiteral("<cannot connect>")};
  QStringList lines;
  bool valid = false;
  const QStringList standards = database.Standard_Types(&valid);
  for (const QString &make : database.Makes(&valid))
  {
    lines.append(make);
    for (const QString &model : database.Models(make, &valid))
      for (const QString &option : database.Options(make, model, &valid))
      {
        const QString machine = make + '/' + model + '/' + option;
        lines.append(machine);
        for (int standard = 0; with_rows && standard < standards.size(); ++standard)
        {
          const TDatabaseItem record =
              database.Read_Specification(make, model, option, standards.at(standard), &valid);
          for (int index = 0; index < record.Specification_Item_Count(); ++index)
          {
            const TSpecificationItem item = record.Specification_Item(index);
            lines.append(machine + ':' +
                         QStringList{standards.at(standard), item.name,
                                     item.expression.Expression_Text(TExpressionItem::UNITS_UM),
                                     item.source == TDatabaseItem::SOURCE_ESTIMATED ? "EST" : "MFG"}
                             .join('|'));
          }
        }
      }
  }
  return Sorted(lines);
}

inline QStringList Texts(const QListWidget *list)
{
  QStringList texts;
  for (int row = 0; row < list->count(); ++row)
    texts.append(list->item(row)->text());
  return texts;
}

inline QString Selected_Text(const QListWidget *list)
{
  return list->currentItem() && list->currentItem()->isSelected() ? list->currentItem()->text()
                                                                  : QString();
}

// Selects as a click and control-clicks would: the old selection goes as the first row comes.
inline void Select(QListWidget *list, const QStringList &texts)
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

// "standard|component|expression|source" in the order shown.
inline QStringList Tree_Rows(const QTreeWidget *tree)
{
  QStringList rows;
  for (int top = 0; top < tree->topLevelItemCount(); ++top)
  {
    const QTreeWidgetItem *standard = tree->topLevelItem(top);
    for (int child = 0; child < standard->childCount(); ++child)
    {
      const QTreeWidgetItem *row = standard->child(child);
      rows.append(
          QStringList{standard->text(0), row->text(1), row->text(2), row->text(3)}.join('|'));
    }
  }
  return rows;
}

// "Kind: heading / text" of each message shown since the last call, the raw ones into *shown.
// Kind is Question (Yes/No, No the default), Warning or Information (Ok only), else Unexpected.
inline QStringList Take_Messages(QList<TMessageBox::TShownMessage> *shown = nullptr)
{
  const QList<TMessageBox::TShownMessage> messages = TMessageBox::Take_Shown_Messages();
  QStringList lines;
  for (const TMessageBox::TShownMessage &message : messages)
  {
    QString kind = QStringLiteral("Unexpected");
    if (message.icon == QMessageBox::Question && message.default_button == QMessageBox::No &&
        message.buttons == (QMessageBox::Yes | QMessageBox::No))
      kind = QStringLiteral("Question");
    else if (message.buttons == QMessageBox::StandardButtons(QMessageBox::Ok) &&
             message.icon == QMessageBox::Warning)
      kind = QStringLiteral("Warning");
    else if (message.buttons == QMessageBox::StandardButtons(QMessageBox::Ok) &&
             message.icon == QMessageBox::Information)
      kind = QStringLiteral("Information");
    lines.append(kind + QStringLiteral(": ") + message.heading + QStringLiteral(" / ") +
                 message.text);
  }
  if (shown)
    *shown = messages;
  return lines;
}

// Holds the worker's import in open(2) on a named pipe until the test feeds it.
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

// The text of each page of a PDF file, as pdftotext lays it out.
inline bool Pdf_Pages(const QString &file_name, QStringList *pages)
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

// Counts the showings of every widget: a dialog shown again is not one still open.
class TShowCounter : public QObject
{
public:
  int Shows(QObject *widget) const { return d_shows.value(widget); }

protected:
  bool eventFilter(QObject *object, QEvent *event) override
  {
    if (event->type() == QEvent::Show)
      ++d_shows[object];
    return false;
  }

private:
  QHash<QObject *, int> d_shows;
};

// Closes a modal dialog still open on a second look, so that a fault fails the test instead of
// hanging it; Unexpected() names the dialogs it closed.
class TDialogWatchdog
{
public:
  TDialogWatchdog()
  {
    d_timer.setInterval(250);
    QObject::connect(&d_timer, &QTimer::timeout, [this] { Close_Unexpected_Dialogs(); });
    QCoreApplication::instance()->installEventFilter(&d_show_counter);
  }

  void Start()
  {
    d_unexpected.clear();
    d_seen.clear();
    d_timer.start();
  }
  // For a dialog shown on purpose, and at the test's end.
  void Stop() { d_timer.stop(); }
  const QStringList &Unexpected() const { return d_unexpected; }

private:
  void Close_Unexpected_Dialogs()
  {
    QSet<QPair<QWidget *, int>> visible;
    for (QWidget *widget : QApplication::topLevelWidgets())
    {
      QDialog *dialog = qobject_cast<QDialog *>(widget);
      if (!dialog || !dialog->isVisible() || dialog->windowModality() == Qt::NonModal)
        continue;
      // A reused dialog may have closed and opened again while the event loop was blocked.
      const QPair<QWidget *, int> showing(dialog, d_show_counter.Shows(dialog));
      if (!d_seen.contains(showing))
      {
        visible.insert(showing);
        continue;
      }
      const QMessageBox *box = qobject_cast<QMessageBox *>(dialog);
      d_unexpected.append(box ? box->informativeText() : dialog->windowTitle());
      dialog->reject();
    }
    d_seen = visible;
  }

  QTimer d_timer;
  QSet<QPair<QWidget *, int>> d_seen;
  TShowCounter d_show_counter;
  QStringList d_unexpected;
};

// Each test gets its own folder (bin as the executable's, data, reports) below one temporary
// root that also holds the per-user configuration, and a window of its own.
class TWindowFixture
{
public:
  TWindowFixture() = default;

  // For initTestCase: nothing the window or the settings write leaves the temporary root.
  void Set_Up()
  {
    QVERIFY(d_root.isValid());
    QVERIFY(QDir(d_root.path()).mkpath(QStringLiteral("config")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(d_root.filePath(QStringLiteral("config"))));
    QVERIFY(QDir::setCurrent(d_root.path()));
  }

  // For init: a fresh folder, the executable's folder pointed into it, no queued answers.
  void Start_Test()
  {
    d_watchdog.Start();
    d_folder = d_root.filePath(QStringLiteral("test%1").arg(++d_test_count));
    d_application = d_folder + QStringLiteral("/bin");
    d_catalogue = d_folder + QStringLiteral("/data/catalogue.db");
    for (const char *sub : {"/bin", "/data", "/reports"})
      QVERIFY(QDir().mkpath(d_folder + QLatin1String(sub)));
    TWindowSettings::Set_Application_Directory(d_application);
    TMessageBox::Reset_Test_Answers();
    TFileDialog::Reset_Test_Answers();
    TConnectServerDialog::Reset_Test_Answers();
  }

  // For cleanup: every queued answer and dialog handler was used and no other dialog came up.
  void Finish_Test()
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
    d_watchdog.Stop();
    TWindowSettings::Set_Application_Directory(QString());
    QVERIFY2(d_watchdog.Unexpected().isEmpty(), qPrintable(d_watchdog.Unexpected().join('\n')));
    QCOMPARE(unanswered, 0);
    QCOMPARE(TMessageBox::Queued_Answer_Count(), 0);
    QCOMPARE(TFileDialog::Queued_File_Name_Count(), 0);
    QCOMPARE(TConnectServerDialog::Queued_Answer_Count(), 0);
  }

  // A new window in place of the test's previous one.
  TMetrova *New_Window()
  {
    d_window.reset();
    d_window = std::make_unique<TMetrova>();
    return d_window.get();
  }

  // A new window with the catalogue opened through the Open command.
  void Open_Catalogue()
  {
    QVERIFY(Write_Catalogue(d_catalogue));
    New_Window();
    TFileDialog::Queue_File_Name(d_catalogue);
    Action(QStringLiteral("open_database"))->trigger();
    TFileDialog::Take_Requests();
    QVERIFY(Texts(List("make_list")).contains(QStringLiteral("Acme")));
  }

  // The window's action of that object name without its "action_" prefix.
  QAction *Action(const QString &name) const
  {
    return Child<QAction>(d_window.get(), QStringLiteral("action_") + name);
  }

  // The names of the enabled actions, sorted.
  QStringList Enabled_Actions() const
  {
    QStringList names;
    for (const QString &name : ACTION_NAMES)
      if (Action(name)->isEnabled())
        names.append(name);
    return Sorted(names);
  }

  QListWidget *List(const char *name) const
  {
    return Child<QListWidget>(d_window.get(), QLatin1String(name));
  }
  QTreeWidget *Tree() const
  {
    return Child<QTreeWidget>(d_window.get(), QStringLiteral("specification_tree"));
  }

  // Selects one machine in the three lists; all its commands come on.
  void Select_Machine(const QString &make, const QString &model, const QString &option)
  {
    Select(List("make_list"), {make});
    Select(List("model_list"), {model});
    Select(List("option_list"), {option});
    QCOMPARE(Enabled_Actions(), Sorted(OPTION_ACTIONS));
  }

  QStringList Selected_Machine() const
  {
    return {Selected_Text(List("make_list")), Selected_Text(List("model_list")),
            Selected_Text(List("option_list"))};
  }

  // Calls handler on the next modal dialog of type TDialog, from the event loop of its exec().
  template <typename TDialog>
  void Answer_Dialog(std::function<void(TDialog *)> handler)
  {
    QTimer *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, handler]
                     {
                       TDialog *dialog = qobject_cast<TDialog *>(QApplication::activeModalWidget());
                       if (!dialog)
                         return;
                       timer->stop();
                       timer->deleteLater();
                       handler(dialog);
                       // A handler stopped by a failed check must not leave the dialog open.
                       if (dialog->isVisible())
                         dialog->reject();
                     });
    timer->start();
    d_answers.append(timer);
  }

  QTemporaryDir d_root;
  QString d_folder;      // this test's own folder inside d_root
  QString d_application; // this test's executable folder
  QString d_catalogue;
  std::unique_ptr<TMetrova> d_window;
  TDialogWatchdog d_watchdog;

private:
  int d_test_count = 0;
  QList<QPointer<QTimer>> d_answers;
};
} // namespace GuiTestSupport

#endif // METROVA_GUITESTSUPPORT_H
