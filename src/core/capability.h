#ifndef METROVA_CAPABILITY_H
#define METROVA_CAPABILITY_H

#include "databaseitem.h"
#include "temperatureband.h"

#include <QList>
#include <QString>

// Whether a machine's maximum permissible error leaves room enough inside a part's tolerance:
// the ratio of the tolerance span to twice the error E(L) of one length-dependent component at
// the feature length, against a required ratio. A shortlist, not an acceptance of parts: the
// error a maker permits is not the uncertainty of a particular measurement task.
class TCapability
{
public:
  static constexpr double DEFAULT_RATIO = 4.0;
  static constexpr double STRICT_RATIO = 10.0;
  static const char CAVEAT[];

  struct TRequest
  {
    QString standard = QStringLiteral("10360");
    QString component = QStringLiteral("E0");
    // Millimetres.
    double feature_length = 0.0;
    // The tolerance span in micrometres.
    double tolerance = 0.0;
    double ratio = DEFAULT_RATIO;
    // Degrees Celsius.
    double temperature = 20.0;
  };

  struct TMachine
  {
    QString make;
    QString model;
    QString option;
    QList<TDatabaseItem> records;
  };

  struct TResult
  {
    bool has_value = false;
    // E(L) in micrometres.
    double error = 0.0;
    double ratio = 0.0;
    bool reaches = false;
    int source = TDatabaseItem::SOURCE_MANUFACTURER;
    bool in_band = true;
    TTemperatureBand band;

    // Reaches the ratio at a temperature where the machine's limits apply.
    bool Is_Capable() const { return has_value && reaches && in_band; }
  };

  struct TRanked
  {
    TMachine machine;
    TResult result;
  };

  // The one rule for a typed tolerance span or required ratio: a finite number above 0.
  static bool Parse_Positive(const QString &text, double *value);

  static TResult Evaluate(const TRequest &request, const QList<TDatabaseItem> &records);
  // "Capable", "Ratio too small", "Outside temperature range" or "No value".
  static QString Verdict(const TResult &result);
  // Whether a component of this kind mask has a value that varies with length.
  static bool Is_Length_Dependent(int expression_types);

  // Highest ratio first, machines without a value last; ties keep the machines' order.
  static QList<TRanked> Rank(const TRequest &request, const QList<TMachine> &machines,
                             bool capable_only);

private:
  // Evaluate with the component's kinds found once (TSpecificationLimits::Component_Kinds).
  static TResult Evaluate(const TRequest &request, int kinds, const QList<TDatabaseItem> &records);
};

#endif // METROVA_CAPABILITY_H
