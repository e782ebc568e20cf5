#include "guitestsupport.h"
#include "specificationreport.h"
#include "verificationjudgement.h"
#include "verificationreport.h"

#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

using GuiTestSupport::Pdf_Pages;
using TestSupport::File_Bytes;
using TestSupport::Folder_Entries;

namespace
{
const QString TITLE = QStringLiteral("Coordinate Measuring Machine Specifications");
const QString LEGEND_NOTE =
    QStringLiteral("All expression results in um (micrometers) unless otherwise specified.");

// A report of numbered rows "Row1", "Row2", ... with no headings.
QList<QStringList> Numbered_Rows(int count)
{
  QList<QStringList> rows;
  for (int index = 1; index <= count; ++index)
    rows.append({QStringLiteral("Row%1").arg(index), QStringLiteral("1.5+3.3L/1000"),
                 QStringLiteral("MFG"), QStringLiteral("Maximum length error")});
  return rows;
}

// Writes the rows as the report of a Wenzel LH 87 Phoenix and reads its pages back.
bool Write_Report(const QString &file_name, const QList<QStringList> &rows, QStringList *pages)
{
  QString error_text;
  if (!TSpecificationReport::Write(file_name, "Wenzel", "LH 87", "Phoenix", rows, &error_text))
  {
    qWarning() << error_text;
    return false;
  }
  return Pdf_Pages(file_name, pages);
}

QSet<int> Row_Numbers(const QString &page)
{
  QSet<int> numbers;
  static const QRegularExpression row_pattern(QStringLiteral("^\\s*Row(\\d+)\\s"),
                                              QRegularExpression::MultilineOption);
  auto match = row_pattern.globalMatch(page);
  while (match.hasNext())
    numbers.insert(match.next().captured(1).toInt());
  return numbers;
}

QSet<int> Range(int first, int last)
{
  QSet<int> numbers;
  for (int number = first; number <= last; ++number)
    numbers.insert(number);
  return numbers;
}

// The page's lines with their runs of blanks made single spaces.
QStringList Lines(const QString &page)
{
  QStringList lines = page.split(QLatin1Char('\n'));
  for (QString &line : lines)
    line = line.simplified();
  return lines;
}

// The top of each word of the PDF's first page, in points, as pdftotext finds it.
QMultiMap<QString, double> First_Page_Word_Tops(const QString &file_name)
{
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {"-bbox", "-f", "1", "-l", "1", file_name, "-"});
  process.waitForFinished(60000);
  static const QRegularExpression word(
      QStringLiteral("<word xMin=\"[^\"]*\" yMin=\"([^\"]*)\"[^>]*>([^<]*)</word>"));
  QMultiMap<QString, double> tops;
  auto match = word.globalMatch(QString::fromUtf8(process.readAllStandardOutput()));
  while (match.hasNext())
  {
    const QRegularExpressionMatch next = match.next();
    tops.insert(next.captured(2), next.captured(1).toDouble());
  }
  return tops;
}
} // namespace

class TSpecificationReportTest : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();

  void machine_report();
  void appended_pdf_suffix_data();
  void appended_pdf_suffix();
  void page_breaks_data();
  void page_breaks();
  void heading_at_page_end();
  void replaces_existing_when_complete();
  void verification_report();

private:
  QString Report(const QString &name) const { return QDir(d_reports).filePath(name); }

  std::unique_ptr<TestSupport::TTestDatabase> d_database;
  QString d_reports; // the reports' own folder, apart from the database files
  int d_rows_per_page = 0;
};

void TSpecificationReportTest::initTestCase()
{
  QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
           "pdftotext (poppler-utils) is needed");

  // Rows per page depend on the default page size and the fonts found, so they are read from a
  // report that spans pages: the first page holds exactly that many rows.
  QTemporaryDir folder;
  QStringList pages;
  QVERIFY(Write_Report(folder.filePath(QStringLiteral("long.pdf")), Numbered_Rows(300), &pages));
  QVERIFY(pages.size() >= 3);
  d_rows_per_page = Row_Numbers(pages.at(0)).size();
  QVERIFY2(d_rows_per_page > 20, qPrintable(QString::number(d_rows_per_page)));
  QCOMPARE(Row_Numbers(pages.at(0)), Range(1, d_rows_per_page));
  QCOMPARE(Row_Numbers(pages.at(1)), Range(d_rows_per_page + 1, 2 * d_rows_per_page));

  // A full page ends one to two row heights above the footer band: the footer's text starts two
  // to three row heights below the top of the page's last row.
  const QMultiMap<QString, double> tops =
      First_Page_Word_Tops(folder.filePath(QStringLiteral("long.pdf")));
  const double row_height = tops.value("Row2") - tops.value("Row1");
  const double rows_to_footer =
      (tops.value("Page") - tops.value(QStringLiteral("Row%1").arg(d_rows_per_page))) / row_height;
  QVERIFY2(row_height > 0 && rows_to_footer >= 2 && rows_to_footer < 3,
           qPrintable(QString::number(rows_to_footer)));
}

