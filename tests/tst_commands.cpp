#include "comparemachinesdialog.h"
#include "guitestsupport.h"
#include "specificationeditordialog.h"
#include "specificationlimitsdialog.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>

using namespace GuiTestSupport;

namespace
{
const char *const LIMIT_FIELDS[] = {
    "b89_repeat_result",  "b89_ballbar_result",   "iso10360_r0_result",
    "iso10360_e0_result", "iso10360_e150_result", "vdivde_v3_result",
    "vdivde_u3_result",   "cmma_repeat_result",   "cmma_m_result"};

// The editor's rows as "standard|component|expression|status".
QStringList Editor_Rows(QDialog *editor)
{
  const QTableWidget *table = Child<QTableWidget>(editor, "specification_table");
  QStringList rows;
  for (int row = 0; row < table->rowCount(); ++row)
  {
    QStringList cells;
    for (int column = 0; column < 4; ++column)
      cells.append(table->item(row, column) ? table->item(row, column)->text() : QString());
    rows.append(cells.join('|'));
  }
  return rows;
}

// Types "standard|component|text" edits into the editor's expression cells.
void Type_Cells(QDialog *editor, const QStringList &edits)
{
  QTableWidget *table = Child<QTableWidget>(editor, "specification_table");
  for (const QString &edit : edits)
  {
    int row = 0;
    while (row < table->rowCount() && (table->item(row, 0)->text() != edit.section('|', 0, 0) ||
                                       table->item(row, 1)->text() != edit.section('|', 1, 1)))
      ++row;
    if (row == table->rowCount())
      qFatal("no editor row %s", qPrintable(edit));
    table->item(row, 2)->setText(edit.section('|', 2));
  }
}

// The makes named by the record lines of an exchange file, or by the devices of a QIF document.
QStringList Exported_Makes(const QString &file_name)
{
  QStringList makes;
  if (file_name.endsWith(QLatin1String(".qif")))
  {
    static const QRegularExpression manufacturer(QStringLiteral("<Manufacturer>([^<]*)<"));
    QRegularExpressionMatchIterator match =
        manufacturer.globalMatch(QString::fromUtf8(File_Bytes(file_name)));
    while (match.hasNext())
      makes.append(match.next().captured(1));
    makes.removeDuplicates();
    return Sorted(makes);
  }
  const QList<QByteArray> lines = File_Bytes(file_name).split('\n');
  for (int index = 1; index < lines.size(); ++index)
    if (!lines.at(index).trimmed().isEmpty())
      makes.append(QString::fromUtf8(lines.at(index).split(',').first()));
  makes.removeDuplicates();
  return Sorted(makes);
}

} // namespace

class TestCommands : public QObject, public TWindowFixture
{
  Q_OBJECT

private slots:
  void initTestCase() { Set_Up(); }
  void init() { Start_Test(); }
  void cleanup() { Finish_Test(); }

  void editorSaves_data();
  void editorSaves();
  void editorSaveFails_data();
  void editorSaveFails();
  void editorDiscard_data();
  void editorDiscard();
  void limits();
  void compareMachines();
  void exportCommand_data();
  void exportCommand();
  void output();

private:
  bool Save_In_Editor(const QStringList &edits, const QStringList &names,
                      const QString &meanwhile = QString());
  QStringList Open_Limits(const QString &length, const QString &temperature,
                          QStringList *inputs = nullptr);
};

// Edits in the editor: types the cells, then the names that are not null, and accepts. False if
// the editor would not accept. Meanwhile another program may run a statement on the catalogue.
bool TestCommands::Save_In_Editor(const QStringList &edits, const QStringList &names,
                                  const QString &meanwhile)
{
  bool accepted = false;
  Answer_Dialog<TSpecificationEditorDialog>(
      [&](TSpecificationEditorDialog *editor)
      {
        TestSupport::Execute_On_File(d_catalogue, meanwhile);
        Type_Cells(editor, edits);
        const char *const fields[] = {"make_edit", "model_edit", "option_edit"};
        for (int index = 0; index < names.size(); ++index)
          if (!names.at(index).isNull())
            Finish_Editing(Child<QLineEdit>(editor, fields[index]), names.at(index));
        QPushButton *accept = Child<QPushButton>(editor, "accept_button");
        accepted = accept->isEnabled();
        accept->click();
      });
  Action("edit_specification")->trigger();
  return accepted;
}

