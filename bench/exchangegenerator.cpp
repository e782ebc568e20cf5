#include "exchangegenerator.h"

#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringList>
#include <QVector>

#include <cmath>

namespace
{
class TGenerator
{
public:
  explicit TGenerator(quint32 seed) : d_random(seed) {}

  bool Chance(double probability) { return d_random.generateDouble() < probability; }
  double Uniform(double low, double high) { return low + (high - low) * d_random.generateDouble(); }
  int Integer(int low, int high)
  {
    return low + static_cast<int>(d_random.bounded(high - low + 1));
  }
  template <typename T>
  const T &Pick(const QVector<T> &values)
  {
    return values.at(static_cast<int>(d_random.bounded(values.size())));
  }

  QString Value(double low, double high) { return QString::number(Uniform(low, high), 'f', 4); }
  QString Coefficient() { return QString::number(Uniform(0.00002, 0.00040), 'f', 5); }
  QString Divisor()
  {
    return Pick(
        QVector<QString>{"1000", "1000", "1000", "1000", "300", "333", "400", "500", "250"});
  }

  // A length error as E0, U3 or M: mostly A+BL/N, some with a maximum, rarely with temperature
  // terms or stated for one length only.
  QString Length_Error(bool allow_fixed_length)
  {
    const double kind = d_random.generateDouble();
    const QString a = Value(0.0004, 0.0060);
    const QString b = Value(0.0010, 0.0060);
    if (kind < 0.80)
    {
      return Chance(0.1) ? QStringLiteral("%1+1.0000L/%2").arg(a, Divisor())
                         : QStringLiteral("%1+%2L/%3").arg(a, b, Divisor());
    }
    if (kind < 0.93)
    {
      return QStringLiteral("%1+%2L/%3|%4").arg(a, b, Divisor(), Value(0.0080, 0.0300));
    }
    if (kind < 0.97 || !allow_fixed_length)
    {
      return QStringLiteral("%1+%2Td+(%3+%4Td)L/%5")
          .arg(a, Coefficient(), b, Coefficient(), Divisor());
    }
    if (kind < 0.99)
    {
      return QStringLiteral("%1/%2").arg(Value(0.0030, 0.0200), Divisor());
    }
    return QStringLiteral("(%1+%2Td)/%3").arg(Value(0.0030, 0.0200), Coefficient(), Divisor());
  }

  QString Constant(double low, double high) { return Value(low, high); }

  QString Iso_Line()
  {
    QStringList items;
    const QString e0 = Length_Error(true);
    if (Chance(0.95))
    {
      items << QStringLiteral("E0:") + e0;
    }
    if (Chance(0.40) || items.isEmpty())
    {
      items << QStringLiteral("E150:") + (Chance(0.5) ? e0 : Length_Error(true));
    }
    if (Chance(0.85))
    {
      items << QStringLiteral("Pftu:") + Constant(0.0008, 0.0040);
    }
    if (Chance(0.50))
    {
      items << QStringLiteral("R0:") + Constant(0.0005, 0.0030);
    }
    if (Chance(0.10))
    {
      items << QStringLiteral("Rpt:") + Constant(0.0005, 0.0030);
    }
    if (Chance(0.45))
    {
      const int low = Integer(15, 18);
      items << QStringLiteral("Ts_Min:%1.00 C").arg(low);
      items << QStringLiteral("Ts_Max:%1.00 C").arg(Integer(22, 30));
    }
    return QStringLiteral("10360,") + items.join(QLatin1Char(','));
  }

  QString B89_Line()
  {
    QStringList items;
    const double kind = d_random.generateDouble();
    if (kind < 0.60)
    {
      items << QStringLiteral("Volume:%1+%2L/%3")
                   .arg(Value(0.0010, 0.0120), Value(0.0020, 0.0120), Divisor());
    }
    else if (kind < 0.85)
    {
      items << QStringLiteral("Volume:%1/%2").arg(Value(0.0040, 0.0300), Divisor());
    }
    else if (kind < 0.95)
    {
      items << QStringLiteral("Volume:%1+%2L/%3|%4")
                   .arg(Value(0.0010, 0.0120), Value(0.0020, 0.0120), Divisor(),
                        Value(0.0150, 0.0600));
    }
    else
    {
      items << QStringLiteral("Volume:(%1+%2Td)/%3")
                   .arg(Value(0.0040, 0.0300), Coefficient(), Divisor());
    }
    if (Chance(0.80))
    {
      items << QStringLiteral("Repeat:") + Constant(0.0005, 0.0030);
    }
    if (Chance(0.30))
    {
      items << QStringLiteral("Probe_Roll:%1/%2").arg(Value(0.0040, 0.0200), Divisor());
    }
    return QStringLiteral("B89.4.1,") + items.join(QLatin1Char(','));
  }

  QString Vdi_Line()
  {
    QStringList items;
    items << QStringLiteral("U3:") + Length_Error(false);
    if (Chance(0.30))
    {
      items << QStringLiteral("U1:") + Length_Error(false);
    }
    if (Chance(0.60))
    {
      items << QStringLiteral("V3:") + Constant(0.0010, 0.0040);
    }
    return QStringLiteral("VDIVDE_2617,") + items.join(QLatin1Char(','));
  }