void TSpecificationReportTest::init()
{
  d_database = std::make_unique<TestSupport::TTestDatabase>();
  QVERIFY(d_database->Is_Valid());
  d_reports = d_database->Path(QStringLiteral("reports"));
  QVERIFY(QDir().mkpath(d_reports));
}

void TSpecificationReportTest::cleanup()
{
  d_database.reset();
}

void TSpecificationReportTest::machine_report()
{
  const QString make = QStringLiteral("Wenzel"), model = QStringLiteral("LH 87");
  // Stored in reverse order and without VDIVDE_2617; another option's rows must not leak in.
  QVERIFY(d_database->Write(make, model, "Phoenix",
                            {"CMMA G=1.8", "B89.4.1 Volume=(2+0.5Td)/300",
                             "10360 E150=2.5+3.3L/1000|8 E0=1.7+3L/1000#1 Pftu=1.9#2 Ts_Max=25C"}));
  QVERIFY(d_database->Write(make, model, "544", {"VDIVDE_2617 U3=2.5+4l/1000|8"}));

  const QList<QStringList> rows =
      TSpecificationReport::Build_Rows(d_database->Get(), make, model, "Phoenix");
  QCOMPARE(rows,
           QList<QStringList>(
               {{"  ASME B89.4.10360, ISO/IEC 10360"},
                {"E150", "2.5+3.3L/1000|8.0", "MFG", "Maximum length error with probe offset"},
                {"E0", "1.7+3.0L/1000", "EST", "Maximum length error"},
                {"Pftu", "1.9", "EST", "Maximum probe form error"},
                {"Ts_Max", "25.00 C", "MFG", "Maximum volume temperature celsius"},
                {"    ASME B89.4.1"},
                {"Volume", "(2.0+0.50Td)/300", "MFG", "Maximum length variation of a ballbar"},
                {"    CMMA"},
                {"G", "1.8", "MFG", "Maximum probe error"}}));
  QCOMPARE(TSpecificationReport::Build_Rows(d_database->Get(), make, model, "544"),
           QList<QStringList>(
               {{"    VDIVDE_2617"},
                {"U3", "2.5+4.0L/1000|8.0", "MFG", "Maximum length error in three axis"}}));

  QStringList pages;
  QVERIFY(Write_Report(Report(QStringLiteral("wenzel.pdf")), rows, &pages));
  QCOMPARE(Folder_Entries(d_reports), QStringList{"wenzel.pdf"});
  QCOMPARE(pages.size(), 1);
  const QStringList lines = Lines(pages.at(0));
  for (const char *line : {"Make: Wenzel", "Model: LH 87", "Option: Phoenix",
                           "Component Expression Source Description"})
    QVERIFY2(lines.contains(QLatin1String(line)), line);
  // Headings and rows in order, then the legend.
  int line = 0;
  for (const QStringList &row : rows)
  {
    line = lines.indexOf(row.join(QLatin1Char(' ')).simplified(), line + 1);
    QVERIFY2(line > 0, qPrintable(row.join(QLatin1Char(' '))));
  }
  QVERIFY(lines.indexOf("Legend", line) > line);

  // A name longer than its line is drawn smaller, then cut visibly.
  const QString long_make = "Carl Zeiss Industrielle Messtechnik GmbH & Co KG Division " +
                            QString(60, 'X') + " Metrology Systems";
  QVERIFY(
      TSpecificationReport::Write(Report("long.pdf"), long_make, model, "Phoenix", rows, nullptr));
  QVERIFY(Pdf_Pages(Report("long.pdf"), &pages));
  const QString make_line = Lines(pages.at(0)).filter(QRegularExpression("^Make:")).value(0);
  QVERIFY2(make_line.contains("Division XXXX") && make_line.endsWith(QChar(0x2026)),
           qPrintable(make_line));
  QVERIFY(lines.contains("EST Estimated specification derived from manufacturer specifications"));
  QVERIFY(lines.contains(LEGEND_NOTE));

  // Names that are not stored, or a closed database, give no rows.
  QVERIFY(TSpecificationReport::Build_Rows(d_database->Get(), make, model, "545").isEmpty());
  QVERIFY(TSpecificationReport::Build_Rows(d_database->Get(), "wenzel", model, "544").isEmpty());
  (*d_database)->Close();
  QVERIFY(TSpecificationReport::Build_Rows(d_database->Get(), make, model, "544").isEmpty());
}

