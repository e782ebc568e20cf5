#include "database.h"
#include "databaseitem.h"
#include "exportoptionsdialog.h"
#include "expressionitem.h"
#include "progressdialog.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{
const QString MAKE = QStringLiteral("Make");
const QString MODEL = QStringLiteral("Model");
const QString OPTION = QStringLiteral("Option");
const QString EXISTS = QStringLiteral("Exists");

const int COLUMN_EXPRESSION = 2;
const int COLUMN_STATUS = 3;

struct TStoredItem
{
  const char *standard;
  const char *component;
  const char *expression_um;
};

// One machine with a component behind every limits row, chosen so that no result lies on a
// rounding tie.
const TStoredItem STORED_MACHINE[] = {
    {"10360", "R0", "2"},
    {"10360", "E0", "2.5+3.2L/1000|8"},
    {"10360", "E150", "1+0.1Td+(2+0.2Td)L/1000"},
    {"10360", "Ts_Min", "18C"},
    {"B89.4.1", "Repeat", "2.2"},
    {"B89.4.1", "Volume", "5/500"},
    {"VDIVDE_2617", "V3", "1.8"},
    {"VDIVDE_2617", "U3", "1+2L/1000"},
    {"CMMA", "Repeat", "1.2"},
    {"CMMA", "M", "1.5+3.4L/1000"},
};

// A database file in a temporary folder, initialised and optionally holding STORED_MACHINE.
class TFixture
{
public:
  TFixture() : d_database(QStringLiteral("tst_dialogs_%1").arg(++d_instance_count)) {}

  bool Open()
  {
    if (!d_directory.isValid())
      return false;
    return d_database.Connect(d_directory.filePath(QStringLiteral("catalogue.db"))) &&
           d_database.Initialize();
  }

  bool Store_Machine(const QString &make, const QString &model, const QString &option)
  {
    bool valid = false;
    const QStringList standards = d_database.Standard_Types(&valid);
    if (!valid)
      return false;

    for (const QString &standard : standards)
    {
      TDatabaseItem record;
      record.Set_Make(make);
      record.Set_Model(model);
      record.Set_Option(option);
      record.Set_Standard(standard);
      for (const TStoredItem &stored : STORED_MACHINE)
      {
        if (standard != QLatin1String(stored.standard))
          continue;
        TSpecificationItem item;
        item.name = QLatin1String(stored.component);
        item.expression.Set_Expression(QLatin1String(stored.expression_um),
                                       TExpressionItem::UNITS_UM);
        item.source = TDatabaseItem::SOURCE_MANUFACTURER;
        record.Add_Specification_Item(item);
      }
      if (!d_database.Write_Specification(record))
        return false;
    }
    return true;
  }

  // One editor row per catalogue component, as the window builds them for a new machine.
  QList<TEditorRow> Catalogue_Rows()
  {
    QList<TEditorRow> rows;
    bool valid = false;
    const QStringList standards = d_database.Standard_Types(&valid);
    for (const QString &standard : standards)
    {
      const QStringList components = d_database.Component_Types(standard, &valid);
      for (const QString &component : components)
      {
        TEditorRow row;
        row.standard = standard;
        row.component = component;
        row.description = d_database.Component_Type_Description(standard, component);
        row.expression_types = d_database.Component_Type_Expression_Types(standard, component);
        rows.append(row);
      }
    }
    return rows;
  }

  TDatabase *Database() { return &d_database; }

private:
  static int d_instance_count;
  QTemporaryDir d_directory;
  TDatabase d_database;
};

int TFixture::d_instance_count = 0;

int Row_Index(const QList<TEditorRow> &rows, const QString &standard, const QString &component)
{
  for (int index = 0; index < rows.size(); ++index)
  {
    if (rows.at(index).standard == standard && rows.at(index).component == component)
      return index;
  }
  return -1;
}

QString Cell_Text(const QTableWidget *table, int row, int column)
{
  const QTableWidgetItem *item = table->item(row, column);
  return item ? item->text() : QString();
}

// Types into a cell the way the table's editor commits a text.
void Type_Cell(QTableWidget *table, int row, const QString &text)
{
  table->item(row, COLUMN_EXPRESSION)->setText(text);
}

