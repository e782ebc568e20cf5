#ifndef METROVA_BROWSECOMMAND_H
#define METROVA_BROWSECOMMAND_H

#include "databasecommand.h"

// list, show and delete: the makes, models and options of the catalogue as the window's lists
// show them, one machine's rows as its tree does, and the deletion of a make, model or option.
class TBrowseCommand : public TDatabaseCommand
{
public:
  enum TAction
  {
    ACTION_LIST,
    ACTION_SHOW,
    ACTION_DELETE
  };

  explicit TBrowseCommand(TAction action);

protected:
  int Run() override;

private:
  int List();
  int Show();
  int Delete();

  TAction d_action;
};

#endif // METROVA_BROWSECOMMAND_H
