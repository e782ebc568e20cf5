#include "qifreader.h"

#include "qiflengtherror.h"
#include "qifwriter.h"
#include "qifxmlguard.h"

#include <QHash>
#include <QRegularExpression>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <cmath>
#include <iterator>
#include <memory>

namespace
{
const QString ISO_10360_TEST = QStringLiteral("CartesianCMMISO10360Test");
constexpr int UTF8_MIB = 106;

// A value as the document gives it: its text and the unit named by its attribute, if any.
struct TValue
{
  bool present = false;
  QString text;
  QString unit;
};

struct TAccuracy
{
  int line = 0;
  // The element name of its test; empty when it has none.
  QString test;
  int form = TQifLengthError::FORM_NONE;
  TValue max_error;
  TValue base_error;
  TValue error_rate;
  TValue minimum_temperature;
  TValue maximum_temperature;
  bool has_source = false;
  QString source_enum;
  QString source_other;
};

struct TDevice
{
  int line = 0;
  QString name;
  QString description;
  QString manufacturer;
  QString model_number;
  QList<TAccuracy> accuracies;
};

// A unit's conversion to its SI unit: SI = (value + offset) × factor.
struct TConversion
{
  double factor = 1.0;
  double offset = 0.0;
};

struct TKnownUnit
{
  const char *name;
  TConversion conversion;
};

const TKnownUnit KNOWN_LENGTH_UNITS[] = {
    {"meter", {1.0, 0.0}},       {"metre", {1.0, 0.0}},       {"m", {1.0, 0.0}},
    {"millimeter", {1e-3, 0.0}}, {"millimetre", {1e-3, 0.0}}, {"mm", {1e-3, 0.0}},
    {"micrometer", {1e-6, 0.0}}, {"micrometre", {1e-6, 0.0}}, {"micron", {1e-6, 0.0}},
    {"um", {1e-6, 0.0}},         {"centimeter", {1e-2, 0.0}}, {"centimetre", {1e-2, 0.0}},
    {"cm", {1e-2, 0.0}},         {"inch", {0.0254, 0.0}},     {"in", {0.0254, 0.0}},
    {"foot", {0.3048, 0.0}},     {"feet", {0.3048, 0.0}},     {"ft", {0.3048, 0.0}}};

const TKnownUnit KNOWN_TEMPERATURE_UNITS[] = {
    {"kelvin", {1.0, 0.0}},        {"k", {1.0, 0.0}},          {"celsius", {1.0, 273.15}},
    {"degc", {1.0, 273.15}},       {"c", {1.0, 273.15}},       {"fahrenheit", {5.0 / 9.0, 459.67}},
    {"degf", {5.0 / 9.0, 459.67}}, {"f", {5.0 / 9.0, 459.67}}, {"rankine", {5.0 / 9.0, 0.0}}};

struct TUnitDefinition
{
  bool has_conversion = false;
  QString factor;
  QString offset;
};

// The units of one kind of quantity that a document's FileUnits declare.
struct TUnitSet
{
  // The name of the primary unit; empty when the document leaves it to QIF's default.
  QString primary;
  QHash<QString, TUnitDefinition> defined;
};

struct TUnits
{
  TUnitSet length;
  TUnitSet temperature;
};

bool Is(const QXmlStreamReader &xml, const char *name)
{
  return xml.name() == QLatin1String(name) && xml.namespaceUri() == TQifWriter::NAMESPACE;
}

QString Text(QXmlStreamReader &xml)
{
  return xml.readElementText(QXmlStreamReader::SkipChildElements);
}

TValue Value(QXmlStreamReader &xml, const char *unit_attribute)
{
  TValue value;
  value.present = true;
  value.unit = xml.attributes().value(QLatin1String(unit_attribute)).toString().simplified();
  value.text = Text(xml).trimmed();
  return value;
}

// An xs:decimal: digits with an optional sign and point, no exponent.
bool Parse_Decimal(const QString &text, double *value)
{
  static const QRegularExpression decimal(QStringLiteral("^[+-]?([0-9]+([.][0-9]*)?|[.][0-9]+)$"));
  if (!decimal.match(text).hasMatch())
  {
    return false;
  }
  bool valid = false;
  *value = text.toDouble(&valid);
  return valid && std::isfinite(*value);
}

void Read_Unit(QXmlStreamReader &xml, TUnitSet *set, bool primary)
{
  QString name;
  TUnitDefinition definition;
  while (xml.readNextStartElement())
  {
    if (Is(xml, "UnitName"))
    {
      name = Text(xml).simplified();
    }
    else if (Is(xml, "UnitConversion"))
    {
      definition.has_conversion = true;
      while (xml.readNextStartElement())
      {
        if (Is(xml, "Factor"))
        {
          definition.factor = Text(xml).trimmed();
        }
        else if (Is(xml, "Offset"))
        {
          definition.offset = Text(xml).trimmed();
        }
        else
        {
          xml.skipCurrentElement();
        }
      }
    }
    else
    {
      xml.skipCurrentElement();
    }
  }
  if (primary)
  {
    set->primary = name;
  }
  set->defined.insert(name, definition);
}

void Read_Units(QXmlStreamReader &xml, TUnits *units, bool primary)
{
  while (xml.readNextStartElement())
  {
    if (Is(xml, "LinearUnit"))
    {
      Read_Unit(xml, &units->length, primary);
    }
    else if (Is(xml, "TemperatureUnit"))
    {
      Read_Unit(xml, &units->temperature, primary);
    }
    else
    {
      xml.skipCurrentElement();
    }
  }
}

void Read_File_Units(QXmlStreamReader &xml, TUnits *units)
{
  while (xml.readNextStartElement())
  {
    if (Is(xml, "PrimaryUnits") || Is(xml, "OtherUnits"))
    {
      Read_Units(xml, units, Is(xml, "PrimaryUnits"));
    }
    else
    {
      xml.skipCurrentElement();
    }
  }
}

void Read_Linear_Error(QXmlStreamReader &xml, TAccuracy *accuracy)
{
  while (xml.readNextStartElement())
  {
    if (Is(xml, "BaseError"))
    {
      accuracy->base_error = Value(xml, "linearUnit");
    }
    else if (Is(xml, "ErrorRate"))
    {
      accuracy->error_rate = Value(xml, "");
    }
    else
    {
      xml.skipCurrentElement();
    }
  }
}

void Read_Iso_Test(QXmlStreamReader &xml, TAccuracy *accuracy)
{
  while (xml.readNextStartElement())
  {
    if (Is(xml, "MaxErrorConstant"))
    {
      accuracy->form = TQifLengthError::FORM_CONSTANT;
      accuracy->max_error = Value(xml, "linearUnit");
    }
    else if (Is(xml, "LinearError"))
    {
      accuracy->form = TQifLengthError::FORM_LINEAR;
      Read_Linear_Error(xml, accuracy);
    }
    else if (Is(xml, "LesserError"))
    {
      accuracy->form = TQifLengthError::FORM_LESSER;
      while (xml.readNextStartElement())
      {
        if (Is(xml, "MaxErrorConstant"))
        {
          accuracy->max_error = Value(xml, "linearUnit");
        }
        else if (Is(xml, "LinearError"))
        {
          Read_Linear_Error(xml, accuracy);
        }
        else
        {
          xml.skipCurrentElement();
        }
      }
    }
    else
    {
      xml.skipCurrentElement();
    }
  }
}

TAccuracy Read_Accuracy(QXmlStreamReader &xml)
{
  TAccuracy accuracy;
  accuracy.line = static_cast<int>(xml.lineNumber());
  while (xml.readNextStartElement())
  {
    if (Is(xml, "EnvironmentalRange"))
    {
      while (xml.readNextStartElement())
      {
        if (Is(xml, "MaxAmbientTemperature"))
        {
          accuracy.maximum_temperature = Value(xml, "temperatureUnit");
        }
        else if (Is(xml, "MinAmbientTemperature"))
        {
          accuracy.minimum_temperature = Value(xml, "temperatureUnit");
        }
        else
        {
          xml.skipCurrentElement();
        }
      }
    }
    else if (Is(xml, "AccuracySource"))
    {
      accuracy.has_source = true;
      while (xml.readNextStartElement())
      {
        if (Is(xml, "AccuracySourceEnum"))
        {
          accuracy.source_enum = Text(xml).trimmed();
        }
        else if (Is(xml, "OtherAccuracySource"))
        {
          accuracy.source_other = Text(xml).trimmed();
        }
        else
        {
          xml.skipCurrentElement();
        }
      }
    }
    else if (Is(xml, "CartesianCMMISO10360Test"))
    {
      accuracy.test = ISO_10360_TEST;
      Read_Iso_Test(xml, &accuracy);
    }
    else
    {
      // Any other test, B89 or FPS for example.
      accuracy.test = xml.name().toString();
      xml.skipCurrentElement();
    }
  }
  return accuracy;
}

TDevice Read_Device(QXmlStreamReader &xml)
{
  TDevice device;
  device.line = static_cast<int>(xml.lineNumber());
  while (xml.readNextStartElement())
  {
    if (Is(xml, "Name"))
    {
      device.name = Text(xml);
    }
    else if (Is(xml, "Description"))
    {
      device.description = Text(xml);
    }
    else if (Is(xml, "Manufacturer"))
    {
      device.manufacturer = Text(xml);
    }
    else if (Is(xml, "ModelNumber"))
    {
      device.model_number = Text(xml);
    }
    else if (Is(xml, "Accuracies"))
    {
      while (xml.readNextStartElement())
      {
        if (Is(xml, "CartesianCMMAccuracy"))
        {
          device.accuracies.append(Read_Accuracy(xml));
        }
        else
        {
          xml.skipCurrentElement();
        }
      }
    }
    else
    {
      xml.skipCurrentElement();
    }
  }
  return device;
}

void Read_Document(QXmlStreamReader &xml, TUnits *units, QList<TDevice> *devices,
                   TWarningList *warnings)
{
  while (xml.readNextStartElement())
  {
    if (Is(xml, "FileUnits"))
    {
      Read_File_Units(xml, units);
      continue;
    }
    if (!Is(xml, "MeasurementResources"))
    {
      xml.skipCurrentElement();
      continue;
    }
    while (xml.readNextStartElement())
    {
      if (!Is(xml, "MeasurementDevices"))
      {
        xml.skipCurrentElement();
        continue;
      }
      while (xml.readNextStartElement())
      {
        if (Is(xml, "CartesianCMM"))
        {
          devices->append(Read_Device(xml));
        }
        else
        {
          warnings->Add(
              static_cast<int>(xml.lineNumber()),
              QStringLiteral("%1: not a Cartesian CMM; skipped").arg(xml.name().toString()));
          xml.skipCurrentElement();
        }
      }
    }
  }
}

// The conversion of a unit to its SI unit: declared in the file, or known by its name. The
// value's own unit if it names one, else the primary unit, else QIF's default (the SI unit).
bool Find_Conversion(const TUnitSet &set, const QString &value_unit, const TKnownUnit *known,
                     int known_count, QString *unit_name, TConversion *conversion)
{
  *unit_name = value_unit.isEmpty() ? set.primary : value_unit;
  *conversion = TConversion();
  if (unit_name->isEmpty())
  {
    return true;
  }
  const auto defined = set.defined.constFind(*unit_name);
  if (defined != set.defined.constEnd() && defined->has_conversion)
  {
    bool offset_valid = defined->offset.isEmpty();
    if (!offset_valid)
    {
      offset_valid = Parse_Decimal(defined->offset, &conversion->offset);
    }
    return offset_valid && Parse_Decimal(defined->factor, &conversion->factor) &&
           conversion->factor > 0.0;
  }
  const QString lower = unit_name->toLower();
  for (int index = 0; index < known_count; ++index)
  {
    if (lower == QLatin1String(known[index].name))
    {
      *conversion = known[index].conversion;
      return true;
    }
  }
  return false;
}

// Converts the devices to records. False, with *error, when the document's units cannot be
// converted: then nothing of it is usable.
class TDeviceConverter
{
public:
  TDeviceConverter(const TUnits &units, TWarningList *warnings)
      : d_units(units), d_warnings(warnings)
  {
  }