void TestCommands::editorSaves_data()
{
  QTest::addColumn<QStringList>("selection");
  QTest::addColumn<QStringList>("fields");
  QTest::addColumn<QStringList>("filled");
  QTest::addColumn<QStringList>("edits");
  QTest::addColumn<QStringList>("typed");
  QTest::addColumn<QStringList>("machine");
  QTest::addColumn<QStringList>("expected");

  // Shown: the manufacturer's rows in micrometres, estimated ones (U3, CMMA Repeat) left empty.
  // Saved: E0 feeds E150, U3, M and twice its value to Volume; the B89.4.1 Repeat gives Rpt, R0
  // and the CMMA Repeat; V3 gives Pftu. Cleared cells lose their rows.
  QTest::newRow("selected machine")
      << Words("Acme X1 Standard") << Words("Acme Exists X1 Exists Standard Exists")
      << QStringLiteral("10360|E0|1.5+3.3L/1000|Ok,10360|E150|1.0+0.10Td+(2.0+0.20Td)L/1000|Ok,"
                        "10360|Ts_Min|18.00 C|Ok,B89.4.1|Repeat|2.0|Ok,B89.4.1|Volume|5.0/500|Ok,"
                        "VDIVDE_2617|V3|1.8|Ok,CMMA|M|2.5+3.3L/1000|8.0|Ok")
             .split(',')
      << QStringList{"10360|E0|2+3L/1000", "10360|E150|",     "10360|Ts_Max|22",
                     "B89.4.1|Repeat|1.5", "B89.4.1|Volume|", "CMMA|M|"}
      << QStringList() << Words("Acme X1 Standard")
      << QStringLiteral("10360|E0|2.0+3.0L/1000|MFG,10360|Ts_Min|18.00 C|MFG,"
                        "10360|Ts_Max|22.00 C|MFG,10360|E150|2.0+3.0L/1000|EST,10360|Rpt|1.5|EST,"
                        "10360|R0|3.0|EST,10360|Pftu|1.8|EST,B89.4.1|Repeat|1.5|MFG,"
                        "B89.4.1|Volume|4.0+6.0L/1000|EST,VDIVDE_2617|V3|1.8|MFG,"
                        "VDIVDE_2617|U3|2.0+3.0L/1000|EST,CMMA|M|2.0+3.0L/1000|EST,"
                        "CMMA|Repeat|3.0|EST")
             .split(',');
  // Nothing selected starts a new specification; names are cleaned as typed.
  QTest::newRow("new machine") << QStringList() << QStringList(QVector<QString>(6).toList())
                               << QStringList() << QStringList{"10360|E0|1+2L/1000"}
                               << QStringList{"No:va", " N1 ", "Base"} << Words("Nova N1 Base")
                               << QStringLiteral("10360|E0|1.0+2.0L/1000|MFG,"
                                                 "10360|E150|1.0+2.0L/1000|EST,"
                                                 "B89.4.1|Volume|2.0+4.0L/1000|EST,"
                                                 "VDIVDE_2617|U3|1.0+2.0L/1000|EST,"
                                                 "CMMA|M|1.0+2.0L/1000|EST")
                                      .split(',');
}