  QString Cmma_Line()
  {
    QStringList items;
    items << QStringLiteral("M:") + Length_Error(false);
    if (Chance(0.60))
    {
      items << QStringLiteral("Repeat:") + Constant(0.0010, 0.0040);
    }
    if (Chance(0.40))
    {
      items << QStringLiteral("G:") + Constant(0.0010, 0.0040);
    }
    return QStringLiteral("CMMA,") + items.join(QLatin1Char(','));
  }

  // The standards one configuration is stated under.
  QStringList Standard_Lines()
  {
    const double choice = d_random.generateDouble();
    if (choice < 0.65)
    {
      return {Iso_Line()};
    }
    if (choice < 0.80)
    {
      return {Iso_Line(), B89_Line()};
    }
    if (choice < 0.88)
    {
      return {B89_Line()};
    }
    if (choice < 0.93)
    {
      return {Vdi_Line()};
    }
    if (choice < 0.95)
    {
      return {Iso_Line(), Vdi_Line()};
    }
    if (choice < 0.98)
    {
      return {Cmma_Line()};
    }
    return {Iso_Line(), Cmma_Line()};
  }

private:
  QRandomGenerator d_random;
};

struct TMake
{
  QString name;
  int model_count = 0;
  int options_left = 0;
  QString model;
  QStringList options;
};
} // namespace

const char *const LARGE_MAKE = "Omnimetric";

QByteArray Generate_Exchange_File(int configurations, quint32 seed, int large_make_models)
{
  TGenerator generator(seed);

  const QVector<QString> prefixes{"Acu", "Meta", "Preci", "Coord", "Tri",
                                  "Axi", "Nano", "Opti",  "Geo",   "Vero"};
  const QVector<QString> suffixes{"tek", "metric", " Systems", "line", " Messtechnik"};
  const QVector<QString> series{"Global", "Prism", "Contura", "Crysta", "Altera",
                                "Accura", "Vento", "Xcel",    "Bravo",  "Falcon"};
  const QVector<QString> option_names{"Standard",
                                      "Extended temperature range",
                                      "SP25M scanning probe",
                                      "TP200 probe",
                                      "Laser scanner",
                                      "High accuracy",
                                      "Rotary table",
                                      "Shop floor enclosure",
                                      "PH10MQ probe head",
                                      "Multi-sensor"};

  // Make sizes fall off like a real market: a few large makers, many small ones.
  QVector<TMake> makes;
  QVector<double> cumulative;
  double total = 0.0;
  for (int index = 0; index < 50; ++index)
  {
    TMake make;
    make.name = prefixes.at(index % 10) + suffixes.at(index / 10);
    makes.append(make);
    total += 1.0 / std::pow(index + 1.0, 0.8);
    cumulative.append(total);
  }

  QString text = QStringLiteral("MetrovaDatabase:Version=1:Format=CSV\n\n");
  text.reserve(configurations * 130);
  for (int configuration = 0; configuration < configurations - large_make_models; ++configuration)
  {
    const double choice = generator.Uniform(0.0, total);
    int make_index = 0;
    while (make_index < makes.size() - 1 && cumulative.at(make_index) < choice)
    {
      ++make_index;
    }
    TMake &make = makes[make_index];
    if (make.options_left == 0)
    {
      ++make.model_count;
      make.model = QStringLiteral("%1 %2%3%4-%5")
                       .arg(generator.Pick(series))
                       .arg(generator.Integer(5, 30))
                       .arg(generator.Integer(5, 30), 2, 10, QLatin1Char('0'))
                       .arg(generator.Integer(4, 20), 2, 10, QLatin1Char('0'))
                       .arg(make.model_count);
      make.options_left = generator.Integer(1, 4);
      make.options.clear();
    }
    --make.options_left;
    QString option;
    do
    {
      option = generator.Pick(option_names);
    } while (make.options.contains(option));
    make.options.append(option);

    const QString prefix = QStringLiteral("%1,%2,%3,").arg(make.name, make.model, option);
    for (const QString &line : generator.Standard_Lines())
    {
      text += prefix + line + QLatin1Char('\n');
    }
  }
  for (int model = 1; model <= large_make_models; ++model)
  {
    const QString prefix = QStringLiteral("%1,%2 %3-%4,Standard,")
                               .arg(QLatin1String(LARGE_MAKE), generator.Pick(series))
                               .arg(generator.Integer(5, 30))
                               .arg(model, 4, 10, QLatin1Char('0'));
    for (const QString &line : generator.Standard_Lines())
    {
      text += prefix + line + QLatin1Char('\n');
    }
  }
  return text.toLatin1();
}

bool Write_Exchange_File(const QString &file_name, int configurations, QString *error, quint32 seed,
                         int large_make_models)
{
  const QByteArray bytes = Generate_Exchange_File(configurations, seed, large_make_models);
  QSaveFile file(file_name);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
  {
    if (error)
    {
      *error = QStringLiteral("Cannot write file '%1': %2").arg(file_name, file.errorString());
    }
    return false;
  }
  return true;
}
