#include "commandline.h"

#include "browsecommand.h"
#include "comparecommand.h"
#include "copycommand.h"
#include "exchangecommand.h"
#include "historycommand.h"
#include "initcommand.h"
#include "limitscommand.h"
#include "reportcommand.h"
#include "setcommand.h"
#include "verifycommand.h"

#include <QTextStream>

#ifndef METROVA_VERSION
#define METROVA_VERSION "unknown"
#endif

TCommandLine::TCommandLine(QTextStream *out, QTextStream *err, bool show_progress)
    : d_out(out), d_err(err), d_show_progress(show_progress)
{
}

TCommandLine::TCommands TCommandLine::Commands()
{
  TCommands commands;
  for (const auto format : {TCatalogueExchange::FORMAT_CSV, TCatalogueExchange::FORMAT_QIF})
  {
    commands.push_back(
        std::make_unique<TExchangeCommand>(TExchangeCommand::DIRECTION_IMPORT, format));
    commands.push_back(
        std::make_unique<TExchangeCommand>(TExchangeCommand::DIRECTION_EXPORT, format));
  }
  commands.push_back(std::make_unique<TBrowseCommand>(TBrowseCommand::ACTION_LIST));
  commands.push_back(std::make_unique<TBrowseCommand>(TBrowseCommand::ACTION_SHOW));
  commands.push_back(std::make_unique<TLimitsCommand>());
  commands.push_back(std::make_unique<TSetCommand>(TSetCommand::CHANGE_SET));
  commands.push_back(std::make_unique<TSetCommand>(TSetCommand::CHANGE_UNSET));
  commands.push_back(std::make_unique<TBrowseCommand>(TBrowseCommand::ACTION_DELETE));
  commands.push_back(std::make_unique<THistoryCommand>());
  commands.push_back(std::make_unique<TCopyCommand>());
  commands.push_back(std::make_unique<TInitCommand>());
  commands.push_back(std::make_unique<TReportCommand>());
  commands.push_back(std::make_unique<TCompareCommand>());
  for (const auto action :
       {TVerifyCommand::ACTION_ADD, TVerifyCommand::ACTION_LIST, TVerifyCommand::ACTION_SHOW,
        TVerifyCommand::ACTION_REPORT, TVerifyCommand::ACTION_DELETE,
        TVerifyCommand::ACTION_SCHEDULE, TVerifyCommand::ACTION_DUE})
  {
    commands.push_back(std::make_unique<TVerifyCommand>(action));
  }
  return commands;
}

TCommand *TCommandLine::Find_Command(const TCommands &commands, const QStringList &arguments,
                                     int *words)
{
  for (const std::unique_ptr<TCommand> &command : commands)
  {
    const QStringList name = command->Description().name.split(QLatin1Char(' '));
    if (arguments.mid(0, name.size()) == name)
    {
      *words = name.size();
      return command.get();
    }
  }
  return nullptr;
}

bool TCommandLine::Draws_Report(int argc, const char *const *argv)
{
  QStringList arguments;
  for (int index = 1; index < argc; ++index)
  {
    arguments.append(QString::fromLocal8Bit(argv[index]));
  }
  int words = 0;
  const TCommands commands = Commands();
  const TCommand *command = Find_Command(commands, arguments, &words);
  return command && command->Draws();
}

int TCommandLine::Run(const QStringList &arguments)
{
  int status = Run_Command(arguments);
  d_out->flush();
  if (d_out->status() != QTextStream::Ok && status == TCommand::STATUS_SUCCESS)
  {
    *d_err << TCommand::Program_Name() << ": cannot write to standard output\n";
    status = TCommand::STATUS_FAILURE;
  }
  d_err->flush();
  return status;
}

