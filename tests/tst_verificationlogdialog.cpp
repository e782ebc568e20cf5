// The verification log window: entry of results, stored records, the layout at its smallest size.
#include "guitestsupport.h"
#include "verificationchartview.h"
#include "verificationlog.h"
#include "verificationlogdialog.h"
#include "verificationrecordsmodel.h"
#include "verificationresults.h"
#include "verificationresultsmodel.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QtCharts/QLineSeries>

using GuiTestSupport::Child;

namespace
{
const QString MAKE = QStringLiteral("Make");
const QString MODEL = QStringLiteral("Model");
const QString OPTION = QStringLiteral("Option");

// The machine whose log is shown.
const QStringList MACHINE = {"10360 E0=2.5+3.2L/1000"};

const int RESULT_MPE = TVerificationResultsModel::COLUMN_MPE;
const int RESULT_ZONE = TVerificationResultsModel::COLUMN_ZONE;
const int RECORD_VERDICT = TVerificationRecordsModel::COLUMN_VERDICT;

// The verification log of MACHINE.
struct TLog
{
  explicit TLog(TDatabase *database)
  {
    dialog.Set_Message_Box(&box);
    valid = dialog.Set_Machine(database, MAKE, MODEL, OPTION);
  }

  // A view's column as shown.
  QStringList Column(const char *view, int column)
  {
    const QAbstractItemModel *model = Child<QAbstractItemView>(&dialog, view)->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
      texts.append(model->index(row, column).data().toString());
    return texts;
  }
  QString Text(const char *label)
  {
    if (QTextEdit *summary = qobject_cast<QTextEdit *>(Child<QWidget>(&dialog, label)))
      return summary->toPlainText();
    return QTextDocumentFragment::fromHtml(Child<QLabel>(&dialog, label)->text()).toPlainText();
  }
  void Click(const char *button) { Child<QPushButton>(&dialog, button)->click(); }
  void Paste(const QString &text, const QString &temperature = "20")
  {
    Child<QLineEdit>(&dialog, "temperature_edit")->setText(temperature);
    QGuiApplication::clipboard()->setText(text);
    Click("paste_button");
  }

  TMessageBox box;
  TVerificationLogDialog dialog;
  bool valid = false;
};
} // namespace

class TVerificationLogDialogTest : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();

  void verification_log();
  void verification_log_entry_data();
  void verification_log_entry();
  void verification_log_stored();
  void verification_log_layout();

private:
  std::unique_ptr<TestSupport::TTestDatabase> d_database; // holding MACHINE
  GuiTestSupport::TDialogWatchdog d_watchdog;
};

void TVerificationLogDialogTest::init()
{
  TMessageBox::Reset_Test_Answers();
  d_watchdog.Start();
  d_database = std::make_unique<TestSupport::TTestDatabase>();
  QVERIFY(d_database->Is_Valid());
  QVERIFY(d_database->Write(MAKE, MODEL, OPTION, MACHINE));
}

void TVerificationLogDialogTest::cleanup()
{
  d_database.reset();
  d_watchdog.Stop();
  QVERIFY2(d_watchdog.Unexpected().isEmpty(), qPrintable(d_watchdog.Unexpected().join('\n')));
}