  bool Convert(const TDevice &device, TDatabaseItem *record, bool *usable);
  // Where the device last converted is, for messages.
  QString Place() const { return QStringLiteral("line %1: %2").arg(d_line).arg(d_label); }
  QString Error_Text() const { return d_error_text; }

private:
  // The value in metres or kelvin: false, with the error text, when its unit is unknown; *reason
  // says when it is not a number.
  bool Si_Value(const TValue &value, const char *element, bool length, double *si, QString *reason);
  bool Length(const TValue &value, const char *element, double *millimetres, QString *reason);
  bool Temperature(const TValue &value, const char *element, double *celsius, QString *reason);
  bool Accuracy(const TAccuracy &accuracy, TExpressionItem *length_error, QString *reason);
  void Add_Temperatures(const TAccuracy &accuracy, TDatabaseItem *record);
  void Warn(const QString &text) { d_warnings->Add(d_line, d_label + QStringLiteral(": ") + text); }

  const TUnits &d_units;
  TWarningList *d_warnings;
  QString d_error_text;
  int d_line = 0;
  QString d_label;
};

bool TDeviceConverter::Si_Value(const TValue &value, const char *element, bool length, double *si,
                                QString *reason)
{
  QString unit;
  TConversion conversion;
  const bool known =
      length ? Find_Conversion(d_units.length, value.unit, KNOWN_LENGTH_UNITS,
                               static_cast<int>(std::size(KNOWN_LENGTH_UNITS)), &unit, &conversion)
             : Find_Conversion(d_units.temperature, value.unit, KNOWN_TEMPERATURE_UNITS,
                               static_cast<int>(std::size(KNOWN_TEMPERATURE_UNITS)), &unit,
                               &conversion);
  if (!known)
  {
    d_error_text = length ? QStringLiteral("Imported QIF file gives lengths in '%1', a unit that "
                                           "Metrova cannot convert to millimetres.")
                                .arg(unit)
                          : QStringLiteral("Imported QIF file gives temperatures in '%1', a unit "
                                           "that Metrova cannot convert to degrees Celsius.")
                                .arg(unit);
    return false;
  }
  double number = 0.0;
  if (!Parse_Decimal(value.text, &number))
  {
    *reason = QStringLiteral("its %1 '%2' is not a number").arg(QLatin1String(element), value.text);
  }
  *si = (number + conversion.offset) * conversion.factor;
  return true;
}

bool TDeviceConverter::Length(const TValue &value, const char *element, double *millimetres,
                              QString *reason)
{
  double metres = 0.0;
  if (!Si_Value(value, element, true, &metres, reason))
  {
    return false;
  }
  if (reason->isEmpty() && metres < 0.0)
  {
    *reason = QStringLiteral("its %1 is negative").arg(QLatin1String(element));
  }
  *millimetres = metres * 1000.0;
  return true;
}

bool TDeviceConverter::Temperature(const TValue &value, const char *element, double *celsius,
                                   QString *reason)
{
  double kelvin = 0.0;
  if (!Si_Value(value, element, false, &kelvin, reason))
  {
    return false;
  }
  *celsius = kelvin - 273.15;
  return true;
}

bool TDeviceConverter::Accuracy(const TAccuracy &accuracy, TExpressionItem *length_error,
                                QString *reason)
{
  if (accuracy.test != ISO_10360_TEST)
  {
    *reason =
        accuracy.test.isEmpty()
            ? QStringLiteral("its accuracy names no test")
            : QStringLiteral("its accuracy is a %1, not an ISO 10360 test").arg(accuracy.test);
    return true;
  }
  if (accuracy.source_other.startsWith(TQifWriter::ESTIMATE_SOURCE_START))
  {
    *reason = QStringLiteral("its ISO 10360 accuracy is Metrova's own estimate");
    return true;
  }
  if (accuracy.source_enum.isEmpty() && accuracy.source_other.isEmpty())
  {
    *reason = QStringLiteral("its ISO 10360 accuracy has no AccuracySource");
    return true;
  }
  if (!accuracy.source_enum.isEmpty() &&
      accuracy.source_enum != QLatin1String("MANUFACTURER_SPECIFICATION") &&
      accuracy.source_enum != QLatin1String("CUSTOM_CERTIFICATION"))
  {
    *reason = QStringLiteral("its ISO 10360 accuracy has the unknown AccuracySourceEnum '%1'")
                  .arg(accuracy.source_enum);
    return true;
  }

  const bool constant = accuracy.form != TQifLengthError::FORM_LINEAR;
  const bool linear = accuracy.form != TQifLengthError::FORM_CONSTANT;
  const char *missing = accuracy.form == TQifLengthError::FORM_NONE ? "length error"
                        : constant && !accuracy.max_error.present   ? "MaxErrorConstant"
                        : linear && !accuracy.base_error.present    ? "BaseError"
                        : linear && !accuracy.error_rate.present    ? "ErrorRate"
                                                                    : nullptr;
  if (missing)
  {
    *reason = QStringLiteral("its ISO 10360 accuracy has no %1").arg(QLatin1String(missing));
    return true;
  }
  double max_error = 0.0;
  double base_error = 0.0;
  double error_rate = 0.0;
  if (constant && !Length(accuracy.max_error, "MaxErrorConstant", &max_error, reason))
  {
    return false;
  }
  if (linear && reason->isEmpty() && !Length(accuracy.base_error, "BaseError", &base_error, reason))
  {
    return false;
  }
  if (linear && reason->isEmpty())
  {
    if (!Parse_Decimal(accuracy.error_rate.text, &error_rate))
    {
      *reason = QStringLiteral("its ErrorRate '%1' is not a number").arg(accuracy.error_rate.text);
    }
    else if (error_rate < 0.0)
    {
      *reason = QStringLiteral("its ErrorRate is negative");
    }
  }
  if (reason->isEmpty())
  {
    *length_error =
        TQifLengthError(accuracy.form, max_error, base_error, error_rate).To_Expression(reason);
  }
  return true;
}

void TDeviceConverter::Add_Temperatures(const TAccuracy &accuracy, TDatabaseItem *record)
{
  struct TBound
  {
    const TValue &value;
    const char *element;
    const char *component;
    TSpecificationItem item;
    bool valid;
  };
  TBound bounds[] = {{accuracy.minimum_temperature, "MinAmbientTemperature", "Ts_Min", {}, false},
                     {accuracy.maximum_temperature, "MaxAmbientTemperature", "Ts_Max", {}, false}};
  double celsius[2] = {0.0, 0.0};
  for (int index = 0; index < 2; ++index)
  {
    TBound &bound = bounds[index];
    QString reason;
    if (!bound.value.present || !Temperature(bound.value, bound.element, &celsius[index], &reason))
    {
      continue;
    }
    if (reason.isEmpty() &&
        (bound.item.expression.Set_Expression(
             QStringLiteral("%1 C").arg(QString::number(celsius[index], 'f', 2)),
             TExpressionItem::UNITS_MM) != TExpressionItem::EXPRESSION_TEMPERATURE ||
         !bound.item.expression.Is_Storable()))
    {
      reason = QStringLiteral("its %1 of %2 degrees C is not above 10 and below 40 degrees C")
                   .arg(QLatin1String(bound.element), QString::number(celsius[index], 'f', 2));
    }
    if (!reason.isEmpty())
    {
      Warn(reason + QStringLiteral("; the temperature is left out"));
      continue;
    }
    bound.valid = true;
    bound.item.name = QLatin1String(bound.component);
    bound.item.source = TDatabaseItem::SOURCE_MANUFACTURER;
  }
  if (bounds[0].valid && bounds[1].valid && celsius[0] > celsius[1])
  {
    Warn(QStringLiteral("its MinAmbientTemperature is above its MaxAmbientTemperature; both "
                        "temperatures are left out"));
    return;
  }
  for (const TBound &bound : bounds)
  {
    if (bound.valid)
    {
      record->Add_Specification_Item(bound.item);
    }
  }
}

bool TDeviceConverter::Convert(const TDevice &device, TDatabaseItem *record, bool *usable)
{
  *usable = false;
  d_line = device.line;
  const QString name = device.name.simplified();
  d_label = QStringLiteral("CartesianCMM %1").arg(TWarningList::Quoted(name));
  const QString make = TDatabaseItem::Cleaned_Name(device.manufacturer);
  const QString model = TDatabaseItem::Cleaned_Name(device.model_number);
  QString option = TDatabaseItem::Cleaned_Name(device.description);
  if (option.isEmpty())
  {
    option = TDatabaseItem::Cleaned_Name(device.name);
  }
  if (make.isEmpty() || model.isEmpty() || option.isEmpty())
  {
    Warn(make.isEmpty()    ? QStringLiteral("it has no usable Manufacturer; skipped")
         : model.isEmpty() ? QStringLiteral("it has no usable ModelNumber; skipped")
                           : QStringLiteral("it has no usable Description or Name; skipped"));
    return true;
  }
  if (make.size() > TQifReader::MAXIMUM_NAME_LENGTH ||
      model.size() > TQifReader::MAXIMUM_NAME_LENGTH ||
      option.size() > TQifReader::MAXIMUM_NAME_LENGTH)
  {
    Warn(QStringLiteral("its names are longer than %1 characters; skipped")
             .arg(TQifReader::MAXIMUM_NAME_LENGTH));
    return true;
  }

  const TAccuracy *chosen = nullptr;
  TExpressionItem length_error;
  QString first_reason;
  for (const TAccuracy &accuracy : device.accuracies)
  {
    if (chosen)
    {
      if (accuracy.test == ISO_10360_TEST)
      {
        Warn(QStringLiteral("only its first usable ISO 10360 accuracy is imported"));
        break;
      }
      continue;
    }
    QString reason;
    if (!Accuracy(accuracy, &length_error, &reason))
    {
      return false;
    }
    if (reason.isEmpty())
    {
      chosen = &accuracy;
    }
    else if (first_reason.isEmpty())
    {
      first_reason = reason;
    }
  }
  if (!chosen)
  {
    Warn((first_reason.isEmpty() ? QStringLiteral("it has no accuracy") : first_reason) +
         QStringLiteral("; skipped"));
    return true;
  }

  record->Set_Make(make);
  record->Set_Model(model);
  record->Set_Option(option);
  record->Set_Standard(QStringLiteral("10360"));
  TSpecificationItem item;
  item.name = QStringLiteral("E0");
  item.expression = length_error;
  item.source = TDatabaseItem::SOURCE_MANUFACTURER;
  record->Add_Specification_Item(item);
  Add_Temperatures(*chosen, record);
  if (!d_error_text.isEmpty())
  {
    return false;
  }
  *usable = true;
  return true;
}

QString Xml_Error(const QXmlStreamReader &xml)
{
  return QStringLiteral("Imported QIF file is not well-formed XML: %1 (line %2, column %3).")
      .arg(xml.errorString())
      .arg(xml.lineNumber())
      .arg(xml.columnNumber());
}
} // namespace

