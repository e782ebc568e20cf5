#ifndef METROVA_SPECIFICATIONLIMITS_H
#define METROVA_SPECIFICATIONLIMITS_H

#include "databaseitem.h"

#include <QList>
#include <QString>
#include <QStringList>

// The error limits that the stored expressions of one machine give at a measuring length and
// temperature deviation: one short text per row, in micrometres.
class TSpecificationLimits
{
public:
  enum TRow
  {
    ROW_B89_REPEAT = 0,
    ROW_B89_BALLBAR,
    ROW_10360_R0,
    ROW_10360_E0,
    ROW_10360_E150,
    ROW_VDIVDE_V3,
    ROW_VDIVDE_U3,
    ROW_CMMA_REPEAT,
    ROW_CMMA_M,
    ROW_COUNT
  };

  static constexpr double REFERENCE_TEMPERATURE = 20.0;
  static constexpr double MINIMUM_DIVISOR = 10.0;
  static constexpr double MINIMUM_NOMINAL_LENGTH = 10.0;
  static constexpr double NOMINAL_LENGTH_TOLERANCE = 0.2;
  static constexpr double LENGTH_SCALE = 1000.0;

  // ROW_COUNT texts, empty where nothing applies; all empty when the length is not a number.
  static QStringList Calculate(const QList<TDatabaseItem> &records, const QString &length_text,
                               double temperature_deviation);

  // The same rows as numbers in micrometres, for tables and plots: NaN where a row shows no
  // single value (nothing applies, or a form stated for another nominal length).
  static QList<double> Values(const QList<TDatabaseItem> &records, double length,
                              double temperature_deviation);

  // The row's label as the limits dialog shows it, such as "CMMA M:".
  static QString Row_Label(int row);

  // |T - 20|, or the previous deviation when the text is not a number.
  static double Temperature_Deviation(const QString &temperature_text, double previous_deviation);
};

#endif // METROVA_SPECIFICATIONLIMITS_H
