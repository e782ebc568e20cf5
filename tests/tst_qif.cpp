#include "qifexchange.h"
#include "qifreader.h"
#include "testsupport.h"

#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

using namespace TestSupport;

namespace
{
const QString MANUFACTURER = QStringLiteral("AccuracySourceEnum=MANUFACTURER_SPECIFICATION");

// A document's devices, one line each: every element in order, a leaf as "Name=text".
QStringList Devices(const QByteArray &bytes)
{
  QXmlStreamReader xml(bytes);
  QStringList devices;
  QString element;
  const auto add = [&devices, &element]()
  {
    if (!element.isEmpty() && !devices.isEmpty())
      devices.last() += (devices.last().isEmpty() ? "" : " ") + element;
    element.clear();
  };
  while (!xml.atEnd())
  {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("CartesianCMM"))
    {
      devices.append(QString());
      element.clear();
    }
    else if (xml.isStartElement())
    {
      add();
      element = xml.name().toString();
    }
    else if (xml.isCharacters() && !xml.isWhitespace())
      element += "=" + xml.text();
    else if (xml.isEndElement())
      add();
  }
  if (xml.hasError())
    devices.append("XML error: " + xml.errorString());
  return devices;
}

// A record as "make|model|option E0=text Ts_Min=text", in mm.
QString Line(const TDatabaseItem &record)
{
  QString line = QStringList{record.Make(), record.Model(), record.Option()}.join('|');
  for (int index = 0; index < record.Specification_Item_Count(); ++index)
    line += " " + record.Specification_Item(index).name + "=" +
            record.Specification_Item(index).expression.Expression_Text(TExpressionItem::UNITS_MM);
  return line;
}

QByteArray Export(TTestDatabase *database, QString *warnings = nullptr)
{
  TQifExchange exchange(database->Get());
  const QString path = database->Path("export.qif");
  if (!exchange.Export(path))
    qWarning() << "export failed:" << exchange.Error_Text();
  if (warnings)
    *warnings = exchange.Warning_Text();
  return File_Bytes(path);
}

// A QIF document with the given devices and units (QIF's defaults when none are given).
QByteArray Document(const QString &devices, const QString &units)
{
  return QStringLiteral("<?xml version=\"1.0\"?><QIFDocument xmlns=\"http://qifstandards.org/"
                        "xsd/qif3\" versionQIF=\"3.0.0\" idMax=\"9\"><QPId>x</QPId>%1"
                        "<MeasurementResources><MeasurementDevices n=\"1\">%2</MeasurementDevices>"
                        "</MeasurementResources></QIFDocument>")
      .arg(units.isEmpty() ? QString() : "<FileUnits>" + units + "</FileUnits>", devices)
      .toUtf8();
}

const QString SOURCE =
    QStringLiteral("<AccuracySourceEnum>MANUFACTURER_SPECIFICATION</AccuracySourceEnum>");
const QString NAMES = QStringLiteral(
    "<Description>O</Description><Manufacturer>M</Manufacturer><ModelNumber>X</ModelNumber>");

// A Cartesian CMM named "M X O" with one accuracy: an ISO 10360 test of the given form unless
// the form is another test, then the range and the source (none when empty).
QByteArray Device(const QString &form, const QString &source = SOURCE,
                  const QString &range = QString(), const QString &names = NAMES,
                  const QString &units = QStringLiteral(
                      "<PrimaryUnits><LinearUnit><UnitName>mm</UnitName></LinearUnit>"
                      "<TemperatureUnit><UnitName>celsius</UnitName></TemperatureUnit>"
                      "</PrimaryUnits>"))
{
  const QString test = form.startsWith("<CartesianCMM")
                           ? form
                           : "<CartesianCMMISO10360Test>" + form + "</CartesianCMMISO10360Test>";
  return Document(
      QStringLiteral("<CartesianCMM id=\"1\"><Name>M X O</Name>%1<Accuracies n=\"1\">"
                     "<CartesianCMMAccuracy><EnvironmentalRange>%2</EnvironmentalRange>"
                     "%3%4</CartesianCMMAccuracy></Accuracies></CartesianCMM>")
          .arg(names, range, test,
               source.isEmpty() ? source : "<AccuracySource>" + source + "</AccuracySource>"),
      units);
}

