#ifndef METROVA_INITCOMMAND_H
#define METROVA_INITCOMMAND_H

#include "databasecommand.h"

// init: a new catalogue, and on a server the statements that let its readers and writers in.
class TInitCommand : public TDatabaseCommand
{
public:
  TInitCommand();

protected:
  int Run() override;
};

#endif // METROVA_INITCOMMAND_H
