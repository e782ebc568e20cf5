#ifndef METROVA_REPORTCOMMAND_H
#define METROVA_REPORTCOMMAND_H

#include "databasecommand.h"

// report: the window's PDF report of one machine.
class TReportCommand : public TDatabaseCommand
{
public:
  TReportCommand();
  bool Draws() const override { return true; }

protected:
  int Run() override;
};

#endif // METROVA_REPORTCOMMAND_H
