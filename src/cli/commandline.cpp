#include "commandline.h"

#include "catalogueexchange.h"
#include "comparecommand.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "specificationedit.h"
#include "specificationlimits.h"
#include "specificationreport.h"
#include "temperatureband.h"
#include "terminalprogress.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifndef METROVA_VERSION
#define METROVA_VERSION "unknown"
#endif

struct TCommandLine::TCommand
{
  const char *name;
  const char *arguments;
  int minimum; // positional arguments
  int maximum; // -1: no limit
  int options;
  int (TCommandLine::*run)();
  const char *summary;
  const char *details;
};

namespace
{
// A range gives one row per length; more than this is a typing error rather than a plot.
constexpr int MAXIMUM_RANGE_ROWS = 100000;
// Defaults of the limits dialog.
const QString DEFAULT_LENGTH = QStringLiteral("1000.000");
const QString DEFAULT_TEMPERATURE = QStringLiteral("20.00");

} // namespace

const TCommandLine::TCommand TCommandLine::COMMANDS[] = {
    {"import", "DATABASE FILE", 2, 2, 0, &TCommandLine::Import,
     "Import an exchange file into DATABASE and estimate the other standards, as the\n"
     "window's Import does. Creates and initializes DATABASE when it does not exist.",
     "Lines that cannot be stored are skipped, each with a warning on standard error.\n"
     "Progress is shown on standard error when that is a terminal."},
    {"export", "DATABASE FILE [--make NAME]...", 2, 2, TCommandLine::OPTION_MAKE,
     &TCommandLine::Export,
     "Write the manufacturer's specifications of every make, or of the named makes,\n"
     "to the exchange file FILE (millimetres, as the window's Export writes them).",
     "  --make NAME  export this make; give it once per make\n"
     "An existing FILE is replaced only once the new one is complete."},
    {"import-qif", "DATABASE FILE", 2, 2, 0, &TCommandLine::Import_Qif,
     "Import the Cartesian CMMs of a QIF 3 measurement resources document into\n"
     "DATABASE as manufacturer values of 10360 (E0, Ts_Min, Ts_Max) and estimate the\n"
     "other standards. Creates and initializes DATABASE when it does not exist.",
     "Devices without a usable ISO 10360 length error are skipped, each with a warning\n"
     "on standard error; any failure of the database keeps nothing of the import."},
    {"export-qif", "DATABASE FILE [--make NAME]...", 2, 2, TCommandLine::OPTION_MAKE,
     &TCommandLine::Export_Qif,
     "Write every make, or the named makes, to FILE as a QIF 3 measurement resources\n"
     "document: one Cartesian CMM per machine with its 10360 E0 and temperature range.",
     "  --make NAME  export this make; give it once per make\n"
     "A machine whose E0 has no QIF form is written without it, with a warning on\n"
     "standard error. An existing FILE is replaced only once the new one is complete."},
    {"list", "DATABASE [MAKE [MODEL]] [--csv]", 1, 3, TCommandLine::OPTION_CSV, &TCommandLine::List,
     "List the makes, the models of MAKE, or the options of MAKE MODEL, one per line,\n"
     "sorted as the window's lists are.",
     "  --csv        a CSV table with a header line"},
    {"show", "DATABASE MAKE MODEL OPTION [--csv]", 4, 4, TCommandLine::OPTION_CSV,
     &TCommandLine::Show,
     "Show one machine's specifications as the window's tree does: standard, component,\n"
     "expression in micrometres, MFG (manufacturer) or EST (estimated), description.",
     "  --csv        a CSV table with a header line"},
    {"limits",
     "DATABASE MAKE MODEL OPTION [--length L | --length FROM:TO:STEP] [--temperature T] [--csv]", 4,
     4, TCommandLine::OPTION_CSV | TCommandLine::OPTION_LENGTH | TCommandLine::OPTION_TEMPERATURE,
     &TCommandLine::Limits,
     "Show the nine limits of the Limits dialog at one measuring length and air\n"
     "temperature; with a range of lengths, a CSV table with one row per length.",
     "  --length L              measuring length in millimetres (default 1000)\n"
     "  --length FROM:TO:STEP   every length from FROM to TO in steps of STEP: a CSV table\n"
     "                          of lengths and limits, numbers only, in micrometres, empty\n"
     "                          where a limit gives no single number\n"
     "  --temperature T         air temperature in degrees Celsius (default 20)\n"
     "  --csv                   at one length: limit, text and number in micrometres"},
    {"set", "DATABASE MAKE MODEL OPTION STANDARD COMPONENT=EXPRESSION...", 6, -1, 0,
     &TCommandLine::Set,
     "Set manufacturer values of one standard, in micrometres as in the editor (for\n"
     "example E0=1.5+3.3L/1000 or Ts_Min=18), keep its other values, and estimate the\n"
     "other standards again, all in one transaction. Creates the machine if it is new.",
     "Each expression is checked against the kinds its component accepts; a plain\n"
     "temperature gets \"C\" appended. An invalid expression changes nothing."},
    {"unset", "DATABASE MAKE MODEL OPTION STANDARD COMPONENT...", 6, -1, 0, &TCommandLine::Unset,
     "Remove manufacturer values of one standard and estimate the other standards\n"
     "again, all in one transaction.",
     nullptr},
    {"delete", "DATABASE MAKE [MODEL [OPTION]]", 2, 4, 0, &TCommandLine::Delete,
     "Delete a make, a model of a make, or one option of a model.", nullptr},
    {"report", "DATABASE MAKE MODEL OPTION FILE.pdf", 5, 5, 0, &TCommandLine::Report,
     "Write the PDF report of one machine, as the window's Output PDF does (\".pdf\" is\n"
     "appended when missing).",
     "An existing file is replaced only once the new report is complete."},
    {"compare",
     "DATABASE [MAKE/MODEL/OPTION...] [--component STANDARD:COMPONENT] [--length L,L,...]\n"
     "        [--temperature T] [--tolerance SPAN --at L [--ratio R] [--capable]]",
     1, -1,
     TCommandLine::OPTION_LENGTH | TCommandLine::OPTION_TEMPERATURE | TCommandLine::OPTION_COMPARE,
     &TCommandLine::Compare, TCompareCommand::SUMMARY, TCompareCommand::DETAILS},
    {nullptr, nullptr, 0, 0, 0, nullptr, nullptr, nullptr},
};