bool TQifReader::Fail(const QString &text)
{
  d_error_text = text;
  d_records.clear();
  d_record_places.clear();
  return false;
}

bool TQifReader::Read(const QByteArray &bytes)
{
  d_records.clear();
  d_record_places.clear();
  d_warnings.Clear();
  d_error_text.clear();
  if (bytes.size() > MAXIMUM_DOCUMENT_SIZE)
  {
    return Fail(QStringLiteral("Imported QIF file is larger than %1 MB.")
                    .arg(MAXIMUM_DOCUMENT_SIZE / (1024 * 1024)));
  }

  // The guard reads ASCII markup: a document in UTF-16 or UTF-32 is decoded first.
  const QTextCodec *codec = QTextCodec::codecForUtfText(bytes, nullptr);
  const bool decode = codec && codec->mibEnum() != UTF8_MIB;
  const QString text = decode ? codec->toUnicode(bytes) : QString();
  const QString problem = decode ? TQifXmlGuard::Problem(text) : TQifXmlGuard::Problem(bytes);
  if (!problem.isEmpty())
  {
    return Fail(problem);
  }
  const std::unique_ptr<QXmlStreamReader> reader(decode ? new QXmlStreamReader(text)
                                                        : new QXmlStreamReader(bytes));
  QXmlStreamReader &xml = *reader;
  while (!xml.atEnd() && !xml.isStartElement())
  {
    // QIF documents need no DTD, and one could declare entities that expand without bound.
    if (xml.readNext() == QXmlStreamReader::DTD)
    {
      return Fail(QStringLiteral("Imported QIF file has a document type declaration, which QIF "
                                 "documents do not use."));
    }
  }
  if (xml.hasError())
  {
    return Fail(Xml_Error(xml));
  }
  if (!Is(xml, "QIFDocument"))
  {
    return Fail(QStringLiteral("Imported QIF file is not a QIF 3 document: its root element is "
                               "'%1' in the namespace '%2'.")
                    .arg(xml.name().toString(), xml.namespaceUri().toString()));
  }

  TUnits units;
  QList<TDevice> devices;
  Read_Document(xml, &units, &devices, &d_warnings);
  // A document cut short or with anything after its end is refused as a whole, not read in part.
  while (!xml.atEnd())
  {
    xml.readNext();
  }
  if (xml.hasError())
  {
    d_warnings.Clear();
    return Fail(Xml_Error(xml));
  }

  TDeviceConverter converter(units, &d_warnings);
  for (const TDevice &device : qAsConst(devices))
  {
    TDatabaseItem record;
    bool usable = false;
    if (!converter.Convert(device, &record, &usable))
    {
      d_warnings.Clear();
      return Fail(converter.Error_Text());
    }
    if (usable)
    {
      d_records.append(record);
      d_record_places.append(converter.Place());
    }
  }
  return true;
}