void Finish_Editing(QLineEdit *field, const QString &text)
{
  field->setText(text);
  QTest::keyClick(field, Qt::Key_Return);
}

template <typename T>
T *Child(QWidget *parent, const char *name)
{
  T *child = parent->findChild<T *>(QLatin1String(name));
  if (!child)
    qFatal("missing child widget %s", name);
  return child;
}
} // namespace

class TDialogsTest : public QObject
{
  Q_OBJECT

private slots:
  // Specification editor.
  void editor_opens_empty();
  void editor_typed_expression_data();
  void editor_typed_expression();
  void editor_invalid_keeps_accepted_text();
  void editor_stored_expressions_checked_on_open();
  void editor_names_data();
  void editor_names();
  void editor_rows_content();

  // Limits dialog.
  void limits_rows_data();
  void limits_rows();
  void limits_temperature_kept_and_reopened();
  void limits_fields();

  // Small dialogs.
  void progress_dialog();
  void export_options_data();
  void export_options();
};

void TDialogsTest::editor_opens_empty()
{
  TFixture fixture;
  QVERIFY(fixture.Open());
  const QList<TEditorRow> rows = fixture.Catalogue_Rows();
  QCOMPARE(rows.size(), 19);

  TSpecificationEditorDialog dialog;
  dialog.Set_Data(fixture.Database(), QString(), QString(), QString(), rows);

  QCOMPARE(dialog.windowTitle(), QStringLiteral("Specification Editor"));
  QVERIFY(dialog.Make_Text().isEmpty());
  QVERIFY(dialog.Model_Text().isEmpty());
  QVERIFY(dialog.Option_Text().isEmpty());
  for (const char *name : {"make_status", "model_status", "option_status"})
    QVERIFY(Child<QLabel>(&dialog, name)->text().isEmpty());
  QVERIFY(!Child<QPushButton>(&dialog, "accept_button")->isEnabled());

  const QTableWidget *table = Child<QTableWidget>(&dialog, "specification_table");
  QCOMPARE(table->columnCount(), 4);
  const QStringList headers = {"Standard", "Component", "Specification Expression",
                               "Expression Status"};
  for (int column = 0; column < headers.size(); ++column)
    QCOMPARE(table->horizontalHeaderItem(column)->text(), headers.at(column));

  QCOMPARE(table->rowCount(), rows.size());
  for (int row = 0; row < table->rowCount(); ++row)
  {
    QCOMPARE(Cell_Text(table, row, 0), rows.at(row).standard);
    QCOMPARE(Cell_Text(table, row, 1), rows.at(row).component);
    QVERIFY(Cell_Text(table, row, COLUMN_EXPRESSION).isEmpty());
    QVERIFY(Cell_Text(table, row, COLUMN_STATUS).isEmpty());

    for (int column : {0, 1, COLUMN_STATUS})
    {
      const Qt::ItemFlags flags = table->item(row, column)->flags();
      QVERIFY(!(flags & Qt::ItemIsEditable));
      QVERIFY(!(flags & Qt::ItemIsSelectable));
    }
    const Qt::ItemFlags expression_flags = table->item(row, COLUMN_EXPRESSION)->flags();
    QVERIFY(expression_flags & Qt::ItemIsEditable);
    QVERIFY(expression_flags & Qt::ItemIsSelectable);
  }
}