void TestCommands::editorSaves()
{
  QFETCH(QStringList, selection);
  QFETCH(QStringList, fields);
  QFETCH(QStringList, filled);
  QFETCH(QStringList, edits);
  QFETCH(QStringList, typed);
  QFETCH(QStringList, machine);
  QFETCH(QStringList, expected);

  Open_Catalogue();
  if (!selection.isEmpty())
    Select_Machine(selection.at(0), selection.at(1), selection.at(2));

  // What the editor shows: one row per component of every standard.
  QStringList shown_fields, rows;
  Answer_Dialog<TSpecificationEditorDialog>(
      [&](TSpecificationEditorDialog *editor)
      {
        for (const char *name : {"make", "model", "option"})
          shown_fields << Child<QLineEdit>(editor, QLatin1String(name) + "_edit")->text()
                       << Child<QLabel>(editor, QLatin1String(name) + "_status")->text();
        rows = Editor_Rows(editor);
        QVERIFY(!Child<QPushButton>(editor, "accept_button")->isEnabled());
        editor->reject();
      });
  Action("edit_specification")->trigger();
  QCOMPARE(shown_fields, fields);
  QCOMPARE(rows.size(), 19);
  QCOMPARE(rows.filter(QRegularExpression(QStringLiteral("[^|]$"))), filled);

  QVERIFY(Save_In_Editor(edits, typed));
  QVERIFY(Take_Messages().isEmpty());
  // Saved with its estimates, and shown selected from what was stored.
  const QString prefix = machine.join('/') + ':';
  QCOMPARE(Stored_Catalogue(d_catalogue, true).filter(prefix).replaceInStrings(prefix, QString()),
           Sorted(expected));
  QCOMPARE(Sorted(Tree_Rows(Tree())), Sorted(expected));
  QStringList makes = ALL_MAKES + QStringList{machine.at(0)};
  makes.removeDuplicates();
  QCOMPARE(Texts(List("make_list")), Sorted(makes));
  QCOMPARE(Selected_Machine(), machine);
  QCOMPARE(List("make_list")->selectedItems().size(), 1);
  QCOMPARE(Enabled_Actions(), Sorted(OPTION_ACTIONS));
}

void TestCommands::editorSaveFails_data()
{
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QString>("reason");

  // Another program holds the write lock for longer than the busy timeout.
  QTest::newRow("database locked") << "locked"
                                   << "another program is writing to the catalogue";
  // Another program changes the machine while the editor shows it, and undoes it afterwards.
  QTest::newRow("changed meanwhile") << "changed"
                                     << "changed or deleted by another program";
}

void TestCommands::editorSaveFails()
{
  QFETCH(QString, fault);
  QFETCH(QString, reason);
  const bool locked = fault == "locked";
  const QString change = fault != "changed"
                             ? QString()
                             : "UPDATE specification SET source=1-source WHERE "
                               "rowid=(SELECT MIN(rowid) FROM specification WHERE "
                               "make_id=(SELECT make_id FROM make WHERE name='Acme'))";

  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  const QStringList stored = TestSupport::TOtherConnection(d_catalogue).Dump();
  const QStringList tree = Tree_Rows(Tree());
  QVERIFY(!tree.isEmpty());

  {
    TestSupport::TOtherConnection lock(d_catalogue);
    QVERIFY(lock.Execute(locked ? QStringLiteral("BEGIN IMMEDIATE") : QString()));
    TMessageBox::Queue_Answer(QMessageBox::Ok);
    QVERIFY(Save_In_Editor({"10360|E0|9+9L/1000", "CMMA|G|1.2"},
                           {QString(), QString(), change.isEmpty() ? "Renamed" : QString()},
                           change));
    QVERIFY(lock.Execute(locked ? QStringLiteral("ROLLBACK") : change));
  }
  QList<TMessageBox::TShownMessage> shown;
  QCOMPARE(Take_Messages(&shown),
           QStringList{"Warning: Save Error / Cannot save the specification."});
  QVERIFY2(shown.first().details.contains(reason), qPrintable(shown.first().details));

  // The file and the window show the specification as it was.
  QCOMPARE(TestSupport::TOtherConnection(d_catalogue).Dump(), stored);
  QCOMPARE(Texts(List("option_list")), Words("Extended Standard"));
  QCOMPARE(Selected_Machine(), Words("Acme X1 Standard"));
  // The tree shows what the file held after the save: another program's change too.
  QCOMPARE(Tree_Rows(Tree()) == tree, change.isEmpty());
  QCOMPARE(Enabled_Actions(), Sorted(OPTION_ACTIONS));

  // The connection is usable again once the lock is gone.
  if (locked)
  {
    QVERIFY(Save_In_Editor({"CMMA|G|1.2"}, {}));
    QVERIFY(Take_Messages().isEmpty());
    QVERIFY(Tree_Rows(Tree()).contains(QStringLiteral("CMMA|G|1.2|MFG")));
    return;
  }

  // Rows that cannot be read are not offered for editing: saving them would empty the machine.
  QVERIFY(TestSupport::Execute_On_File(
      d_catalogue, QStringLiteral("ALTER TABLE specification RENAME TO hidden_specification")));
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Action("edit_specification")->trigger();
  QCOMPARE(Take_Messages(), QStringList{"Warning: Read Error / Cannot read the specification."});
}

