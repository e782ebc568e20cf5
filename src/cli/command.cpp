#include "command.h"

#include "csvwriter.h"

#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

void TCommand::Write_Help(QTextStream *out) const
{
  *out << "Usage: " << Program_Name() << ' ' << d_description.name << ' ' << d_description.arguments
       << "\n\n"
       << d_description.summary << "\n";
  if (!d_description.details.isEmpty())
  {
    *out << '\n' << d_description.details << '\n';
  }
  *out << '\n'
       << (d_description.exit_status.isEmpty()
               ? QStringLiteral("Exit status: 0 on success, 1 on failure, 2 on a usage error.")
               : d_description.exit_status)
       << '\n';
}

int TCommand::Execute(const QStringList &arguments, QTextStream *out, QTextStream *err,
                      bool show_progress)
{
  d_out = out;
  d_err = err;
  d_show_progress = show_progress;
  d_arguments.clear();
  d_options.clear();
  QString error;
  bool help = false;
  if (!Parse(arguments, &error, &help))
  {
    return Usage_Error(error);
  }
  if (help)
  {
    Write_Help(d_out);
    return STATUS_SUCCESS;
  }
  return Run();
}

const TCommand::TOption *TCommand::Find_Option(const QString &name) const
{
  const auto found = std::find_if(d_description.options.cbegin(), d_description.options.cend(),
                                  [&](const TOption &option) { return option.name == name; });
  return found == d_description.options.cend() ? nullptr : &*found;
}

bool TCommand::Parse(const QStringList &arguments, QString *error, bool *help)
{
  bool options_end = false;
  for (int index = 0; index < arguments.size(); ++index)
  {
    const QString &argument = arguments.at(index);
    if (options_end || !argument.startsWith(QLatin1String("--")))
    {
      d_arguments.append(argument);
      continue;
    }
    if (argument == QLatin1String("--"))
    {
      options_end = true;
      continue;
    }
    if (argument == QLatin1String("--help"))
    {
      *help = true;
      return true;
    }
    const TOption *flag = Find_Option(argument);
    if (flag && !flag->takes_value)
    {
      d_options[argument].append(QString());
      continue;
    }

    // Options with a value: "--name VALUE" or "--name=VALUE".
    const QString name = argument.section(QLatin1Char('='), 0, 0);
    const TOption *option = Find_Option(name);
    if (!option || !option->takes_value)
    {
      *error = QStringLiteral("unknown option '%1' for %2").arg(name, d_description.name);
      return false;
    }
    if (argument.contains(QLatin1Char('=')))
    {
      d_options[name].append(argument.section(QLatin1Char('='), 1));
    }
    else if (index + 1 < arguments.size())
    {
      d_options[name].append(arguments.at(++index));
    }
    else
    {
      *error = QStringLiteral("option '%1' needs a value").arg(name);
      return false;
    }
  }

  const int count = d_arguments.size();
  if (count < d_description.minimum ||
      (d_description.maximum >= 0 && count > d_description.maximum))
  {
    *error = QStringLiteral("%1 arguments for %2")
                 .arg(count < d_description.minimum ? QStringLiteral("too few")
                                                    : QStringLiteral("too many"),
                      d_description.name);
    return false;
  }
  return true;
}

QString TCommand::Option_Value(const QString &name) const
{
  const QStringList values = d_options.value(name);
  return values.isEmpty() ? QString() : values.last();
}

QStringList TCommand::Option_Values(const QString &name) const
{
  return d_options.value(name);
}

int TCommand::Usage_Error(const QString &text)
{
  *d_err << Program_Name() << ": " << text << '\n'
         << "Usage: " << Program_Name() << ' ' << d_description.name << ' '
         << d_description.arguments << '\n';
  d_err->flush();
  return STATUS_USAGE;
}

int TCommand::Failure(const QString &text)
{
  // One line for a message that may hold several.
  *d_err << Program_Name() << ": " << text.simplified() << '\n';
  d_err->flush();
  return STATUS_FAILURE;
}

void TCommand::Note(const QString &text)
{
  *d_err << Program_Name() << ": " << text << '\n';
  d_err->flush();
}

int TCommand::Output_Status()
{
  d_out->flush();
  return d_out->status() == QTextStream::Ok
             ? STATUS_SUCCESS
             : Failure(QStringLiteral("cannot write to standard output"));
}

int TCommand::File_Argument(int index, const QString &what, QString *file_name)
{
  *file_name = Argument(index);
  if (file_name->isEmpty())
  {
    return Usage_Error(QStringLiteral("the %1 name is empty").arg(what));
  }
  return STATUS_SUCCESS;
}

int TCommand::Output_File_Argument(int index, QString *file_name)
{
  const int status = File_Argument(index, QStringLiteral("file"), file_name);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QString last = QFileInfo(*file_name).fileName();
  if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."))
  {
    return Usage_Error(QStringLiteral("'%1' names a folder, not a file").arg(*file_name));
  }
  return STATUS_SUCCESS;
}

void TCommand::Write_Table(const QStringList &header, const QList<QStringList> &rows, bool csv)
{
  if (csv)
  {
    *d_out << TCsvWriter::Table(header, rows);
    return;
  }
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
    *d_out << line.trimmed() << '\n';
  }
}
