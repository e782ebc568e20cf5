#include "chartlegend.h"
#include "comparemachinesdialog.h"
#include "exportoptionsdialog.h"
#include "guitestsupport.h"
#include "invalidmarker.h"
#include "limitschartview.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"
#include "statictextdelegate.h"
#include "verificationchartview.h"
#include "verificationresults.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

using GuiTestSupport::Child;
using GuiTestSupport::Finish_Editing;

namespace
{
const QString MAKE = QStringLiteral("Make");
const QString MODEL = QStringLiteral("Model");
const QString OPTION = QStringLiteral("Option");

const int COLUMN_EXPRESSION = 2;
const int COLUMN_STATUS = 3;

// The machine whose names the editor finds.
const QStringList MACHINE = {"10360 E0=2.5+3.2L/1000"};

// Each line of a plot as "name:x,y;..." with the points it is drawn through: its ends and where
// it bends.
QStringList Plotted(QWidget *parent, const char *name)
{
  QStringList lines;
  for (QtCharts::QAbstractSeries *series : Child<TLimitsChartView>(parent, name)->chart()->series())
  {
    QStringList shown;
    for (const QPointF &point : static_cast<QtCharts::QLineSeries *>(series)->pointsVector())
      shown.append(QString::asprintf("%g,%g", point.x(), point.y()));
    lines.append(series->name() + ':' + shown.join(';'));
  }
  return lines;
}

// Each line of a plot as "name:colour dashes", the marker left out.
QMap<QString, QString> Pens(QWidget *parent)
{
  QMap<QString, QString> pens;
  for (QtCharts::QAbstractSeries *series :
       Child<TLimitsChartView>(parent, "comparison_plot")->chart()->series())
  {
    const QPen pen = static_cast<QtCharts::QLineSeries *>(series)->pen();
    QStringList dashes;
    for (const qreal dash : pen.dashPattern())
      dashes.append(QString::number(dash));
    if (series->objectName().isEmpty())
      pens.insert(series->name(), pen.color().name() + ' ' + dashes.join(','));
  }
  return pens;
}

// The legend's entries, once it is clear that none is cut: each text lies inside the legend,
// which lies inside the view and clear of the plot, in place of QtCharts' legend.
QStringList Legend_Entries(QtCharts::QChartView *view)
{
  QCoreApplication::processEvents();
  const TChartLegend *legend = view->findChild<TChartLegend *>();
  const QRect text = legend->Text_Bounds();
  const QRect place = legend->geometry();
  const QRectF plot = view->chart()->plotArea();
  if (view->chart()->legend()->isVisible() || text.left() < 0 ||
      text.right() >= legend->viewport()->width() || text.bottom() > legend->Content_Height() ||
      !view->rect().contains(place) || (place.left() < plot.right() && place.top() < plot.bottom()))
  {
    const auto shown = [](const QRectF &rect) {
      return QString("%1,%2 %3x%4")
          .arg(rect.x())
          .arg(rect.y())
          .arg(rect.width())
          .arg(rect.height());
    };
    return {"cut", shown(text) + " in " + shown(place) + " by " + shown(plot)};
  }
  return legend->Entry_Texts();
}

template <typename T>
T *With_Text(QWidget *parent, const QString &text)
{
  for (T *child : parent->findChildren<T *>())
    if (child->text() == text)
      return child;
  return nullptr;
}

// The editor with the widgets the tests work on.
struct TEditor
{
  TEditor(TDatabase *database, const QString &make, const QString &model, const QString &option,
          const QList<TEditorRow> &rows)
  {
    dialog.Set_Data(database, make, model, option, rows);
  }

  QString Cell(int row, int column) const { return table->item(row, column)->text(); }
  // Commits a text to an expression cell, as the table's editor does.
  void Type(int row, const QString &text) { table->item(row, COLUMN_EXPRESSION)->setText(text); }
  QStringList Labels()
  {
    return {Child<QLabel>(&dialog, "make_status")->text(),
            Child<QLabel>(&dialog, "model_status")->text(),
            Child<QLabel>(&dialog, "option_status")->text()};
  }

  TSpecificationEditorDialog dialog;
  QTableWidget *table = Child<QTableWidget>(&dialog, "specification_table");
  QPushButton *accept = Child<QPushButton>(&dialog, "accept_button");
};

} // namespace

class TDialogsTest : public QObject
{
  Q_OBJECT

private slots:
  void init();
  void cleanup();

  void editor_typed_expression_data();
  void editor_typed_expression();
  void editor_edits_and_accept();
  void editor_names_data();
  void editor_names();

  void limits_plot_and_warning();
  void plot_lines_apart();
  void compare_machines();
  void compare_plot();
  void legends_data();
  void legends();
  void error_plot_corners_data();
  void error_plot_corners();
  void error_plot_grid();
  void static_text_cells_data();
  void static_text_cells();
  void decimal_comma_data();
  void decimal_comma();
  void keyboard_data();
  void keyboard();

  void export_options_data();
  void export_options();

private:
  int Row(const QString &standard, const QString &component) const;

  std::unique_ptr<TestSupport::TTestDatabase> d_database; // holding MACHINE
  QList<TEditorRow> d_rows; // one per catalogue component, as the window builds them
};

void TDialogsTest::init()
{
  TMessageBox::Reset_Test_Answers();
  d_database = std::make_unique<TestSupport::TTestDatabase>();
  QVERIFY(d_database->Is_Valid());
  QVERIFY(d_database->Write(MAKE, MODEL, OPTION, MACHINE));

  d_rows.clear();
  bool valid = false;
  for (const QString &standard : (*d_database)->Standard_Types(&valid))
  {
    for (const QString &component : (*d_database)->Component_Types(standard, &valid))
    {
      TEditorRow row;
      row.standard = standard;
      row.component = component;
      row.description = (*d_database)->Component_Type_Description(standard, component);
      row.expression_types = (*d_database)->Component_Type_Expression_Types(standard, component);
      d_rows.append(row);
    }
  }
}