void TestCommands::editorDiscard_data()
{
  QTest::addColumn<QStringList>("edits");
  QTest::addColumn<QString>("closing");
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("closed");

  const QStringList none, cell = {"10360|E0|2+3L/1000"};
  const int no_question = QMessageBox::NoButton;
  QTest::newRow("unchanged, Escape") << none << "Escape" << no_question << true;
  QTest::newRow("typed, Escape, No") << cell << "Escape" << int(QMessageBox::No) << false;
  QTest::newRow("typed, Cancel, Yes") << cell << "Cancel" << int(QMessageBox::Yes) << true;
  QTest::newRow("name typed, close button, No")
      << QStringList{"name"} << "close" << int(QMessageBox::No) << false;
  QTest::newRow("typed and undone, Cancel")
      << cell + QStringList{"10360|E0|1.5+3.3L/1000"} << "Cancel" << no_question << true;
}

// Closing the editor without Accept asks before typed changes are lost; nothing is written.
void TestCommands::editorDiscard()
{
  QFETCH(QStringList, edits);
  QFETCH(QString, closing);
  QFETCH(int, answer);
  QFETCH(bool, closed);

  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  const QStringList stored = TestSupport::TOtherConnection(d_catalogue).Dump();
  bool visible = true;
  Answer_Dialog<TSpecificationEditorDialog>(
      [&](TSpecificationEditorDialog *editor)
      {
        if (edits.contains("name"))
          Finish_Editing(Child<QLineEdit>(editor, "option_edit"), "Other");
        else
          Type_Cells(editor, edits);
        if (answer != QMessageBox::NoButton)
          TMessageBox::Queue_Answer(QMessageBox::StandardButton(answer));
        if (closing == "Escape")
          QTest::keyClick(editor, Qt::Key_Escape);
        else if (closing == "close")
          editor->close();
        else
          for (QPushButton *button : editor->findChildren<QPushButton *>())
            if (button->text() == closing)
              button->click();
        visible = editor->isVisible();
        if (visible)
        {
          TMessageBox::Queue_Answer(QMessageBox::Yes);
          editor->reject();
        }
      });
  Action("edit_specification")->trigger();

  QCOMPARE(visible, !closed);
  const QStringList question = {
      "Question: Discard Changes / Discard the changes to this specification?"};
  QStringList expected = answer == QMessageBox::NoButton ? QStringList() : question;
  if (!closed)
    expected += question;
  QList<TMessageBox::TShownMessage> shown;
  QCOMPARE(Take_Messages(&shown), expected);
  // The question is the editor's: it comes up over the editor, under its title.
  for (const TMessageBox::TShownMessage &message : shown)
    QVERIFY(qobject_cast<const TSpecificationEditorDialog *>(message.parent) &&
            message.title == "Specification Editor");
  QCOMPARE(TestSupport::TOtherConnection(d_catalogue).Dump(), stored);
}

