#ifndef METROVA_VERIFICATIONBASIS_H
#define METROVA_VERIFICATIONBASIS_H

#include "databaseitem.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a record's verdict rests on in the catalogue: the limit of the component judged, the
// machine's R0 and its rated temperatures, each as its expression in micrometres (as the editor
// writes it) with its source. Stored with the record when it is saved, it judges, plots and
// reports the record the same years later, whatever the catalogue holds by then.
struct TVerificationBasis
{
  // One stated value; an empty text where the machine states none.
  struct TValue
  {
    QString text;
    int source = TDatabaseItem::SOURCE_MANUFACTURER;

    bool Is_Given() const { return !text.isEmpty(); }
    bool operator==(const TValue &other) const
    {
      return text == other.text && (text.isEmpty() || source == other.source);
    }
  };

  QString standard;
  QString component;
  TValue limit;
  TValue r0;
  TValue minimum_temperature;
  TValue maximum_temperature;

  // Whether a record of the component judges its repetitions against R0: only E0's does.
  static bool Judges_R0(const QString &standard, const QString &component);
  // The values of the machine that a record of the component rests on: the last item of each
  // name, as the limits evaluation takes it.
  static TVerificationBasis Of_Machine(const QList<TDatabaseItem> &machine, const QString &standard,
                                       const QString &component);
  // The basis as a machine's rows, for the limits evaluation and the temperature band.
  QList<TDatabaseItem> Machine() const;
  // "E0 = 1.5+3.3L/1000 µm (manufacturer)", "E0 = ... (estimated)"; empty without a limit.
  QString Limit_Line() const;
  // A line for each value that today's catalogue states otherwise: "the catalogue's E0 is now
  // 2+3L/1000 µm (manufacturer)", "the catalogue states no R0 now".
  QStringList Changes(const TVerificationBasis &today) const;
  bool operator==(const TVerificationBasis &other) const;
};

#endif // METROVA_VERIFICATIONBASIS_H