QString Linear(const QString &base, const QString &rate)
{
  return QStringLiteral("<LinearError><BaseError>%1</BaseError><ErrorRate>%2</ErrorRate>"
                        "</LinearError>")
      .arg(base, rate);
}
} // namespace

class TestQif : public QObject
{
  Q_OBJECT

private slots:
  void conversions_data();
  void conversions();
  void full_export_validates();
  void round_trip();
  void read_data();
  void read();
  void failed_export_keeps_old_file();
};

void TestQif::conversions_data()
{
  QTest::addColumn<QStringList>("records");
  QTest::addColumn<QString>("accuracy");
  QTest::addColumn<QString>("warning");

  const QString range = "EnvironmentalRange MaxAmbientTemperature=22 MinAmbientTemperature=18.5 ";
  QTest::newRow("constant") << QStringList{"10360 E0=3"}
                            << "EnvironmentalRange CartesianCMMISO10360Test "
                               "MaxErrorConstant=0.003 AccuracySource " +
                                   MANUFACTURER
                            << "";
  QTest::newRow("linear, with a band")
      << QStringList{"10360 Ts_Min=18.5C E0=2.2+L/300 Ts_Max=22C Pftu=1.9"}
      << range +
             "CartesianCMMISO10360Test LinearError BaseError=0.0022 "
             "ErrorRate=0.000003333333333333 AccuracySource " +
             MANUFACTURER
      << "";
  QTest::newRow("lesser") << QStringList{"10360 E0=1.5+3.3L/1000|8"}
                          << "EnvironmentalRange CartesianCMMISO10360Test LesserError "
                             "MaxErrorConstant=0.008 LinearError BaseError=0.0015 "
                             "ErrorRate=0.0000033 AccuracySource " +
                                 MANUFACTURER
                          << "";
  QTest::newRow("estimate") << QStringList{"B89.4.1 Volume=3+4L/1000", "10360 Ts_Max=22C"}
                            << "EnvironmentalRange MaxAmbientTemperature=22 "
                               "CartesianCMMISO10360Test LinearError BaseError=0.0015 "
                               "ErrorRate=0.000002 AccuracySource OtherAccuracySource=Estimated "
                               "by Metrova from the manufacturer's B89.4.1 specification (Volume)."
                            << "";
  QTest::newRow("fixed length") << QStringList{"10360 E0=5/300"} << ""
                                << "M, X, O: its length error E0 is stated for one length only, "
                                   "which QIF cannot express; the machine is exported without "
                                   "its accuracy";
  QTest::newRow("temperature dependent")
      << QStringList{"10360 E0=(2+0.5Td)/300 Ts_Min=18C"} << ""
      << "M, X, O: its length error E0 depends on the temperature, which QIF cannot express; "
         "the machine is exported without its accuracy";
  QTest::newRow("linear temperature") << QStringList{"10360 E0=1+0.1Td+(2+0.2Td)L/1000"} << ""
                                      << "M, X, O: its length error E0 depends on the temperature";
  QTest::newRow("no length error") << QStringList{"10360 Pftu=1.9"} << ""
                                   << "";
  QTest::newRow("band without a length error")
      << QStringList{"10360 Ts_Min=18C Ts_Max=22C"} << ""
      << "M, X, O: it has no length error E0 for its temperature range to apply to";
}

void TestQif::conversions()
{
  QFETCH(QStringList, records);
  QFETCH(QString, accuracy);
  QFETCH(QString, warning);

  TTestDatabase database;
  QVERIFY(database.Write("M", "X", "O", records));
  QVERIFY(database->Estimate_Specifications("M", "X", "O"));
  QString warnings;
  const QStringList devices = Devices(Export(&database, &warnings));
  QCOMPARE(devices.size(), 1);
  const QString names = "Name=M X O Description=O Manufacturer=M ModelNumber=X";
  QCOMPARE(devices.first(),
           accuracy.isEmpty() ? names : names + " Accuracies CartesianCMMAccuracy " + accuracy);
  QVERIFY2(warning.isEmpty() ? warnings.isEmpty() : warnings.startsWith(warning),
           qPrintable(warnings));
}