// Opens the limits, types a temperature and a length if given, and reads the nine results and
// (into *inputs) the machine's names, length and temperature shown.
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
        // Return recalculates; it does not close the dialog.
        QVERIFY(dialog->isVisible());
        for (const char *field : LIMIT_FIELDS)
          results.append(Child<QLineEdit>(dialog, QLatin1String(field))->text());
        dialog->close();
      });
  Action("specification_limits")->trigger();
  return results;
}

void TestCommands::limits()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  // Every stored row counts, estimated ones (U3, CMMA Repeat) included; R0 is not stored.
  QStringList inputs;
  QCOMPARE(Open_Limits(QStringLiteral("2000"), QStringLiteral("15"), &inputs),
           (QStringList{"2.0 um", "5.0/500 um", "", "+/- 8.1 um", "+/- 7.5 um", "1.8 um",
                        "+/- 8.1 um", "4.0 um", "+/- 8.0 um"}));
  QCOMPARE(inputs, Words("Acme X1 Standard 1000.000 20.00"));

  // Another option: its own rows at the length and temperature typed before.
  Select(List("option_list"), {"Extended"});
  QCOMPARE(Open_Limits(QString(), QString(), &inputs),
           (QStringList{"", "", "", "+/- 10.0 um", "+/- 6.0 um", "", "", "", ""}));
  QCOMPARE(inputs, Words("Acme X1 Extended 2000 15"));

  // The option stays current but is no longer selected: nothing is read.
  List("option_list")->clearSelection();
  QVERIFY(!Action("specification_limits")->isEnabled());
  QCOMPARE(Open_Limits(QString(), QString(), &inputs), QStringList(QVector<QString>(9).toList()));
  QCOMPARE(inputs, (QStringList{"Acme", "X1", "", "2000", "15"}));
}

void TestCommands::compareMachines()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  // The whole catalogue to pick from, the selected machine compared; the export's folder is the
  // one the next file question starts in.
  QStringList shown;
  for (const QString &file_name : {d_folder + "/comparison", QString()})
  {
    Answer_Dialog<TCompareMachinesDialog>(
        [&](TCompareMachinesDialog *dialog)
        {
          const QAbstractItemModel *table = Child<QTableView>(dialog, "comparison_table")->model();
          shown << QString::number(Child<QListView>(dialog, "catalogue_list")->model()->rowCount())
                << table->index(0, 2).data().toString() << table->index(1, 2).data().toString();
          TFileDialog::Queue_File_Name(file_name);
          Child<QPushButton>(dialog, "export_button")->click();
        });
    Action("compare_machines")->trigger();
  }
  QCOMPARE(shown, Words("7 Standard") + QStringList{""} + Words("7 Standard") + QStringList{""});
  QVERIFY(QFile::exists(d_folder + "/comparison.csv"));
  QCOMPARE(TFileDialog::Take_Requests().value(1).folder, d_folder);
}

void TestCommands::exportCommand_data()
{
  QTest::addColumn<QStringList>("selected");
  QTest::addColumn<QString>("choice");
  QTest::addColumn<QStringList>("exported");
  QTest::addColumn<QString>("warning");
  // The name typed, the filter chosen and the file written.
  QTest::addColumn<QStringList>("file");

  const QStringList both = {"Zenith", "Acme"};
  const QStringList csv = {"export.csv", "", "export.csv"};
  // Typed without an extension, the file gets the filter's.
  QTest::newRow("nothing selected, no question")
      << QStringList() << QString() << ALL_MAKES << QString()
      << QStringList{"export", "", "export.csv"};
  QTest::newRow("selected specifications")
      << both << QStringLiteral("Selected Specifications") << Sorted(both) << QString() << csv;
  QTest::newRow("options cancelled")
      << Words("Brand") << QStringLiteral("Cancel") << QStringList() << QString() << csv;
  // A name stored by another program that the file cannot carry as it is: said, not hidden.
  QTest::newRow("name changed by the file")
      << Words("Zenith") << QStringLiteral("Selected Specifications") << Words("Zenith")
      << QStringLiteral("Warning: Export Warning / Some of the catalogue was not exported as it is "
                        "stored.")
      << csv;
  QTest::newRow("QIF by filter, extension added")
      << both << QStringLiteral("Selected Specifications") << Sorted(both) << QString()
      << QStringList{"export", "QIF document (*.qif)", "export.qif"};
}

