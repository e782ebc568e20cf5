#ifndef METROVA_COMMAND_H
#define METROVA_COMMAND_H

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QTextStream;

// One command of metrova-cli: its name (one word, or more for a command of a family such as
// "verify add"), its usage and help, the options it takes, and what it does. Results go to the
// output stream; failures to the error stream as one line "metrova-cli: ...".
class TCommand
{
public:
  // Exit statuses.
  static constexpr int STATUS_SUCCESS = 0;
  static constexpr int STATUS_FAILURE = 1;
  static constexpr int STATUS_USAGE = 2;

  // A flag ("--csv"), or an option with a value ("--length L" or "--length=L"); an option with
  // a value may be given more than once, and Option_Value() is the last one given.
  struct TOption
  {
    QString name;
    bool takes_value;
  };

  struct TDescription
  {
    QString name;
    QString arguments;
    int minimum; // positional arguments
    int maximum; // -1: no limit
    QString summary;
    QString details; // empty: none
    QList<TOption> options;
    // empty: "Exit status: 0 on success, 1 on failure, 2 on a usage error."
    QString exit_status = QString();
  };

  explicit TCommand(const TDescription &description) : d_description(description) {}
  virtual ~TCommand() = default;
  TCommand(const TCommand &) = delete;
  TCommand &operator=(const TCommand &) = delete;

  static QString Program_Name() { return QStringLiteral("metrova-cli"); }

  const TDescription &Description() const { return d_description; }
  // Whether the command draws with fonts, which needs a GUI platform.
  virtual bool Draws() const { return false; }
  void Write_Help(QTextStream *out) const;

  // Parses the arguments after the command's name and runs it; its exit status.
  int Execute(const QStringList &arguments, QTextStream *out, QTextStream *err, bool show_progress);

protected:
  // After the arguments are parsed and their count checked.
  virtual int Run() = 0;

  QString Argument(int index) const { return d_arguments.value(index); }
  int Argument_Count() const { return d_arguments.size(); }
  bool Has_Option(const QString &name) const { return d_options.contains(name); }
  QString Option_Value(const QString &name) const;
  QStringList Option_Values(const QString &name) const;

  QTextStream &Out() const { return *d_out; }
  QTextStream *Error_Stream() const { return d_err; }
  bool Show_Progress() const { return d_show_progress; }

  // A problem reported, and the status to return: a usage error is followed by the usage line,
  // a failure is one line.
  int Usage_Error(const QString &text);
  int Failure(const QString &text);
  // A line on the error stream that changes no status.
  void Note(const QString &text);
  // Standard output flushed: STATUS_SUCCESS, or the failure (its one line) when it was lost. Asked
  // before a command's notes, so that a failure stays one line, and before a status other than
  // success (a record's verdict), which would tell a script that the output was given.
  int Output_Status();

  // The argument at index as the name of a file (what: "database", "file"); a usage error when
  // it is empty.
  int File_Argument(int index, const QString &what, QString *file_name);
  // The one place where a file to be written is named: a usage error also when the name ends
  // in a folder rather than a file (".", "..", "folder/").
  int Output_File_Argument(int index, QString *file_name);

  // Columns padded to their widest text, the last one not padded; or, with csv, a CSV table
  // with the header.
  void Write_Table(const QStringList &header, const QList<QStringList> &rows, bool csv);

private:
  bool Parse(const QStringList &arguments, QString *error, bool *help);
  const TOption *Find_Option(const QString &name) const;

  TDescription d_description;
  QTextStream *d_out = nullptr;
  QTextStream *d_err = nullptr;
  bool d_show_progress = false;
  QStringList d_arguments;
  // The values given, in order; a flag has one empty value.
  QHash<QString, QStringList> d_options;
};

#endif // METROVA_COMMAND_H
