#include "qifwriter.h"

#include <QUuid>
#include <QXmlStreamWriter>

const QString TQifWriter::NAMESPACE = QStringLiteral("http://qifstandards.org/xsd/qif3");
const QString TQifWriter::ESTIMATE_SOURCE_START = QStringLiteral("Estimated by Metrova");

namespace
{
const QString ISO_10360 = QStringLiteral("10360");
const QString LENGTH_ERROR = QStringLiteral("E0");
const QString MINIMUM_TEMPERATURE = QStringLiteral("Ts_Min");
const QString MAXIMUM_TEMPERATURE = QStringLiteral("Ts_Max");

// The components whose manufacturer's value an estimated E0 comes from, in each standard; the
// estimation passes run in the catalogue's order of standards, so the first one found decided.
struct TLengthErrorSource
{
  const char *standard;
  const char *component;
};
const TLengthErrorSource LENGTH_ERROR_SOURCES[] = {
    {"10360", "E150"}, {"B89.4.1", "Volume"}, {"VDIVDE_2617", "U3"}, {"CMMA", "M"}};

bool Is_Xml_Character(uint code)
{
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// The text without the characters that an XML document cannot hold at all (most control
// characters, unpaired surrogates); *cleaned tells whether any was left out.
QString Xml_Text(const QString &text, bool *cleaned)
{
  QString result;
  result.reserve(text.size());
  for (int index = 0; index < text.size(); ++index)
  {
    const QChar character = text.at(index);
    uint code = character.unicode();
    int length = 1;
    if (character.isHighSurrogate() && index + 1 < text.size() &&
        text.at(index + 1).isLowSurrogate())
    {
      code = QChar::surrogateToUcs4(character, text.at(index + 1));
      length = 2;
    }
    else if (character.isSurrogate())
    {
      code = 0;
    }
    if (Is_Xml_Character(code))
    {
      result += text.mid(index, length);
    }
    else
    {
      *cleaned = true;
    }
    index += length - 1;
  }
  return result;
}

const TSpecificationItem *Find_Item(const std::vector<TSpecificationItem> &items,
                                    const QString &name)
{
  for (const TSpecificationItem &item : items)
  {
    if (item.name == name)
    {
      return &item;
    }
  }
  return nullptr;
}

std::vector<TSpecificationItem> Items(const TDatabaseItem &record)
{
  std::vector<TSpecificationItem> items;
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
  {
    items.push_back(record.Specification_Item(index));
  }
  return items;
}

QString Estimate_Source(const QList<TDatabaseItem> &records)
{
  for (const TDatabaseItem &record : records)
  {
    const std::vector<TSpecificationItem> items = Items(record);
    for (const TLengthErrorSource &source : LENGTH_ERROR_SOURCES)
    {
      const TSpecificationItem *item = Find_Item(items, QLatin1String(source.component));
      if (record.Standard() == QLatin1String(source.standard) && item &&
          item->source == TDatabaseItem::SOURCE_MANUFACTURER)
      {
        return QStringLiteral("%1 from the manufacturer's %2 specification (%3).")
            .arg(TQifWriter::ESTIMATE_SOURCE_START, QLatin1String(source.standard),
                 QLatin1String(source.component));
      }
    }
  }
  return TQifWriter::ESTIMATE_SOURCE_START +
         QStringLiteral(" from the manufacturer's specifications.");
}
} // namespace

void TQifWriter::Add_Machine(const QString &make, const QString &model, const QString &option,
                             const QList<TDatabaseItem> &records)
{
  const QString machine = QStringLiteral("%1, %2, %3").arg(make, model, option);
  TDevice device;
  bool cleaned = false;
  device.make = Xml_Text(make, &cleaned);
  device.model = Xml_Text(model, &cleaned);
  device.option = Xml_Text(option, &cleaned);
  if (cleaned)
  {
    d_warnings.Add(machine + QStringLiteral(": characters that XML cannot hold are left out "
                                            "of its names"));
  }

  for (const TDatabaseItem &record : records)
  {
    if (record.Standard() != ISO_10360)
    {
      continue;
    }
    const std::vector<TSpecificationItem> items = Items(record);
    const TSpecificationItem *length_error = Find_Item(items, LENGTH_ERROR);
    if (!length_error)
    {
      // QIF keeps a temperature range only with the accuracy it applies to.
      if (Find_Item(items, MINIMUM_TEMPERATURE) || Find_Item(items, MAXIMUM_TEMPERATURE))
      {
        d_warnings.Add(machine + QStringLiteral(": it has no length error E0 for its temperature "
                                                "range to apply to; the range is not exported"));
      }
      break;
    }
    QString reason;
    device.length_error = TQifLengthError::From_Expression(length_error->expression, &reason);
    if (device.length_error.Form() == TQifLengthError::FORM_NONE)
    {
      d_warnings.Add(machine + QStringLiteral(": ") + reason +
                     QStringLiteral("; the machine is exported without its accuracy"));
      break;
    }
    const auto temperature = [&items](const QString &name)
    {
      const TSpecificationItem *item = Find_Item(items, name);
      return item && item->expression.Expression_Type() == TExpressionItem::EXPRESSION_TEMPERATURE
                 ? TQifLengthError::Decimal_Text(
                       item->expression.Component(0, TExpressionItem::UNITS_MM))
                 : QString();
    };
    device.minimum_temperature = temperature(MINIMUM_TEMPERATURE);
    device.maximum_temperature = temperature(MAXIMUM_TEMPERATURE);
    if (length_error->source != TDatabaseItem::SOURCE_MANUFACTURER)
    {
      device.estimate_source = Estimate_Source(records);
    }
    break;
  }
  d_devices.push_back(device);
}

QByteArray TQifWriter::Document() const
{
  QByteArray bytes;
  QXmlStreamWriter xml(&bytes);
  xml.setAutoFormatting(true);
  xml.setAutoFormattingIndent(1);
  xml.writeStartDocument();
  xml.writeStartElement(QStringLiteral("QIFDocument"));
  xml.writeDefaultNamespace(NAMESPACE);
  xml.writeAttribute(QStringLiteral("versionQIF"), QStringLiteral("3.0.0"));
  // The devices' ids are 1 to their count.
  xml.writeAttribute(QStringLiteral("idMax"), QString::number(d_devices.size()));
  xml.writeTextElement(QStringLiteral("QPId"), QUuid::createUuid().toString(QUuid::WithoutBraces));

  // Without FileUnits, QIF lengths are in metres and temperatures in kelvin.
  xml.writeStartElement(QStringLiteral("FileUnits"));
  xml.writeStartElement(QStringLiteral("PrimaryUnits"));
  xml.writeStartElement(QStringLiteral("LinearUnit"));
  xml.writeTextElement(QStringLiteral("SIUnitName"), QStringLiteral("meter"));
  xml.writeTextElement(QStringLiteral("UnitName"), QStringLiteral("millimeter"));
  xml.writeStartElement(QStringLiteral("UnitConversion"));
  xml.writeTextElement(QStringLiteral("Factor"), QStringLiteral("0.001"));
  xml.writeEndElement();
  xml.writeEndElement();
  xml.writeStartElement(QStringLiteral("TemperatureUnit"));
  xml.writeTextElement(QStringLiteral("SIUnitName"), QStringLiteral("kelvin"));
  xml.writeTextElement(QStringLiteral("UnitName"), QStringLiteral("celsius"));
  xml.writeStartElement(QStringLiteral("UnitConversion"));
  xml.writeTextElement(QStringLiteral("Factor"), QStringLiteral("1"));
  xml.writeTextElement(QStringLiteral("Offset"), QStringLiteral("273.15"));
  xml.writeEndElement();
  xml.writeEndElement();
  xml.writeEndElement();
  xml.writeEndElement();

  xml.writeStartElement(QStringLiteral("MeasurementResources"));
  if (!d_devices.empty())
  {
    xml.writeStartElement(QStringLiteral("MeasurementDevices"));
    xml.writeAttribute(QStringLiteral("n"), QString::number(d_devices.size()));
  }
  int id = 0;
  for (const TDevice &device : d_devices)
  {
    xml.writeStartElement(QStringLiteral("CartesianCMM"));
    xml.writeAttribute(QStringLiteral("id"), QString::number(++id));
    xml.writeTextElement(
        QStringLiteral("Name"),
        QStringList{device.make, device.model, device.option}.join(QLatin1Char(' ')).simplified());
    xml.writeTextElement(QStringLiteral("Description"), device.option);
    xml.writeTextElement(QStringLiteral("Manufacturer"), device.make);
    xml.writeTextElement(QStringLiteral("ModelNumber"), device.model);

    const TQifLengthError &error = device.length_error;
    if (error.Form() != TQifLengthError::FORM_NONE)
    {
      xml.writeStartElement(QStringLiteral("Accuracies"));
      xml.writeAttribute(QStringLiteral("n"), QStringLiteral("1"));
      xml.writeStartElement(QStringLiteral("CartesianCMMAccuracy"));
      xml.writeStartElement(QStringLiteral("EnvironmentalRange"));
      if (!device.maximum_temperature.isEmpty())
      {
        xml.writeTextElement(QStringLiteral("MaxAmbientTemperature"), device.maximum_temperature);
      }
      if (!device.minimum_temperature.isEmpty())
      {
        xml.writeTextElement(QStringLiteral("MinAmbientTemperature"), device.minimum_temperature);
      }
      xml.writeEndElement();

      xml.writeStartElement(QStringLiteral("CartesianCMMISO10360Test"));
      if (error.Form() != TQifLengthError::FORM_LINEAR)
      {
        if (error.Form() == TQifLengthError::FORM_LESSER)
        {
          xml.writeStartElement(QStringLiteral("LesserError"));
        }
        xml.writeTextElement(QStringLiteral("MaxErrorConstant"), error.Max_Error_Text());
      }
      if (error.Form() != TQifLengthError::FORM_CONSTANT)
      {
        xml.writeStartElement(QStringLiteral("LinearError"));
        xml.writeTextElement(QStringLiteral("BaseError"), error.Base_Error_Text());
        xml.writeTextElement(QStringLiteral("ErrorRate"), error.Error_Rate_Text());
        xml.writeEndElement();
      }
      if (error.Form() == TQifLengthError::FORM_LESSER)
      {
        xml.writeEndElement();
      }
      xml.writeEndElement();

      xml.writeStartElement(QStringLiteral("AccuracySource"));
      if (device.estimate_source.isEmpty())
      {
        xml.writeTextElement(QStringLiteral("AccuracySourceEnum"),
                             QStringLiteral("MANUFACTURER_SPECIFICATION"));
      }
      else
      {
        xml.writeTextElement(QStringLiteral("OtherAccuracySource"), device.estimate_source);
      }
      xml.writeEndElement();
      xml.writeEndElement();
      xml.writeEndElement();
    }
    xml.writeEndElement();
  }
  xml.writeEndDocument();
  return bytes;
}
