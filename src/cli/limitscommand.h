#ifndef METROVA_LIMITSCOMMAND_H
#define METROVA_LIMITSCOMMAND_H

#include "databasecommand.h"

// limits: the nine limits of the Limits dialog for one machine at one length, or a CSV table of
// them over a range of lengths.
class TLimitsCommand : public TDatabaseCommand
{
public:
  TLimitsCommand();

protected:
  int Run() override;
};

#endif // METROVA_LIMITSCOMMAND_H
