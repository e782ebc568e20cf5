#ifndef METROVA_LIMITSSERIES_H
#define METROVA_LIMITSSERIES_H

#include "specificationlimits.h"

#include <QPointF>
#include <QString>
#include <QVector>

// The limits of one machine over many measuring lengths at one temperature: the evaluation of
// TSpecificationLimits repeated, for plots and tables. Lengths in millimetres, values in
// micrometres.
class TLimitsSeries
{
public:
  // steps + 1 lengths from 0 to maximum; dense enough that a plot shows where a maximum caps.
  static QVector<double> Range(double maximum, int steps = DEFAULT_STEPS);
  // The one rule for a measuring length that is typed: a finite number of 0 mm or more.
  static bool Parse_Length(const QString &text, double *length);
  // "100, 500,1000": false, with *lengths untouched, unless every entry is a length.
  static bool Parse_Lengths(const QString &text, QVector<double> *lengths);
  // "L", or "FROM:TO:STEP" for every length from FROM to TO (included up to rounding) in steps
  // of STEP; *is_range tells which was given. *lengths is untouched unless the result is valid.
  enum TRangeResult
  {
    RANGE_VALID = 0,
    RANGE_NOT_NUMBERS,
    RANGE_NEGATIVE,
    // TO below FROM, STEP not above 0, or more than MAXIMUM_RANGE_LENGTHS lengths.
    RANGE_BAD_BOUNDS
  };
  static TRangeResult Parse_Range(const QString &text, QVector<double> *lengths, bool *is_range);
  static QString Lengths_Text(const QVector<double> &lengths);

  // The value of one component at each length.
  static QVector<TSpecificationLimits::TValue> Component_Values(const QList<TDatabaseItem> &records,
                                                                const QString &standard,
                                                                const QString &component,
                                                                const QVector<double> &lengths,
                                                                double temperature_deviation);
  // The (length, value) points where a component has a number.
  static QVector<QPointF> Component_Curve(const QList<TDatabaseItem> &records,
                                          const QString &standard, const QString &component,
                                          const QVector<double> &lengths,
                                          double temperature_deviation);
  // Per limits row (TSpecificationLimits::ROW_COUNT entries) the points where it has a number;
  // the rows that do not vary with length stay empty.
  static QVector<QVector<QPointF>> Row_Curves(const QList<TDatabaseItem> &records,
                                              const QVector<double> &lengths,
                                              double temperature_deviation);

  static constexpr int DEFAULT_STEPS = 400;
  // More lengths than this in one range is a typing error rather than a table.
  static constexpr int MAXIMUM_RANGE_LENGTHS = 100000;
};

#endif // METROVA_LIMITSSERIES_H
