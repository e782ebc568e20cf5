#include "metrova.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
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