int TCommandLine::Run_Command(const QStringList &arguments)
{
  const TCommands commands = Commands();
  const QString first = arguments.value(0);
  if (first == QLatin1String("--help") || first == QLatin1String("-h"))
  {
    Write_Help(commands);
    return TCommand::STATUS_SUCCESS;
  }
  if (first == QLatin1String("--version"))
  {
    *d_out << TCommand::Program_Name() << ' ' << METROVA_VERSION << '\n';
    return TCommand::STATUS_SUCCESS;
  }
  if (arguments.isEmpty())
  {
    return Usage_Error(QStringLiteral("no command given"));
  }
  int words = 0;
  TCommand *command = Find_Command(commands, arguments, &words);
  if (!command)
  {
    // A family's name alone, or with a word it does not know: say which words it takes.
    QStringList family;
    for (const std::unique_ptr<TCommand> &candidate : commands)
    {
      const QString name = candidate->Description().name;
      if (name.startsWith(first + QLatin1Char(' ')))
      {
        family.append(name.section(QLatin1Char(' '), 1));
      }
    }
    const QString second = arguments.value(1);
    if (!family.isEmpty() && (second == QLatin1String("--help") || second == QLatin1String("-h")))
    {
      // The family's usage: each of its commands as the program's help lists it.
      *d_out << "Usage: " << TCommand::Program_Name() << ' ' << first << " COMMAND ARGUMENT...\n\n"
             << "Commands:\n";
      for (const std::unique_ptr<TCommand> &candidate : commands)
      {
        const TCommand::TDescription &description = candidate->Description();
        if (description.name.startsWith(first + QLatin1Char(' ')))
        {
          Write_Command(description);
        }
      }
      *d_out << "\nEach command's own help: " << TCommand::Program_Name() << ' ' << first
             << " COMMAND --help\n";
      return TCommand::STATUS_SUCCESS;
    }
    if (!family.isEmpty())
    {
      return Usage_Error(QStringLiteral("unknown command '%1': %2 is followed by %3")
                             .arg(arguments.mid(0, 2).join(QLatin1Char(' ')), first,
                                  family.join(QStringLiteral(", "))));
    }
    return Usage_Error(QStringLiteral("unknown command '%1'").arg(first));
  }
  return command->Execute(arguments.mid(words), d_out, d_err, d_show_progress);
}

void TCommandLine::Write_Help(const TCommands &commands)
{
  QTextStream &out = *d_out;
  out << "Usage: " << TCommand::Program_Name() << " COMMAND ARGUMENT... [OPTION]...\n"
      << "Reads and changes a Metrova catalogue of CMM accuracy specifications (the\n"
         "database file of the Metrova window) from scripts.\n\n"
         "Commands:\n";
  for (const std::unique_ptr<TCommand> &command : commands)
  {
    Write_Command(command->Description());
  }
  out << "\nOptions:\n"
         "  --help       this help; after a command, that command's help\n"
         "  --version    the program's version\n\n"
         "Expressions are in micrometres, lengths in millimetres, temperatures in degrees\n"
         "Celsius. Make, model and option names are cleaned as the editor cleans them (the\n"
         "characters ' \" % * [ ] ^ \\ / , : are removed); a note on standard error says\n"
         "when a name was changed. Only import creates a database.\n\n"
         "Exit status: 0 on success, 1 on failure (with one line on standard error), 2 on\n"
         "a usage error; verify add and verify show exit with 3 when the record does not\n"
         "conform, 4 when conformance or nonconformance is not proven and 5 when it is not\n"
         "judged.\n";
}

void TCommandLine::Write_Command(const TCommand::TDescription &description)
{
  *d_out << "  " << description.name << ' ' << description.arguments << '\n';
  for (const QString &line : description.summary.split(QLatin1Char('\n')))
  {
    *d_out << "      " << line << '\n';
  }
}

int TCommandLine::Usage_Error(const QString &text)
{
  *d_err << TCommand::Program_Name() << ": " << text << '\n'
         << "Run '" << TCommand::Program_Name() << " --help' for the commands.\n";
  return TCommand::STATUS_USAGE;
}