void TSpecificationReportTest::appended_pdf_suffix_data()
{
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("expected");

  // clang-format off
  QTest::newRow("no extension") << "/home/u/report" << "/home/u/report.pdf";
  QTest::newRow("mixed case") << "/home/u/report.pDf" << "/home/u/report.pDf";
  QTest::newRow("other extension") << "/home/u/report.txt" << "/home/u/report.txt.pdf";
  QTest::newRow("pdf inside the name") << "/home/u/report.pdf.bak" << "/home/u/report.pdf.bak.pdf";
  // clang-format on
}

void TSpecificationReportTest::appended_pdf_suffix()
{
  QFETCH(QString, name);
  QFETCH(QString, expected);
  QCOMPARE(TSpecificationReport::Appended_Pdf_Suffix(name), expected);
}

void TSpecificationReportTest::page_breaks_data()
{
  // The report has full_pages * R + extra rows, with R rows per page.
  QTest::addColumn<int>("full_pages");
  QTest::addColumn<int>("extra");
  QTest::addColumn<int>("pages");
  QTest::addColumn<bool>("legend");

  QTest::newRow("no rows") << 0 << 0 << 1 << true;
  QTest::newRow("legend fits") << 1 << -11 << 1 << true;
  QTest::newRow("legend left out") << 1 << -10 << 1 << false;
  QTest::newRow("last row fills the page") << 1 << 0 << 2 << true;
}

void TSpecificationReportTest::page_breaks()
{
  QFETCH(int, full_pages);
  QFETCH(int, extra);
  QFETCH(int, pages);
  QFETCH(bool, legend);

  const int count = full_pages * d_rows_per_page + extra;
  QStringList texts;
  QVERIFY(Write_Report(Report(QStringLiteral("long.pdf")), Numbered_Rows(count), &texts));
  QCOMPARE(texts.size(), pages);

  QSet<int> printed;
  for (int page = 0; page < texts.size(); ++page)
  {
    const QString &text = texts.at(page);
    const QSet<int> numbers = Row_Numbers(text);
    QVERIFY(!printed.intersects(numbers));
    printed.unite(numbers);

    // A page that begins after the last row carries the closing block only.
    const bool has_rows = !numbers.isEmpty();
    QCOMPARE(text.contains(TITLE), has_rows);
    QCOMPARE(text.contains(QRegularExpression("Make:\\s+Wenzel")), has_rows);
    QCOMPARE(text.contains(QStringLiteral("Page %1").arg(page + 1)), has_rows);
    QCOMPARE(text.contains(QStringLiteral("Metrova")), has_rows);

    const bool last = page == texts.size() - 1;
    QCOMPARE(Lines(text).contains("Legend"), last && legend);
    QCOMPARE(text.contains(LEGEND_NOTE), last && legend);
  }
  QCOMPARE(printed, Range(1, count));
}

void TSpecificationReportTest::heading_at_page_end()
{
  // A heading that starts on the last row of a page is drawn there; the row after it moves on.
  QList<QStringList> rows = Numbered_Rows(d_rows_per_page - 1);
  rows.append({QStringLiteral("    CMMA")});
  rows.append({"Last", "1.8", "EST", "Maximum probe error"});

  QStringList texts;
  QVERIFY(Write_Report(Report(QStringLiteral("heading.pdf")), rows, &texts));
  QCOMPARE(texts.size(), 2);
  QVERIFY(Lines(texts.at(0)).contains("CMMA"));
  QVERIFY(!texts.at(0).contains(QStringLiteral("Last")));
  QVERIFY(Lines(texts.at(1)).contains("Last 1.8 EST Maximum probe error"));
  QVERIFY(texts.at(1).contains(QStringLiteral("Page 2")));
  QVERIFY(!Lines(texts.at(1)).contains("CMMA"));
}