void TDialogsTest::editor_typed_expression_data()
{
  QTest::addColumn<QString>("standard");
  QTest::addColumn<QString>("component");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("status");
  QTest::addColumn<QString>("row_expression");

  QTest::newRow("linear accepted") << "CMMA"
                                   << "M"
                                   << "1.5+3.3L/1000"
                                   << "Ok"
                                   << "1.5+3.3L/1000";
  QTest::newRow("blanks trimmed") << "10360"
                                  << "E0"
                                  << "  2.5+3.3L/1000|8 "
                                  << "Ok"
                                  << "2.5+3.3L/1000|8";
  QTest::newRow("no such form") << "10360"
                                << "E0"
                                << "2/3/4"
                                << "Invalid"
                                << "";
  QTest::newRow("kind outside mask") << "10360"
                                     << "R0"
                                     << "1.5+3.3L/1000"
                                     << "Invalid"
                                     << "";
  QTest::newRow("fixed length on ballbar") << "B89.4.1"
                                           << "Volume"
                                           << "5/500"
                                           << "Ok"
                                           << "5/500";
  QTest::newRow("fixed length on U3") << "VDIVDE_2617"
                                      << "U3"
                                      << "5/500"
                                      << "Invalid"
                                      << "";
  QTest::newRow("temperature gets C") << "10360"
                                      << "Ts_Min"
                                      << "20"
                                      << "Ok"
                                      << "20C";
  QTest::newRow("temperature with c") << "10360"
                                      << "Ts_Max"
                                      << "30c"
                                      << "Ok"
                                      << "30c";
  QTest::newRow("temperature too low") << "10360"
                                       << "Ts_Min"
                                       << "5"
                                       << "Invalid"
                                       << "";
  QTest::newRow("temperature bound") << "10360"
                                     << "Ts_Max"
                                     << "40"
                                     << "Invalid"
                                     << "";
  QTest::newRow("fahrenheit kept") << "10360"
                                   << "Ts_Max"
                                   << "68F"
                                   << "Ok"
                                   << "68F";
  QTest::newRow("constant not a temperature") << "CMMA"
                                              << "G"
                                              << "20"
                                              << "Ok"
                                              << "20";
  QTest::newRow("text") << "CMMA"
                        << "Repeat"
                        << "abc"
                        << "Invalid"
                        << "";
  QTest::newRow("cleared") << "CMMA"
                           << "Repeat"
                           << ""
                           << ""
                           << "";
}

void TDialogsTest::editor_typed_expression()
{
  QFETCH(QString, standard);
  QFETCH(QString, component);
  QFETCH(QString, typed);
  QFETCH(QString, status);
  QFETCH(QString, row_expression);

  TFixture fixture;
  QVERIFY(fixture.Open());
  const QList<TEditorRow> rows = fixture.Catalogue_Rows();
  const int row = Row_Index(rows, standard, component);
  QVERIFY(row >= 0);

  TSpecificationEditorDialog dialog;
  dialog.Set_Data(fixture.Database(), MAKE, MODEL, OPTION, rows);
  QTableWidget *table = Child<QTableWidget>(&dialog, "specification_table");
  const QPushButton *accept = Child<QPushButton>(&dialog, "accept_button");
  QVERIFY(!accept->isEnabled());

  // An invalid text first, so that every typed text is a change of the cell.
  Type_Cell(table, row, "x");
  Type_Cell(table, row, typed);

  QCOMPARE(Cell_Text(table, row, COLUMN_STATUS), status);
  // The cell shows what was typed; only the row's expression gains a unit.
  QCOMPARE(Cell_Text(table, row, COLUMN_EXPRESSION), typed);
  const TEditorRow edited = dialog.Rows().at(row);
  QCOMPARE(edited.expression, row_expression);
  QCOMPARE(edited.valid, status == QLatin1String("Invalid") ? 0 : 1);
  QCOMPARE(accept->isEnabled(), status != QLatin1String("Invalid"));

  // Every other row is untouched.
  for (int other = 0; other < table->rowCount(); ++other)
  {
    if (other != row)
      QVERIFY(Cell_Text(table, other, COLUMN_STATUS).isEmpty());
  }
}