void TestCommands::exportCommand()
{
  QFETCH(QStringList, selected);
  QFETCH(QString, choice);
  QFETCH(QStringList, exported);
  QFETCH(QString, warning);
  QFETCH(QStringList, file);

  Open_Catalogue();
  if (!warning.isEmpty())
  {
    QVERIFY(TestSupport::Execute_On_File(
        d_catalogue, QStringLiteral("UPDATE model_types SET name=name||'  Two'")));
    TMessageBox::Queue_Answer(QMessageBox::Ok);
  }
  if (!selected.isEmpty())
    Select(List("make_list"), selected);
  bool asked = false;
  if (!choice.isEmpty())
    Answer_Dialog<QDialog>(
        [&](QDialog *dialog)
        {
          asked = dialog->windowTitle() == QLatin1String("Export Options");
          if (choice == QLatin1String("Cancel"))
            return dialog->reject();
          for (QRadioButton *button : dialog->findChildren<QRadioButton *>())
            if (button->text() == choice)
              button->setChecked(true);
          for (QPushButton *button : dialog->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("Continue"))
              button->click();
        });
  const QString file_name = d_folder + QStringLiteral("/reports/") + file.at(2);
  if (!exported.isEmpty())
    TFileDialog::Queue_File_Name(d_folder + QStringLiteral("/reports/") + file.at(0), file.at(1));
  Action("export")->trigger();
  QCOMPARE(asked, !choice.isEmpty());
  QTRY_VERIFY_WITH_TIMEOUT(List("make_list")->isEnabled(), 60000);
  QCOMPARE(Take_Messages(), warning.isEmpty() ? QStringList() : QStringList{warning});

  QCOMPARE(TFileDialog::Take_Requests().size(), exported.isEmpty() ? 0 : 1);
  QCOMPARE(Exported_Makes(file_name), exported);
  // An export leaves the window as it was.
  QCOMPARE(List("make_list")->selectedItems().size(), selected.size());
}

// A report of the selected machine; one that cannot be written says why and leaves an earlier
// one as it was.
void TestCommands::output()
{
  Open_Catalogue();
  Select_Machine("Acme", "X1", "Standard");
  const QString folder = d_folder + QStringLiteral("/reports/");
  // Typed without the suffix, the report gets one.
  TFileDialog::Queue_File_Name(folder + QStringLiteral("report"));
  Action("output")->trigger();
  QVERIFY(Take_Messages().isEmpty());
  const QByteArray before = File_Bytes(folder + QStringLiteral("report.pdf"));
  QVERIFY(before.startsWith("%PDF"));

  Select_Machine("Zenith", "X1", "Basic");
  const QString target = folder + QStringLiteral("missing/report.pdf");
  TFileDialog::Queue_File_Name(target);
  TMessageBox::Queue_Answer(QMessageBox::Ok);
  Action("output")->trigger();
  // The folder offered stays the database's: a report's folder is not remembered.
  const QList<TFileDialog::TRequest> requests = TFileDialog::Take_Requests();
  QCOMPARE(requests.size(), 2);
  for (const TFileDialog::TRequest &request : requests)
    QCOMPARE(request.folder, d_folder + QStringLiteral("/data"));

  // The reason is in the message itself, not only under Show Details.
  QCOMPARE(Take_Messages(),
           QStringList{"Warning: Output Error / Cannot write '" + QDir::toNativeSeparators(target) +
                       "': the folder '" + QFileInfo(target).path() + "' does not exist."});
  QCOMPARE(File_Bytes(folder + QStringLiteral("report.pdf")), before);
  QCOMPARE(TestSupport::Folder_Entries(folder), QStringList{"report.pdf"});
}

QTEST_MAIN(TestCommands)

#include "tst_commands.moc"
