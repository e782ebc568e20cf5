#ifndef METROVA_COPYCOMMAND_H
#define METROVA_COPYCOMMAND_H

#include "databasecommand.h"

// copy: a whole catalogue into a new or empty one, file or server either side (TCatalogueCopy),
// in one transaction on the target.
class TCopyCommand : public TDatabaseCommand
{
public:
  TCopyCommand();

protected:
  int Run() override;
};

#endif // METROVA_COPYCOMMAND_H