void TDialogsTest::editor_invalid_keeps_accepted_text()
{
  TFixture fixture;
  QVERIFY(fixture.Open());
  const QList<TEditorRow> rows = fixture.Catalogue_Rows();
  const int m_row = Row_Index(rows, "CMMA", "M");
  const int g_row = Row_Index(rows, "CMMA", "G");

  TSpecificationEditorDialog dialog;
  dialog.Set_Data(fixture.Database(), MAKE, MODEL, OPTION, rows);
  QTableWidget *table = Child<QTableWidget>(&dialog, "specification_table");
  const QPushButton *accept = Child<QPushButton>(&dialog, "accept_button");

  Type_Cell(table, m_row, "1.5+3.3L/1000");
  Type_Cell(table, m_row, "abc");
  QCOMPARE(Cell_Text(table, m_row, COLUMN_STATUS), QStringLiteral("Invalid"));
  QCOMPARE(dialog.Rows().at(m_row).expression, QStringLiteral("1.5+3.3L/1000"));

  // A valid edit elsewhere does not enable Accept while a row is invalid.
  Type_Cell(table, g_row, "3");
  QCOMPARE(Cell_Text(table, g_row, COLUMN_STATUS), QStringLiteral("Ok"));
  QVERIFY(!accept->isEnabled());

  Type_Cell(table, m_row, "2+3L/1000");
  QCOMPARE(dialog.Rows().at(m_row).expression, QStringLiteral("2+3L/1000"));
  QVERIFY(accept->isEnabled());

  Type_Cell(table, m_row, "x");
  QVERIFY(!accept->isEnabled());
  Type_Cell(table, m_row, "  ");
  QVERIFY(Cell_Text(table, m_row, COLUMN_STATUS).isEmpty());
  QVERIFY(dialog.Rows().at(m_row).expression.isEmpty());
  QCOMPARE(dialog.Rows().at(m_row).valid, 1);
  QVERIFY(accept->isEnabled());

  // Reloading starts every row valid again, with Accept off until the next edit.
  Type_Cell(table, m_row, "x");
  dialog.Set_Data(fixture.Database(), MAKE, MODEL, OPTION, rows);
  QVERIFY(!accept->isEnabled());
  for (const TEditorRow &row : dialog.Rows())
    QCOMPARE(row.valid, 1);
  QVERIFY(Cell_Text(table, m_row, COLUMN_STATUS).isEmpty());
}

void TDialogsTest::editor_stored_expressions_checked_on_open()
{
  TFixture fixture;
  QVERIFY(fixture.Open());
  QList<TEditorRow> rows = fixture.Catalogue_Rows();
  const int e0_row = Row_Index(rows, "10360", "E0");
  const int ts_row = Row_Index(rows, "10360", "Ts_Min");
  const int u3_row = Row_Index(rows, "VDIVDE_2617", "U3");
  rows[e0_row].expression = QStringLiteral("2.5+3.3L/1000|8.0");
  rows[ts_row].expression = QStringLiteral("18.00 C");
  rows[u3_row].expression = QStringLiteral("5.0/500"); // outside the U3 mask
  rows[u3_row].valid = 1;

  TSpecificationEditorDialog dialog;
  dialog.Set_Data(fixture.Database(), MAKE, MODEL, OPTION, rows);
  const QTableWidget *table = Child<QTableWidget>(&dialog, "specification_table");

  QCOMPARE(Cell_Text(table, e0_row, COLUMN_EXPRESSION), rows.at(e0_row).expression);
  QCOMPARE(Cell_Text(table, e0_row, COLUMN_STATUS), QStringLiteral("Ok"));
  QCOMPARE(Cell_Text(table, ts_row, COLUMN_STATUS), QStringLiteral("Ok"));
  QCOMPARE(Cell_Text(table, u3_row, COLUMN_STATUS), QStringLiteral("Invalid"));
  QCOMPARE(dialog.Rows().at(u3_row).valid, 0);
  QVERIFY(!Child<QPushButton>(&dialog, "accept_button")->isEnabled());
  for (const char *name : {"make_status", "model_status", "option_status"})
    QCOMPARE(Child<QLabel>(&dialog, name)->text(), EXISTS);

  // Changing a name does not enable Accept while the stored row stays invalid.
  Finish_Editing(Child<QLineEdit>(&dialog, "option_edit"), "Other");
  QVERIFY(!Child<QPushButton>(&dialog, "accept_button")->isEnabled());
}

