#ifndef METROVA_COMPARECOMMAND_H
#define METROVA_COMPARECOMMAND_H

#include "comparison.h"

#include <QHash>
#include <QString>
#include <QStringList>

class TDatabase;

// metrova-cli compare: machines side by side as a CSV table, the same table as the window's
// Compare Machines dialog exports. First the arguments are checked, then the catalogue is read.
class TCompareCommand
{
public:
  // The compare options that take a value, besides --length and --temperature.
  static bool Takes_Value(const QString &option);
  static const char CAPABLE_OPTION[];
  // The command's help.
  static const char SUMMARY[];
  static const char DETAILS[];

  // The machines as MAKE/MODEL/OPTION, the --length and --temperature texts (empty when not
  // given) and the other options by name (--capable with an empty value). False with the
  // reason when they do not make a comparison.
  bool Set_Arguments(const QStringList &machines, const QString &lengths,
                     const QString &temperature, const QHash<QString, QString> &options,
                     QString *error);
  // The table, best ratio first when a tolerance is given; false with the reason when the
  // catalogue cannot be read or does not hold what was asked for.
  bool Run(TDatabase *database, QString *csv, QString *error);

private:
  TComparison::TSettings d_settings;
  QList<QStringList> d_machines;
  bool d_capable_only = false;
};

#endif // METROVA_COMPARECOMMAND_H