void TestQif::full_export_validates()
{
  TTestDatabase database;
  const QStringList catalogue{"10360 E0=3",
                              "10360 E0=2.2+L/300 Ts_Min=18C Ts_Max=22C",
                              "10360 E0=1.5+3.3L/1000|8",
                              "B89.4.1 Volume=3+4L/1000",
                              "10360 E0=(2+0.5Td)/300",
                              "CMMA Repeat=2"};
  for (int index = 0; index < catalogue.size(); ++index)
  {
    QVERIFY(database.Write("A&B <Co> \"" + QString::number(index), "X", "O\x01",
                           {catalogue.at(index)}));
    QVERIFY(
        database->Estimate_Specifications("A&B <Co> \"" + QString::number(index), "X", "O\x01"));
  }
  const QByteArray bytes = Export(&database);
  QCOMPARE(Devices(bytes).size(), catalogue.size());
  QVERIFY(bytes.contains("idMax=\"6\"") && bytes.contains("<MeasurementDevices n=\"6\">"));

  QProcess xmllint;
  xmllint.start("xmllint", {"--nonet", "--noout", "--schema",
                            QStringLiteral(METROVA_QIF_SCHEMA_DIRECTORY "/QIFDocument.xsd"),
                            database.Path("export.qif")});
  QVERIFY2(xmllint.waitForFinished(60000), "xmllint (Debian package libxml2-utils) must run");
  const QString output = QString::fromUtf8(xmllint.readAllStandardError());
  // Only the W3C signature schema, which the QIF schema imports from the web, may be missing.
  for (const QString &line : output.split('\n', Qt::SkipEmptyParts))
    QVERIFY2(line.contains("xmldsig-core-schema.xsd") || line.endsWith(" validates"),
             qPrintable(output));
  QCOMPARE(xmllint.exitCode(), 0);
}

void TestQif::round_trip()
{
  const QStringList errors{"2.2+L/300 Ts_Min=18C Ts_Max=22.5C", "1.5+3.3L/1000|8 Ts_Max=21C",
                           "0.3+1.7L/137", "9999.9+99.7L/99999"};
  TTestDatabase first;
  for (int index = 0; index < errors.size(); ++index)
    QVERIFY(first.Write("M", QString::number(index), "O", {"10360 E0=" + errors.at(index)}));
  const QByteArray exported = Export(&first);
  const QStringList devices = Devices(exported);
  QCOMPARE(devices.size(), errors.size());

  TQifReader reader;
  QVERIFY2(reader.Read(exported), qPrintable(reader.Error_Text()));
  QCOMPARE(reader.Records().size(), errors.size());
  for (int index = 0; index < errors.size(); ++index)
  {
    const TDatabaseItem stored =
        Record("M", QString::number(index), "O", "10360 E0=" + errors.at(index));
    QCOMPARE(Line(reader.Records().at(index)), Line(stored));
    // A reader gets the stored error at 10 m to 0.001 um.
    const TExpressionItem e0 = stored.Specification_Item(0).expression;
    const auto value = [&e0](int component) { return e0.Component(component, 0); };
    const QString device = devices.at(index);
    const double base = device.section("BaseError=", 1).section(' ', 0, 0).toDouble();
    const double rate = device.section("ErrorRate=", 1).section(' ', 0, 0).toDouble();
    QVERIFY2(qAbs(base + rate * 10000 - (value(0) + value(1) * 10000 / value(2))) < 1e-6,
             qPrintable(device));
  }
  TTestDatabase second;
  TQifExchange exchange(second.Get());
  QVERIFY2(exchange.Import(first.Path("export.qif")), qPrintable(exchange.Error_Text()));
  QCOMPARE(Devices(Export(&second)), devices);
}