const TCommandLine::TCommand *TCommandLine::Find_Command(const QString &name)
{
  for (const TCommand *command = COMMANDS; command->name; ++command)
  {
    if (name == QLatin1String(command->name))
    {
      return command;
    }
  }
  return nullptr;
}

namespace
{

// QString::toDouble accepts "nan" and "inf", which are no length or temperature.
bool To_Number(const QString &text, double *value)
{
  bool ok = false;
  *value = text.toDouble(&ok);
  return ok && std::isfinite(*value);
}

// One line for a message that may hold several.
QString One_Line(const QString &text)
{
  return text.simplified();
}

// The reason in the connection report, which names the file and the drivers as well.
QString Connect_Reason(const QString &report)
{
  static const QRegularExpression pattern(
      QStringLiteral("(?:Database|Driver) Error: '([^'\\n]+)'"));
  const QRegularExpressionMatch match = pattern.match(report);
  return match.hasMatch() ? match.captured(1).simplified() : One_Line(report);
}

QString Csv_Field(const QString &text)
{
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')) && text.trimmed() == text)
  {
    return text;
  }
  QString quoted = text;
  quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A label without its colon, as a column name.
QString Column_Name(int row)
{
  QString label = TSpecificationLimits::Row_Label(row);
  if (label.endsWith(QLatin1Char(':')))
  {
    label.chop(1);
  }
  return label;
}

QString Number_Text(double value, int precision)
{
  return std::isnan(value) ? QString() : QString::number(value, 'f', precision);
}

} // namespace

TCommandLine::TCommandLine(QTextStream *out, QTextStream *err, bool show_progress)
    : d_out(out), d_err(err), d_show_progress(show_progress),
      d_database(QStringLiteral("metrova_cli"))
{
}

bool TCommandLine::Draws_Report(int argc, const char *const *argv)
{
  return argc > 1 && std::strcmp(argv[1], "report") == 0;
}

int TCommandLine::Run(const QStringList &arguments)
{
  d_status = STATUS_SUCCESS;
  const QString first = arguments.value(0);
  if (first == QLatin1String("--help") || first == QLatin1String("-h"))
  {
    Write_Help(nullptr);
  }
  else if (first == QLatin1String("--version"))
  {
    *d_out << Program_Name() << ' ' << METROVA_VERSION << '\n';
  }
  else if (arguments.isEmpty())
  {
    Usage_Error(QStringLiteral("no command given"));
  }
  else if (!(d_command = Find_Command(first)))
  {
    Usage_Error(QStringLiteral("unknown command '%1'").arg(first));
  }
  else
  {
    QString error;
    if (!Parse(arguments.mid(1), &error))
    {
      Usage_Error(error);
    }
    else if (d_help)
    {
      Write_Help(d_command);
    }
    else
    {
      d_status = (this->*(d_command->run))();
    }
  }

  d_out->flush();
  if (d_out->status() != QTextStream::Ok && d_status == STATUS_SUCCESS)
  {
    Failure(QStringLiteral("cannot write to standard output"));
  }
  d_err->flush();
  return d_status;
}

bool TCommandLine::Parse(const QStringList &arguments, QString *error)
{
  const int options = d_command->options;
  bool options_end = false;
  for (int index = 0; index < arguments.size(); ++index)
  {
    const QString &argument = arguments.at(index);
    if (options_end || !argument.startsWith(QLatin1String("--")))
    {
      d_positional.append(argument);
      continue;
    }
    if (argument == QLatin1String("--"))
    {
      options_end = true;
      continue;
    }
    if (argument == QLatin1String("--help"))
    {
      d_help = true;
      return true;
    }
    if (argument == QLatin1String("--csv") && (options & OPTION_CSV))
    {
      d_csv = true;
      continue;
    }
    if (argument == QLatin1String(TCompareCommand::CAPABLE_OPTION) && (options & OPTION_COMPARE))
    {
      d_compare_options.insert(argument, QString());
      continue;
    }

    // Options with a value: "--name VALUE" or "--name=VALUE".
    const QString name = argument.section(QLatin1Char('='), 0, 0);
    QString *value = nullptr;
    if (name == QLatin1String("--length") && (options & OPTION_LENGTH))
    {
      value = &d_length;
    }
    else if (name == QLatin1String("--temperature") && (options & OPTION_TEMPERATURE))
    {
      value = &d_temperature;
    }
    else if (name == QLatin1String("--make") && (options & OPTION_MAKE))
    {
      d_makes.append(QString());
      value = &d_makes.last();
    }
    else if ((options & OPTION_COMPARE) && TCompareCommand::Takes_Value(name))
    {
      value = &d_compare_options[name];
    }
    else
    {
      *error = QStringLiteral("unknown option '%1' for %2").arg(name, d_command->name);
      return false;
    }
    if (argument.contains(QLatin1Char('=')))
    {
      *value = argument.section(QLatin1Char('='), 1);
    }
    else if (index + 1 < arguments.size())
    {
      *value = arguments.at(++index);
    }
    else
    {
      *error = QStringLiteral("option '%1' needs a value").arg(name);
      return false;
    }
  }

  const int count = d_positional.size();
  if (count < d_command->minimum || (d_command->maximum >= 0 && count > d_command->maximum))
  {
    *error = QStringLiteral("%1 arguments for %2")
                 .arg(count < d_command->minimum ? QStringLiteral("too few")
                                                 : QStringLiteral("too many"),
                      d_command->name);
    return false;
  }
  return true;
}

void TCommandLine::Write_Help(const TCommand *command)
{
  QTextStream &out = *d_out;
  if (command)
  {
    out << "Usage: " << Program_Name() << ' ' << command->name << ' ' << command->arguments
        << "\n\n"
        << command->summary << "\n";
    if (command->details)
    {
      out << '\n' << command->details << '\n';
    }
    out << "\nExit status: 0 on success, 1 on failure, 2 on a usage error.\n";
    return;
  }

  out << "Usage: " << Program_Name() << " COMMAND ARGUMENT... [OPTION]...\n"
      << "Reads and changes a Metrova catalogue of CMM accuracy specifications (the\n"
         "database file of the Metrova window) from scripts.\n\n"
         "Commands:\n";
  for (const TCommand *entry = COMMANDS; entry->name; ++entry)
  {
    out << "  " << entry->name << ' ' << entry->arguments << '\n';
    for (const QString &line : QString::fromLatin1(entry->summary).split(QLatin1Char('\n')))
    {
      out << "      " << line << '\n';
    }
  }
  out << "\nOptions:\n"
         "  --help       this help; after a command, that command's help\n"
         "  --version    the program's version\n\n"
         "Expressions are in micrometres, lengths in millimetres, temperatures in degrees\n"
         "Celsius. Make, model and option names are cleaned as the editor cleans them (the\n"
         "characters ' \" % * [ ] ^ \\ / , : are removed); a note on standard error says\n"
         "when a name was changed. Only import creates a database.\n\n"
         "Exit status: 0 on success, 1 on failure (with one line on standard error), 2 on\n"
         "a usage error.\n";
}

int TCommandLine::Usage_Error(const QString &text)
{
  *d_err << Program_Name() << ": " << text << '\n';
  if (d_command)
  {
    *d_err << "Usage: " << Program_Name() << ' ' << d_command->name << ' ' << d_command->arguments
           << '\n';
  }
  else
  {
    *d_err << "Run '" << Program_Name() << " --help' for the commands.\n";
  }
  d_err->flush();
  return d_status = STATUS_USAGE;
}

int TCommandLine::Failure(const QString &text)
{
  *d_err << Program_Name() << ": " << One_Line(text) << '\n';
  d_err->flush();
  return d_status = STATUS_FAILURE;
}

void TCommandLine::Note(const QString &text)
{
  *d_err << Program_Name() << ": " << text << '\n';
  d_err->flush();
}

bool TCommandLine::Open_Database(bool create)
{
  const QString file_name = d_positional.at(0);
  const QFileInfo info(file_name);
  if (info.isDir())
  {
    Failure(QStringLiteral("cannot open database '%1': it is a folder").arg(file_name));
    return false;
  }
  if (!create && !info.exists())
  {
    Failure(QStringLiteral("cannot open database '%1': no such file").arg(file_name));
    return false;
  }
  if (!d_database.Connect(file_name))
  {
    Failure(QStringLiteral("cannot open database '%1': %2")
                .arg(file_name, Connect_Reason(d_database.Last_Error())));
    return false;
  }
  if (create)
  {
    if (!d_database.Initialize())
    {
      Failure(QStringLiteral("cannot initialize database '%1': %2")
                  .arg(file_name, d_database.Last_Error()));
      return false;
    }
    return true;
  }
  // The other commands change no schema: a file without the catalogue's tables is refused.
  bool valid = false;
  d_database.Standard_Types(&valid);
  if (!valid)
  {
    const QString reason = d_database.Last_Error();
    Failure(QStringLiteral("'%1' is not a Metrova catalogue%2")
                .arg(file_name, reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
    return false;
  }
  return true;
}

QString TCommandLine::Name(int index, const QString &what)
{
  const QString given = d_positional.at(index);
  const QString name = TDatabaseItem::Cleaned_Name(given);
  if (name.isEmpty())
  {
    Usage_Error(QStringLiteral("the %1 name '%2' is empty once cleaned").arg(what, given));
  }
  else if (name != given)
  {
    Note(QStringLiteral("the %1 name '%2' is taken as '%3'").arg(what, given, name));
  }
  return name;
}

bool TCommandLine::Machine(int first, int levels, QStringList *names)
{
  static const char *const LEVELS[] = {"make", "model", "option"};
  names->clear();
  for (int level = 0; level < levels; ++level)
  {
    const QString name = Name(first + level, QLatin1String(LEVELS[level]));
    if (name.isEmpty())
    {
      return false;
    }
    names->append(name);
  }

  const QString &database = d_positional.at(0);
  if (!d_database.Make_Exists(names->at(0)))
  {
    Failure(QStringLiteral("no make '%1' in '%2'").arg(names->at(0), database));
    return false;
  }
  if (levels > 1 && !d_database.Model_Exists(names->at(0), names->at(1)))
  {
    Failure(QStringLiteral("no model '%1' of make '%2' in '%3'")
                .arg(names->at(1), names->at(0), database));
    return false;
  }
  if (levels > 2 && !d_database.Option_Exists(names->at(0), names->at(1), names->at(2)))
  {
    Failure(QStringLiteral("no option '%1' of %2 %3 in '%4'")
                .arg(names->at(2), names->at(0), names->at(1), database));
    return false;
  }
  return true;
}

void TCommandLine::Write_Table(const QStringList &header, const QList<QStringList> &rows)
{
  QTextStream &out = *d_out;
  if (d_csv)
  {
    QList<QStringList> lines = rows;
    lines.prepend(header);
    for (const QStringList &line : qAsConst(lines))
    {
      QStringList fields;
      for (const QString &field : line)
      {
        fields.append(Csv_Field(field));
      }
      out << fields.join(QLatin1Char(',')) << '\n';
    }
    return;
  }

  // Columns padded to their widest text, the last one not padded.
  QList<int> widths;
  for (const QStringList &row : rows)
  {
    for (int column = 0; column < row.size(); ++column)
    {
      if (column >= widths.size())
      {
        widths.append(0);
      }
      widths[column] = std::max(widths.at(column), row.at(column).size());
    }
  }
  for (const QStringList &row : rows)
  {
    QString line;
    for (int column = 0; column < row.size(); ++column)
    {
      line += column + 1 < row.size() ? row.at(column).leftJustified(widths.at(column) + 2)
                                      : row.at(column);
    }
    out << line.trimmed() << '\n';
  }
}

int TCommandLine::Import()
{
  return Import_File(TCatalogueExchange::FORMAT_CSV);
}

int TCommandLine::Import_Qif()
{
  return Import_File(TCatalogueExchange::FORMAT_QIF);
}

int TCommandLine::Export()
{
  return Export_File(TCatalogueExchange::FORMAT_CSV);
}

int TCommandLine::Export_Qif()
{
  return Export_File(TCatalogueExchange::FORMAT_QIF);
}

bool TCommandLine::Exchange(TCatalogueExchange::TFormat format, const QString &file_name,
                            const std::function<bool(TCatalogueExchange *)> &run,
                            QString *error_text)
{
  bool done = false;
  QString warning_text;
  {
    // The progress line ends before the warnings start.
    TTerminalProgress terminal(d_err);
    const std::unique_ptr<TCatalogueExchange> exchange =
        TCatalogueExchange::Create(format, &d_database, d_show_progress ? &terminal : nullptr);
    done = run(exchange.get());
    *error_text = exchange->Error_Text();
    warning_text = exchange->Warning_Text();
  }
  if (!warning_text.isEmpty())
  {
    for (const QString &line : warning_text.split(QLatin1Char('\n')))
    {
      Note(QStringLiteral("warning: %1: %2").arg(file_name, line));
    }
  }
  return done;
}

int TCommandLine::Import_File(TCatalogueExchange::TFormat format)
{
  const QString database_file = d_positional.at(0);
  const QString file_name = d_positional.at(1);
  const bool existed = QFileInfo::exists(database_file);
  if (!Open_Database(true))
  {
    return d_status;
  }

  QString error_text;
  if (Exchange(
          format, file_name,
          [&](TCatalogueExchange *exchange) { return exchange->Import(file_name); }, &error_text))
  {
    return STATUS_SUCCESS;
  }

  // A database made for this import and left empty by its failure is taken away again.
  if (!existed)
  {
    d_database.Close();
    QFile::remove(database_file);
  }
  return Failure(QStringLiteral("cannot import '%1': %2").arg(file_name, error_text));
}

int TCommandLine::Export_File(TCatalogueExchange::TFormat format)
{
  if (!Open_Database(false))
  {
    return d_status;
  }
  QStringList makes;
  for (const QString &given : qAsConst(d_makes))
  {
    const QString make = TDatabaseItem::Cleaned_Name(given);
    if (make != given)
    {
      Note(QStringLiteral("the make name '%1' is taken as '%2'").arg(given, make));
    }
    if (!d_database.Make_Exists(make))
    {
      return Failure(QStringLiteral("no make '%1' in '%2'").arg(make, d_positional.at(0)));
    }
    makes.append(make);
  }

  const QString file_name = d_positional.at(1);
  QString error_text;
  if (!Exchange(
          format, file_name,
          [&](TCatalogueExchange *exchange) { return exchange->Export(file_name, makes); },
          &error_text))
  {
    return Failure(QStringLiteral("cannot export to '%1': %2").arg(file_name, error_text));
  }
  return STATUS_SUCCESS;
}

int TCommandLine::List()
{
  if (!Open_Database(false))
  {
    return d_status;
  }
  const int levels = d_positional.size() - 1;
  QStringList names;
  if (levels > 0 && !Machine(1, levels, &names))
  {
    return d_status;
  }

  bool valid = false;
  QStringList items = levels == 0   ? d_database.Makes(&valid)
                      : levels == 1 ? d_database.Models(names.at(0), &valid)
                                    : d_database.Options(names.at(0), names.at(1), &valid);
  // For models and options the flag is also false for a make or model left without any.
  if (!valid && levels == 0)
  {
    return Failure(QStringLiteral("cannot read the makes: %1").arg(d_database.Last_Error()));
  }
  // The window's lists sort their items the same way.
  std::sort(items.begin(), items.end(),
            [](const QString &left, const QString &right)
            { return QString::localeAwareCompare(left, right) < 0; });

  static const char *const HEADERS[] = {"make", "model", "option"};
  QList<QStringList> rows;
  for (const QString &item : qAsConst(items))
  {
    rows.append({item});
  }
  Write_Table({QLatin1String(HEADERS[levels])}, rows);
  return STATUS_SUCCESS;
}

int TCommandLine::Show()
{
  QStringList names;
  if (!Open_Database(false) || !Machine(1, 3, &names))
  {
    return d_status;
  }
  bool valid = false;
  const QStringList standards = d_database.Standard_Types(&valid);
  const QList<TDatabaseItem> records =
      valid ? d_database.Read_Configuration(names.at(0), names.at(1), names.at(2), &valid)
            : QList<TDatabaseItem>();
  if (!valid)
  {
    return Failure(
        QStringLiteral("cannot read the specifications: %1").arg(d_database.Last_Error()));
  }

  QList<QStringList> rows;
  if (!d_csv)
  {
    rows.append({QStringLiteral("Standard"), QStringLiteral("Component"),
                 QStringLiteral("Expression"), QStringLiteral("Source"),
                 QStringLiteral("Description")});
  }
  for (int index = 0; index < records.size() && index < standards.size(); ++index)
  {
    const TDatabaseItem &record = records.at(index);
    for (int item_index = 0; item_index < record.Specification_Item_Count(); ++item_index)
    {
      const TSpecificationItem item = record.Specification_Item(item_index);
      rows.append({standards.at(index), item.name,
                   item.expression.Expression_Text(TExpressionItem::UNITS_UM),
                   TDatabaseItem::Source_Name(item.source), item.description});
    }
  }
  Write_Table({QStringLiteral("standard"), QStringLiteral("component"),
               QStringLiteral("expression_um"), QStringLiteral("source"),
               QStringLiteral("description")},
              rows);
  return STATUS_SUCCESS;
}

int TCommandLine::Limits()
{
  // Arguments first: a usage error is reported before any file is touched.
  const QString length_text = d_length.isEmpty() ? DEFAULT_LENGTH : d_length;
  const QString temperature_text = d_temperature.isEmpty() ? DEFAULT_TEMPERATURE : d_temperature;
  double temperature = 0.0;
  if (!To_Number(temperature_text, &temperature))
  {
    return Usage_Error(QStringLiteral("the temperature '%1' is not a number").arg(d_temperature));
  }
  const QStringList range = length_text.split(QLatin1Char(':'));
  double bounds[3] = {0.0, 0.0, 0.0};
  for (int index = 0; index < range.size() && index < 3; ++index)
  {
    if (!To_Number(range.at(index), &bounds[index]))
    {
      return Usage_Error(
          QStringLiteral("the length '%1' is not a number or FROM:TO:STEP").arg(length_text));
    }
  }
  const bool is_range = range.size() == 3;
  int row_count = 1;
  if (range.size() == 2 || range.size() > 3)
  {
    return Usage_Error(
        QStringLiteral("the length '%1' is not a number or FROM:TO:STEP").arg(length_text));
  }
  if (is_range)
  {
    const double steps = (bounds[1] - bounds[0]) / bounds[2];
    if (!(bounds[2] > 0.0) || bounds[1] < bounds[0] || !(steps < MAXIMUM_RANGE_ROWS))
    {
      return Usage_Error(QStringLiteral("the range '%1' needs FROM <= TO, STEP > 0 and at most "
                                        "%2 lengths")
                             .arg(length_text)
                             .arg(MAXIMUM_RANGE_ROWS));
    }
    // A TO that the steps reach up to rounding is included.
    row_count = static_cast<int>(std::floor(steps + 1e-9)) + 1;
  }

  QStringList names;
  if (!Open_Database(false) || !Machine(1, 3, &names))
  {
    return d_status;
  }
  bool valid = false;
  const QList<TDatabaseItem> records =
      d_database.Read_Configuration(names.at(0), names.at(1), names.at(2), &valid);
  if (!valid)
  {
    return Failure(
        QStringLiteral("cannot read the specifications: %1").arg(d_database.Last_Error()));
  }
  const double deviation = TSpecificationLimits::Temperature_Deviation(temperature_text, 0.0);
  // Said, not refused: the limits are still what the maker states.
  const QString warning = TTemperatureBand::Of_Machine(records).Warning(temperature);
  if (!warning.isEmpty())
  {
    Note(warning);
  }

  QList<QStringList> rows;
  if (is_range)
  {
    QStringList header{QStringLiteral("length_mm")};
    for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
    {
      header.append(Column_Name(row));
    }
    for (int index = 0; index < row_count; ++index)
    {
      const double length = bounds[0] + index * bounds[2];
      QStringList line{QString::number(length, 'g', 12)};
      const QList<double> values = TSpecificationLimits::Values(records, length, deviation);
      for (const double value : values)
      {
        line.append(Number_Text(value, 3));
      }
      rows.append(line);
    }
    d_csv = true;
    Write_Table(header, rows);
    return STATUS_SUCCESS;
  }

  const QStringList texts = TSpecificationLimits::Calculate(records, length_text, deviation);
  const QList<double> values = TSpecificationLimits::Values(records, bounds[0], deviation);
  for (int row = 0; row < TSpecificationLimits::ROW_COUNT; ++row)
  {
    rows.append(
        d_csv ? QStringList{Column_Name(row), texts.value(row), Number_Text(values.value(row), 3)}
              : QStringList{TSpecificationLimits::Row_Label(row), texts.value(row)});
  }
  Write_Table({QStringLiteral("limit"), QStringLiteral("text"), QStringLiteral("value_um")}, rows);
  return STATUS_SUCCESS;
}

int TCommandLine::Set()
{
  return Save_Rows(true) ? STATUS_SUCCESS : d_status;
}

int TCommandLine::Unset()
{
  return Save_Rows(false) ? STATUS_SUCCESS : d_status;
}

bool TCommandLine::Save_Rows(bool set)
{
  if (!Open_Database(false))
  {
    return false;
  }
  // Setting values may start a new machine; removing them needs one that exists.
  QStringList names;
  if (!set && !Machine(1, 3, &names))
  {
    return false;
  }
  for (int index = 1; set && index <= 3; ++index)
  {
    static const char *const LEVELS[] = {"make", "model", "option"};
    names.append(Name(index, QLatin1String(LEVELS[index - 1])));
    if (names.last().isEmpty())
    {
      return false;
    }
  }

  QList<TEditorRow> rows;
  if (!TSpecificationEdit::Read_Rows(&d_database, names.at(0), names.at(1), names.at(2), &rows))
  {
    Failure(QStringLiteral("cannot read the specifications: %1").arg(d_database.Last_Error()));
    return false;
  }
  const QString standard = d_positional.at(4);
  QStringList standards;
  QStringList components;
  for (const TEditorRow &row : qAsConst(rows))
  {
    if (!standards.contains(row.standard))
    {
      standards.append(row.standard);
    }
    if (row.standard == standard)
    {
      components.append(row.component);
    }
  }
  if (components.isEmpty())
  {
    Failure(QStringLiteral("no standard '%1'; the standards are %2")
                .arg(standard, standards.join(QStringLiteral(", "))));
    return false;
  }

  // Every value is checked before anything is written: one bad value changes nothing.
  for (int index = 5; index < d_positional.size(); ++index)
  {
    const QString &argument = d_positional.at(index);
    const QString component = set ? argument.section(QLatin1Char('='), 0, 0) : argument;
    const QString text = argument.section(QLatin1Char('='), 1).trimmed();
    if (set && (!argument.contains(QLatin1Char('=')) || text.isEmpty()))
    {
      Usage_Error(QStringLiteral("'%1' is not COMPONENT=EXPRESSION").arg(argument));
      return false;
    }
    const int row_index = components.indexOf(component);
    if (row_index < 0)
    {
      Failure(QStringLiteral("no component '%1' in standard %2; its components are %3")
                  .arg(component, standard, components.join(QStringLiteral(", "))));
      return false;
    }
    auto row =
        std::find_if(rows.begin(), rows.end(),
                     [&](const TEditorRow &candidate) {
                       return candidate.standard == standard && candidate.component == component;
                     });
    if (!set)
    {
      if (row->expression.isEmpty())
      {
        Note(QStringLiteral("%1 %2 has no manufacturer value").arg(standard, component));
      }
      row->expression.clear();
      continue;
    }
    const QString completed = TSpecificationEdit::Completed_Text(text, row->expression_types);
    if (!TSpecificationEdit::Accepts(completed, row->expression_types))
    {
      Failure(QStringLiteral("invalid expression for %1 %2: '%3': %4")
                  .arg(standard, component, text,
                       TSpecificationEdit::Rejection_Hint(text, row->expression_types)));
      return false;
    }
    row->expression = completed;
  }

  QString error;
  if (!TSpecificationEdit::Save(&d_database, names.at(0), names.at(1), names.at(2), rows, &error))
  {
    Failure(QStringLiteral("cannot save the specifications of %1 %2 %3: %4")
                .arg(names.at(0), names.at(1), names.at(2), error));
    return false;
  }
  return true;
}

int TCommandLine::Delete()
{
  QStringList names;
  const int levels = d_positional.size() - 1;
  if (!Open_Database(false) || !Machine(1, levels, &names))
  {
    return d_status;
  }
  const bool removed = levels == 1 ? d_database.Remove_Make(names.at(0))
                       : levels == 2
                           ? d_database.Remove_Model(names.at(0), names.at(1))
                           : d_database.Remove_Option(names.at(0), names.at(1), names.at(2));
  if (!removed)
  {
    return Failure(QStringLiteral("cannot delete %1: %2")
                       .arg(names.join(QLatin1Char(' ')), d_database.Last_Error()));
  }
  return STATUS_SUCCESS;
}

int TCommandLine::Report()
{
  QStringList names;
  if (!Open_Database(false) || !Machine(1, 3, &names))
  {
    return d_status;
  }
  const QString file_name = TSpecificationReport::Appended_Pdf_Suffix(d_positional.at(4));
  const QList<QStringList> rows =
      TSpecificationReport::Build_Rows(&d_database, names.at(0), names.at(1), names.at(2));
  QString error;
  if (!TSpecificationReport::Write(file_name, names.at(0), names.at(1), names.at(2), rows, &error))
  {
    return Failure(error);
  }
  return STATUS_SUCCESS;
}

int TCommandLine::Compare()
{
  TCompareCommand command;
  QString error;
  if (!command.Set_Arguments(d_positional.mid(1), d_length, d_temperature, d_compare_options,
                             &error))
  {
    return Usage_Error(error);
  }
  if (!Open_Database(false))
  {
    return d_status;
  }
  QString csv;
  if (!command.Run(&d_database, &csv, &error))
  {
    return Failure(error);
  }
  *d_out << csv;
  return STATUS_SUCCESS;
}
