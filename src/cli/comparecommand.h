#ifndef METROVA_COMPARECOMMAND_H
#define METROVA_COMPARECOMMAND_H

#include "comparison.h"
#include "databasecommand.h"

// compare: machines side by side as a CSV table, the same table as the window's Compare
// Machines dialog exports. First the arguments are checked, then the catalogue is read.
class TCompareCommand : public TDatabaseCommand
{
public:
  TCompareCommand();

protected:
  int Run() override;

private:
  // The machines named as MAKE/MODEL/OPTION and the options into the settings.
  int Read_Arguments();
  int Read_Tolerance();
  int Read_Machines(QList<TCapability::TMachine> *machines);

  TComparison::TSettings d_settings;
  QList<QStringList> d_machines;
};

#endif // METROVA_COMPARECOMMAND_H