void TDialogsTest::cleanup()
{
  d_database.reset();
}

int TDialogsTest::Row(const QString &standard, const QString &component) const
{
  for (int index = 0; index < d_rows.size(); ++index)
  {
    if (d_rows.at(index).standard == standard && d_rows.at(index).component == component)
      return index;
  }
  qFatal("no row %s %s", qPrintable(standard), qPrintable(component));
}

void TDialogsTest::editor_typed_expression_data()
{
  QTest::addColumn<QString>("standard");
  QTest::addColumn<QString>("component");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("status");
  QTest::addColumn<QString>("row_expression");
  QTest::addColumn<QString>("hint");

  const char *const constant = "this component accepts: a constant";
  const char *const temperature = "this component accepts: a temperature above 10C and below 40C";
  // clang-format off
  const char *const cases[][6] = {
      {"10360", "E0", "  2.5+3.3L/1000|8 ", "Ok", "2.5+3.3L/1000|8", ""},
      {"10360", "E0", "2/3/4", "Invalid", "", "this component accepts: A/N, A+BL/N, A+BL/N|M, "
                                              "(A+BTd)/N, A+BTd+(C+DTd)L/N"},
      {"10360", "R0", "1.5+3.3L/1000", "Invalid", "", constant}, // a kind the component does not take
      {"B89.4.1", "Volume", "5/500", "Ok", "5/500", ""},
      {"10360", "Ts_Min", "20", "Ok", "20C", ""},
      {"10360", "Ts_Max", "30c", "Ok", "30c", ""},
      {"10360", "Ts_Max", "40", "Invalid", "", temperature},
      {"10360", "Ts_Max", "68F", "Ok", "68F", ""}, // Fahrenheit is not given a C
      {"CMMA", "G", "20", "Ok", "20", ""},
      // Forms used every day, and what to change.
      {"10360", "R0", "3,5", "Invalid", "", "use a decimal point"},
      {"10360", "Ts_Min", "18 °C", "Invalid", "", "write a temperature as 18C"},
      {"10360", "R0", "±2.2", "Invalid", "", "leave out the ±: a value is a limit"},
      {"10360", "E0", "2.2+3L/1000 µm", "Invalid", "", "leave out the unit: values are typed in µm"},
      {"10360", "E150", "(2+0.5td)/300", "Invalid", "", "write Td with a capital T"},
      {"10360", "R0", "±2,2 um", "Invalid", "", "use a decimal point; leave out the ±: a value is a "
                                                "limit; leave out the unit: values are typed in µm"},
      {"10360", "R0", "1234567890", "Invalid", "", "a number is too long or malformed"},
      {"10360", "E0", "1+L/0", "Invalid", "", "a divisor of zero: give the length in millimetres after '/'"},
      {"10360", "E0", "2.5+3.3L/1000|", "Invalid", "", "the maximum after the | is missing"},
      // Values whose stored millimetre text would not read back.
      {"10360", "R0", "12345000", "Invalid", "", "a number longer than the stored form can hold"},
      {"10360", "Ts_Max", "39.999", "Invalid", "", "rounds to 40.00 C; this component accepts: a "
                                                   "temperature above 10C and below 40C"},
  };
  // clang-format on
  for (const auto &c : cases)
    QTest::addRow("%s %s '%s'", c[0], c[1], c[2]) << c[0] << c[1] << c[2] << c[3] << c[4] << c[5];
}

void TDialogsTest::editor_typed_expression()
{
  QFETCH(QString, standard);
  QFETCH(QString, component);
  QFETCH(QString, typed);
  QFETCH(QString, status);
  QFETCH(QString, row_expression);
  QFETCH(QString, hint);

  const int row = Row(standard, component);
  TEditor editor(d_database->Get(), MAKE, MODEL, OPTION, d_rows);
  QVERIFY(!editor.accept->isEnabled());

  // An invalid text first, so that every typed text is a change of the cell.
  editor.Type(row, "x");
  editor.Type(row, typed);

  QCOMPARE(editor.Cell(row, COLUMN_STATUS), status);
  // Why a row is invalid: in its status cell's tool tip, and under the table.
  QCOMPARE(editor.table->item(row, COLUMN_STATUS)->toolTip(), hint);
  QCOMPARE(Child<QLabel>(&editor.dialog, "hint_label")->text(),
           hint.isEmpty() ? hint : standard + ' ' + component + ": " + hint);
  // The cell shows what was typed; only the row's expression gains a unit.
  QCOMPARE(editor.Cell(row, COLUMN_EXPRESSION), typed);
  const TEditorRow edited = editor.dialog.Rows().at(row);
  QCOMPARE(edited.expression, row_expression);
  QCOMPARE(edited.valid, status == QLatin1String("Invalid") ? 0 : 1);
  QCOMPARE(editor.accept->isEnabled(), status != QLatin1String("Invalid"));
  for (int other = 0; other < d_rows.size(); ++other)
  {
    if (other != row)
      QVERIFY(editor.Cell(other, COLUMN_STATUS).isEmpty());
  }
}

