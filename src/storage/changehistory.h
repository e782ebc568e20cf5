#ifndef METROVA_CHANGEHISTORY_H
#define METROVA_CHANGEHISTORY_H

#include "historyentry.h"

#include <QList>
#include <QString>
#include <QStringList>

class TSqlConnection;

// Who changed what in a catalogue, and when: one entry per change, written in the transaction
// of the change itself, so that the entry is there exactly when the change is. The user and the
// time are the database's (TSqlEngine::Change_User, Change_Time). A file gets the table with its
// first change, as the verification log does, so that opening one stays read-only. Machines are
// kept by name: a machine's entries outlive its rows, and a delete is part of its history.
class TChangeHistory
{
public:
  // The kinds of change, as stored and listed.
  static const char *const CHANGE_SPECIFICATION;
  static const char *const CHANGE_DELETE;
  static const char *const CHANGE_IMPORT;
  static const char *const CHANGE_RECORD_ADDED;
  static const char *const CHANGE_RECORD_DELETED;
  static const char *const CHANGE_SCHEDULE;
  static const char *const CHANGE_CLEAR;
  static const char *const CHANGE_UPGRADE;
  static const char *const CHANGE_COPY;

  explicit TChangeHistory(TSqlConnection *connection);

  // Each false with Error() (always the database's own failure).
  //
  // A change of a make, model and option as far as names gives them (none: the whole catalogue),
  // inside the caller's write transaction.
  bool Record(const QString &change, const QStringList &names, const QString &details);
  // The same change of many machines, each given by its make, model and option.
  bool Record_Each(const QString &change, const QList<QStringList> &machines,
                   const QString &details);
  // The entries that concern a machine (names as far as given; none: every entry) in the order
  // they were made: those of its make, model and option, and those of the whole catalogue.
  bool Entries(const QStringList &names, QList<THistoryEntry> *entries);

  // Creates the table when missing (a copy's target, before its entries are copied).
  bool Create_Table();

  QString Error() const { return d_error; }
  bool Is_Fault() const { return true; }

private:
  bool Find_Table(bool *found);
  bool Fail(const QString &text);

  TSqlConnection *d_connection;
  QString d_error;
};

#endif // METROVA_CHANGEHISTORY_H
