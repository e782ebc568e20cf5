#include "databaseitem.h"

#include <QtTest>

namespace
{
// A record of "name=expression(mm)=source" items.
TDatabaseItem Record(const QStringList &items)
{
  TDatabaseItem record;
  record.Set_Make(QStringLiteral("Zeiss"));
  record.Set_Model(QStringLiteral("Contura"));
  record.Set_Option(QStringLiteral("RDS"));
  record.Set_Standard(QStringLiteral("VDIVDE_2617"));
  for (const QString &text : items)
  {
    TSpecificationItem item;
    item.name = text.section(QLatin1Char('='), 0, 0);
    item.expression.Set_Expression(text.section(QLatin1Char('='), 1, 1), TExpressionItem::UNITS_MM);
    item.source = text.section(QLatin1Char('='), 2, 2).toInt();
    record.Add_Specification_Item(item);
  }
  return record;
}

QStringList Names(const TDatabaseItem &record)
{
  QStringList names;
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
  {
    names.append(record.Specification_Item(index).name);
  }
  return names;
}
} // namespace

class TestDatabaseItem : public QObject
{
  Q_OBJECT

private slots:
  void setters_data();
  void setters();
  void remove_estimated_items_data();
  void remove_estimated_items();
  void look_ups_data();
  void look_ups();
  void sanitize_data();
  void sanitize();
};

void TestDatabaseItem::setters_data()
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

void TestDatabaseItem::setters()
{
  QFETCH(int, field);
  QFETCH(QString, name);
  QFETCH(bool, kept);

  TDatabaseItem record = Record({"E0=0.001=0", "U3=0.002=1"});
  const TDatabaseItem original = record;
  TDatabaseItem empty = Record({});
  for (TDatabaseItem *target : {&record, &empty})
  {
    const QList<void (TDatabaseItem::*)(const QString &)> setters = {
        &TDatabaseItem::Set_Make, &TDatabaseItem::Set_Model, &TDatabaseItem::Set_Option,
        &TDatabaseItem::Set_Standard};
    (target->*setters[field])(name);
  }

  QCOMPARE(Names(record), (kept ? QStringList{"E0", "U3"} : QStringList()));
  QCOMPARE(Names(original), (QStringList{"E0", "U3"})); // copies do not share items
  for (const TDatabaseItem *target : {&record, &empty})
  {
    const QStringList names = {target->Make(), target->Model(), target->Option(),
                               target->Standard()};
    QCOMPARE(names[field], name);
  }
}

void TestDatabaseItem::remove_estimated_items_data()
{
  QTest::addColumn<QStringList>("items");
  QTest::addColumn<QStringList>("kept");

  QTest::newRow("mixed") << QStringList{"a=1=0", "b=1=1", "c=1=0"} << QStringList{"a", "c"};
  QTest::newRow("any other source") << QStringList{"a=1=2", "b=1=0", "c=1=-1"} << QStringList{"b"};
  QTest::newRow("all estimated") << QStringList{"a=1=1", "b=1=1"} << QStringList{};
  QTest::newRow("none") << QStringList{} << QStringList{};
}

void TestDatabaseItem::remove_estimated_items()
{
  QFETCH(QStringList, items);
  QFETCH(QStringList, kept);

  TDatabaseItem record = Record(items);
  record.Remove_Estimated_Items();
  QCOMPARE(Names(record), kept);
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

  const TDatabaseItem record =
      Record({"E0=0.0015+0.0033L/1000=1", "M=0.002=1", "M=0.003=0", "Pftu=junk=0"});
  QCOMPARE(record.Expression_Text(component, units), text);
  QCOMPARE(record.Source(component), source);
}

void TestDatabaseItem::sanitize_data()
{
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("cleaned");

  QTest::newRow("mixed") << "Model 'A'/B, 5:1"
                         << "Model AB 51";
  QTest::newRow("every character") << "a'b\"c%d*e[f]g^h\\i/j,k:l"
                                   << "abcdefghijkl";
  QTest::newRow("only removed") << "'\"%*[]^\\/,:"
                                << "";
  QTest::newRow("others kept") << "S 7.10.7 - (HTA) #1 & Co; ü"
                               << "S 7.10.7 - (HTA) #1 & Co; ü";
}

void TestDatabaseItem::sanitize()
{
  QFETCH(QString, text);
  QFETCH(QString, cleaned);

  QCOMPARE(TDatabaseItem::Sanitize(text), cleaned);
  QString in_place = text;
  TDatabaseItem::Sanitize(&in_place);
  QCOMPARE(in_place, cleaned);

  // Cleaning the names of a record keeps its items.
  TDatabaseItem record;
  record.Set_Make(text);
  record.Set_Model(text);
  record.Set_Option(text);
  record.Set_Standard(text);
  record.Add_Specification_Item(TSpecificationItem());
  record.Sanitize_Names();
  const QStringList names = {record.Make(), record.Model(), record.Option(), record.Standard()};
  QCOMPARE(names, QStringList() << cleaned << cleaned << cleaned << cleaned);
  QCOMPARE(record.Specification_Item_Count(), 1);
}

QTEST_GUILESS_MAIN(TestDatabaseItem)
#include "tst_databaseitem.moc"
