#ifndef METROVA_CONFIGURATIONLISTS_H
#define METROVA_CONFIGURATIONLISTS_H

#include "changestamp.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TConfigurationNames;
class TSqlConnection;

// The lists the window and the command line browse by: the makes, a make's models and a
// model's options in the order of their first storage, a make's configurations, and whether a
// machine or a name has rows. The reads of TDatabase's Makes, Models, Options, Configurations and
// the ..._Exists checks; TDatabase holds the read transaction that makes each one read.
class TConfigurationLists
{
public:
  TConfigurationLists(TSqlConnection *connection, TConfigurationNames *names);

  // Each false with the reason in Error() and Is_Fault() telling a failed read from a name that
  // is not there; Models and Options also for a make or model without rows, with Error() empty.
  bool Makes(QStringList *makes);
  bool Models(const QString &make, QStringList *models);
  bool Options(const QString &make, const QString &model, QStringList *options);
  // Every model and option pair of a make, each once, in the order of its first row; an empty
  // list for a make without rows.
  bool Configurations(const QString &make, QList<QPair<QString, QString>> *configurations);
  // Drops the models kept (another connection, or none).
  void Forget();

  // What a read for one row found (a TSqlConnection::TSelect), with Error() when it failed: a
  // row of the machine of the first count ids (make, model, option), a row of a machine's
  // component (make, model, option, standard and component ids), a stored model or option name
  // (TConfigurationNames' kinds).
  int Machine_Row(const int *ids, int count);
  int Specification_Row(const int *ids);
  int Stored_Name(int kind, const QString &name);

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  // The names a statement reads for the rows of the given make (and model); no rows at all is
  // an unknown name or, when the names are known, a make or model without rows.
  bool Names(const QString &statement, const QStringList &names, QStringList *found);
  bool Fail(const QString &text, bool fault);

  TSqlConnection *d_connection;
  TConfigurationNames *d_names;
  // The models of the makes last listed, while the catalogue is as they were read: a make of
  // thousands of models chosen again reads only the change counter, not every row of the make.
  TChangeStamp d_stamp;
  QHash<QString, QStringList> d_models;
  QString d_error;
  bool d_fault = false;
};

#endif // METROVA_CONFIGURATIONLISTS_H
