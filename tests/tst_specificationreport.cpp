#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "specificationreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
const QString TITLE = QStringLiteral("Coordinate Measuring Machine Specifications");
const QString LEGEND_NOTE =
    QStringLiteral("All expression results in um (micrometers) unless otherwise specified.");

// One stored component per standard, with the text typed in um and the text the report shows.
struct TSample
{
  QString standard;
  QString heading;
  QString component;
  QString typed;
  QString shown;
  QString description;
};

const QList<TSample> &Samples()
{
  static const QList<TSample> samples = {
      {"10360", "  ASME B89.4.10360, ISO/IEC 10360", "E0", "1.5+3.3L/1000", "1.5+3.3L/1000",
       "Maximum length error"},
      {"VDIVDE_2617", "    VDIVDE_2617", "U3", "2.5+4l/1000|8", "2.5+4.0L/1000|8.0",
       "Maximum length error in three axis"},
      {"B89.4.1", "    ASME B89.4.1", "Volume", "(2 + 0.5Td)/300", "(2.0+0.50Td)/300",
       "Maximum length variation of a ballbar"},
      {"CMMA", "    CMMA", "G", "1.8", "1.8", "Maximum probe error"}};
  return samples;
}

TSample Sample(const QString &standard)
{
  for (const TSample &sample : Samples())
    if (sample.standard == standard)
      return sample;
  return TSample();
}

QStringList Row(const QString &component, const QString &expression, const QString &source,
                const QString &description)
{
  return {component, expression, source, description};
}

// A report of numbered rows "Row1", "Row2", ... with no headings.
QList<QStringList> Numbered_Rows(int count)
{
  QList<QStringList> rows;
  for (int index = 1; index <= count; ++index)
    rows.append(Row(QStringLiteral("Row%1").arg(index), QStringLiteral("1.5+3.3L/1000"),
                    QStringLiteral("MFG"), QStringLiteral("Maximum length error")));
  return rows;
}

// The text of each page, as pdftotext lays it out.
bool Pdf_Pages(const QString &file_name, QStringList *pages)
{
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file_name, "-"});
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
  {
    qWarning() << "pdftotext failed on" << file_name << process.readAllStandardError();
    return false;
  }
  *pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
  pages->removeLast(); // every page ends with a form feed
  return true;
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

int Line_Index(const QStringList &lines, const QString &text)
{
  for (int index = 0; index < lines.size(); ++index)
    if (lines.at(index).trimmed() == text.trimmed())
      return index;
  return -1;
}

