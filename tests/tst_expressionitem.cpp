#include "expressionitem.h"

#include <QtTest>

#include <cmath>

namespace
{
const int MM = TExpressionItem::UNITS_MM;
const int UM = TExpressionItem::UNITS_UM;

// Components compared in millimetres, to the last few bits.
void Verify_Components(const TExpressionItem &item, const QString &expected)
{
  const QStringList values = expected.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  for (int index = 0; index < values.size(); ++index)
  {
    const double wanted = values[index].toDouble();
    const double actual = item.Component(index, MM);
    QVERIFY2(std::fabs(actual - wanted) <= 1e-12 * std::max(1.0, wanted),
             qPrintable(QStringLiteral("component %1 is %2").arg(index).arg(actual)));
  }
}
} // namespace

class TestExpressionItem : public QObject
{
  Q_OBJECT

private slots:
  void parse_data();
  void parse();
  void long_numbers();
};

void TestExpressionItem::parse_data()
{
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("units");
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("components");
  QTest::addColumn<QString>("millimetres"); // the texts shown, for texts typed in micrometres
  QTest::addColumn<QString>("micrometres");
  QTest::addColumn<bool>("storable"); // whether the millimetre text reads back as the kind

  struct TCase
  {
    const char *text;
    int units;
    int kind;
    const char *components;
    const char *millimetres;
    const char *micrometres;
  };
  // clang-format off
  const TCase cases[] = {
      {"1.5+3.3L/1000", UM, 4, "0.0015 0.0033 1000", "0.0015+0.0033L/1000", "1.5+3.3L/1000"},
      {"1.5 + 3.3 l / 1000", UM, 4, "0.0015 0.0033 1000", "", ""},
      {"1.5+L/1000", UM, 4, "0.0015 0.001 1000", "0.0015+0.0010L/1000", "1.5+1.0L/1000"},
      {"1+2L/99999", UM, 4, "0.001 0.002 99999", "0.0010+0.0020L/99999", "1.0+2.0L/99999"},
      {"2.5+3.3L/1000|8", UM, 8, "0.0025 0.0033 1000 0.008", "0.0025+0.0033L/1000|0.0080",
       "2.5+3.3L/1000|8.0"},
      {"2.5+L/500|8", MM, 8, "2.5 1 500 8", "", ""},
      {"(2+0.5Td)/300", UM, 16, "0.002 0.0005 300", "(0.0020+0.00050Td)/300", "(2.0+0.50Td)/300"},
      {"1+0.1Td+(2+0.2Td)L/1000", UM, 32, "0.001 0.0001 0.002 0.0002 1000",
       "0.0010+0.00010Td+(0.0020+0.00020Td)L/1000", "1.0+0.10Td+(2.0+0.20Td)L/1000"},
      // Values finer than the plain texts keep one more decimal.
      {"0.25+L/666|0.75", UM, 8, "0.00025 0.001 666 0.00075", "0.00025+0.0010L/666|0.00075",
       "0.25+1.0L/666|0.75"},
      {"(0.35+0.125Td)/300", UM, 16, "0.00035 0.000125 300", "(0.00035+0.000125Td)/300",
       "(0.35+0.125Td)/300"},
      {"0.01", UM, 1, "0.00001", "0.00001", "0.01"},
      {"5/500", UM, 2, "0.005 500", "0.0050/500", "5.0/500"},
      {"2", UM, 1, "0.002", "0.0020", "2.0"},
      {"1+2L/01000", MM, 4, "1 2 1000", "", ""},
      {"25C", UM, 64, "25", "", ""},
      {"25,", MM, 64, "25", "", ""},
      {"68F", UM, 64, "20", "20.00 C", "20.00 C"},
      {"68f", MM, 64, "20", "", ""},
      {"10C", MM, 0, "10", "", ""},
      {"40C", MM, 0, "40", "", ""},
      // A capture that is not a number must not be read as zero.
      {"1..5", UM, 0, "", "0.0000", "0.0"},
  };
  const char *const no_form[] = {
      "1.5+3.3L/123456", "1.5e3", "-1.5", "", "1234567890", "1.5+3.3L/1000.5", "(2+0.5td)/300",
      "1+0.1Td+(2+0.2Td)L/1000|8", "1.5\n", "1.5\t", "1,5", ".", "1..5+3.3L/1000", "2.5+3.3L/1000|.", "(.+0.5Td)/300",
      "1+0.1Td+(2+..Td)L/1000", "./500", "1..5C", "1.5+L/1000|1.2.3",
      // A length divided by zero.
      "1+L/0", "5/00", "(2+0.5Td)/0", "2.5+3.3L/0|8", "1+0.1Td+(2+0.2Td)L/0"};
  // Values the stored text cannot hold: too many digits, or a temperature that rounds onto a
  // bound.
  const TCase unstorable[] = {{"12345", MM, 1, "12345", "", ""},
                              {"123456789", MM, 1, "123456789", "", ""},
                              {"1+2L/1000|10000", MM, 8, "1 2 1000 10000", "", ""},
                              {"39.999C", MM, 64, "39.999", "", ""},
                              {"50.001F", MM, 64, "10.000555555555556", "", ""}};
  // clang-format on
  for (const TCase &c : cases)
  {
    QTest::addRow("%s %d", c.text, c.units) << c.text << c.units << c.kind << c.components
                                            << c.millimetres << c.micrometres << (c.kind != 0);
  }
  for (const TCase &c : unstorable)
  {
    QTest::addRow("unstorable %s", c.text)
        << c.text << c.units << c.kind << c.components << c.millimetres << c.micrometres << false;
  }
  for (const char *text : no_form)
  {
    QTest::addRow("no form '%s'", text) << text << UM << 0 << ""
                                        << ""
                                        << "" << false;
  }
}