void TDialogsTest::editor_edits_and_accept()
{
  const int m = Row("CMMA", "M"), g = Row("CMMA", "G"), u3 = Row("VDIVDE_2617", "U3");
  // Stored expressions are checked on opening: U3 takes no fixed length.
  QList<TEditorRow> stored = d_rows;
  stored[g].expression = QStringLiteral("1.8");
  stored[u3].expression = QStringLiteral("5.0/500");
  TEditor editor(d_database->Get(), MAKE, MODEL, OPTION, stored);
  const auto expression = [&editor](int row) { return editor.dialog.Rows().at(row).expression; };
  QCOMPARE(editor.Cell(g, COLUMN_STATUS), QStringLiteral("Ok"));
  QCOMPARE(editor.Cell(u3, COLUMN_STATUS), QStringLiteral("Invalid"));
  QVERIFY(editor.Cell(m, COLUMN_STATUS).isEmpty());
  QCOMPARE(editor.dialog.Rows().at(u3).valid, 0);
  // Changing a name does not enable Accept while the stored row stays invalid.
  Finish_Editing(Child<QLineEdit>(&editor.dialog, "option_edit"), "Other");
  QVERIFY(!editor.accept->isEnabled());

  // An invalid text keeps the last accepted one, and Accept stays off whatever else is valid.
  editor.Type(m, "1.5+3.3L/1000");
  editor.Type(m, "abc");
  QCOMPARE(editor.Cell(m, COLUMN_STATUS), QStringLiteral("Invalid"));
  QCOMPARE(editor.table->item(m, COLUMN_STATUS)->foreground().color(), QColor(0xb0, 0, 0));
  QCOMPARE(expression(m), QStringLiteral("1.5+3.3L/1000"));
  // Every invalid row says why, the stored one too.
  QCOMPARE(Child<QLabel>(&editor.dialog, "hint_label")->text().split('\n').size(), 2);
  editor.Type(u3, QString());
  editor.Type(g, "3");
  QCOMPARE(editor.Cell(g, COLUMN_STATUS), QStringLiteral("Ok"));
  QVERIFY(!editor.accept->isEnabled());
  editor.Type(m, "2+3L/1000");
  QCOMPARE(expression(m), QStringLiteral("2+3L/1000"));
  QVERIFY(editor.accept->isEnabled());

  // Blanks clear the row, which is then valid.
  editor.Type(m, "x");
  QVERIFY(!editor.accept->isEnabled());
  editor.Type(m, "  ");
  QVERIFY(editor.Cell(m, COLUMN_STATUS).isEmpty());
  QVERIFY(expression(m).isEmpty());
  QVERIFY(editor.accept->isEnabled());

  // Reloading starts every row valid again, with Accept off until the next edit.
  editor.Type(m, "x");
  editor.dialog.Set_Data(d_database->Get(), MAKE, MODEL, OPTION, d_rows);
  QVERIFY(!editor.accept->isEnabled());
  for (const TEditorRow &row : editor.dialog.Rows())
    QCOMPARE(row.valid, 1);
  QVERIFY(editor.Cell(m, COLUMN_STATUS).isEmpty());
}

void TDialogsTest::editor_names_data()
{
  // Three names each, separated by '|'.
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("cleaned");
  QTest::addColumn<QString>("labels");
  QTest::addColumn<bool>("accept");

  // clang-format off
  QTest::newRow("make only, cleaned") << "Ma:ke||" << "Make||" << "Exists||" << false;
  // Inner blanks are simplified as the import reads names, so an exported name comes back.
  QTest::newRow("new model") << "Make|Other  Model|Option" << "Make|Other Model|Option" << "Exists||" << true;
  QTest::newRow("new make") << "Other|Model|Option" << "Other|Model|Option" << "||" << true;
  QTest::newRow("model name under other make") << "Other|Model|" << "Other|Model|" << "||" << false;
  // Which characters go is the name-cleaning rule's; here each field is cleaned in place.
  QTest::newRow("all three cleaned") << "M'ake|Mo,del|Op:tion" << "Make|Model|Option"
                                     << "Exists|Exists|Exists" << true;
  // Accept is decided on the cleaned names.
  QTest::newRow("name of removed characters only") << ":,:|Model|Option" << "|Model|Option" << "||"
                                                   << false;
  // A new name has at most 255 characters.
  QTest::newRow("longest new name") << "Make|Model|" + QString(255, 'o') << "Make|Model|" + QString(255, 'o') << "Exists|Exists|" << true;
  QTest::newRow("new name too long") << "Make|Model|" + QString(256, 'o') << "Make|Model|" + QString(256, 'o') << "Exists|Exists|" << false;
  // clang-format on
}

void TDialogsTest::editor_names()
{
  QFETCH(QString, typed);
  QFETCH(QString, cleaned);
  QFETCH(QString, labels);
  QFETCH(bool, accept);

  TEditor editor(d_database->Get(), QString(), QString(), QString(), d_rows);
  editor.dialog.show();
  QLineEdit *fields[] = {Child<QLineEdit>(&editor.dialog, "make_edit"),
                         Child<QLineEdit>(&editor.dialog, "model_edit"),
                         Child<QLineEdit>(&editor.dialog, "option_edit")};
  const QStringList names = typed.split('|');
  fields[0]->setText(names.at(0));
  fields[1]->setText(names.at(1));
  Finish_Editing(fields[2], names.at(2));

  const QStringList texts = {editor.dialog.Make_Text(), editor.dialog.Model_Text(),
                             editor.dialog.Option_Text()};
  QCOMPARE(texts, cleaned.split('|'));
  QCOMPARE(editor.Labels(), labels.split('|'));
  QCOMPARE(editor.accept->isEnabled(), accept);
  // A name refused for its length says why.
  QCOMPARE(Child<QLabel>(&editor.dialog, "hint_label")->text(),
           QString(texts.at(2).size() > 255 ? "The option name is 256 characters long; a new "
                                              "name may have at most 255."
                                            : ""));
  // Return in a name field never closes the editor.
  QVERIFY(editor.dialog.isVisible());
}