QStringList Folder_Entries(const QString &path)
{
  return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray File_Bytes(const QString &file_name)
{
  QFile file(file_name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TSpecificationReportTest : public QObject
{
  Q_OBJECT

private slots:
  void initTestCase();
  void init();
  void cleanup();

  void Build_Rows_Order_data();
  void Build_Rows_Order();
  void Build_Rows_Content();
  void Build_Rows_Unreadable();
  void Appended_Pdf_Suffix_data();
  void Appended_Pdf_Suffix();

  void Write_Machine_Report();
  void Write_Page_Breaks_data();
  void Write_Page_Breaks();
  void Write_Heading_At_Page_End();
  void Write_Replaces_Existing();

  void Write_Failure_data();
  void Write_Failure();
  void Write_File_Size_Limit();

private:
  bool Store(const QString &make, const QString &model, const QString &option,
             const QString &standard, const QList<QStringList> &items);

  std::unique_ptr<QTemporaryDir> d_folder;
  std::unique_ptr<TDatabase> d_database;
  QString d_reports; // the reports' own folder, apart from the database files
  int d_rows_per_page = 0;
};

// Stores items given as {component, expression in um, source}.
bool TSpecificationReportTest::Store(const QString &make, const QString &model,
                                     const QString &option, const QString &standard,
                                     const QList<QStringList> &items)
{
  TDatabaseItem record;
  record.Set_Make(make);
  record.Set_Model(model);
  record.Set_Option(option);
  record.Set_Standard(standard);
  for (const QStringList &fields : items)
  {
    TSpecificationItem item;
    item.name = fields.at(0);
    item.expression.Set_Expression(fields.at(1), TExpressionItem::UNITS_UM);
    item.source = fields.at(2).toInt();
    record.Add_Specification_Item(item);
  }
  if (!d_database->Write_Specification(record))
  {
    qWarning() << d_database->Last_Error();
    return false;
  }
  return true;
}

void TSpecificationReportTest::initTestCase()
{
  QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
           "pdftotext (poppler-utils) is needed");

  // Rows per page depend on the default page size and the fonts found, so they are read from a
  // report that spans pages: the first page holds exactly that many rows.
  QTemporaryDir folder;
  QVERIFY(folder.isValid());
  const QString file_name = folder.filePath(QStringLiteral("long.pdf"));
  QString error_text;
  QVERIFY2(TSpecificationReport::Write(file_name, "Make", "Model", "Option", Numbered_Rows(300),
                                       &error_text),
           qPrintable(error_text));
  QStringList pages;
  QVERIFY(Pdf_Pages(file_name, &pages));
  QVERIFY(pages.size() >= 3);
  d_rows_per_page = Row_Numbers(pages.at(0)).size();
  QVERIFY2(d_rows_per_page > 20, qPrintable(QString::number(d_rows_per_page)));
  QCOMPARE(Row_Numbers(pages.at(0)), Range(1, d_rows_per_page));
  QCOMPARE(Row_Numbers(pages.at(1)), Range(d_rows_per_page + 1, 2 * d_rows_per_page));
}

void TSpecificationReportTest::init()
{
  d_folder = std::make_unique<QTemporaryDir>();
  QVERIFY(d_folder->isValid());
  d_database = std::make_unique<TDatabase>(QStringLiteral("tst_specificationreport"));
  QVERIFY2(d_database->Connect(d_folder->filePath(QStringLiteral("catalogue.db"))),
           qPrintable(d_database->Last_Error()));
  QVERIFY2(d_database->Initialize(), qPrintable(d_database->Last_Error()));
  d_reports = d_folder->filePath(QStringLiteral("reports"));
  QVERIFY(QDir().mkpath(d_reports));
}

void TSpecificationReportTest::cleanup()
{
  d_database.reset();
  d_folder.reset();
}

void TSpecificationReportTest::Build_Rows_Order_data()
{
  QTest::addColumn<QStringList>("stored");

  QTest::newRow("catalogue order") << QStringList{"10360", "B89.4.1", "VDIVDE_2617", "CMMA"};
  QTest::newRow("reversed") << QStringList{"CMMA", "VDIVDE_2617", "B89.4.1", "10360"};
  QTest::newRow("without 10360") << QStringList{"CMMA", "B89.4.1", "VDIVDE_2617"};
  QTest::newRow("CMMA only") << QStringList{"CMMA"};
}

void TSpecificationReportTest::Build_Rows_Order()
{
  QFETCH(QStringList, stored);

  for (const QString &standard : stored)
  {
    const TSample sample = Sample(standard);
    QVERIFY(
        Store("Zeiss", "Contura", "VAST XT", standard, {{sample.component, sample.typed, "0"}}));
  }
  // Another machine's rows must not leak into the report.
  QVERIFY(Store("Zeiss", "Contura", "RDS", "10360", {{"Pftu", "1.9", "0"}}));

  QList<QStringList> expected;
  for (const TSample &sample : Samples())
  {
    if (!stored.contains(sample.standard))
      continue;
    expected.append(QStringList{sample.heading});
    expected.append(Row(sample.component, sample.shown, "MFG", sample.description));
  }
  QCOMPARE(TSpecificationReport::Build_Rows(d_database.get(), "Zeiss", "Contura", "VAST XT"),
           expected);
}

void TSpecificationReportTest::Build_Rows_Content()
{
  QVERIFY(Store("Mitutoyo", "Crysta-Apex S", "544", "10360",
                {{"E150", "2.5+3.3L/1000|8", "0"},
                 {"E0", "1.7+3L/1000", "1"},
                 {"Pftu", "1.9", "2"},
                 {"Ts_Max", "25C", "0"}}));

  const QList<QStringList> expected = {
      {"  ASME B89.4.10360, ISO/IEC 10360"},
      Row("E150", "2.5+3.3L/1000|8.0", "MFG", "Maximum length error with probe offset"),
      Row("E0", "1.7+3.0L/1000", "EST", "Maximum length error"),
      Row("Pftu", "1.9", "EST", "Maximum probe form error"),
      Row("Ts_Max", "25.00 C", "MFG", "Maximum volume temperature celsius")};
  QCOMPARE(TSpecificationReport::Build_Rows(d_database.get(), "Mitutoyo", "Crysta-Apex S", "544"),
           expected);
}

void TSpecificationReportTest::Build_Rows_Unreadable()
{
  QVERIFY(Store("Mitutoyo", "Crysta-Apex S", "544", "CMMA", {{"G", "1.8", "0"}}));
  QVERIFY(TSpecificationReport::Build_Rows(d_database.get(), "Mitutoyo", "Crysta-Apex S", "545")
              .isEmpty());
  QVERIFY(TSpecificationReport::Build_Rows(d_database.get(), "mitutoyo", "Crysta-Apex S", "544")
              .isEmpty());

  d_database->Close();
  QVERIFY(TSpecificationReport::Build_Rows(d_database.get(), "Mitutoyo", "Crysta-Apex S", "544")
              .isEmpty());
}

void TSpecificationReportTest::Appended_Pdf_Suffix_data()
{
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("expected");

  QTest::newRow("no extension") << "/home/u/report"
                                << "/home/u/report.pdf";
  QTest::newRow("lower case") << "/home/u/report.pdf"
                              << "/home/u/report.pdf";
  QTest::newRow("upper case") << "/home/u/report.PDF"
                              << "/home/u/report.PDF";
  QTest::newRow("mixed case") << "/home/u/report.pDf"
                              << "/home/u/report.pDf";
  QTest::newRow("other extension") << "/home/u/report.txt"
                                   << "/home/u/report.txt.pdf";
  QTest::newRow("pdf inside the name") << "/home/u/report.pdf.bak"
                                       << "/home/u/report.pdf.bak.pdf";
  QTest::newRow("no dot") << "/home/u/reportpdf"
                          << "/home/u/reportpdf.pdf";
  QTest::newRow("dot only") << "/home/u/report."
                            << "/home/u/report..pdf";
}

void TSpecificationReportTest::Appended_Pdf_Suffix()
{
  QFETCH(QString, name);
  QFETCH(QString, expected);
  QCOMPARE(TSpecificationReport::Appended_Pdf_Suffix(name), expected);
}

void TSpecificationReportTest::Write_Machine_Report()
{
  const QString make = QStringLiteral("Hexagon");
  const QString model = QStringLiteral("Global S 9.15.8");
  const QString option = QStringLiteral("HP-S-X1");
  QVERIFY(Store(make, model, option, "CMMA", {{"G", "1.8", "0"}, {"M", "2.2+3L/1000", "1"}}));
  QVERIFY(Store(make, model, option, "B89.4.1", {{"Volume", "(2+0.5Td)/300", "0"}}));
  QVERIFY(
      Store(make, model, option, "10360", {{"E0", "1.5+3.3L/1000", "0"}, {"Ts_Min", "18C", "0"}}));

  const QList<QStringList> rows =
      TSpecificationReport::Build_Rows(d_database.get(), make, model, option);
  QCOMPARE(rows.size(), 8);
  const QString file_name = QDir(d_reports).filePath(QStringLiteral("hexagon.pdf"));
  QString error_text;
  QVERIFY2(TSpecificationReport::Write(file_name, make, model, option, rows, &error_text),
           qPrintable(error_text));
  QCOMPARE(Folder_Entries(d_reports), QStringList{"hexagon.pdf"});

  QStringList pages;
  QVERIFY(Pdf_Pages(file_name, &pages));
  QCOMPARE(pages.size(), 1);
  const QString text = pages.at(0);
  const QStringList lines = text.split(QLatin1Char('\n'));

  QVERIFY(text.contains(TITLE));
  QVERIFY(text.contains(QRegularExpression("Make:\\s+Hexagon\\s*\\n")));
  QVERIFY(text.contains(QRegularExpression("Model:\\s+Global S 9\\.15\\.8\\s*\\n")));
  QVERIFY(text.contains(QRegularExpression("Option:\\s+HP-S-X1\\s*\\n")));
  QVERIFY(text.contains(QRegularExpression("Component\\s+Expression\\s+Source\\s+Description")));
  QVERIFY(text.contains(QRegularExpression("Page 1\\b")));
  QVERIFY(!text.contains(QStringLiteral("Page 2")));

  const int heading_10360 = Line_Index(lines, "ASME B89.4.10360, ISO/IEC 10360");
  const int heading_b89 = Line_Index(lines, "ASME B89.4.1");
  const int heading_cmma = Line_Index(lines, "CMMA");
  QVERIFY(heading_10360 > 0);
  QVERIFY(heading_b89 > heading_10360);
  QVERIFY(heading_cmma > heading_b89);
  QCOMPARE(Line_Index(lines, "VDIVDE_2617"), -1);

  int previous_line = heading_10360;
  for (const QStringList &row : rows)
  {
    if (row.size() != TSpecificationReport::SPECIFICATION_ROW_SIZE)
      continue;
    const QRegularExpression pattern(QStringLiteral("^\\s+%1\\s+%2\\s+%3\\s+%4\\s*$")
                                         .arg(QRegularExpression::escape(row.at(0)),
                                              QRegularExpression::escape(row.at(1)), row.at(2),
                                              QRegularExpression::escape(row.at(3))));
    int line = previous_line + 1;
    while (line < lines.size() && !pattern.match(lines.at(line)).hasMatch())
      ++line;
    QVERIFY2(line < lines.size(), qPrintable(row.join(QLatin1Char(' '))));
    previous_line = line;
  }
  QVERIFY(Line_Index(lines, "Legend") > previous_line);
  QVERIFY(text.contains(QRegularExpression("EST\\s+Estimated specification derived from "
                                           "manufacturer specifications")));
  QVERIFY(text.contains(LEGEND_NOTE));
}

void TSpecificationReportTest::Write_Page_Breaks_data()
{
  // The report has full_pages * R + extra rows, with R rows per page.
  QTest::addColumn<int>("full_pages");
  QTest::addColumn<int>("extra");
  QTest::addColumn<int>("pages");
  QTest::addColumn<bool>("legend");

  QTest::newRow("no rows") << 0 << 0 << 1 << true;
  QTest::newRow("legend fits") << 1 << -11 << 1 << true;
  QTest::newRow("legend left out") << 1 << -10 << 1 << false;
  QTest::newRow("page one row short") << 1 << -1 << 1 << false;
  QTest::newRow("last row fills the page") << 1 << 0 << 2 << true;
  QTest::newRow("second page") << 1 << 5 << 2 << true;
  QTest::newRow("second page, legend left out") << 2 << -10 << 2 << false;
}

void TSpecificationReportTest::Write_Page_Breaks()
{
  QFETCH(int, full_pages);
  QFETCH(int, extra);
  QFETCH(int, pages);
  QFETCH(bool, legend);

  const int count = full_pages * d_rows_per_page + extra;
  const QString file_name = QDir(d_reports).filePath(QStringLiteral("long.pdf"));
  QString error_text;
  QVERIFY2(TSpecificationReport::Write(file_name, "Wenzel", "LH 87", "Phoenix",
                                       Numbered_Rows(count), &error_text),
           qPrintable(error_text));

  QStringList texts;
  QVERIFY(Pdf_Pages(file_name, &texts));
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
    QCOMPARE(text.contains(QRegularExpression("^Legend\\s*$", QRegularExpression::MultilineOption)),
             last && legend);
    QCOMPARE(text.contains(LEGEND_NOTE), last && legend);
  }
  QCOMPARE(printed, Range(1, count));
}

void TSpecificationReportTest::Write_Heading_At_Page_End()
{
  // A heading that starts on the last row of a page is drawn there; the row after it moves on.
  QList<QStringList> rows = Numbered_Rows(d_rows_per_page - 1);
  rows.append(QStringList{QStringLiteral("    CMMA")});
  rows.append(Row("Last", "1.8", "EST", "Maximum probe error"));

  const QString file_name = QDir(d_reports).filePath(QStringLiteral("heading.pdf"));
  QString error_text;
  QVERIFY2(TSpecificationReport::Write(file_name, "Wenzel", "LH 87", "Phoenix", rows, &error_text),
           qPrintable(error_text));
  QStringList texts;
  QVERIFY(Pdf_Pages(file_name, &texts));
  QCOMPARE(texts.size(), 2);
  QVERIFY(Line_Index(texts.at(0).split('\n'), "CMMA") > 0);
  QVERIFY(!texts.at(0).contains(QStringLiteral("Last")));
  QVERIFY(texts.at(1).contains(QRegularExpression("Last\\s+1\\.8\\s+EST\\s+Maximum probe error")));
  QVERIFY(texts.at(1).contains(QStringLiteral("Page 2")));
  QCOMPARE(Line_Index(texts.at(1).split('\n'), "CMMA"), -1);
}

void TSpecificationReportTest::Write_Replaces_Existing()
{
  const QString file_name = QDir(d_reports).filePath(QStringLiteral("report.pdf"));
  QFile old_file(file_name);
  QVERIFY(old_file.open(QIODevice::WriteOnly));
  QVERIFY(old_file.write("an older report") > 0);
  old_file.close();
  // The "User" bits describe the current user's access, not the file's mode.
  const QFile::Permissions user_bits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
  const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
  QVERIFY(QFile::setPermissions(file_name, permissions));

  QString error_text;
  QVERIFY2(TSpecificationReport::Write(file_name, "Nikon", "Altera 10.7.5", "SP25",
                                       Numbered_Rows(3), &error_text),
           qPrintable(error_text));
  QVERIFY(File_Bytes(file_name).startsWith("%PDF-"));
  QCOMPARE(QFile::permissions(file_name) & ~user_bits, permissions);
  QCOMPARE(Folder_Entries(d_reports), QStringList{"report.pdf"});
  QStringList texts;
  QVERIFY(Pdf_Pages(file_name, &texts));
  QVERIFY(texts.at(0).contains(QRegularExpression("Model:\\s+Altera 10\\.7\\.5")));
}

void TSpecificationReportTest::Write_Failure_data()
{
  QTest::addColumn<QString>("target");
  QTest::addColumn<bool>("make_folder");

  QTest::newRow("folder missing") << "missing/report.pdf" << false;
  QTest::newRow("nested folder missing") << "missing/deeper/report.pdf" << false;
  QTest::newRow("target is a folder") << "report.pdf" << true;
}

void TSpecificationReportTest::Write_Failure()
{
  QFETCH(QString, target);
  QFETCH(bool, make_folder);

  const QString file_name = QDir(d_reports).filePath(target);
  if (make_folder)
    QVERIFY(QDir().mkpath(file_name));
  const QStringList before = Folder_Entries(d_reports);

  QString error_text;
  QVERIFY(!TSpecificationReport::Write(file_name, "Nikon", "Altera", "SP25", Numbered_Rows(3),
                                       &error_text));
  QVERIFY2(error_text.contains(QDir::toNativeSeparators(file_name)), qPrintable(error_text));
  QCOMPARE(Folder_Entries(d_reports), before);
  QCOMPARE(QFileInfo(file_name).isDir(), make_folder);

  // Without an error text the failure is still reported.
  QVERIFY(!TSpecificationReport::Write(file_name, "Nikon", "Altera", "SP25", Numbered_Rows(3),
                                       nullptr));
}

void TSpecificationReportTest::Write_File_Size_Limit()
{
  const QString file_name = QDir(d_reports).filePath(QStringLiteral("report.pdf"));
  QString error_text;
  QVERIFY2(TSpecificationReport::Write(file_name, "Nikon", "Altera", "SP25", Numbered_Rows(5),
                                       &error_text),
           qPrintable(error_text));
  const QByteArray existing = File_Bytes(file_name);
  QVERIFY(existing.size() > 4096);

  // The child writes a longer report under a file size limit smaller than either report.
  const pid_t child = fork();
  QVERIFY(child >= 0);
  if (child == 0)
  {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
      _exit(3);
    QString child_error;
    const bool written = TSpecificationReport::Write(file_name, "Nikon", "Altera", "SP25",
                                                     Numbered_Rows(200), &child_error);
    if (written)
      _exit(0);
    _exit(child_error.contains(file_name) ? 1 : 2);
  }

  int status = 0;
  QCOMPARE(waitpid(child, &status, 0), child);
  QVERIFY(WIFEXITED(status));
  QCOMPARE(WEXITSTATUS(status), 1);
  QCOMPARE(File_Bytes(file_name), existing);
  QCOMPARE(Folder_Entries(d_reports), QStringList{"report.pdf"});
}

QTEST_MAIN(TSpecificationReportTest)
#include "tst_specificationreport.moc"