void TestQif::read_data()
{
  QTest::addColumn<QByteArray>("document");
  QTest::addColumn<QString>("records");
  QTest::addColumn<QString>("problem");

  const QString rate = Linear("0.0015", "0.0000033");
  // A plant's file as other tools write it: every rule of reading such documents at once.
  QFile plant(METROVA_QIF_SAMPLES "/plant-resources.qif");
  QVERIFY(plant.open(QIODevice::ReadOnly));
  QTest::newRow("a plant's resources file")
      << plant.readAll()
      << "Leitz|PMM 866|Standard E0=0.0006+1.6000L/1000|0.0025\n"
         "CMM|Model A with RT|Standard Repeat=0.00048\n"
         "ISO|10360 CMM same probes with rotary table|Standard E0=0.0018+0.0030L/1000 "
         "Ts_Min=18.00 C Ts_Max=22.00 C\n"
         "Zeiss|Contura|Standard E0=0.0019+0.0033L/1000"
      << "line 15: CartesianCMM 'Leitz PMM 866': no Manufacturer, ModelNumber or Description: "
         "named make 'Leitz', model 'PMM 866', option 'Standard' from its Name\n"
         "line 15: CartesianCMM 'Leitz PMM 866': its ErrorRate 0.0016 is 1,600 µm per metre; "
         "CMM rates are usually under 30 µm per metre. Imported as the document gives it\n"
         "line 15: CartesianCMM 'Leitz PMM 866': its EnvironmentalRange gives one temperature, "
         "20.00 C, not a range; Ts_Min and Ts_Max are left out\n"
         "line 40: CartesianCMM 'CMM Model A with RT': no Manufacturer, ModelNumber or "
         "Description: named make 'CMM', model 'Model A with RT', option 'Standard' from its "
         "Name\n"
         "line 40: CartesianCMM 'CMM Model A with RT': its MaxErrorConstant 0 is not a figure "
         "(zero or negative); left out\n"
         "line 62: CartesianCMM 'ISO 10360 CMM, same probes, with rotary table': no "
         "Manufacturer, ModelNumber or Description: named make 'ISO', model '10360 CMM same "
         "probes with rotary table', option 'Standard' from its Name\n"
         "line 62: CartesianCMM 'ISO 10360 CMM, same probes, with rotary table': its "
         "Repeatability 0 is not a figure (zero or negative); left out\n"
         "line 126: CartesianCMM 'Contura 2': the same make, model and option as line 103: "
         "CartesianCMM 'Contura 1' ('Zeiss, Contura, Standard'); only this later one is "
         "imported\n"
         "MeasurementDevices: 1 device that is not a Cartesian CMM is skipped (1 Caliper)\n"
         "Accuracies: 1 further accuracy of 1 Cartesian CMM left out; of each, Metrova reads the "
         "first usable ISO 10360 test and CartesianCMMB89Test\n"
         "AccuracySource: 5 accuracies give none, read as the manufacturer's specification\n"
         "CartesianCMMB89Test: XLinearAccuracy, YLinearAccuracy, ZLinearAccuracy, "
         "OffsetVolumetricPerformance, VolumetricPerformance left out (2 tests): Metrova keeps "
         "no per-axis figures, and a B89.4.1 Volume needs the ballbar length\n"
         "EnvironmentalRange: the temperatures of 1 Cartesian CMM are taken from the device, as "
         "its ISO 10360 accuracy gives none\n"
         "EnvironmentalRange: air pressure and humidity have no place in Metrova; left out (1 "
         "range)";
  QTest::newRow("lesser") << Device("<LesserError><MaxErrorConstant>0.008</MaxErrorConstant>" +
                                    rate + "</LesserError>")
                          << "M|X|O E0=0.0015+0.0033L/1000|0.0080"
                          << "";
  QTest::newRow("constant, certified")
      << Device("<MaxErrorConstant>0.0025</MaxErrorConstant>",
                "<AccuracySourceEnum>CUSTOM_CERTIFICATION</AccuracySourceEnum>")
      << "M|X|O E0=0.0025+0.0000L/1000"
      << "";
  QTest::newRow("QIF's units, names cleaned, option from Name")
      << Device(Linear("0.0000022", "0.00000333333333333"),
                "<OtherAccuracySource>Acceptance test</OtherAccuracySource>",
                "<MaxAmbientTemperature temperatureUnit=\"F\">71.6</MaxAmbientTemperature>"
                "<MinAmbientTemperature>291.15</MinAmbientTemperature>",
                "<Manufacturer>Ma'ke:</Manufacturer><ModelNumber>&#xFEFF; X \n 1</ModelNumber>", "")
      << "Make|X 1|M X O E0=0.0022+0.0010L/300 Ts_Min=18.00 C Ts_Max=22.00 C"
      << "line 1: CartesianCMM 'M X O': no Description: named make 'Make', model 'X 1', option "
         "'M X O' from its Name";
  QTest::newRow("inches, and a unit of the file's own")
      << Device("<LesserError><MaxErrorConstant linearUnit=\"tenth\">80</MaxErrorConstant>" +
                    Linear("0.0001", "0.000004") + "</LesserError>",
                SOURCE, "", NAMES,
                "<PrimaryUnits><LinearUnit><UnitName>inch</UnitName></LinearUnit>"
                "</PrimaryUnits><OtherUnits n=\"1\"><LinearUnit><UnitName>tenth</UnitName>"
                "<UnitConversion><Factor>0.0000001</Factor></UnitConversion></LinearUnit>"
                "</OtherUnits>")
      << "M|X|O E0=0.00254+0.0040L/1000|0.0080"
      << "";
  // Read back from its export, a rate is exact: it must get the same divisor then.
  QTest::newRow("rate near a third of a step per mm")
      << Device(Linear("0.0022", "0.000003333316666666")) << "M|X|O E0=0.0022+0.0010L/300"
      << "";
  QTest::newRow("temperature out of range")
      << Device(rate, SOURCE, "<MinAmbientTemperature>5</MinAmbientTemperature>")
      << "M|X|O E0=0.0015+0.0033L/1000"
      << "MinAmbientTemperature of 5.00 degrees C is not above 10 and below 40 degrees C; the "
         "temperature is left out";

  const QString skipped = "line 1: CartesianCMM 'M X O': ";
  QTest::newRow("names from Name")
      << Device(rate, SOURCE, "", "<ModelNumber>X</ModelNumber>") << "M|X|O E0=0.0015+0.0033L/1000"
      << skipped + "no Manufacturer or Description: named make 'M', "
                   "model 'X', option 'O' from its Name";
  QTest::newRow("option from Description, model from Name")
      << Device(rate, SOURCE, "",
                "<Description>Premium Line</Description><Manufacturer>Wenzel</Manufacturer>")
             .replace("M X O", "Wenzel LH 87 Premium Line")
      << "Wenzel|LH 87|Premium Line E0=0.0015+0.0033L/1000"
      << "no ModelNumber: named make 'Wenzel', model 'LH 87', option 'Premium Line' from its Name";
  QTest::newRow("no names") << Device(rate, SOURCE, "", "").replace("M X O", "") << ""
                            << "it has no Manufacturer and no Name to take it from; skipped";
  QTest::newRow("no source") << Device(rate, "") << "M|X|O E0=0.0015+0.0033L/1000"
                             << "AccuracySource: 1 accuracy gives none, read as the "
                                "manufacturer's specification";
  QTest::newRow("placeholder in a lesser error")
      << Device("<LesserError><MaxErrorConstant>0</MaxErrorConstant>" + rate + "</LesserError>")
      << "M|X|O E0=0.0015+0.0033L/1000"
      << "its MaxErrorConstant 0 is not a figure (zero or negative); left out, its LinearError "
         "alone is imported";
  QTest::newRow("Metrova's estimate")
      << Device(rate, "<OtherAccuracySource>Estimated by Metrova from B89.4.1"
                      "</OtherAccuracySource>")
      << ""
      << "its ISO 10360 accuracy is Metrova's own estimate; skipped";
  QTest::newRow("other test") << Device("<CartesianCMMFPSTest/>") << ""
                              << "its accuracy is a CartesianCMMFPSTest, not an ISO 10360 or B89 "
                                 "test; skipped";
  QTest::newRow("negative") << Device(Linear("-0.001", "0.1")) << ""
                            << "its BaseError -0.001 is not a figure (zero or negative); skipped";
  QTest::newRow("not a number") << Device(Linear("0.001", "abc")) << ""
                                << "its ErrorRate 'abc' is not a number; skipped";
  QTest::newRow("exponent") << Device(Linear("1e-3", "0")) << ""
                            << "its BaseError '1e-3' is not a number; skipped";
  QTest::newRow("missing rate") << Device("<LinearError><BaseError>0.001</BaseError></LinearError>")
                                << ""
                                << "its ISO 10360 accuracy has no ErrorRate; skipped";
  QTest::newRow("too large") << Device("<MaxErrorConstant>123456</MaxErrorConstant>") << ""
                             << "too large for Metrova's expressions; skipped";
  QTest::newRow("rate finer than its text") << Device(Linear("0.001", "5.00003303333733333")) << ""
                                            << "too large for Metrova's expressions; skipped";
  QTest::newRow("laser tracker") << Document("<LaserTracker id=\"1\"><Name>T</Name></LaserTracker>",
                                             "")
                                 << ""
                                 << "MeasurementDevices: 1 device that is not a Cartesian CMM is "
                                    "skipped (1 LaserTracker)";
  QTest::newRow("devices outside QIF's namespace")
      << Document("", "").replace("<MeasurementResources>", "<MeasurementResources xmlns=\"u\">")
      << ""
      << "Imported QIF file holds no QIF 3 measurement devices: its MeasurementResources is in "
         "the namespace 'u', not 'http://qifstandards.org/xsd/qif3'.";

  QTest::newRow("unknown unit")
      << Device(rate, SOURCE, "", NAMES,
                "<PrimaryUnits><LinearUnit><UnitName>furlong</UnitName></LinearUnit>"
                "</PrimaryUnits>")
      << ""
      << "Imported QIF file gives lengths in 'furlong', a unit that Metrova cannot convert to "
         "millimetres";
  QTest::newRow("not XML") << QByteArray("CMM,X,O") << ""
                           << "Imported QIF file is not well-formed XML";
  QTest::newRow("cut short") << Device(rate).left(300) << ""
                             << "Imported QIF file is not well-formed XML";
  QTest::newRow("another root") << QByteArray("<QIFDocument xmlns=\"http://qifstandards.org/"
                                              "xsd/qif2\"/>")
                                << ""
                                << "Imported QIF file is not a QIF 3 document";
  QByteArray laughs = "<!DOCTYPE QIFDocument [<!ENTITY a \"aaaaaaaaaa\">";
  for (char entity = 'b'; entity <= 'k'; ++entity)
    laughs += QByteArray("<!ENTITY ") + entity + " \"" + QByteArray("&") + char(entity - 1) + ";" +
              QByteArray("&") + char(entity - 1) + ";\">";
  QTest::newRow("entity bomb") << laughs + "]>" + Device(rate).mid(21).replace("M X O", "&k;") << ""
                               << "Imported QIF file has a document type declaration";
  // Qt's reader takes time with the square of these counts: 200,000 attributes took 87 s.
  QString crowded;
  for (int index = 0; index < 200000; ++index)
    crowded += QStringLiteral(" a%1=\"1\"").arg(index);
  QTest::newRow("200,000 attributes")
      << Document("<CartesianCMM" + crowded + "/>", "") << ""
      << "Imported QIF file has an element with more than 100 attributes (line 1)";
  QTest::newRow("101 namespaces in force")
      << Document(QString("<a xmlns:p=\"u\">").repeated(101) + QString("</a>").repeated(101), "")
      << ""
      << "Imported QIF file has more than 100 namespace declarations in force (line 1)";
  QTest::newRow("100 MB of text") << QByteArray(100 * 1000 * 1000, 'x') << ""
                                  << "Imported QIF file is larger than 64 MB";
}

