#include "metrova.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

#include <csignal>

int main(int argc, char *argv[])
{
  // A file size limit then fails the write, which is reported and leaves the old file, instead
  // of killing the window with everything typed in it.
  std::signal(SIGXFSZ, SIG_IGN);
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
  Initialize_Metrova_Resources();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/metrova.png")));

  TMetrova *window = new TMetrova;
  window->show();
  const int result = QApplication::exec();
  delete window;
  return result;
}