void TDialogsTest::editor_names_data()
{
  QTest::addColumn<QStringList>("typed");
  QTest::addColumn<QStringList>("cleaned");
  QTest::addColumn<QStringList>("labels");
  QTest::addColumn<bool>("accept");

  const QString e = QString();
  QTest::newRow("make only, cleaned") << QStringList{"Ma:ke", e, e} << QStringList{MAKE, e, e}
                                      << QStringList{EXISTS, e, e} << false;
  QTest::newRow("all exist") << QStringList{MAKE, MODEL, OPTION} << QStringList{MAKE, MODEL, OPTION}
                             << QStringList{EXISTS, EXISTS, EXISTS} << true;
  QTest::newRow("new model") << QStringList{MAKE, "Other", OPTION}
                             << QStringList{MAKE, "Other", OPTION} << QStringList{EXISTS, e, e}
                             << true;
  QTest::newRow("new option") << QStringList{MAKE, MODEL, "Other"}
                              << QStringList{MAKE, MODEL, "Other"} << QStringList{EXISTS, EXISTS, e}
                              << true;
  QTest::newRow("new make") << QStringList{"Other", MODEL, OPTION}
                            << QStringList{"Other", MODEL, OPTION} << QStringList{e, e, e} << true;
  QTest::newRow("model name under other make")
      << QStringList{"Other", MODEL, e} << QStringList{"Other", MODEL, e} << QStringList{e, e, e}
      << false;
  QTest::newRow("all eleven characters")
      << QStringList{"M'a\"k%e*", "[Mo]d^el\\", "Op/ti,on:"} << QStringList{MAKE, MODEL, OPTION}
      << QStringList{EXISTS, EXISTS, EXISTS} << true;
  QTest::newRow("blanks around") << QStringList{"  Make ", " Model", "Option  "}
                                 << QStringList{MAKE, MODEL, OPTION}
                                 << QStringList{EXISTS, EXISTS, EXISTS} << true;
  QTest::newRow("no make") << QStringList{e, MODEL, OPTION} << QStringList{e, MODEL, OPTION}
                           << QStringList{e, e, e} << false;
  QTest::newRow("option of a new make cleaned")
      << QStringList{"New", "M1", "O:pt"} << QStringList{"New", "M1", "Opt"} << QStringList{e, e, e}
      << true;
  QTest::newRow("name of removed characters only")
      << QStringList{":,:", MODEL, OPTION} << QStringList{e, MODEL, OPTION} << QStringList{e, e, e}
      << false;
}

void TDialogsTest::editor_names()
{
  QFETCH(QStringList, typed);
  QFETCH(QStringList, cleaned);
  QFETCH(QStringList, labels);
  QFETCH(bool, accept);

  TFixture fixture;
  QVERIFY(fixture.Open());
  QVERIFY(fixture.Store_Machine(MAKE, MODEL, OPTION));

  TSpecificationEditorDialog dialog;
  dialog.Set_Data(fixture.Database(), QString(), QString(), QString(), fixture.Catalogue_Rows());
  dialog.show();

  QLineEdit *fields[] = {Child<QLineEdit>(&dialog, "make_edit"),
                         Child<QLineEdit>(&dialog, "model_edit"),
                         Child<QLineEdit>(&dialog, "option_edit")};
  fields[0]->setText(typed.at(0));
  fields[1]->setText(typed.at(1));
  Finish_Editing(fields[2], typed.at(2));

  QCOMPARE(dialog.Make_Text(), cleaned.at(0));
  QCOMPARE(dialog.Model_Text(), cleaned.at(1));
  QCOMPARE(dialog.Option_Text(), cleaned.at(2));
  QCOMPARE(Child<QLabel>(&dialog, "make_status")->text(), labels.at(0));
  QCOMPARE(Child<QLabel>(&dialog, "model_status")->text(), labels.at(1));
  QCOMPARE(Child<QLabel>(&dialog, "option_status")->text(), labels.at(2));
  QCOMPARE(Child<QPushButton>(&dialog, "accept_button")->isEnabled(), accept);
  // Return in a name field never closes the editor.
  QVERIFY(dialog.isVisible());
}

