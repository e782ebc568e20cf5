#ifndef METROVA_QIFWRITER_H
#define METROVA_QIFWRITER_H

#include "databaseitem.h"
#include "qiflengtherror.h"
#include "warninglist.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

// Writes machines as a QIF 3 measurement resources document: one CartesianCMM per make, model
// and option, with its ISO 10360 length error E0, the temperature range it holds for, and
// whether it is the manufacturer's figure or Metrova's estimate.
class TQifWriter
{
public:
  static const QString NAMESPACE;
  // Every estimate's accuracy source starts so; the reader knows its own estimates by it.
  static const QString ESTIMATE_SOURCE_START;

  // One machine from its records of every standard, estimated items included. What QIF cannot
  // carry is left out and named in the warnings.
  void Add_Machine(const QString &make, const QString &model, const QString &option,
                   const QList<TDatabaseItem> &records);
  int Device_Count() const { return static_cast<int>(d_devices.size()); }
  // The document, with a fresh QPId.
  QByteArray Document() const;
  const TWarningList &Warnings() const { return d_warnings; }

private:
  struct TDevice
  {
    QString make;
    QString model;
    QString option;
    TQifLengthError length_error;
    QString minimum_temperature;
    QString maximum_temperature;
    // Empty for the manufacturer's figure.
    QString estimate_source;
  };

  std::vector<TDevice> d_devices;
  TWarningList d_warnings;
};

#endif // METROVA_QIFWRITER_H