// Results pasted and typed are judged as they come, Tab walking the typed cells; a set is
// retested; a record is saved, reported and deleted, the trend drawn per length, and a file with
// a bad line is refused by its line.
void TVerificationLogDialogTest::verification_log()
{
  TLog log(d_database->Get());
  QVERIFY(log.valid);
  QAbstractItemView *results = Child<QAbstractItemView>(&log.dialog, "results_table");
  const auto type = [results](int row, int column, const QString &text)
  { results->model()->setData(results->model()->index(row, column), text); };
  Child<QComboBox>(&log.dialog, "kind_combo")->setCurrentIndex(TVerificationRecord::KIND_INTERIM);
  log.Paste("500\tA\t1\t4.1\n500\tA\t2\t-4.11\n");
  type(2, TVerificationResults::COLUMN_LENGTH, "1000");
  type(2, TVerificationResults::COLUMN_ERROR, "5.8");
  QCOMPARE(log.Column("results_table", RESULT_MPE), QStringList({"4.1", "4.1", "5.7", ""}));
  QCOMPARE(log.Column("results_table", RESULT_ZONE), QStringList({"pass", "fail", "fail", ""}));
  results->setCurrentIndex(results->model()->index(0, TVerificationResults::COLUMN_RETEST));
  QTest::keyClick(results, Qt::Key_Tab);
  QCOMPARE(results->currentIndex().row() * 10 + results->currentIndex().column(), 10);

  // A retest of the failed set: the set is judged by it, the result it repeats kept beside.
  results->selectionModel()->select(results->model()->index(1, 0),
                                    QItemSelectionModel::ClearAndSelect);
  log.Click("retest_button");
  type(3, TVerificationResults::COLUMN_ERROR, "-4");
  type(4, TVerificationResults::COLUMN_ERROR, "1");
  QCOMPARE(log.Column("results_table", TVerificationResults::COLUMN_RETEST),
           QStringList({"replaced", "replaced", "", "retest", "retest", ""}));
  QCOMPARE(log.Column("results_table", RESULT_ZONE),
           QStringList({"pass", "fail", "fail", "pass", "pass", ""}));
  int failed = 0; // plotted: the replaced result is not
  for (QtCharts::QAbstractSeries *series :
       Child<TVerificationChartView>(&log.dialog, "errors_plot")->chart()->series())
    if (series->name() == "fail")
      failed += static_cast<QtCharts::QXYSeries *>(series)->count();
  QCOMPARE(failed, 1);
  log.Click("save_record_button");
  QCOMPARE(log.Column("records_table", RECORD_VERDICT), QStringList{"does not conform"});

  const QString report = d_database->Path("record.pdf");
  TFileDialog::Queue_File_Name(report);
  log.Click("report_button");
  QStringList pages;
  QVERIFY(GuiTestSupport::Pdf_Pages(report, &pages));
  QVERIFY(pages.join(' ').contains("Verdict: does not conform"));

  // The trend of interim checks per length: the largest share at each length, of the retests
  // where there are.
  QTabWidget *tabs = Child<QTabWidget>(&log.dialog, "plot_tabs");
  tabs->setCurrentIndex(1);
  Child<QComboBox>(&log.dialog, "trend_combo")->setCurrentIndex(1);
  QStringList lines;
  for (QtCharts::QAbstractSeries *series :
       Child<TVerificationChartView>(&log.dialog, "trend_plot")->chart()->series())
    lines.append(
        QString::asprintf("%s:%.1f", qPrintable(series->name()),
                          static_cast<QtCharts::QLineSeries *>(series)->pointsVector().last().y()));
  QCOMPARE(lines, QStringList({"100 % of the MPE:100.0", "500 mm:97.6", "1000 mm:101.8"}));

  const QString file = d_database->Path("results.csv");
  QVERIFY(GuiTestSupport::Write_File(file, "length_mm,error_um\n100,1\n200,x\n"));
  TFileDialog::Queue_File_Name(file);
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  log.Click("new_record_button");
  log.Click("import_button");
  QVERIFY(TMessageBox::Take_Shown_Messages().value(0).text.endsWith(
      "line 3: the error 'x' is not a number"));
  // Opened again, as the window does: as new, the trend of every record, no file of before.
  log.dialog.Set_Folder(d_database->Path(""));
  QVERIFY(log.dialog.Set_Machine(d_database->Get(), MAKE, MODEL, OPTION));
  QVERIFY(log.dialog.Last_File_Name().isEmpty());
  tabs->setCurrentIndex(1);
  QCOMPARE(
      Child<TVerificationChartView>(&log.dialog, "trend_plot")->chart()->series().value(1)->name(),
      "Largest share");

  Child<QTableView>(&log.dialog, "records_table")->selectRow(0);
  TMessageBox::Queue_Answer(QMessageBox::Yes);
  log.Click("delete_record_button");
  QCOMPARE(log.Column("records_table", 0), QStringList());
}