void TDialogsTest::editor_rows_content()
{
  TFixture fixture;
  QVERIFY(fixture.Open());
  const QList<TEditorRow> rows = fixture.Catalogue_Rows();

  TSpecificationEditorDialog dialog;
  dialog.Set_Data(fixture.Database(), QString(), QString(), QString(), rows);
  QTableWidget *table = Child<QTableWidget>(&dialog, "specification_table");

  const QList<QPair<int, QString>> edits = {
      {Row_Index(rows, "10360", "E0"), "2.5+3.3L/1000|8"},
      {Row_Index(rows, "10360", "Ts_Max"), "28"},
      {Row_Index(rows, "CMMA", "Repeat"), "1.1"},
      {Row_Index(rows, "B89.4.1", "Repeat"), "abc"},
  };
  for (const auto &edit : edits)
    Type_Cell(table, edit.first, edit.second);

  QLineEdit *make_edit = Child<QLineEdit>(&dialog, "make_edit");
  Child<QLineEdit>(&dialog, "model_edit")->setText(MODEL);
  Child<QLineEdit>(&dialog, "option_edit")->setText(OPTION);
  Finish_Editing(make_edit, MAKE);
  QVERIFY(!Child<QPushButton>(&dialog, "accept_button")->isEnabled());
  Type_Cell(table, edits.at(3).first, "");
  QVERIFY(Child<QPushButton>(&dialog, "accept_button")->isEnabled());

  const QList<TEditorRow> result = dialog.Rows();
  QCOMPARE(result.size(), rows.size());
  for (int index = 0; index < rows.size(); ++index)
  {
    QCOMPARE(result.at(index).standard, rows.at(index).standard);
    QCOMPARE(result.at(index).component, rows.at(index).component);
    QCOMPARE(result.at(index).description, rows.at(index).description);
    QCOMPARE(result.at(index).expression_types, rows.at(index).expression_types);
    QCOMPARE(result.at(index).valid, 1);
  }
  QCOMPARE(result.at(edits.at(0).first).expression, QStringLiteral("2.5+3.3L/1000|8"));
  QCOMPARE(result.at(edits.at(1).first).expression, QStringLiteral("28C"));
  QCOMPARE(result.at(edits.at(2).first).expression, QStringLiteral("1.1"));
  QVERIFY(result.at(edits.at(3).first).expression.isEmpty());
  QVERIFY(!result.at(edits.at(0).first).description.isEmpty());
}

void TDialogsTest::limits_rows_data()
{
  QTest::addColumn<QString>("length");
  QTest::addColumn<QString>("temperature");
  QTest::addColumn<QStringList>("expected");

  QTest::newRow("1000 mm, 20 C") << "1000.000"
                                 << "20.00"
                                 << QStringList{"2.2 um",     "5.0/500 um", "2.0 um",
                                                "+/- 5.7 um", "+/- 3.0 um", "1.8 um",
                                                "+/- 3.0 um", "1.2 um",     "+/- 4.9 um"};
  QTest::newRow("-1000 mm") << "-1000"
                            << "20" << QStringList{"2.2 um",     "5.0/500 um", "2.0 um",
                                                   "+/- 5.7 um", "+/- 3.0 um", "1.8 um",
                                                   "+/- 3.0 um", "1.2 um",     "+/- 4.9 um"};
  QTest::newRow("2000 mm, maximum reached")
      << "2000"
      << "20" << QStringList{"2.2 um", "5.0/500 um", "2.0 um", "+/- 8.0 um", "+/- 5.0 um",
                             "1.8 um", "+/- 5.0 um", "1.2 um", "+/- 8.3 um"};
  QTest::newRow("500 mm, 25 C, nominal ballbar")
      << " 500 "
      << "25" << QStringList{"2.2 um", "5.0 um",     "2.0 um", "+/- 4.1 um", "+/- 3.0 um",
                             "1.8 um", "+/- 2.0 um", "1.2 um", "+/- 3.2 um"};
  QTest::newRow("500 mm, 15 C, same deviation")
      << "500"
      << "15" << QStringList{"2.2 um", "5.0 um",     "2.0 um", "+/- 4.1 um", "+/- 3.0 um",
                             "1.8 um", "+/- 2.0 um", "1.2 um", "+/- 3.2 um"};
  QTest::newRow("450 mm, inside the ballbar tolerance")
      << "450"
      << "20" << QStringList{"2.2 um", "5.0 um",     "2.0 um", "+/- 3.9 um", "+/- 1.9 um",
                             "1.8 um", "+/- 1.9 um", "1.2 um", "+/- 3.0 um"};
  QTest::newRow("350 mm, outside the ballbar tolerance")
      << "350"
      << "20" << QStringList{"2.2 um", "5.0/500 um", "2.0 um", "+/- 3.6 um", "+/- 1.7 um",
                             "1.8 um", "+/- 1.7 um", "1.2 um", "+/- 2.7 um"};
  QTest::newRow("length not a number") << "abc"
                                       << "20" << QStringList{"", "", "", "", "", "", "", "", ""};
  QTest::newRow("empty length") << ""
                                << "25" << QStringList{"", "", "", "", "", "", "", "", ""};
}

