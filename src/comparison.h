#ifndef METROVA_COMPARISON_H
#define METROVA_COMPARISON_H

#include "capability.h"
#include "specificationlimits.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Machines side by side: one component's limits at a few lengths and one temperature, and, when a
// tolerance is given, each machine's capability for it. The same table for the window and the
// command line, as cells and as CSV.
class TComparison
{
public:
  enum TColumn
  {
    COLUMN_MAKE = 0,
    COLUMN_MODEL,
    COLUMN_OPTION,
    COLUMN_SOURCE,
    // Then one column per length, the temperature note and, with a tolerance, E(L), the ratio
    // and the verdict.
    COLUMN_FIRST_LENGTH
  };

  struct TSettings
  {
    // The component, the temperature and, with a tolerance, the rest of the capability request.
    TCapability::TRequest request;
    QVector<double> lengths = {100.0, 500.0, 1000.0};
    bool with_tolerance = false;
  };

  struct TRow
  {
    TCapability::TMachine machine;
    QVector<TSpecificationLimits::TValue> values;
    // Of the first value found, or of E(L); empty when there is none.
    QString source;
    TCapability::TResult capability;
  };

  static TRow Row(const TSettings &settings, const TCapability::TMachine &machine);
  static QList<TRow> Rows(const TSettings &settings, const QList<TCapability::TMachine> &machines);

  static int Column_Count(const TSettings &settings);
  static int Ratio_Column(const TSettings &settings);
  static QStringList Header(const TSettings &settings);
  static QStringList Cells(const TSettings &settings, const TRow &row);
  // What a column sorts by: numbers for the limits and the ratio (none sorts first), else text.
  static QVariant Sort_Key(const TSettings &settings, const TRow &row, int column);
  // Header and rows, comma-separated, one line each.
  static QString Csv(const TSettings &settings, const QList<TRow> &rows);
};

#endif // METROVA_COMPARISON_H
