#include "qifreader.h"

#include "qifdocument.h"
#include "qiflengtherror.h"
#include "qifwriter.h"
#include "qifxmlguard.h"

#include <QHash>
#include <QLocale>
#include <QTextCodec>
#include <QXmlStreamReader>

#include <memory>

namespace
{
const QString STANDARD_10360 = QStringLiteral("10360");
const QString STANDARD_B89 = QStringLiteral("B89.4.1");
constexpr int UTF8_MIB = 106;
// An ErrorRate is millimetres per millimetre. Real CMMs have 0.3 to 30 um per metre; above
// 100 um per metre the writer most likely meant um per mm.
constexpr double IMPLAUSIBLE_RATE = 0.0001;

// "1 device" or "3 devices".
QString Count(int count, const char *singular, const char *plural)
{
  return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : plural));
}

// "A", "A or B", "A, B or C".
QString Alternatives(const QStringList &names)
{
  return names.size() < 2 ? names.join(QString())
                          : names.mid(0, names.size() - 1).join(QStringLiteral(", ")) +
                                QStringLiteral(" or ") + names.last();
}

// What is said once for the whole document instead of once per device.
struct TDocumentNotes
{
  int unsourced = 0;
  int further_accuracies = 0;
  int devices_with_further = 0;
  int b89_tests = 0;
  QStringList b89_left_out;
  int device_ranges = 0;
  int other_conditions = 0;
};

// Converts the devices to records, by the rules of the README's "Reading other tools'
// documents": every guess and every omission is a warning naming the device, or, where the
// same happens on every device of a plant's file, one note for the document.
class TDeviceConverter
{
public:
  TDeviceConverter(const TQifUnits &units, TWarningList *warnings)
      : d_units(units), d_warnings(warnings)
  {
  }

  // The device's records, none when nothing of it is usable. False, with the error text, when
  // the document's units cannot be converted: then nothing of it is usable.
  bool Convert(const TQifDevice &device, QList<TDatabaseItem> *records);
  // Where the device last converted is, for messages.
  QString Place() const { return QStringLiteral("line %1: %2").arg(d_line).arg(d_label); }
  int Line() const { return d_line; }
  QString Label() const { return d_label; }
  QString Error_Text() const { return d_error_text; }
  void Warn_Document(const TQifDocument &document);

private:
  bool Names(const TQifDevice &device, QString names[3]);
  QString Source_Problem(const TQifAccuracy &accuracy, const QString &test);
  // A length in millimetres that must be above zero; *reason when it is not a figure.
  bool Figure(const TQifValue &value, const char *element, double *millimetres, QString *reason);
  bool Length_Error(const TQifAccuracy &accuracy, TExpressionItem *length_error, QString *reason);
  bool Repeat(const TQifAccuracy &accuracy, TExpressionItem *repeat, QString *reason);
  bool Add_Temperatures(const TQifRange &range, TDatabaseItem *record);
  void Warn(const QString &text) { d_warnings->Add(d_line, d_label + QStringLiteral(": ") + text); }

  const TQifUnits &d_units;
  TWarningList *d_warnings;
  TDocumentNotes d_notes;
  QString d_error_text;
  int d_line = 0;
  QString d_label;
};

bool TDeviceConverter::Names(const TQifDevice &device, QString names[3])
{
  // Each name missing is taken from the Name in turn: the make is its first word, the model what
  // follows the make (without the option at its end, when the option is given), the option what
  // follows both, or "Standard" when nothing does.
  static const char *const ELEMENTS[] = {"Manufacturer", "ModelNumber", "Description"};
  const QString name = TDatabaseItem::Cleaned_Name(device.name);
  names[0] = TDatabaseItem::Cleaned_Name(device.manufacturer);
  names[1] = TDatabaseItem::Cleaned_Name(device.model_number);
  names[2] = TDatabaseItem::Cleaned_Name(device.description);
  const QString option_ending = QLatin1Char(' ') + names[2];
  QString rest = name;
  QStringList missing;
  for (int index = 0; index < 3; ++index)
  {
    if (names[index].isEmpty())
    {
      missing.append(QLatin1String(ELEMENTS[index]));
      names[index] = index == 0   ? rest.section(QLatin1Char(' '), 0, 0)
                     : index == 1 ? (rest.isEmpty() ? name : rest)
                                  : (rest.isEmpty() ? QStringLiteral("Standard") : rest);
      if (index == 1 && !names[2].isEmpty() &&
          names[1].endsWith(option_ending, Qt::CaseInsensitive))
      {
        names[1].chop(option_ending.size());
      }
    }
    if (names[index].isEmpty())
    {
      Warn(QStringLiteral("it has no %1 and no Name to take it from; skipped")
               .arg(QLatin1String(ELEMENTS[index])));
      return false;
    }
    if (rest.compare(names[index], Qt::CaseInsensitive) == 0)
    {
      rest.clear();
    }
    else if (rest.startsWith(names[index] + QLatin1Char(' '), Qt::CaseInsensitive))
    {
      rest = rest.mid(names[index].size() + 1);
    }
  }
  if (!missing.isEmpty())
  {
    Warn(QStringLiteral("no %1: named make %2, model %3, option %4 from its Name")
             .arg(Alternatives(missing), TWarningList::Quoted(names[0]),
                  TWarningList::Quoted(names[1]), TWarningList::Quoted(names[2])));
  }
  return true;
}