void TDialogsTest::limits_rows()
{
  QFETCH(QString, length);
  QFETCH(QString, temperature);
  QFETCH(QStringList, expected);

  TFixture fixture;
  QVERIFY(fixture.Open());
  QVERIFY(fixture.Store_Machine(MAKE, MODEL, OPTION));

  TSpecificationLimitsDialog dialog;
  dialog.Set_Identification(MAKE, MODEL, OPTION);
  bool valid = false;
  const QStringList standards = fixture.Database()->Standard_Types(&valid);
  QVERIFY(valid);
  for (const QString &standard : standards)
  {
    const TDatabaseItem record =
        fixture.Database()->Read_Specification(MAKE, MODEL, OPTION, standard, &valid);
    QVERIFY(valid);
    dialog.Add_Database_Item(record);
  }
  Child<QLineEdit>(&dialog, "measurement_length_edit")->setText(length);
  Child<QLineEdit>(&dialog, "actual_temperature_edit")->setText(temperature);
  dialog.Update_Limits();

  const char *const names[] = {"b89_repeat_result",  "b89_ballbar_result",   "iso10360_r0_result",
                               "iso10360_e0_result", "iso10360_e150_result", "vdivde_v3_result",
                               "vdivde_u3_result",   "cmma_repeat_result",   "cmma_m_result"};
  QCOMPARE(int(sizeof(names) / sizeof(names[0])), expected.size());
  for (int row = 0; row < expected.size(); ++row)
    QCOMPARE(Child<QLineEdit>(&dialog, names[row])->text(), expected.at(row));
}

void TDialogsTest::limits_temperature_kept_and_reopened()
{
  TFixture fixture;
  QVERIFY(fixture.Open());
  QVERIFY(fixture.Store_Machine(MAKE, MODEL, OPTION));

  TSpecificationLimitsDialog dialog;
  dialog.Set_Identification(MAKE, MODEL, OPTION);
  bool valid = false;
  dialog.Add_Database_Item(
      fixture.Database()->Read_Specification(MAKE, MODEL, OPTION, "10360", &valid));
  QVERIFY(valid);
  dialog.Update_Limits();
  dialog.show();

  QLineEdit *length = Child<QLineEdit>(&dialog, "measurement_length_edit");
  QLineEdit *temperature = Child<QLineEdit>(&dialog, "actual_temperature_edit");
  const QLineEdit *e150 = Child<QLineEdit>(&dialog, "iso10360_e150_result");
  QCOMPARE(e150->text(), QStringLiteral("+/- 3.0 um"));

  Finish_Editing(temperature, "30");
  QCOMPARE(e150->text(), QStringLiteral("+/- 6.0 um"));

  // A temperature that is not a number keeps the last deviation.
  Finish_Editing(temperature, "x");
  QCOMPARE(e150->text(), QStringLiteral("+/- 6.0 um"));
  Finish_Editing(length, "2000");
  QCOMPARE(e150->text(), QStringLiteral("+/- 10.0 um"));
  Finish_Editing(length, "abc");
  QVERIFY(e150->text().isEmpty());
  // Return recalculates; it does not close the dialog.
  QVERIFY(dialog.isVisible());
  Finish_Editing(length, "1000");

  // Reopening for another selection drops the records but keeps what the user typed.
  dialog.Set_Identification(MAKE, MODEL, QString());
  dialog.Update_Limits();
  QCOMPARE(length->text(), QStringLiteral("1000"));
  QCOMPARE(temperature->text(), QStringLiteral("x"));
  QCOMPARE(Child<QLineEdit>(&dialog, "option_edit")->text(), QString());
  QVERIFY(e150->text().isEmpty());

  dialog.Set_Identification(MAKE, MODEL, OPTION);
  dialog.Add_Database_Item(
      fixture.Database()->Read_Specification(MAKE, MODEL, OPTION, "10360", &valid));
  dialog.Update_Limits();
  QCOMPARE(e150->text(), QStringLiteral("+/- 6.0 um"));
}