void TDialogsTest::limits_plot_and_warning()
{
  TSpecificationLimitsDialog dialog;
  for (const char *record :
       {"10360 E0=2.5+3.2L/1000|8 E150=1+0.1Td+(2+0.2Td)L/1000 Ts_Min=18C Ts_Max=30C",
        "B89.4.1 Repeat=2.2 Volume=5/500", "VDIVDE_2617 U3=1+2L/1000", "CMMA M=1.5+3.4L/1000"})
    dialog.Add_Database_Item(TestSupport::Record(MAKE, MODEL, OPTION, record));
  dialog.Update_Limits();
  dialog.show();
  QLineEdit *temperature = Child<QLineEdit>(&dialog, "actual_temperature_edit");
  const QLabel *warning = Child<QLabel>(&dialog, "temperature_warning");

  // The lengths' limits from 0 to 2000 mm: the ballbar's only near its 500 mm, E0's capped at 8.
  QCOMPARE(
      Plotted(&dialog, "limits_plot"),
      QStringList({"B89.4.1 Ballbar:405,5;595,5", "10360-2 E0:0,2.5;1715,7.988;1720,8;2000,8",
                   "10360-2 E150:0,1;2000,5", "VDIVDE 2617 U3 (same as 10360-2 E150):0,1;2000,5",
                   "CMMA M:0,1.5;2000,8.3", "Measurement Length:1000,0;1000,10"}));
  QVERIFY(!warning->isVisible());
  Finish_Editing(temperature, "31");
  QVERIFY(warning->isVisible());
  QCOMPARE(warning->text(), "31.0 °C is outside this machine's stated range 18.00 °C to 30.00 °C: "
                            "its limits do not apply");
  // A temperature that is no number is marked; nothing computed from another one stays plain.
  Finish_Editing(temperature, "abc");
  QVERIFY(Child<TInvalidMarker>(&dialog, "actual_temperature_invalid")->Is_Shown());
  QVERIFY(!warning->isVisible() && !Child<QLineEdit>(&dialog, "cmma_m_result")->isEnabled());
  QCOMPARE(Plotted(&dialog, "limits_plot").size(), 1);
  Finish_Editing(temperature, "30");
  QVERIFY(!warning->isVisible() && Child<QLineEdit>(&dialog, "cmma_m_result")->isEnabled());
  // The plot follows the temperature and its own length; the marked length lies beyond it.
  Finish_Editing(Child<QLineEdit>(&dialog, "measurement_length_edit"), "2000");
  Finish_Editing(Child<QLineEdit>(&dialog, "plot_length_edit"), "500");
  QCOMPARE(Plotted(&dialog, "limits_plot").at(2), "10360-2 E150:0,2;500,4");
  QCOMPARE(Plotted(&dialog, "limits_plot").size(), 5);
}

// Eight lines, the last equal to the third: each its own colour, and the equal one dashed over
// the other and named after it.
void TDialogsTest::plot_lines_apart()
{
  QList<TLimitsChartView::TCurve> curves;
  for (int index = 0; index < 8; ++index)
  {
    const double value = index == 7 ? 2.0 : index;
    curves.append({QString::number(index), {{0.0, value}, {1.0, value}}});
  }
  TLimitsChartView view;
  view.Set_Curves(curves, 1.0, std::nan(""), QString());
  QSet<QRgb> colours;
  QStringList names;
  for (QtCharts::QAbstractSeries *series : view.chart()->series())
  {
    const QPen pen = static_cast<QtCharts::QLineSeries *>(series)->pen();
    colours.insert(pen.color().rgb());
    names.append(series->name() + (pen.style() == Qt::SolidLine ? "" : " dashed"));
  }
  QCOMPARE(colours.size(), 8);
  QCOMPARE(names, QStringList({"0", "1", "2", "3", "4", "5", "6", "7 (same as 2) dashed"}));
}

