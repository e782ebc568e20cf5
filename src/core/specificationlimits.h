#ifndef METROVA_SPECIFICATIONLIMITS_H
#define METROVA_SPECIFICATIONLIMITS_H

#include "databaseitem.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The error limits that the stored expressions of one machine give at a measuring length and
// temperature deviation, in micrometres: as numbers, and as the short texts of the limits rows,
// which are made from those numbers.
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

  enum TState
  {
    STATE_EMPTY = 0,
    // A number in micrometres.
    STATE_VALUE,
    // A limit stated for one nominal length, away from that length: no number, only the form.
    STATE_FORM
  };

  // The limit of one row or component, and the stored item it came from.
  struct TValue
  {
    int state = STATE_EMPTY;
    double value = 0.0;
    int source = TDatabaseItem::SOURCE_MANUFACTURER;
    TExpressionItem expression;

    bool Has_Value() const { return state == STATE_VALUE; }
  };

  static constexpr double REFERENCE_TEMPERATURE = 20.0;
  static constexpr double MINIMUM_DIVISOR = 10.0;
  static constexpr double MINIMUM_NOMINAL_LENGTH = 10.0;
  static constexpr double NOMINAL_LENGTH_TOLERANCE = 0.2;
  static constexpr double LENGTH_SCALE = 1000.0;
  // The kinds that vary with length: the linear forms and those stated for a nominal length.
  static constexpr int LENGTH_KINDS = TExpressionItem::EXPRESSION_FIXED_LENGTH |
                                      TExpressionItem::EXPRESSION_LINEAR |
                                      TExpressionItem::EXPRESSION_LINEAR_MAXIMUM |
                                      TExpressionItem::EXPRESSION_FIXED_LENGTH_TEMPERATURE |
                                      TExpressionItem::EXPRESSION_LINEAR_TEMPERATURE;

  // ROW_COUNT texts, empty where nothing applies; all empty when the length is not a number.
  static QStringList Calculate(const QList<TDatabaseItem> &records, const QString &length_text,
                               double temperature_deviation);
  // ROW_COUNT values at a length in millimetres (used by its absolute value).
  static QVector<TValue> Evaluate(const QList<TDatabaseItem> &records, double length,
                                  double temperature_deviation);
  // One component of one standard, evaluated as its row is, or, for a component without a row,
  // in every kind of LENGTH_KINDS. A later item overwrites an earlier one as in Evaluate.
  static TValue Component_Value(const QList<TDatabaseItem> &records, const QString &standard,
                                const QString &component, double length,
                                double temperature_deviation);
  // The same with the component's kinds (Component_Kinds) found once, for a caller that asks
  // about many machines.
  static int Component_Kinds(const QString &standard, const QString &component);
  static TValue Component_Value(const QList<TDatabaseItem> &records, const QString &standard,
                                const QString &component, int kinds, double length,
                                double temperature_deviation);
  // One expression of one of the kinds given, evaluated as a component's item is: for a value
  // that is no component's, such as a test's uncertainty.
  static TValue Expression_Value(const TExpressionItem &expression, int kinds, double length,
                                 double temperature_deviation);
  static QString Row_Text(int row, const TValue &value);
  // A nominal-length form with its numbers, without unit: "5.0/500", "(2.0+0.50Td)/300".
  static QString Form_Text(const TExpressionItem &expression);
  // A limit as the rows show it, without unit: "4.8".
  static QString Value_Text(double value);
  // Whether a row's value may change with the measuring length.
  static bool Is_Length_Row(int row);

  // The rows' numbers alone (Evaluate): NaN where a row shows no single value (nothing applies,
  // a form stated for another nominal length, or a length that is no number).
  static QList<double> Values(const QList<TDatabaseItem> &records, double length,
                              double temperature_deviation);

  // The row's label as the limits dialog shows it, such as "CMMA M:".
  static QString Row_Label(int row);

  // |T - 20|, or the previous deviation when the text is not a number.
  static double Temperature_Deviation(const QString &temperature_text, double previous_deviation);
  static double Temperature_Deviation(double temperature);
  // A finite number in the locale-independent form; false for anything else.
  static bool To_Number(const QString &text, double *value);
};

#endif // METROVA_SPECIFICATIONLIMITS_H