void TDialogsTest::limits_fields()
{
  TSpecificationLimitsDialog dialog;
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Specification Limits"));
  QCOMPARE(Child<QLineEdit>(&dialog, "measurement_length_edit")->text(),
           QStringLiteral("1000.000"));
  QCOMPARE(Child<QLineEdit>(&dialog, "actual_temperature_edit")->text(), QStringLiteral("20.00"));

  const QList<QLineEdit *> fields = dialog.findChildren<QLineEdit *>();
  QCOMPARE(fields.size(), 14);
  for (const QLineEdit *field : fields)
  {
    const bool editable = field->objectName() == QLatin1String("measurement_length_edit") ||
                          field->objectName() == QLatin1String("actual_temperature_edit");
    QCOMPARE(field->isReadOnly(), !editable);
  }

  dialog.Set_Identification(MAKE, MODEL, OPTION);
  QCOMPARE(Child<QLineEdit>(&dialog, "make_edit")->text(), MAKE);
  QCOMPARE(Child<QLineEdit>(&dialog, "model_edit")->text(), MODEL);
  QCOMPARE(Child<QLineEdit>(&dialog, "option_edit")->text(), OPTION);
}

void TDialogsTest::progress_dialog()
{
  TProgressDialog dialog;
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Progress Dialog"));
  QLabel *label = dialog.findChild<QLabel *>();
  QProgressBar *bar = dialog.findChild<QProgressBar *>();
  QVERIFY(label && bar);
  QVERIFY(label->text().isEmpty());

  dialog.Set_Text(QStringLiteral("Importing to database.  Please wait..."));
  dialog.Set_Maximum(3);
  dialog.Set_Value(2);
  QCOMPARE(label->text(), QStringLiteral("Importing to database.  Please wait..."));
  QCOMPARE(bar->maximum(), 3);
  QCOMPARE(bar->value(), 2);

  // A new run starts from 0 of 100 and keeps the old text until a new one arrives.
  dialog.Set_Maximum(100);
  dialog.Set_Value(0);
  QCOMPARE(bar->value(), 0);
  QCOMPARE(label->text(), QStringLiteral("Importing to database.  Please wait..."));
}

void TDialogsTest::export_options_data()
{
  QTest::addColumn<bool>("choose_selected");
  QTest::addColumn<QString>("button");
  QTest::addColumn<int>("result");

  QTest::newRow("all, continue") << false << "Continue" << int(QDialog::Accepted);
  QTest::newRow("selected, continue") << true << "Continue" << int(QDialog::Accepted);
  QTest::newRow("selected, cancel") << true << "Cancel" << int(QDialog::Rejected);
  QTest::newRow("return key") << true << "" << int(QDialog::Accepted);
}

void TDialogsTest::export_options()
{
  QFETCH(bool, choose_selected);
  QFETCH(QString, button);
  QFETCH(int, result);

  TExportOptionsDialog dialog;
  QCOMPARE(dialog.windowTitle(), QStringLiteral("Export Options"));
  QVERIFY(!dialog.Is_Selected_Specifications());

  QRadioButton *selected = nullptr;
  for (QRadioButton *radio : dialog.findChildren<QRadioButton *>())
  {
    if (radio->text() == QLatin1String("Selected Specifications"))
      selected = radio;
  }
  QVERIFY(selected);

  for (int run = 0; run < 2; ++run)
  {
    if (run == 0 && choose_selected)
      selected->click();

    QPushButton *push = nullptr;
    for (QPushButton *candidate : dialog.findChildren<QPushButton *>())
    {
      if (candidate->text() == button)
        push = candidate;
    }
    QTimer::singleShot(0, &dialog,
                       [&dialog, push]()
                       {
                         if (push)
                           push->click();
                         else
                           QTest::keyClick(&dialog, Qt::Key_Return);
                       });
    QCOMPARE(dialog.exec(), result);
    // The choice stays for the next export.
    QCOMPARE(dialog.Is_Selected_Specifications(), choose_selected);
  }
}

QTEST_MAIN(TDialogsTest)
#include "tst_dialogs.moc"