void TSpecificationReportTest::replaces_existing_when_complete()
{
  const QString file_name = Report(QStringLiteral("report.pdf"));
  QVERIFY(TestSupport::Write_File(file_name, "an older report"));
  // The "User" bits describe the current user's access, not the file's mode.
  const QFile::Permissions user_bits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
  const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
  QVERIFY(QFile::setPermissions(file_name, permissions));

  // Written under a file size limit smaller than the report, it fails and says where.
  const QString child = TestSupport::Child_Report(
      [&file_name]
      {
        QString error_text;
        return TSpecificationReport::Write(file_name, "Nikon", "Altera", "SP25", Numbered_Rows(200),
                                           &error_text)
                   ? QStringLiteral("written")
                   : error_text;
      },
      4096);
  QVERIFY2(child.contains(file_name), qPrintable(child));
  QCOMPARE(File_Bytes(file_name), QByteArray("an older report"));
  QCOMPARE(Folder_Entries(d_reports), QStringList{"report.pdf"});
  // Killed by that limit's signal half way, it leaves nothing beside the report either.
  const pid_t killed = fork();
  if (killed == 0)
  {
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    TSpecificationReport::Write(file_name, "Nikon", "Altera", "SP25", Numbered_Rows(200), nullptr);
    _exit(0);
  }
  int status = 0;
  QCOMPARE(waitpid(killed, &status, 0), killed);
  QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
  QCOMPARE(Folder_Entries(d_reports), QStringList{"report.pdf"});

  QStringList texts;
  QVERIFY(Write_Report(file_name, Numbered_Rows(200), &texts));
  QVERIFY(File_Bytes(file_name).size() > 4096);
  QCOMPARE(QFile::permissions(file_name) & ~user_bits, permissions);
  QCOMPARE(Folder_Entries(d_reports), QStringList{"report.pdf"});
  QVERIFY(Lines(texts.at(0)).contains("Model: LH 87"));
}

// A verification report states what its stored verdict rests on, keeps a retest beside the results
// it repeats, runs a long note on over pages, and leaves no page to a closing sentence alone.
void TSpecificationReportTest::verification_report()
{
  TVerificationRecord record;
  record.number = 7;
  record.date = QDate(2024, 5, 6);
  record.temperature = 20.4;
  record.uncertainty = "0.3+0.4L/1000";
  for (int index = 0; index < 2500; ++index)
    record.notes += QStringLiteral("note%1 ").arg(index);
  for (int result = 0; result < 36; ++result)
    record.results.append(
        {100.0 + 100 * (result / 3), "P1", result % 3 + 1, result == 1 ? 9 : 1.0, result >= 33});
  record.results[33].length = record.results[34].length = record.results[35].length = 100.0;
  const TVerificationJudgement::TJudgement judged = TVerificationJudgement::Judge(
      record, {TestSupport::Record("Acme", "X1", "Standard", "10360 E0=1.5+3.3L/1000")});
  TVerificationJudgement::TJudgement judgement = judged;
  judgement.frozen = TVerificationJudgement::FROZEN_ON_UPGRADE;
  const QString file_name = Report("record.pdf");
  QString error;
  QVERIFY2(TVerificationReport::Write(file_name, "Acme", "X1", "Standard", record, judgement,
                                      {"the catalogue's E0 is now 9.0+9.0L/1000 \u00b5m"}, &error),
           qPrintable(error));
  QStringList pages;
  QVERIFY(Pdf_Pages(file_name, &pages));
  const QString text = pages.join(' ').simplified();
  for (const char *stated :
       {"E0 = 1.5+3.3L/1000 \u00b5m, stated by the manufacturer", "Uncertainty U: 0.3+0.4L/1000",
        "Air temperature: 20.4 \u00b0C", "Decision rule: simple", "Verdict: conforms",
        "frozen on upgrade", "1 set judged by its retest", "replaced by retest",
        "Today the catalogue's E0 is now 9.0+9.0L/1000 \u00b5m; the verdict stands as stored."})
    QVERIFY2(text.contains(QString::fromUtf8(stated)), stated);
  for (int index = 0; index < 2500; ++index)
    QVERIFY2(text.contains(QStringLiteral("note%1 ").arg(index)),
             qPrintable(QString::number(index)));
  for (const QString &page : qAsConst(pages))
  {
    // Besides the title, the machine and the footer.
    const QStringList lines = Lines(page).filter(QRegularExpression("\\S"));
    QVERIFY2(lines.size() > 6, qPrintable(page));
  }
}

QTEST_MAIN(TSpecificationReportTest)
#include "tst_specificationreport.moc"