// A record with a row or field that cannot be taken gets no verdict, the row is marked with its
// reason, and a save is refused with the reason in the message's text; what weakens a verdict
// is named below it.
void TVerificationLogDialogTest::verification_log_entry_data()
{
  QTest::addColumn<QString>("pasted");
  QTest::addColumn<QString>("temperature");
  QTest::addColumn<QString>("uncertainty");
  QTest::addColumn<QStringList>("zones");
  QTest::addColumn<QString>("verdict");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("refusal");

  const QString valid = "500\tA\t1\t4.1\n500\tA\t2\t-4\n";
  const QStringList passed{"pass", "pass", ""};
  QTest::newRow("valid rows") << valid << "20"
                              << "0" << passed << "Verdict: conforms"
                              << "2 results judged: 2 pass."
                              << "";
  QTest::newRow("a valid and an invalid row")
      << "500\tA\t1\t4.1\n500\tA\t2\tx\n"
      << "20"
      << "0" << QStringList{"pass", "invalid", ""} << "No verdict"
      << ""
      << "Row 2: the error 'x' is not a number.";
  QTest::newRow("the same result twice")
      << "500\tA\t1\t4.1\n500\tA\t1\t4\n"
      << "20"
      << "0" << QStringList{"invalid", "invalid", ""} << "No verdict"
      << ""
      << "Rows 1 and 2: the same length, position, repetition and retest.";
  QTest::newRow("no temperature") << valid << ""
                                  << "0" << passed << "No verdict"
                                  << ""
                                  << "The temperature is required for an acceptance or "
                                     "reverification.";
  QTest::newRow("no room's temperature")
      << valid << "200"
      << "0" << passed << "No verdict"
      << ""
      << "The temperature 200 \u00b0C lies outside -10 \u00b0C to 50 \u00b0C.";
  QTest::newRow("a retest") << "500\tA\t1\t9\n500\tA\t1\t4\tyes\n"
                            << "20"
                            << "0" << QStringList{"fail", "pass", ""} << "Verdict: conforms"
                            << "1 set judged by its retest"
                            << "";
  QTest::newRow("U(L) as large as the MPE")
      << "500\tA\t1\t1\n"
      << "20"
      << "0.3+10L/1000" << QStringList{"conditional pass", ""} << "Verdict: conforms"
      << "U is not smaller than the MPE at 500 mm: the pass zone is empty"
      << "";
}

void TVerificationLogDialogTest::verification_log_entry()
{
  QFETCH(QString, pasted);
  QFETCH(QString, temperature);
  QFETCH(QString, uncertainty);
  QFETCH(QStringList, zones);
  QFETCH(QString, verdict);
  QFETCH(QString, shown);
  QFETCH(QString, refusal);

  TLog log(d_database->Get());
  Child<QLineEdit>(&log.dialog, "uncertainty_edit")->setText(uncertainty);
  log.Paste(pasted, temperature);
  QCOMPARE(log.Column("results_table", RESULT_ZONE), zones);
  QVERIFY2(log.Text("verdict_label").startsWith(verdict), qPrintable(log.Text("verdict_label")));
  QVERIFY(log.Text("summary_label").contains(refusal.isEmpty() ? shown : refusal));
  if (!refusal.isEmpty())
    TMessageBox::Queue_Answer(QMessageBox::Ok);
  log.Click("save_record_button");
  QCOMPARE(TMessageBox::Take_Shown_Messages().value(0).text,
           refusal.isEmpty() ? QString() : "Cannot save the record: " + refusal);
  QCOMPARE(log.Column("records_table", RECORD_VERDICT),
           refusal.isEmpty() ? QStringList{verdict.mid(9)} : QStringList());
}

// A saved record keeps the figures it was judged by when the catalogue's limit changes, and says
// what the catalogue states now; one that does not conform makes a re-test due; the same check
// is not stored twice unasked.
void TVerificationLogDialogTest::verification_log_stored()
{
  {
    TLog log(d_database->Get());
    log.Paste("500\tA\t1\t4\n");
    log.Click("save_record_button");
  }
  QVERIFY(d_database->Write(MAKE, MODEL, OPTION, {"10360 E0=1+1L/1000"}));
  TLog log(d_database->Get());
  QCOMPARE(log.Column("records_table", RECORD_VERDICT), QStringList{"conforms"});
  QVERIFY(log.Column("records_table", TVerificationRecordsModel::COLUMN_NOTE)
              .value(0)
              .startsWith("the catalogue's E0 is now 1.0+1.0L/1000"));
  Child<QTableView>(&log.dialog, "records_table")->selectRow(0);
  QCOMPARE(log.Column("results_table", RESULT_MPE), QStringList{"4.1"});
  QVERIFY(log.Text("summary_label").contains("the catalogue's E0 is now"));
  QVERIFY(!log.Text("schedule_label").contains("re-test due"));

  log.Click("new_record_button");
  log.Paste("500\tA\t1\t4\n");
  log.Click("save_record_button");
  QCOMPARE(log.Column("records_table", RECORD_VERDICT),
           QStringList({"conforms", "does not conform"}));
  QVERIFY(log.Text("schedule_label").contains("re-test due"));

  // The same check again is stored only when the user says so.
  log.Click("new_record_button");
  log.Paste("500\tA\t1\t4\n");
  TMessageBox::Queue_Answer(QMessageBox::No);
  log.Click("save_record_button");
  QVERIFY(
      TMessageBox::Take_Shown_Messages().value(0).text.startsWith("Record 2 holds the same check"));
  QCOMPARE(log.Column("records_table", 0), QStringList({"1", "2"}));

  // A record another program deleted since the list was read is named, and leaves the list.
  QVERIFY(TVerificationLog(d_database->Get()).Remove_Record(MAKE, MODEL, OPTION, 1));
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Child<QTableView>(&log.dialog, "records_table")->selectRow(0);
  QVERIFY(TMessageBox::Take_Shown_Messages().value(0).details.startsWith("Record 1 is no longer"));
  QCOMPARE(log.Column("records_table", 0), QStringList({"2"}));
}

