#ifndef METROVA_COMMANDLINE_H
#define METROVA_COMMANDLINE_H

#include "command.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTextStream;

// The metrova-cli tool: one command per run on a catalogue file, through the same core code as
// the window. Finds the command that the first arguments name and gives it the rest; the
// commands themselves (TCommand) know their arguments, options and help.
class TCommandLine
{
public:
  TCommandLine(QTextStream *out, QTextStream *err, bool show_progress);
  TCommandLine(const TCommandLine &) = delete;
  TCommandLine &operator=(const TCommandLine &) = delete;

  // The arguments after the program name; the exit status.
  int Run(const QStringList &arguments);

  // Whether the command line asks for a report: only that one draws, and needs a GUI platform.
  static bool Draws_Report(int argc, const char *const *argv);

private:
  using TCommands = std::vector<std::unique_ptr<TCommand>>;
  // Every command, in the order the help lists them.
  static TCommands Commands();
  // The command whose name is the first words of the arguments, and how many words that is.
  static TCommand *Find_Command(const TCommands &commands, const QStringList &arguments,
                                int *words);
  int Run_Command(const QStringList &arguments);
  void Write_Help(const TCommands &commands);
  // A command's usage line and summary, as the help lists it.
  void Write_Command(const TCommand::TDescription &description);
  int Usage_Error(const QString &text);

  QTextStream *d_out;
  QTextStream *d_err;
  bool d_show_progress;
};

#endif // METROVA_COMMANDLINE_H
