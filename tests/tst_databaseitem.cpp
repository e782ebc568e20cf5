#include "databaseitem.h"
#include "testsupport.h"

#include <QtTest>

namespace
{
// A Zeiss Contura RDS record under VDIVDE_2617 of compact items "E0=1.5+3.3L/1000#1 M=2".
TDatabaseItem Record(const QString &items)
{
  return TestSupport::Record(QStringLiteral("Zeiss"), QStringLiteral("Contura"),
                             QStringLiteral("RDS"), QStringLiteral("VDIVDE_2617 ") + items);
}

const QList<void (TDatabaseItem::*)(const QString &)> SETTERS = {
    &TDatabaseItem::Set_Make, &TDatabaseItem::Set_Model, &TDatabaseItem::Set_Option,
    &TDatabaseItem::Set_Standard};

QStringList Identification(const TDatabaseItem &record)
{
  return {record.Make(), record.Model(), record.Option(), record.Standard()};
}

QStringList Names(const TDatabaseItem &record)
{
  QStringList names;
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
    names.append(record.Specification_Item(index).name);
  return names;
}
} // namespace

class TestDatabaseItem : public QObject
{
  Q_OBJECT

private slots:
  void renaming_data();
  void renaming();
  void remove_estimated_items();
  void look_ups_data();
  void look_ups();
  void sanitize_data();
  void sanitize();
};

void TestDatabaseItem::renaming_data()
{
  QTest::addColumn<int>("field");
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("kept");

  const QStringList current = {"Zeiss", "Contura", "RDS", "VDIVDE_2617"};
  for (int field = 0; field < current.size(); ++field)
  {
    QTest::addRow("%d same", field) << field << current[field] << true;
    QTest::addRow("%d case", field) << field << current[field].toLower() << false;
    QTest::addRow("%d empty", field) << field << QString() << false;
  }
}

void TestDatabaseItem::renaming()
{
  QFETCH(int, field);
  QFETCH(QString, name);
  QFETCH(bool, kept);

  // The items belong to the old machine or standard: another name discards them.
  TDatabaseItem record = Record(QStringLiteral("E0=1 U3=2#1"));
  const TDatabaseItem original = record;
  (record.*SETTERS[field])(name);

  QCOMPARE(Names(record), (kept ? QStringList{"E0", "U3"} : QStringList()));
  QCOMPARE(Names(original), (QStringList{"E0", "U3"})); // copies do not share items
}

void TestDatabaseItem::remove_estimated_items()
{
  // Only the manufacturer's items stay, whatever other source the rest have.
  TDatabaseItem record = Record(QStringLiteral("a=1 b=1#1 c=1#2 d=1#-1 e=1"));
  record.Remove_Estimated_Items();
  QCOMPARE(Names(record), QStringList({"a", "e"}));
  QCOMPARE(record.Standard(), QStringLiteral("VDIVDE_2617"));
}

void TestDatabaseItem::look_ups_data()
{
  QTest::addColumn<QString>("component");
  QTest::addColumn<int>("units");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("source");

  QTest::newRow("millimetres") << "E0" << 0 << "0.0015+0.0033L/1000" << 1;
  QTest::newRow("micrometres") << "E0" << 1 << "1.5+3.3L/1000" << 1;
  QTest::newRow("first of two") << "M" << 1 << "2.0" << 1;
  QTest::newRow("undefined") << "Pftu" << 0 << "0.0000" << 0;
  QTest::newRow("case sensitive") << "e0" << 0 << "" << 0;
  QTest::newRow("missing") << "E150" << 1 << "" << 0;
}

void TestDatabaseItem::look_ups()
{
  QFETCH(QString, component);
  QFETCH(int, units);
  QFETCH(QString, text);
  QFETCH(int, source);

  const TDatabaseItem record = Record(QStringLiteral("E0=1.5+3.3L/1000#1 M=2#1 M=3 Pftu=junk"));
  QCOMPARE(record.Expression_Text(component, units), text);
  QCOMPARE(record.Source(component), source);
}

void TestDatabaseItem::sanitize_data()
{
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("cleaned");
  QTest::addColumn<QString>("name"); // as a make, model or option name enters

  const QString nonchar = QString(QChar(0xFFFF)) + "Ghost" + QChar(0xFFFE) + "Make" +
                          QChar(0xFDD0) + " X" + QString::fromUcs4(U"\U0001FFFE\U0010FFFF");
  // clang-format off
  QTest::newRow("mixed") << "Model 'A'/B, 5:1" << "Model AB 51" << "Model AB 51";
  QTest::newRow("every character") << "a'b\"c%d*e[f]g^h\\i/j,k:l" << "abcdefghijkl" << "abcdefghijkl";
  QTest::newRow("only removed") << "'\"%*[]^\\/,:" << "" << "";
  QTest::newRow("others kept") << "S 7.10.7 - (HTA) #1 & Co; ü" << "S 7.10.7 - (HTA) #1 & Co; ü"
                               << "S 7.10.7 - (HTA) #1 & Co; ü";
  // SQLite reads U+FFFE and U+FFFF back as U+FFFD: such a name could never be found again.
  QTest::newRow("noncharacters") << nonchar << nonchar << "GhostMake X";
  QTest::newRow("byte order mark") << QString(QChar(0xFEFF)) + " Acme" << QString(QChar(0xFEFF)) + " Acme" << "Acme";
  // The top of the control range; tab and line breaks become spaces first.
  QTest::newRow("control") << "A\x1f" "B" << "A\x1f" "B" << "";
  // clang-format on
}

void TestDatabaseItem::sanitize()
{
  QFETCH(QString, text);
  QFETCH(QString, cleaned);
  QFETCH(QString, name);

  QCOMPARE(TDatabaseItem::Sanitize(text), cleaned);
  QCOMPARE(TDatabaseItem::Cleaned_Name(text), name);
  QString in_place = text;
  TDatabaseItem::Sanitize(&in_place);
  QCOMPARE(in_place, cleaned);

  // Cleaning the names of a record keeps its items.
  TDatabaseItem record;
  for (const auto setter : SETTERS)
    (record.*setter)(text);
  record.Add_Specification_Item(TSpecificationItem());
  record.Sanitize_Names();
  QCOMPARE(Identification(record), QStringList({cleaned, cleaned, cleaned, cleaned}));
  QCOMPARE(record.Specification_Item_Count(), 1);
}

QTEST_GUILESS_MAIN(TestDatabaseItem)
#include "tst_databaseitem.moc"
