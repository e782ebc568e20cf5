#ifndef METROVA_QIFDOCUMENT_H
#define METROVA_QIFDOCUMENT_H

#include "qifunits.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QXmlStreamReader;

// An EnvironmentalRange: the ambient temperatures, and whether it states conditions that
// Metrova has no place for (air pressure, humidity).
struct TQifRange
{
  TQifValue minimum_temperature;
  TQifValue maximum_temperature;
  bool other_conditions = false;
  bool Has_Temperature() const
  {
    return minimum_temperature.present || maximum_temperature.present;
  }
};

// One CartesianCMMAccuracy, as the document gives it.
struct TQifAccuracy
{
  static constexpr int TEST_NONE = 0;
  static constexpr int TEST_ISO_10360 = 1;
  static constexpr int TEST_B89 = 2;
  static constexpr int TEST_OTHER = 3;

  int line = 0;
  int test = TEST_NONE;
  // The element name of its test.
  QString test_name;
  // The ISO 10360 test: its form (TQifLengthError) and values.
  int form = 0;
  TQifValue max_error;
  TQifValue base_error;
  TQifValue error_rate;
  // The B89 test: the one figure Metrova has a place for, and the names of those it has not.
  TQifValue repeatability;
  QStringList left_out;
  TQifRange range;
  bool has_source = false;
  QString source_enum;
  QString source_other;
};

struct TQifDevice
{
  int line = 0;
  QString name;
  QString description;
  QString manufacturer;
  QString model_number;
  TQifRange range;
  QList<TQifAccuracy> accuracies;
};

// What Metrova reads of a QIF 3 document: its units and Cartesian CMMs, and what else its
// measurement devices are.
struct TQifDocument
{
  TQifUnits units;
  bool has_resources = false;
  QList<TQifDevice> devices;
  // Devices of other kinds by element name, with their count.
  QMap<QString, int> other_devices;
  // The first element where devices were looked for that is outside QIF's namespace, as
  // "MeasurementResources is in the namespace 'x'"; empty when there is none.
  QString foreign_element;

  // Reads the document from its root element on. The XML reader's error, if any, is left to
  // the caller.
  void Read(QXmlStreamReader &xml);
};

#endif // METROVA_QIFDOCUMENT_H
