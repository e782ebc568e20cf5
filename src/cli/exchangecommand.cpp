#include "exchangecommand.h"

#include "database.h"
#include "terminalprogress.h"

#include <functional>

namespace
{
const QString MAKE_OPTION = QStringLiteral("--make");

TCommand::TDescription Command_Description(TExchangeCommand::TDirection direction,
                                           TCatalogueExchange::TFormat format)
{
  const bool qif = format == TCatalogueExchange::FORMAT_QIF;
  if (direction == TExchangeCommand::DIRECTION_IMPORT)
  {
    return {qif ? QStringLiteral("import-qif") : QStringLiteral("import"),
            QStringLiteral("DATABASE FILE"),
            2,
            2,
            qif ? QStringLiteral(
                      "Import the Cartesian CMMs of a QIF 3 measurement resources document into\n"
                      "DATABASE as manufacturer values of 10360 (E0, Ts_Min, Ts_Max) and estimate "
                      "the\nother standards. Creates and initializes DATABASE when it does not "
                      "exist.")
                : QStringLiteral("Import an exchange file into DATABASE and estimate the other "
                                 "standards, as the\nwindow's Import does. Creates and "
                                 "initializes DATABASE when it does not exist."),
            qif ? QStringLiteral("Devices without a usable ISO 10360 length error are skipped, "
                                 "each with a warning\non standard error; any failure of the "
                                 "database keeps nothing of the import.")
                : QStringLiteral("Lines that cannot be stored are skipped, each with a warning on "
                                 "standard error.\nProgress is shown on standard error when that "
                                 "is a terminal."),
            {}};
  }
  return {qif ? QStringLiteral("export-qif") : QStringLiteral("export"),
          QStringLiteral("DATABASE FILE [--make NAME]..."),
          2,
          2,
          qif ? QStringLiteral("Write every make, or the named makes, to FILE as a QIF 3 "
                               "measurement resources\ndocument: one Cartesian CMM per machine "
                               "with its 10360 E0 and temperature range.")
              : QStringLiteral("Write the manufacturer's specifications of every make, or of the "
                               "named makes,\nto the exchange file FILE (millimetres, as the "
                               "window's Export writes them)."),
          QStringLiteral("  --make NAME  export this make; give it once per make\n") +
              (qif ? QStringLiteral("A machine whose E0 has no QIF form is written without it, "
                                    "with a warning on\nstandard error. An existing FILE is "
                                    "replaced only once the new one is complete.")
                   : QStringLiteral("An existing FILE is replaced only once the new one is "
                                    "complete.")),
          {{MAKE_OPTION, true}}};
}

// A failure of the exchange, whose text may begin with what the command would say before it.
QString Said_Once(const QString &lead, const QString &error_text)
{
  return error_text.startsWith(lead, Qt::CaseInsensitive) ? lead + error_text.mid(lead.size())
                                                          : lead + error_text;
}
} // namespace

TExchangeCommand::TExchangeCommand(TDirection direction, TCatalogueExchange::TFormat format)
    : TDatabaseCommand(Command_Description(direction, format)), d_direction(direction),
      d_format(format)
{
}

int TExchangeCommand::Run()
{
  QString file_name;
  const int status = d_direction == DIRECTION_IMPORT
                         ? File_Argument(1, QStringLiteral("file"), &file_name)
                         : Output_File_Argument(1, &file_name);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  return d_direction == DIRECTION_IMPORT ? Import(file_name) : Export(file_name);
}

bool TExchangeCommand::Exchange(const QString &file_name,
                                const std::function<bool(TCatalogueExchange *)> &run,
                                QString *error_text)
{
  bool done = false;
  QString warning_text;
  {
    // The progress line ends before the warnings start.
    TTerminalProgress terminal(Error_Stream());
    const std::unique_ptr<TCatalogueExchange> exchange =
        TCatalogueExchange::Create(d_format, Database(), Show_Progress() ? &terminal : nullptr);
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

int TExchangeCommand::Import(const QString &file_name)
{
  const int status = Open_Or_Create();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }

  QString error_text;
  const bool imported = Exchange(
      file_name, [&](TCatalogueExchange *exchange) { return exchange->Import(file_name); },
      &error_text);
  if (!imported)
  {
    End_Filling(false);
    return Failure(Said_Once(QStringLiteral("cannot import '%1': ").arg(file_name), error_text));
  }
  if (!End_Filling(true))
  {
    return Failure(
        QStringLiteral("cannot import '%1': %2").arg(file_name, Database()->Last_Error()));
  }
  return STATUS_SUCCESS;
}

int TExchangeCommand::Export(const QString &file_name)
{
  const int status = Open();
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  QStringList makes;
  for (const QString &given : Option_Values(MAKE_OPTION))
  {
    const QString make = TDatabaseItem::Cleaned_Name(given);
    if (make != given)
    {
      Note(QStringLiteral("the make name '%1' is taken as '%2'").arg(given, make));
    }
    if (!Database()->Make_Exists(make))
    {
      return Not_Found(QStringLiteral("no make '%1' in '%2'").arg(make, Database_Name()));
    }
    makes.append(make);
  }

  QString error_text;
  if (!Exchange(
          file_name,
          [&](TCatalogueExchange *exchange) { return exchange->Export(file_name, makes); },
          &error_text))
  {
    return Failure(Said_Once(QStringLiteral("cannot export to '%1': ").arg(file_name), error_text));
  }
  return STATUS_SUCCESS;
}
