#ifndef METROVA_COMMANDLINE_H
#define METROVA_COMMANDLINE_H

#include "catalogueexchange.h"
#include "database.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class QTextStream;

// The metrova-cli tool: one subcommand per run on a catalogue file, through the same core code
// as the window. Results go to the output stream; failures to the error stream as one line
// "metrova-cli: ..."; progress, when wanted, to the error stream as well.
class TCommandLine
{
public:
  // Exit statuses.
  static constexpr int STATUS_SUCCESS = 0;
  static constexpr int STATUS_FAILURE = 1;
  static constexpr int STATUS_USAGE = 2;

  TCommandLine(QTextStream *out, QTextStream *err, bool show_progress);
  TCommandLine(const TCommandLine &) = delete;
  TCommandLine &operator=(const TCommandLine &) = delete;

  // The arguments after the program name.
  int Run(const QStringList &arguments);

  // Whether the command line asks for a report: only that one draws, and needs a GUI platform.
  static bool Draws_Report(int argc, const char *const *argv);

  static QString Program_Name() { return QStringLiteral("metrova-cli"); }

  struct TCommand;

private:
  static const TCommand COMMANDS[];
  static const TCommand *Find_Command(const QString &name);

  enum TOption
  {
    OPTION_CSV = 1,
    OPTION_MAKE = 2,
    OPTION_LENGTH = 4,
    OPTION_TEMPERATURE = 8,
    // --component, --tolerance, --at, --ratio and --capable (TCompareCommand).
    OPTION_COMPARE = 16
  };

  int Import();
  int Export();
  int Import_Qif();
  int Export_Qif();
  // The exchange commands of every format.
  int Import_File(TCatalogueExchange::TFormat format);
  int Export_File(TCatalogueExchange::TFormat format);
  // Runs an import or export, with progress on the terminal when wanted; each line of its
  // warnings goes to the error stream as a warning about the file.
  bool Exchange(TCatalogueExchange::TFormat format, const QString &file_name,
                const std::function<bool(TCatalogueExchange *)> &run, QString *error_text);
  int List();
  int Show();
  int Limits();
  int Set();
  int Unset();
  int Delete();
  int Report();
  int Compare();

  bool Parse(const QStringList &arguments, QString *error);
  void Write_Help(const TCommand *command);
  // Report a problem and return its status, which is also kept for helpers that return false.
  int Usage_Error(const QString &text);
  int Failure(const QString &text);
  void Note(const QString &text);
  // Opens the catalogue; only an import may create it. False after a reported failure.
  bool Open_Database(bool create);
  // The positional argument at index, cleaned as the editor cleans names; says when it changed.
  QString Name(int index, const QString &what);
  // The names of a make, model and option from the positional arguments at first, first + 1,
  // ...; false after a reported failure when one of them does not exist.
  bool Machine(int first, int levels, QStringList *names);
  // set and unset: the values of the remaining arguments, checked, then saved.
  bool Save_Rows(bool set);
  void Write_Table(const QStringList &header, const QList<QStringList> &rows);

  QTextStream *d_out;
  QTextStream *d_err;
  bool d_show_progress;
  TDatabase d_database;

  int d_status = STATUS_SUCCESS;
  const TCommand *d_command = nullptr;
  QStringList d_positional;
  QStringList d_makes;
  QString d_length;
  QString d_temperature;
  QHash<QString, QString> d_compare_options;
  bool d_csv = false;
  bool d_help = false;
};

#endif // METROVA_COMMANDLINE_H