// At its default size the log fits a 1280 x 1024 screen with every button and verdict in full;
// at its minimum size the schedule line wraps and still shows every status.
void TVerificationLogDialogTest::verification_log_layout()
{
  // Every state, the longest words among them.
  QVERIFY(d_database->Write(MAKE, MODEL, OPTION, {"VDIVDE_2617 U3=2.5+3.2L/1000#1"}));
  TVerificationLog store(d_database->Get());
  QVERIFY(store.Set_Intervals(MAKE, MODEL, OPTION, {12, 30}));
  const struct
  {
    const char *component;
    int rule;
    double error;
  } records[] = {{"E0", TVerificationRecord::RULE_SIMPLE, 1.0},
                 {"E0", TVerificationRecord::RULE_SIMPLE, 9.0},
                 {"E0", TVerificationRecord::RULE_CONFORMANCE, 4.0},
                 {"E0", TVerificationRecord::RULE_NONCONFORMANCE, 4.3},
                 {"U3", TVerificationRecord::RULE_SIMPLE, 1.0},
                 {"E0", TVerificationRecord::RULE_SIMPLE, 1.0}};
  for (const auto &entry : records)
  {
    // The last an interim check that conforms: both checks overdue, none to re-test.
    TVerificationRecord record;
    record.date = QDate(2024, 1, 1).addDays(&entry - records);
    record.kind = &entry == std::end(records) - 1 ? TVerificationRecord::KIND_INTERIM
                                                  : TVerificationRecord::KIND_REVERIFICATION;
    record.standard = entry.component == QLatin1String("E0") ? "10360" : "VDIVDE_2617";
    record.component = entry.component;
    record.rule = entry.rule;
    record.uncertainty = "0.5";
    record.results = {{500.0, "A", 1, entry.error, false}};
    QVERIFY(store.Add_Record(MAKE, MODEL, OPTION, &record));
  }
  TLog log(d_database->Get());
  QCOMPARE(log.Column("records_table", RECORD_VERDICT),
           QStringList({"conforms", "does not conform", "conformance not proven",
                        "nonconformance not proven", "not judged: estimated limit", "conforms"}));
  log.dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&log.dialog));
  const auto check = [&log](const QSize &screen)
  {
    QStringList faults;
    QCoreApplication::processEvents();
    if (log.dialog.width() > screen.width() || log.dialog.height() > screen.height())
      faults.append("larger than the screen");
    for (QPushButton *button : log.dialog.findChildren<QPushButton *>())
      if (!log.dialog.rect().contains(
              QRect(button->mapTo(&log.dialog, QPoint(0, 0)), button->size())))
        faults.append(button->text() + " outside");
    QTableView *records = Child<QTableView>(&log.dialog, "records_table");
    for (int row = 0; row < records->model()->rowCount(); ++row)
    {
      const QModelIndex index = records->model()->index(row, 8);
      if (records->visualRect(index).width() <
          records->fontMetrics().horizontalAdvance(index.data().toString()) + 6)
        faults.append(index.data().toString() + " cut");
    }
    QTableView *results = Child<QTableView>(&log.dialog, "results_table");
    if (screen.width() > 1200 &&
        results->horizontalHeader()->length() > results->viewport()->width())
      faults.append("results cut");
    QLabel *schedule = Child<QLabel>(&log.dialog, "schedule_label");
    if (schedule->minimumSizeHint().width() > schedule->width() ||
        schedule->heightForWidth(schedule->width()) > schedule->height())
      faults.append("the schedule cut");
    return faults;
  };
  // The screen less a window frame.
  QCOMPARE(check(QSize(1280 - 16, 1024 - 64)), QStringList());
  // At the minimum size the schedule wraps: its line is wider than the window.
  log.dialog.resize(log.dialog.minimumSizeHint());
  QTextDocument line;
  line.setDefaultFont(log.dialog.font());
  line.setHtml(Child<QLabel>(&log.dialog, "schedule_label")->text());
  QVERIFY(line.idealWidth() > log.dialog.width());
  QCOMPARE(check(log.dialog.size()), QStringList());
}

QTEST_MAIN(TVerificationLogDialogTest)
#include "tst_verificationlogdialog.moc"