void TestQif::read()
{
  QFETCH(QByteArray, document);
  QFETCH(QString, records);
  QFETCH(QString, problem);
  TQifReader reader;
  const bool read = reader.Read(document);
  QStringList lines;
  for (const TDatabaseItem &record : reader.Records())
    lines.append(Line(record));
  QCOMPARE(lines.join('\n'), records);
  const QString reported = read ? reader.Warnings().Text() : reader.Error_Text();
  QVERIFY2(problem.isEmpty() ? reported.isEmpty() : reported.contains(problem),
           qPrintable(reported));
  // Anything short of a document refused as a whole is a warning, never an error.
  QCOMPARE(read, !problem.startsWith("Imported QIF file"));

  // Imported, a device replaces its machine's length error and range and keeps the other rows,
  // and a temperature it does not state, with a note; a document that gives nothing changes
  // nothing, and one whose every device was skipped fails.
  TTestDatabase database;
  QVERIFY(database.Write("M", "X", "O", {"10360 Pftu=1.9 E0=9+L/1000 Ts_Max=25C"}));
  const QStringList before = TOtherConnection(database->File_Name()).Dump();
  QVERIFY(Write_File(database.Path("import.qif"), document));
  TQifExchange exchange(database.Get());
  const bool nothing = reader.Records().isEmpty() && reader.Skipped_Count() > 0;
  QCOMPARE(exchange.Import(database.Path("import.qif")), read && !nothing);
  QMap<QStringList, QStringList> expected;
  QStringList notes = {reported};
  for (int record_index = 0; record_index < reader.Records().size(); ++record_index)
  {
    const TDatabaseItem &record = reader.Records().at(record_index);
    QStringList &rows = expected[{record.Make(), record.Model(), record.Option()}];
    for (int index = 0; index < record.Specification_Item_Count(); ++index)
      rows.append(record.Standard() + " " + record.Specification_Item(index).name + "=" +
                  record.Specification_Item(index).expression.Expression_Text(0));
    if (record.Standard() == "10360" && Line(record).startsWith("M|X|O ") &&
        !Line(record).contains("Ts_Max"))
    {
      rows.append("10360 Ts_Max=25.00 C");
      notes.append(reader.Record_Places().at(record_index) +
                   ": the document does not state Ts_Max; the stored value is kept");
    }
  }
  notes.removeAll(QString());
  QCOMPARE(read ? exchange.Warning_Text() : exchange.Error_Text(), notes.join('\n'));
  QCOMPARE(exchange.Error_Text().contains("nothing was imported"), nothing);
  if (reader.Records().isEmpty())
    QCOMPARE(TOtherConnection(database->File_Name()).Dump(), before);
  if (expected.contains({"M", "X", "O"}))
    expected[{"M", "X", "O"}].append("10360 Pftu=0.0019");
  for (auto machine = expected.begin(); machine != expected.end(); ++machine)
  {
    QStringList stored = database.Rows(machine.key()[0], machine.key()[1], machine.key()[2]);
    stored = stored.filter(QRegularExpression("^[^#]*$"));
    stored.sort();
    machine.value().sort();
    QCOMPARE(stored, machine.value());
  }
}

void TestQif::failed_export_keeps_old_file()
{
  TTestDatabase database;
  for (int index = 0; index < 50; ++index)
    QVERIFY(database.Write("Make", "Model " + QString::number(index), "O", {"10360 E0=1+L/300"}));
  const QString path = database.Path("kept.qif");
  QVERIFY(Write_File(path, "old content"));
  const QString report = Child_Report(
      [&]()
      {
        TQifExchange exchange(database.Get());
        return exchange.Export(path) ? QStringLiteral("done") : exchange.Error_Text();
      },
      4096);
  QVERIFY2(report.startsWith("Cannot write file '" + path + "'"), qPrintable(report));
  QCOMPARE(File_Bytes(path), QByteArray("old content"));
}

QTEST_GUILESS_MAIN(TestQif)
#include "tst_qif.moc"
