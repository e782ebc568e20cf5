#include "qifdocument.h"

#include "qiflengtherror.h"
#include "qifwriter.h"

#include <QXmlStreamReader>

namespace
{
bool Is(const QXmlStreamReader &xml, const char *name)
{
  return xml.name() == QLatin1String(name) && xml.namespaceUri() == TQifWriter::NAMESPACE;
}

QString Text(QXmlStreamReader &xml)
{
  return xml.readElementText(QXmlStreamReader::SkipChildElements);
}

TQifValue Value(QXmlStreamReader &xml, const char *unit_attribute)
{
  TQifValue value;
  value.present = true;
  value.unit = xml.attributes().value(QLatin1String(unit_attribute)).toString().simplified();
  value.text = Text(xml).trimmed();
  return value;
}

void Read_Unit(QXmlStreamReader &xml, TQifUnits *units, TQifUnits::TQuantity quantity, bool primary)
{
  QString name;
  bool has_conversion = false;
  QString factor;
  QString offset;
  while (xml.readNextStartElement())
  {
    if (Is(xml, "UnitName"))
    {
      name = Text(xml).simplified();
    }
    else if (Is(xml, "UnitConversion"))
    {
      has_conversion = true;
      while (xml.readNextStartElement())
      {
        if (Is(xml, "Factor"))
        {
          factor = Text(xml).trimmed();
        }
        else if (Is(xml, "Offset"))
        {
          offset = Text(xml).trimmed();
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
  units->Declare(quantity, name, primary, has_conversion, factor, offset);
}

void Read_File_Units(QXmlStreamReader &xml, TQifUnits *units)
{
  while (xml.readNextStartElement())
  {
    if (!Is(xml, "PrimaryUnits") && !Is(xml, "OtherUnits"))
    {
      xml.skipCurrentElement();
      continue;
    }
    const bool primary = Is(xml, "PrimaryUnits");
    while (xml.readNextStartElement())
    {
      if (Is(xml, "LinearUnit"))
      {
        Read_Unit(xml, units, TQifUnits::LENGTH, primary);
      }
      else if (Is(xml, "TemperatureUnit"))
      {
        Read_Unit(xml, units, TQifUnits::TEMPERATURE, primary);
      }
      else
      {
        xml.skipCurrentElement();
      }
    }
  }
}

TQifRange Read_Range(QXmlStreamReader &xml)
{
  TQifRange range;
  while (xml.readNextStartElement())
  {
    if (Is(xml, "MaxAmbientTemperature"))
    {
      range.maximum_temperature = Value(xml, "temperatureUnit");
      continue;
    }
    if (Is(xml, "MinAmbientTemperature"))
    {
      range.minimum_temperature = Value(xml, "temperatureUnit");
      continue;
    }
    range.other_conditions =
        range.other_conditions || xml.name().contains(QLatin1String("Ambient"));
    xml.skipCurrentElement();
  }
  return range;
}

void Read_Linear_Error(QXmlStreamReader &xml, TQifAccuracy *accuracy)
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

void Read_Iso_Test(QXmlStreamReader &xml, TQifAccuracy *accuracy)
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

void Read_B89_Test(QXmlStreamReader &xml, TQifAccuracy *accuracy)
{
  static const char *const LEFT_OUT[] = {"XLinearAccuracy", "YLinearAccuracy", "ZLinearAccuracy",
                                         "VolumetricPerformance", "OffsetVolumetricPerformance"};
  while (xml.readNextStartElement())
  {
    if (Is(xml, "Repeatability"))
    {
      accuracy->repeatability = Value(xml, "linearUnit");
      continue;
    }
    for (const char *name : LEFT_OUT)
    {
      if (Is(xml, name))
      {
        accuracy->left_out.append(QLatin1String(name));
      }
    }
    xml.skipCurrentElement();
  }
}

TQifAccuracy Read_Accuracy(QXmlStreamReader &xml)
{
  TQifAccuracy accuracy;
  accuracy.line = static_cast<int>(xml.lineNumber());
  while (xml.readNextStartElement())
  {
    if (Is(xml, "EnvironmentalRange"))
    {
      accuracy.range = Read_Range(xml);
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
    else if (accuracy.test != TQifAccuracy::TEST_NONE)
    {
      xml.skipCurrentElement();
    }
    else
    {
      accuracy.test_name = xml.name().toString();
      if (Is(xml, "CartesianCMMISO10360Test"))
      {
        accuracy.test = TQifAccuracy::TEST_ISO_10360;
        Read_Iso_Test(xml, &accuracy);
      }
      else if (Is(xml, "CartesianCMMB89Test"))
      {
        accuracy.test = TQifAccuracy::TEST_B89;
        Read_B89_Test(xml, &accuracy);
      }
      else
      {
        // FPS, point accuracy, or an element of another namespace.
        accuracy.test = TQifAccuracy::TEST_OTHER;
        xml.skipCurrentElement();
      }
    }
  }
  return accuracy;
}

TQifDevice Read_Device(QXmlStreamReader &xml)
{
  TQifDevice device;
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
    else if (Is(xml, "EnvironmentalRange"))
    {
      device.range = Read_Range(xml);
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
} // namespace

void TQifDocument::Read(QXmlStreamReader &xml)
{
  // Where devices are looked for, an element of that name outside QIF's namespace is noted: a
  // document whose devices are all outside it gives nothing, and must say why.
  const auto foreign = [this, &xml](const char *name)
  {
    if (foreign_element.isEmpty() && xml.name() == QLatin1String(name))
    {
      foreign_element = QStringLiteral("%1 is in the namespace '%2'")
                            .arg(xml.name().toString(), xml.namespaceUri().toString());
    }
    xml.skipCurrentElement();
  };
  while (xml.readNextStartElement())
  {
    if (Is(xml, "FileUnits"))
    {
      Read_File_Units(xml, &units);
      continue;
    }
    if (!Is(xml, "MeasurementResources"))
    {
      foreign("MeasurementResources");
      continue;
    }
    has_resources = true;
    while (xml.readNextStartElement())
    {
      if (!Is(xml, "MeasurementDevices"))
      {
        foreign("MeasurementDevices");
        continue;
      }
      while (xml.readNextStartElement())
      {
        if (Is(xml, "CartesianCMM"))
        {
          devices.append(Read_Device(xml));
        }
        else if (xml.namespaceUri() == TQifWriter::NAMESPACE)
        {
          ++other_devices[xml.name().toString()];
          xml.skipCurrentElement();
        }
        else
        {
          foreign(qPrintable(xml.name().toString()));
        }
      }
    }
  }
}
