#include "exportoptionsdialog.h"
#include "guitestsupport.h"
#include "specificationeditordialog.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

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

  void export_options_data();
  void export_options();

private:
  int Row(const QString &standard, const QString &component) const;

  std::unique_ptr<TestSupport::TTestDatabase> d_database; // holding MACHINE
  QList<TEditorRow> d_rows; // one per catalogue component, as the window builds them
};

void TDialogsTest::init()
{
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
  QCOMPARE(d_rows.size(), 19);
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
           hint.isEmpty() ? hint : component + ": " + hint);
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
  editor.Type(u3, QString());

  // An invalid text keeps the last accepted one, and Accept stays off whatever else is valid.
  editor.Type(m, "1.5+3.3L/1000");
  editor.Type(m, "abc");
  QCOMPARE(editor.Cell(m, COLUMN_STATUS), QStringLiteral("Invalid"));
  QCOMPARE(expression(m), QStringLiteral("1.5+3.3L/1000"));
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
  QTest::newRow("new model") << "Make|Other|Option" << "Make|Other|Option" << "Exists||" << true;
  QTest::newRow("new make") << "Other|Model|Option" << "Other|Model|Option" << "||" << true;
  QTest::newRow("model name under other make") << "Other|Model|" << "Other|Model|" << "||" << false;
  // Which characters go is the name-cleaning rule's; here each field is cleaned in place.
  QTest::newRow("all three cleaned") << "M'ake|Mo,del|Op:tion" << "Make|Model|Option"
                                     << "Exists|Exists|Exists" << true;
  // Accept is decided on the cleaned names.
  QTest::newRow("name of removed characters only") << ":,:|Model|Option" << "|Model|Option" << "||"
                                                   << false;
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
  // Return in a name field never closes the editor.
  QVERIFY(editor.dialog.isVisible());
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