void TDialogsTest::compare_machines()
{
  QVERIFY(
      d_database->Write("Acme", "X1", "Standard", {"10360 E0=1+1L/1000 Ts_Min=18C Ts_Max=22C"}));
  QVERIFY(
      d_database->Write("Beta", "Y2", "Rotary", {"10360 E0=3+2L/1000|5#1", "CMMA M=1+1L/1000"}));
  TCompareMachinesDialog dialog;
  QVERIFY(dialog.Set_Database(d_database->Get()));
  dialog.show();
  QListView *list = Child<QListView>(&dialog, "catalogue_list");
  QTableView *table = Child<QTableView>(&dialog, "comparison_table");
  const auto rows = [table]()
  {
    QStringList shown;
    for (int row = 0; row < table->model()->rowCount(); ++row)
      shown.append(QStringLiteral("%1 %2").arg(table->model()->index(row, 0).data().toString(),
                                               table->model()->index(row, 5).data().toString()));
    return shown;
  };

  // The filter's clear button fades in and out through animations that Qt leaves without a
  // parent; each deletes itself only when it has run to its end, so let it.
  QLineEdit *filter = Child<QLineEdit>(&dialog, "filter_edit");
  const auto fade = [filter](const QString &text, double opacity)
  {
    filter->setText(text);
    QTRY_COMPARE(filter->findChild<QToolButton *>()->property("opacity").toDouble(), opacity);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  fade("X1 acme", 1);
  QCOMPARE(list->model()->rowCount(), 1);
  fade("", 0);
  list->selectAll();
  Child<QPushButton>(&dialog, "add_button")->click();
  Child<QLineEdit>(&dialog, "feature_length_edit")->setText("500");
  Child<QLineEdit>(&dialog, "temperature_edit")->setText("23");
  Finish_Editing(Child<QLineEdit>(&dialog, "tolerance_edit"), "40");
  table->sortByColumn(5, Qt::DescendingOrder);
  QCOMPARE(rows(), QStringList({"Acme 13.33", "Beta 5.00", "Make 4.88"}));

  // The CSV in the table's order, through the file dialog seam, typed without its extension, and
  // the settings it answers first.
  TFileDialog::Queue_File_Name(d_database->Path("comparison"));
  Child<QPushButton>(&dialog, "export_button")->click();
  // Each setting is one cell: quoted where it holds the separator.
  const QString caveat = "# " + QLatin1String(TCapability::CAVEAT);
  const QString settings = "# Component: 10360 E0\n\"# Lengths: 100, 500, 1000 mm\"\n# "
                           "Temperature: 23.0 C\n# Feature length: 500 mm\n# Tolerance span: 40 "
                           "um\n# Required ratio: 4:1\n\"" +
                           caveat + "\"\n";
  const QString csv =
      "Make,Model,Option,Source,E0 at 500 mm (um),Ratio,Verdict,E0 at 100 mm (um),"
      "E0 at 500 mm (um),E0 at 1000 mm (um),Temperature\n"
      "Acme,X1,Standard,MFG,1.5,13.33,Outside temperature range,1.1,1.5,2.0,outside 18.00 C to "
      "22.00 C\n"
      "Beta,Y2,Rotary,EST,4.0,5.00,Capable,3.2,4.0,5.0,\n"
      "Make,Model,Option,MFG,4.1,4.88,Capable,2.82,4.1,5.7,\n";
  QCOMPARE(QString::fromUtf8(TestSupport::File_Bytes(d_database->Path("comparison.csv"))),
           settings + csv);
  QPushButton *copy = Child<QPushButton>(&dialog, "copy_button");
  copy->click();
  QCOMPARE(QGuiApplication::clipboard()->text(),
           QString(settings).remove('"') + QString(csv).replace(',', '\t'));
  QVERIFY(Child<QLabel>(&dialog, "status_label")->text().startsWith("3 rows copied"));
  // A file that cannot be written is reported, and the earlier one stays.
  TFileDialog::Queue_File_Name(d_database->Path("missing/comparison.csv"));
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Child<QPushButton>(&dialog, "export_button")->click();
  QCOMPARE(TMessageBox::Take_Shown_Messages().value(0).heading, "Export Failed");

  // The whole catalogue ranked: only the capable machines, best ratio first, and their lines.
  Child<QRadioButton>(&dialog, "capable_button")->click();
  QCOMPARE(rows(), QStringList({"Beta 5.00", "Make 4.88"}));
  QCOMPARE(Plotted(&dialog, "comparison_plot"),
           QStringList({"Beta Y2 Rotary:0,3;1000,5", "Make Model Option:0,2.5;1000,5.7",
                        "Feature Length:500,0;500,8"}));

  // An input that cannot be used is marked, and nothing computed from the inputs stays; once it
  // is corrected the ranking is back, and the picked machines after it.
  for (const QString field : {"lengths", "tolerance"})
  {
    QLineEdit *edit = Child<QLineEdit>(&dialog, field + "_edit");
    const QString good = edit->text();
    Finish_Editing(edit, field == "lengths" ? "100, abc, -5" : "-3");
    QVERIFY(Child<TInvalidMarker>(&dialog, field + "_invalid")->Is_Shown());
    QVERIFY(rows().isEmpty() && Plotted(&dialog, "comparison_plot").isEmpty());
    QVERIFY(!copy->isEnabled());
    Finish_Editing(edit, good);
    QCOMPARE(rows(), QStringList({"Beta 5.00", "Make 4.88"}));
  }
  Child<QRadioButton>(&dialog, "picked_button")->click();
  QCOMPARE(rows().size(), 3);
}

// Twelve machines, one without E0: every other one drawn in a slot of its own that sorting and
// the temperature leave alone, and the one not drawn named; the column sorted stays sorted when a
// tolerance moves it.
void TDialogsTest::compare_plot()
{
  for (int index = 1; index < 11; ++index)
    QVERIFY(d_database->Write("Nova", QString("N%1").arg(index), "Standard",
                              {QString("10360 E0=%1+%2L/1000").arg(index * 2).arg(index % 4)}));
  QVERIFY(d_database->Write("Solo", "S1", "Probe", {"B89.4.1 Repeat=2"}));
  TCompareMachinesDialog dialog;
  QVERIFY(dialog.Set_Database(d_database->Get()));
  dialog.show();
  Child<QListView>(&dialog, "catalogue_list")->selectAll();
  Child<QPushButton>(&dialog, "add_button")->click();
  QCOMPARE(Child<QLabel>(&dialog, "status_label")->text(), "12 machines compared, 11 drawn");
  QCOMPARE(Child<QLabel>(&dialog, "plot_note")->text(),
           "Not drawn, without a 10360 E0: Solo S1 Probe.");
  const QMap<QString, QString> pens = Pens(&dialog);
  QCOMPARE(pens.size(), 11);
  QCOMPARE(QSet<QString>(pens.cbegin(), pens.cend()).size(), 11);
  QCOMPARE(Legend_Entries(Child<TLimitsChartView>(&dialog, "comparison_plot")), pens.keys());
  const QRectF plot = Child<TLimitsChartView>(&dialog, "comparison_plot")->chart()->plotArea();
  QVERIFY(plot.height() * 3 >= dialog.height());

  QTableView *table = Child<QTableView>(&dialog, "comparison_table");
  table->sortByColumn(5, Qt::DescendingOrder);
  Finish_Editing(Child<QLineEdit>(&dialog, "temperature_edit"), "22");
  QCOMPARE(Pens(&dialog), pens);
  // The others keep theirs when one goes.
  table->selectRow(0);
  Child<QPushButton>(&dialog, "remove_button")->click();
  QMap<QString, QString> kept = pens;
  kept.remove("Nova N10 Standard");
  QCOMPARE(Pens(&dialog), kept);

  Child<QLineEdit>(&dialog, "feature_length_edit")->setText("500");
  Finish_Editing(Child<QLineEdit>(&dialog, "tolerance_edit"), "40");
  const int sorted = table->horizontalHeader()->sortIndicatorSection();
  QCOMPARE(table->model()->headerData(sorted, Qt::Horizontal).toString(), "E0\nat 500 mm\n(µm)");
  QCOMPARE(sorted, 8);
  QCOMPARE(table->model()->index(0, 0).data().toString(), "Nova");
  QCOMPARE(table->model()->index(0, 1).data().toString(), "N9");
}

void TDialogsTest::legends_data()
{
  QTest::addColumn<QString>("chart");
  // An entry that QtCharts cut short.
  QTest::addColumn<QString>("entry");
  // An entry of what was shown before, which must be gone.
  QTest::addColumn<QString>("gone");
  QTest::newRow("limits at its minimum size") << "limits"
                                              << "VDIVDE 2617 U3 (same as 10360-2 E0)"
                                              << "";
  QTest::newRow("limits of another machine") << "limits again"
                                             << "10360-2 E0"
                                             << "VDIVDE 2617 U3 (same as 10360-2 E0)";
  QTest::newRow("errors over length") << "errors"
                                      << "conditional pass"
                                      << "";
  QTest::newRow("errors of a record without U after one with U") << "errors again"
                                                                 << "\u00b1MPE(L)"
                                                                 << "\u00b1(MPE + U)";
  QTest::newRow("errors of a record whose U cannot be read") << "errors unread U"
                                                             << "\u00b1MPE(L)"
                                                             << "\u00b1(MPE + U)";
  QTest::newRow("trend") << "trend"
                         << "100 % of the MPE"
                         << "";
}

// Every entry whole, clear of the plot, in every chart at the smallest size it gets.
void TDialogsTest::legends()
{
  QFETCH(QString, chart);
  QFETCH(QString, entry);
  QFETCH(QString, gone);

  const QList<TDatabaseItem> machine = {
      TestSupport::Record(MAKE, MODEL, OPTION, "10360 E0=1.5+3.3L/1000"),
      TestSupport::Record(MAKE, MODEL, OPTION, "VDIVDE_2617 U3=1.5+3.3L/1000#1")};
  TSpecificationLimitsDialog limits;
  TVerificationChartView view;
  QtCharts::QChartView *shown = &view;
  if (chart.startsWith("limits"))
  {
    for (const TDatabaseItem &record : machine)
      limits.Add_Database_Item(record);
    limits.Update_Limits();
    if (chart == "limits again")
    {
      limits.Set_Identification(MAKE, MODEL, OPTION);
      limits.Add_Database_Item(machine.at(0));
      limits.Update_Limits();
    }
    limits.show();
    limits.resize(limits.minimumSizeHint());
    shown = Child<TLimitsChartView>(&limits, "limits_plot");
  }
  else if (chart.startsWith("errors"))
  {
    TVerificationRecord record;
    record.uncertainty = QStringLiteral("1");
    record.results = {{500.0, QString(), 1, 2.0}, {500.0, QString(), 2, 3.0}};
    // The second record's U: none, or an empty text, which reads as no number.
    const QString second = chart == "errors unread U" ? QString() : QStringLiteral("0");
    for (int times = chart == "errors" ? 1 : 2; times > 0; --times, record.uncertainty = second)
      view.Set_Errors(record, TVerificationJudgement::Judge(record, machine),
                      TVerificationJudgement::Limit_Lines(record, machine, 1000.0), 1000.0);
  }
  else
  {
    view.Set_Trend({{QDate(2024, 1, 5), 80.0, TVerificationJudgement::VERDICT_CONFORMS},
                    {QDate(2024, 6, 5), 105.0, TVerificationJudgement::VERDICT_DOES_NOT_CONFORM}});
  }
  if (shown == &view)
  {
    view.resize(view.minimumSize());
    view.show();
  }
  QStringList names;
  int markers = 0;
  for (QtCharts::QAbstractSeries *series : shown->chart()->series())
  {
    markers += series->objectName() == TLimitsChartView::MARKER_NAME;
    if (static_cast<QtCharts::QXYSeries *>(series)->count() > 0)
      names.append(series->name());
  }
  QVERIFY(markers <= 1);
  names.removeDuplicates();
  const QStringList entries = Legend_Entries(shown);
  QCOMPARE(entries, names);
  QVERIFY(entries.contains(entry));
  QVERIFY(gone.isEmpty() || !entries.contains(gone));
}

void TDialogsTest::error_plot_corners_data()
{
  QTest::addColumn<QVector<QPointF>>("line");
  QTest::addColumn<QVector<QPointF>>("corners");

  QVector<QPointF> straight, capped, flat;
  for (int step = 0; step <= 200; ++step)
  {
    const double length = 5.0 * step;
    straight.append({length, 1.5 + 3.3 * length / 1000.0});
    capped.append({length, std::min(1.0 + length / 100.0, 5.0)});
    flat.append({length, 2.5});
  }
  QTest::newRow("straight") << straight << QVector<QPointF>{{0.0, 1.5}, {1000.0, 4.8}};
  QTest::newRow("capped") << capped << QVector<QPointF>{{0.0, 1.0}, {400.0, 5.0}, {1000.0, 5.0}};
  QTest::newRow("flat") << flat << QVector<QPointF>{{0.0, 2.5}, {1000.0, 2.5}};
  const QVector<QPointF> back = {{0.0, 1.0}, {2.0, 1.0}, {1.0, 1.0}};
  QTest::newRow("turning back") << back << back;
  const QVector<QPointF> unknown = {{0.0, 1.0}, {1.0, std::nan("")}, {2.0, 1.0}};
  QTest::newRow("unknown value") << unknown << unknown;
}

// A sampled limit is drawn through its corners alone, the same line.
void TDialogsTest::error_plot_corners()
{
  QFETCH(QVector<QPointF>, line);
  QFETCH(QVector<QPointF>, corners);
  TVerificationRecord record;
  record.uncertainty = QStringLiteral("0");
  TVerificationJudgement::TLimitLines lines;
  lines.mpe = line;
  TVerificationChartView view;
  view.Set_Errors(record, {}, lines, 1000.0);
  const QVector<QPointF> drawn =
      static_cast<QtCharts::QLineSeries *>(view.chart()->series().value(0))->pointsVector();
  QCOMPARE(drawn.size(), corners.size());
  for (int index = 0; index < drawn.size(); ++index)
  {
    QCOMPARE(drawn.at(index).x(), corners.at(index).x());
    QVERIFY(qFuzzyCompare(drawn.at(index).y(), corners.at(index).y()) ||
            (std::isnan(drawn.at(index).y()) && std::isnan(corners.at(index).y())));
  }
}

// The grid stands at the axes' ticks, the ground between white.
void TDialogsTest::error_plot_grid()
{
  TVerificationRecord record;
  record.uncertainty = QStringLiteral("0");
  TVerificationJudgement::TLimitLines lines;
  lines.mpe = {{0.0, 0.6}, {1000.0, 0.6}};
  TVerificationChartView view;
  view.resize(500, 400);
  view.Set_Errors(record, {}, lines, 1000.0);
  view.show();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  const QImage image = view.grab().toImage();
  const QRectF area = view.chart()->plotArea();
  const auto colour = [&](double x, double y)
  {
    // A whole-pixel line may fall on either pixel beside a fractional place.
    QSet<QRgb> found;
    for (int offset = -1; offset <= 1; ++offset)
      found.insert(image.pixel(view.mapFromScene(QPointF(x, y)) + QPoint(offset, offset)));
    return found;
  };
  const QRgb grid = qRgb(0xe2, 0xe2, 0xe2);
  for (const QtCharts::QAbstractAxis *axis : view.chart()->axes())
  {
    const int ticks = static_cast<const QtCharts::QValueAxis *>(axis)->tickCount();
    QVERIFY(ticks > 2);
    const bool across = axis->orientation() == Qt::Horizontal;
    const double step = (across ? area.width() : area.height()) / (ticks - 1);
    for (int tick = 1; tick < ticks - 1; ++tick)
    {
      // Near the plot's right and top edges, away from the lines and points.
      const double place = (across ? area.left() : area.top()) + tick * step;
      QVERIFY2(across ? colour(place, area.top() + 3).contains(grid)
                      : colour(area.right() - 3, place).contains(grid),
               qPrintable(QString::number(tick)));
      QCOMPARE(across ? colour(place + step / 2, area.top() + 3)
                      : colour(area.right() - 3, place + step / 2),
               QSet<QRgb>{qRgb(255, 255, 255)});
    }
  }
}

void TDialogsTest::static_text_cells_data()
{
  QTest::addColumn<int>("width");
  QTest::newRow("texts fit") << 120;
  QTest::newRow("texts elided") << 40;
}

// Cells drawn from kept text layouts look exactly as the style draws them: aligned, coloured,
// selected, disabled, beside a check box, in a script written from the right, and elided where
// the column is too narrow.
void TDialogsTest::static_text_cells()
{
  QFETCH(int, width);
  QStandardItemModel model(6, 4);
  const QStringList texts = {"pass",
                             "12.5",
                             "0.000123",
                             "conditional pass",
                             "",
                             "replaced",
                             "\u00c6r\u00f8 \u00df",
                             "-3.25 \u00b5m",
                             "\u05e9\u05dc\u05d5\u05dd 12 mm"};
  for (int row = 0; row < model.rowCount(); ++row)
  {
    for (int column = 0; column < model.columnCount(); ++column)
    {
      QStandardItem *item = new QStandardItem(texts.at((row * 4 + column) % texts.size()));
      item->setTextAlignment(column == 1   ? Qt::AlignRight | Qt::AlignVCenter
                             : column == 2 ? Qt::AlignCenter
                                           : Qt::AlignLeft | Qt::AlignVCenter);
      if (row == 2)
        item->setForeground(QColor(200, 0, 0));
      if (row == 3)
        item->setBackground(QColor(0, 200, 0, 40));
      if (row == 4)
        item->setEnabled(false);
      if (column == 3)
      {
        item->setCheckable(true);
        item->setCheckState(row % 2 ? Qt::Checked : Qt::Unchecked);
      }
      model.setItem(row, column, item);
    }
  }
  QImage images[2];
  for (int kind = 0; kind < 2; ++kind)
  {
    QTableView view;
    view.setModel(&model);
    if (kind == 1)
      view.setItemDelegate(new TStaticTextDelegate(&view));
    view.resize(600, 260);
    for (int column = 0; column < model.columnCount(); ++column)
      view.setColumnWidth(column, column == 3 ? 2 * width : width);
    view.selectRow(1);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    images[kind] = view.grab().toImage();
  }
  QCOMPARE(images[1], images[0]);
}

void TDialogsTest::decimal_comma_data()
{
  QTest::addColumn<QString>("dialog");
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("marked");

  const QString hint = "use a decimal point";
  QTest::newRow("limits length") << "limits"
                                 << "measurement_length"
                                 << "2,5" << hint;
  QTest::newRow("limits temperature") << "limits"
                                      << "actual_temperature"
                                      << "20,5" << hint;
  QTest::newRow("limits plot length") << "limits"
                                      << "plot_length"
                                      << "1,5" << hint;
  QTest::newRow("limits, no correction") << "limits"
                                         << "actual_temperature"
                                         << "abc"
                                         << "invalid";
  QTest::newRow("compare tolerance") << "compare"
                                     << "tolerance"
                                     << "2,5" << hint;
  QTest::newRow("compare temperature") << "compare"
                                       << "temperature"
                                       << "2,5" << hint;
  // A span that is a number but not above 0 keeps its own reason.
  QTest::newRow("compare negative tolerance") << "compare"
                                              << "tolerance"
                                              << "-2"
                                              << "invalid";
}

// A decimal comma is answered with its correction wherever a number is typed.
void TDialogsTest::decimal_comma()
{
  QFETCH(QString, dialog);
  QFETCH(QString, field);
  QFETCH(QString, typed);
  QFETCH(QString, marked);

  TSpecificationLimitsDialog limits;
  TCompareMachinesDialog compare;
  QDialog *shown = dialog == "limits" ? static_cast<QDialog *>(&limits) : &compare;
  if (shown == &compare)
    Child<QLineEdit>(shown, "feature_length_edit")->setText("500");
  Finish_Editing(Child<QLineEdit>(shown, field + "_edit"), typed);
  const TInvalidMarker *marker = Child<TInvalidMarker>(shown, field + "_invalid");
  QCOMPARE(marker->text(), marked);
  QCOMPARE(marker->toolTip().endsWith("'" + typed + "': " + marked), marked != "invalid");
  if (shown == &compare)
    QVERIFY(Child<QLabel>(shown, "status_label")->text().contains(marker->toolTip()));
}

void TDialogsTest::keyboard_data()
{
  QTest::addColumn<QString>("dialog");
  QTest::addColumn<QString>("focused");
  QTest::newRow("limits") << "limits"
                          << "measurement_length_edit";
  QTest::newRow("compare") << "compare"
                           << "filter_edit";
  QTest::newRow("editor") << "editor"
                          << "make_edit";
}

// Focus starts on the first field the user can change; in the editor's table Tab goes from
// expression to expression, and leaves the table after the last. Each dialog fits a 1280 x 1024
// screen, with room for the frame, at its default size.
void TDialogsTest::keyboard()
{
  QFETCH(QString, dialog);
  QFETCH(QString, focused);

  TSpecificationLimitsDialog limits;
  TCompareMachinesDialog compare;
  TEditor editor(d_database->Get(), MAKE, MODEL, OPTION, d_rows);
  QDialog *shown = dialog == "limits"    ? static_cast<QDialog *>(&limits)
                   : dialog == "compare" ? static_cast<QDialog *>(&compare)
                                         : &editor.dialog;
  shown->show();
  QVERIFY(QTest::qWaitForWindowActive(shown));
  QCOMPARE(QApplication::focusWidget()->objectName(), focused);
  QVERIFY(shown->width() <= 1270 && shown->height() <= 980);
  if (shown != &editor.dialog)
    return;

  QTableWidget *table = editor.table;
  table->setFocus();
  const int last = table->rowCount() - 1;
  const int rows[] = {0, 1, 0, last};
  const Qt::Key keys[] = {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Tab};
  table->setCurrentCell(rows[0], COLUMN_EXPRESSION);
  for (int step = 0; step < 3; ++step)
  {
    QTest::keyClick(table, keys[step]);
    QCOMPARE(table->currentRow(), rows[step + 1]);
    QCOMPARE(table->currentColumn(), COLUMN_EXPRESSION);
    if (step == 1)
      table->setCurrentCell(last - 1, COLUMN_EXPRESSION);
  }
  QTest::keyClick(table, Qt::Key_Tab);
  QVERIFY(!table->hasFocus());
}

void TDialogsTest::export_options_data()
{
  QTest::addColumn<bool>("choose_selected");
  QTest::addColumn<QString>("button");
  QTest::addColumn<int>("result");

  QTest::newRow("all, continue") << false << "Continue" << int(QDialog::Accepted);
  QTest::newRow("selected, cancel") << true << "Cancel" << int(QDialog::Rejected);
  QTest::newRow("return key") << true << "" << int(QDialog::Accepted);
}

void TDialogsTest::export_options()
{
  QFETCH(bool, choose_selected);
  QFETCH(QString, button);
  QFETCH(int, result);

  TExportOptionsDialog dialog;
  QVERIFY(!dialog.Is_Selected_Specifications());
  QRadioButton *selected = With_Text<QRadioButton>(&dialog, "Selected Specifications");
  QPushButton *push = With_Text<QPushButton>(&dialog, button);
  QVERIFY(selected && (push || button.isEmpty()));
  if (choose_selected)
    selected->click();

  // The choice stays for the next export.
  for (int run = 0; run < 2; ++run)
  {
    QTimer::singleShot(0, &dialog,
                       [&dialog, push]()
                       { push ? push->click() : QTest::keyClick(&dialog, Qt::Key_Return); });
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(dialog.Is_Selected_Specifications(), choose_selected);
  }
}

QTEST_MAIN(TDialogsTest)
#include "tst_dialogs.moc"