QString TDeviceConverter::Source_Problem(const TQifAccuracy &accuracy, const QString &test)
{
  if (accuracy.source_enum.isEmpty() && accuracy.source_other.isEmpty())
  {
    // What other tools' files without a source hold.
    ++d_notes.unsourced;
    return QString();
  }
  if (accuracy.source_other.startsWith(TQifWriter::ESTIMATE_SOURCE_START))
  {
    return QStringLiteral("its %1 accuracy is Metrova's own estimate").arg(test);
  }
  if (!accuracy.source_enum.isEmpty() &&
      accuracy.source_enum != QLatin1String("MANUFACTURER_SPECIFICATION") &&
      accuracy.source_enum != QLatin1String("CUSTOM_CERTIFICATION"))
  {
    return QStringLiteral("its %1 accuracy has the unknown AccuracySourceEnum '%2'")
        .arg(test, accuracy.source_enum);
  }
  return QString();
}

bool TDeviceConverter::Figure(const TQifValue &value, const char *element, double *millimetres,
                              QString *reason)
{
  if (!d_units.Convert(TQifUnits::LENGTH, value, element, millimetres, reason, &d_error_text))
  {
    return false;
  }
  // A placeholder: a zero stored as a length error would rank as a perfect machine.
  if (reason->isEmpty() && !(*millimetres > 0.0))
  {
    *reason = QStringLiteral("its %1 %2 is not a figure (zero or negative)")
                  .arg(QLatin1String(element), value.text);
  }
  return true;
}

bool TDeviceConverter::Length_Error(const TQifAccuracy &accuracy, TExpressionItem *length_error,
                                    QString *reason)
{
  int form = accuracy.form;
  const bool constant = form != TQifLengthError::FORM_LINEAR;
  const bool linear = form != TQifLengthError::FORM_CONSTANT;
  const char *missing = form == TQifLengthError::FORM_NONE        ? "length error"
                        : constant && !accuracy.max_error.present ? "MaxErrorConstant"
                        : linear && !accuracy.base_error.present  ? "BaseError"
                        : linear && !accuracy.error_rate.present  ? "ErrorRate"
                                                                  : nullptr;
  if (missing)
  {
    *reason = QStringLiteral("its ISO 10360 accuracy has no %1").arg(QLatin1String(missing));
    return true;
  }
  double max_error = 0.0;
  double base_error = 0.0;
  double error_rate = 0.0;
  QString constant_reason;
  QString linear_reason;
  if (constant && !Figure(accuracy.max_error, "MaxErrorConstant", &max_error, &constant_reason))
  {
    return false;
  }
  if (linear && !Figure(accuracy.base_error, "BaseError", &base_error, &linear_reason))
  {
    return false;
  }
  if (linear && linear_reason.isEmpty())
  {
    if (!TQifUnits::Parse_Decimal(accuracy.error_rate.text, &error_rate))
    {
      linear_reason =
          QStringLiteral("its ErrorRate '%1' is not a number").arg(accuracy.error_rate.text);
    }
    else if (error_rate < 0.0)
    {
      // Zero is a figure: the error does not grow with the length.
      linear_reason = QStringLiteral("its ErrorRate %1 is not a figure (negative)")
                          .arg(accuracy.error_rate.text);
    }
  }
  // The lesser of two errors is below each: the part that is a figure bounds it alone.
  if (form == TQifLengthError::FORM_LESSER && constant_reason.isEmpty() != linear_reason.isEmpty())
  {
    Warn(constant_reason.isEmpty()
             ? linear_reason + QStringLiteral("; left out, its MaxErrorConstant alone is imported")
             : constant_reason + QStringLiteral("; left out, its LinearError alone is imported"));
    form =
        constant_reason.isEmpty() ? TQifLengthError::FORM_CONSTANT : TQifLengthError::FORM_LINEAR;
  }
  else if (!constant_reason.isEmpty() || !linear_reason.isEmpty())
  {
    *reason = constant_reason.isEmpty() ? linear_reason : constant_reason;
    return true;
  }
  *length_error = TQifLengthError(form, max_error, base_error, error_rate).To_Expression(reason);
  if (reason->isEmpty() && form != TQifLengthError::FORM_CONSTANT && error_rate > IMPLAUSIBLE_RATE)
  {
    // Said, never reinterpreted: a figure a thousand times too large only overstates the error.
    Warn(QStringLiteral("its ErrorRate %1 is %2 \u00b5m per metre; CMM rates are usually under 30 "
                        "\u00b5m per metre. Imported as the document gives it")
             .arg(accuracy.error_rate.text, QLocale(QLocale::English, QLocale::UnitedStates)
                                                .toString(error_rate * 1e6, 'f', 0)));
  }
  return true;
}

