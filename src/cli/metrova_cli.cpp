#include "commandline.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <unistd.h>

namespace
{
// Qt's own notes on the environment are no output of this tool, nor are its SQL driver's on a
// lost connection: the tool's one line on the failure says it, and names the cause. The rest
// still goes out.
bool Is_Quiet_Warning(const QString &message)
{
  static const char *const quiet[] = {"QStandardPaths:", "QSqlQuery::exec: database not open",
                                      "QSqlQuery::prepare: database not open",
                                      "Unable to free statement:"};
  return std::any_of(std::begin(quiet), std::end(quiet),
                     [&message](const char *start)
                     { return message.startsWith(QLatin1String(start)); });
}

void Filter_Messages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
  if (type == QtDebugMsg || type == QtInfoMsg ||
      (type == QtWarningMsg && Is_Quiet_Warning(message)))
  {
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
  if (type == QtFatalMsg)
  {
    std::abort();
  }
}
} // namespace

int main(int argc, char *argv[])
{
  qInstallMessageHandler(Filter_Messages);
  // A file size limit then fails the write with a message and leaves the old file.
  std::signal(SIGXFSZ, SIG_IGN);
  std::unique_ptr<QCoreApplication> application;
  if (TCommandLine::Draws_Report(argc, argv))
  {
    // The report lays out text with fonts and a painter, which need a GUI platform; the
    // offscreen one needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = std::make_unique<QGuiApplication>(argc, argv);
  }
  else
  {
    application = std::make_unique<QCoreApplication>(argc, argv);
  }

  QTextStream out(stdout);
  QTextStream err(stderr);
  TCommandLine command_line(&out, &err, isatty(STDERR_FILENO) == 1);
  return command_line.Run(QCoreApplication::arguments().mid(1));
}
