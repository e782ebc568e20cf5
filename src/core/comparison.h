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
    // Then, with a tolerance, E(L), the ratio and the verdict; one column per length; and the
    // note that the temperature lies outside the machine's band.
    COLUMN_SOURCE
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

  static int Ratio_Column(const TSettings &settings);
  static QStringList Header(const TSettings &settings);
  // What each column of the header holds, whatever the component and whether or not a tolerance
  // moves it: "make", ..., "ratio", "length 500", "temperature".
  static QStringList Column_Keys(const TSettings &settings);
  static QStringList Cells(const TSettings &settings, const TRow &row);
  // What each column of a row with these cells sorts by: numbers for the limits and the ratio
  // (none sorts first), else the cell's text.
  static QVector<QVariant> Sort_Keys(const TSettings &settings, const TRow &row,
                                     const QStringList &cells);
  // Header and rows as TCsvWriter writes them, comma-separated or by another separator (a tab
  // for the clipboard). With the parameters, they come first as "# " lines, with the caveat: a
  // table read later says what it answered.
  static QString Csv(const TSettings &settings, const QList<TRow> &rows,
                     QChar separator = QLatin1Char(','), bool with_parameters = false);
  // "Component: 10360 E0", "Lengths: 100, 500, 1000 mm", ..., and the caveat last.
  static QStringList Parameter_Lines(const TSettings &settings);
};

#endif // METROVA_COMPARISON_H
