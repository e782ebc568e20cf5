#ifndef METROVA_HISTORYCOMMAND_H
#define METROVA_HISTORYCOMMAND_H

#include "databasecommand.h"

// history: who changed what in the catalogue and when, oldest first, as an audit trail is read;
// all of it, or what concerns a make, model or machine, also one deleted since.
class THistoryCommand : public TDatabaseCommand
{
public:
  THistoryCommand();

protected:
  int Run() override;
};

#endif // METROVA_HISTORYCOMMAND_H