bool TDeviceConverter::Repeat(const TQifAccuracy &accuracy, TExpressionItem *repeat,
                              QString *reason)
{
  if (!accuracy.repeatability.present)
  {
    *reason = QStringLiteral("its CartesianCMMB89Test has no Repeatability");
    return true;
  }
  double millimetres = 0.0;
  if (!Figure(accuracy.repeatability, "Repeatability", &millimetres, reason))
  {
    return false;
  }
  if (reason->isEmpty() &&
      (repeat->Set_Expression(TExpressionItem::Value_Text(millimetres, TExpressionItem::UNITS_MM),
                              TExpressionItem::UNITS_MM) != TExpressionItem::EXPRESSION_CONSTANT ||
       !repeat->Is_Storable()))
  {
    *reason = QStringLiteral("its Repeatability is too large for Metrova's expressions");
  }
  return true;
}

bool TDeviceConverter::Add_Temperatures(const TQifRange &range, TDatabaseItem *record)
{
  struct TBound
  {
    const TQifValue &value;
    const char *element;
    const char *component;
    TSpecificationItem item;
    bool valid;
  };
  TBound bounds[] = {{range.minimum_temperature, "MinAmbientTemperature", "Ts_Min", {}, false},
                     {range.maximum_temperature, "MaxAmbientTemperature", "Ts_Max", {}, false}};
  double celsius[2] = {0.0, 0.0};
  for (int index = 0; index < 2; ++index)
  {
    TBound &bound = bounds[index];
    QString reason;
    if (!bound.value.present)
    {
      continue;
    }
    if (!d_units.Convert(TQifUnits::TEMPERATURE, bound.value, bound.element, &celsius[index],
                         &reason, &d_error_text))
    {
      return false;
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
  if (bounds[0].valid && bounds[1].valid)
  {
    const QString minimum = bounds[0].item.expression.Expression_Text(TExpressionItem::UNITS_MM);
    // Ts_Min to Ts_Max is the band inside which the limits apply: 20 to 20 would put every
    // other temperature outside, where the writer only named the reference temperature.
    if (minimum == bounds[1].item.expression.Expression_Text(TExpressionItem::UNITS_MM))
    {
      Warn(QStringLiteral("its EnvironmentalRange gives one temperature, %1, not a range; Ts_Min "
                          "and Ts_Max are left out")
               .arg(minimum));
      return true;
    }
    if (celsius[0] > celsius[1])
    {
      Warn(QStringLiteral("its MinAmbientTemperature is above its MaxAmbientTemperature; both "
                          "temperatures are left out"));
      return true;
    }
  }
  for (const TBound &bound : bounds)
  {
    if (bound.valid)
    {
      record->Add_Specification_Item(bound.item);
    }
  }
  return true;
}

bool TDeviceConverter::Convert(const TQifDevice &device, QList<TDatabaseItem> *records)
{
  records->clear();
  d_line = device.line;
  d_label = QStringLiteral("CartesianCMM %1").arg(TWarningList::Quoted(device.name.simplified()));
  QString names[3];
  if (!Names(device, names))
  {
    return true;
  }

  // The first usable ISO 10360 test gives E0 and the range, the first usable B89 test Repeat.
  const TQifAccuracy *iso = nullptr;
  TExpressionItem length_error;
  TExpressionItem repeat;
  bool has_repeat = false;
  QStringList reasons;
  QString other_test;
  int further = 0;
  for (const TQifAccuracy &accuracy : device.accuracies)
  {
    const bool is_iso = accuracy.test == TQifAccuracy::TEST_ISO_10360;
    const bool is_b89 = accuracy.test == TQifAccuracy::TEST_B89;
    if (is_b89)
    {
      ++d_notes.b89_tests;
      for (const QString &element : accuracy.left_out)
      {
        if (!d_notes.b89_left_out.contains(element))
        {
          d_notes.b89_left_out.append(element);
        }
      }
    }
    if (accuracy.test == TQifAccuracy::TEST_NONE)
    {
      reasons.append(QStringLiteral("its accuracy names no test"));
      continue;
    }
    if ((!is_iso || iso) && (!is_b89 || has_repeat))
    {
      if (!is_iso && !is_b89 && other_test.isEmpty())
      {
        other_test = accuracy.test_name;
      }
      ++further;
      continue;
    }
    QString reason =
        Source_Problem(accuracy, is_iso ? QStringLiteral("ISO 10360") : QStringLiteral("B89"));
    if (reason.isEmpty() && !(is_iso ? Length_Error(accuracy, &length_error, &reason)
                                     : Repeat(accuracy, &repeat, &reason)))
    {
      return false;
    }
    if (!reason.isEmpty())
    {
      reasons.append(reason);
    }
    else if (is_iso)
    {
      iso = &accuracy;
    }
    else
    {
      has_repeat = true;
    }
  }
  if (further > 0)
  {
    ++d_notes.devices_with_further;
    d_notes.further_accuracies += further;
  }
  if (!iso && !has_repeat)
  {
    Warn((!reasons.isEmpty()     ? reasons.join(QStringLiteral("; "))
          : other_test.isEmpty() ? QStringLiteral("it has no accuracy")
                                 : QStringLiteral("its accuracy is a %1, not an ISO 10360 or B89 "
                                                  "test")
                                       .arg(other_test)) +
         QStringLiteral("; skipped"));
    return true;
  }
  for (const QString &reason : qAsConst(reasons))
  {
    Warn(reason + QStringLiteral("; left out"));
  }

  TDatabaseItem record;
  record.Set_Make(names[0]);
  record.Set_Model(names[1]);
  record.Set_Option(names[2]);
  if (iso)
  {
    record.Set_Standard(STANDARD_10360);
    TSpecificationItem item;
    item.name = QStringLiteral("E0");
    item.expression = length_error;
    item.source = TDatabaseItem::SOURCE_MANUFACTURER;
    record.Add_Specification_Item(item);
    // The accuracy's range, else the one the device is used in.
    const bool own = iso->range.Has_Temperature();
    const TQifRange &range = own ? iso->range : device.range;
    d_notes.device_ranges += !own && range.Has_Temperature() ? 1 : 0;
    d_notes.other_conditions += range.other_conditions ? 1 : 0;
    if (!Add_Temperatures(range, &record))
    {
      return false;
    }
    records->append(record);
  }
  if (has_repeat)
  {
    record.Set_Standard(STANDARD_B89);
    record.Clear_Specification_Items();
    TSpecificationItem item;
    item.name = QStringLiteral("Repeat");
    item.expression = repeat;
    item.source = TDatabaseItem::SOURCE_MANUFACTURER;
    record.Add_Specification_Item(item);
    records->append(record);
  }
  return true;
}

void TDeviceConverter::Warn_Document(const TQifDocument &document)
{
  int others = 0;
  QStringList kinds;
  for (auto kind = document.other_devices.cbegin(); kind != document.other_devices.cend(); ++kind)
  {
    others += kind.value();
    kinds.append(QStringLiteral("%1 %2").arg(kind.value()).arg(kind.key()));
  }
  if (others > 0)
  {
    d_warnings->Add(QStringLiteral("MeasurementDevices: %1 skipped (%2)")
                        .arg(Count(others, "device that is not a Cartesian CMM is",
                                   "devices that are not Cartesian CMMs are"),
                             kinds.join(QStringLiteral(", "))));
  }
  if (d_notes.further_accuracies > 0)
  {
    d_warnings->Add(
        QStringLiteral("Accuracies: %1 of %2 left out; of each, Metrova reads the "
                       "first usable ISO 10360 test and CartesianCMMB89Test")
            .arg(Count(d_notes.further_accuracies, "further accuracy", "further accuracies"),
                 Count(d_notes.devices_with_further, "Cartesian CMM", "Cartesian CMMs")));
  }
  if (d_notes.unsourced > 0)
  {
    d_warnings->Add(QStringLiteral("AccuracySource: %1 none, read as the manufacturer's "
                                   "specification")
                        .arg(Count(d_notes.unsourced, "accuracy gives", "accuracies give")));
  }
  if (!d_notes.b89_left_out.isEmpty())
  {
    d_warnings->Add(QStringLiteral("CartesianCMMB89Test: %1 left out (%2): Metrova keeps no "
                                   "per-axis figures, and a B89.4.1 Volume needs the ballbar "
                                   "length")
                        .arg(d_notes.b89_left_out.join(QStringLiteral(", ")),
                             Count(d_notes.b89_tests, "test", "tests")));
  }
  if (d_notes.device_ranges > 0)
  {
    d_warnings->Add(
        QStringLiteral("EnvironmentalRange: the temperatures of %1 taken from the "
                       "device, as its ISO 10360 accuracy gives none")
            .arg(Count(d_notes.device_ranges, "Cartesian CMM are", "Cartesian CMMs are")));
  }
  if (d_notes.other_conditions > 0)
  {
    d_warnings->Add(QStringLiteral("EnvironmentalRange: air pressure and humidity have no place "
                                   "in Metrova; left out (%1)")
                        .arg(Count(d_notes.other_conditions, "range", "ranges")));
  }
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
  d_warnings.Clear();
  return false;
}

bool TQifReader::Is_Read_Component(const QString &standard, const QString &component)
{
  if (standard == STANDARD_10360)
  {
    return component == QLatin1String("E0") || component == QLatin1String("Ts_Min") ||
           component == QLatin1String("Ts_Max");
  }
  return standard == STANDARD_B89 && component == QLatin1String("Repeat");
}

bool TQifReader::Read(const QByteArray &bytes)
{
  d_records.clear();
  d_record_places.clear();
  d_skipped = 0;
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
  if (xml.name() != QLatin1String("QIFDocument") || xml.namespaceUri() != TQifWriter::NAMESPACE)
  {
    return Fail(QStringLiteral("Imported QIF file is not a QIF 3 document: its root element is "
                               "'%1' in the namespace '%2'.")
                    .arg(xml.name().toString(), xml.namespaceUri().toString()));
  }

  TQifDocument document;
  document.Read(xml);
  // A document cut short or with anything after its end is refused as a whole, not read in part.
  while (!xml.atEnd())
  {
    xml.readNext();
  }
  if (xml.hasError())
  {
    return Fail(Xml_Error(xml));
  }
  // A document meant to hold devices whose devices are none of QIF 3's gives nothing: no success.
  // One without devices in its resources, as Metrova writes an empty catalogue, is read as empty.
  if (document.devices.isEmpty() && document.other_devices.isEmpty() &&
      (!document.has_resources || !document.foreign_element.isEmpty()))
  {
    return Fail(QStringLiteral("Imported QIF file holds no QIF 3 measurement devices: %1.")
                    .arg(document.foreign_element.isEmpty()
                             ? QStringLiteral("it has no MeasurementResources")
                             : QStringLiteral("its %1, not '%2'")
                                   .arg(document.foreign_element, TQifWriter::NAMESPACE)));
  }

  // Each device's records, with its place; a later device of the same names replaces one
  // before it.
  TDeviceConverter converter(document.units, &d_warnings);
  QList<QList<TDatabaseItem>> device_records;
  QStringList places;
  QHash<QString, int> seen;
  for (const TQifDevice &device : qAsConst(document.devices))
  {
    QList<TDatabaseItem> records;
    if (!converter.Convert(device, &records))
    {
      return Fail(converter.Error_Text());
    }
    if (records.isEmpty())
    {
      ++d_skipped;
      continue;
    }
    const TDatabaseItem &first = records.first();
    const QString machine =
        QStringList{first.Make(), first.Model(), first.Option()}.join(QStringLiteral(", "));
    const auto earlier = seen.constFind(machine);
    if (earlier != seen.constEnd())
    {
      d_warnings.Add(
          converter.Line(),
          QStringLiteral("%1: the same make, model and option as %2 (%3); only this "
                         "later one is imported")
              .arg(converter.Label(), places.at(*earlier), TWarningList::Quoted(machine)));
      device_records[*earlier].clear();
    }
    seen.insert(machine, device_records.size());
    device_records.append(records);
    places.append(converter.Place());
  }
  converter.Warn_Document(document);
  for (auto kind = document.other_devices.cbegin(); kind != document.other_devices.cend(); ++kind)
  {
    d_skipped += kind.value();
  }
  for (int index = 0; index < device_records.size(); ++index)
  {
    for (const TDatabaseItem &record : qAsConst(device_records.at(index)))
    {
      d_records.append(record);
      d_record_places.append(places.at(index));
    }
  }
  return true;
}
