#include "limitscommand.h"

#include "database.h"
#include "limitsseries.h"
#include "specificationlimits.h"
#include "temperatureband.h"

#include <QTextStream>

#include <cmath>

namespace
{
const QString CSV_OPTION = QStringLiteral("--csv");
const QString LENGTH_OPTION = QStringLiteral("--length");
const QString TEMPERATURE_OPTION = QStringLiteral("--temperature");
// Defaults of the limits dialog.
const QString DEFAULT_LENGTH = QStringLiteral("1000.000");
const QString DEFAULT_TEMPERATURE = QStringLiteral("20.00");

// A label without its colon, as a column name.
QString Column_Name(int row)
{
  QString label = TSpecificationLimits::Row_Label(row);
  if (label.endsWith(QLatin1Char(':')))
  {
    label.chop(1);
  }
  return label;
}

QString Number_Text(double value)
{
  return std::isnan(value) ? QString() : QString::number(value, 'f', 3);
}
} // namespace

TLimitsCommand::TLimitsCommand()
    : TDatabaseCommand(
          {QStringLiteral("limits"),
           QStringLiteral("DATABASE MAKE MODEL OPTION [--length L | --length FROM:TO:STEP] "
                          "[--temperature T] [--csv]"),
           4,
           4,
           QStringLiteral("Show the nine limits of the Limits dialog at one measuring length and "
                          "air\ntemperature; with a range of lengths, a CSV table with one row "
                          "per length."),
           QStringLiteral(
               "  --length L              measuring length in millimetres (default 1000)\n"
               "  --length FROM:TO:STEP   every length from FROM to TO in steps of STEP: a CSV "
               "table\n"
               "                          of lengths and limits, numbers only, in micrometres, "
               "empty\n"
               "                          where a limit gives no single number\n"
               "  --temperature T         air temperature in degrees Celsius (default 20)\n"
               "  --csv                   at one length: limit, text and number in micrometres"),
           {{CSV_OPTION, false}, {LENGTH_OPTION, true}, {TEMPERATURE_OPTION, true}}})
{
}

int TLimitsCommand::Run()
{
  // Arguments first: a usage error is reported before any file is touched.
  const QString given_length = Option_Value(LENGTH_OPTION);
  const QString given_temperature = Option_Value(TEMPERATURE_OPTION);
  const QString length_text = given_length.isEmpty() ? DEFAULT_LENGTH : given_length;
  const QString temperature_text =
      given_temperature.isEmpty() ? DEFAULT_TEMPERATURE : given_temperature;
  double temperature = 0.0;
  if (!TSpecificationLimits::To_Number(temperature_text, &temperature))
  {
    return Usage_Error(
        QStringLiteral("the temperature '%1' is not a number").arg(given_temperature));
  }
  QVector<double> lengths;
  bool is_range = false;
  switch (TLimitsSeries::Parse_Range(length_text, &lengths, &is_range))
  {
  case TLimitsSeries::RANGE_VALID:
    break;
  case TLimitsSeries::RANGE_NOT_NUMBERS:
    return Usage_Error(
        QStringLiteral("the length '%1' is not a number or FROM:TO:STEP").arg(length_text));
  case TLimitsSeries::RANGE_NEGATIVE:
    return Usage_Error(QStringLiteral("the lengths of '%1' must be 0 mm or more").arg(length_text));
  case TLimitsSeries::RANGE_BAD_BOUNDS:
    return Usage_Error(QStringLiteral("the range '%1' needs FROM <= TO, STEP > 0 and at most "
                                      "%2 lengths")
                           .arg(length_text)
                           .arg(TLimitsSeries::MAXIMUM_RANGE_LENGTHS));
  }

  const int status = Open(3);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  bool valid = false;
  const QList<TDatabaseItem> records =
      Database()->Read_Configuration(names.at(0), names.at(1), names.at(2), &valid);
  if (!valid)
  {
    return Failure(
        QStringLiteral("cannot read the specifications: %1").arg(Database()->Last_Error()));
  }
  const double deviation = TSpecificationLimits::Temperature_Deviation(temperature);
  // Said, not refused: the limits are still what the maker states.
  const QString warning = TTemperatureBand::Of_Machine(records).Warning(temperature);
  if (!warning.isEmpty())
  {
    Note(warning);
  }

  QList<QStringList> rows;
  if (is_range)
  {
    QStringList header{QStringLiteral("length_mm")};
    for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
    {
      header.append(Column_Name(row));
    }
    for (const double length : qAsConst(lengths))
    {
      QStringList line{QString::number(length, 'g', 12)};
      for (const double value : TSpecificationLimits::Values(records, length, deviation))
      {
        line.append(Number_Text(value));
      }
      rows.append(line);
    }
    Write_Table(header, rows, true);
    return STATUS_SUCCESS;
  }

  const bool csv = Has_Option(CSV_OPTION);
  const QStringList texts = TSpecificationLimits::Calculate(records, length_text, deviation);
  const QList<double> values = TSpecificationLimits::Values(records, lengths.at(0), deviation);
  for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
  {
    rows.append(
        csv ? QStringList{Column_Name(row), texts.value(row), Number_Text(values.value(row))}
            : QStringList{TSpecificationLimits::Row_Label(row), texts.value(row)});
  }
  Write_Table({QStringLiteral("limit"), QStringLiteral("text"), QStringLiteral("value_um")}, rows,
              csv);
  return STATUS_SUCCESS;
}