void TestExpressionItem::parse()
{
  QFETCH(QString, text);
  QFETCH(int, units);
  QFETCH(int, kind);
  QFETCH(QString, components);
  QFETCH(QString, millimetres);
  QFETCH(QString, micrometres);
  QFETCH(bool, storable);

  // Each form writes only its own components; a text that matches nothing writes none.
  const QStringList earlier = {"1", "0.1", "2", "0.2", "1000"};
  TExpressionItem item;
  item.Set_Expression(QStringLiteral("1+0.1Td+(2+0.2Td)L/1000"), MM);
  QCOMPARE(item.Set_Expression(text, units), kind);
  QCOMPARE(item.Expression_Type(), kind);
  const QStringList written = components.split(' ', Qt::SkipEmptyParts);
  Verify_Components(item, (written + earlier.mid(written.size())).join(' '));
  QCOMPARE(item.Is_Storable(), storable);
  if (millimetres.isEmpty())
    return;

  // The texts must not follow the user's locale.
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TExpressionItem entered;
  entered.Set_Expression(text, UM);
  const QStringList texts = {entered.Expression_Text(MM), entered.Expression_Text(UM),
                             entered.Expression_Text(2)};
  QLocale::setDefault(previous);
  QCOMPARE(texts, QStringList({millimetres, micrometres, QString()}));

  // Stored in millimetres and read back, the expression is shown as it was entered; the text of
  // an undefined expression reads back as a constant zero.
  TExpressionItem stored;
  QCOMPARE(stored.Set_Expression(millimetres, MM),
           kind == 0 ? int(TExpressionItem::EXPRESSION_CONSTANT) : kind);
  QCOMPARE(stored.Expression_Text(UM), micrometres);
}

void TestExpressionItem::long_numbers()
{
  // The finer form of these would not fit the nine characters a number may have: the plain
  // one stays.
  QCOMPARE(TExpressionItem::Value_Text(1234.56785, MM), QString("1234.5678"));
  QCOMPARE(TExpressionItem::Coefficient_Text(123.456785, MM), QString("123.45678"));
}

QTEST_GUILESS_MAIN(TestExpressionItem)
#include "tst_expressionitem.moc"
