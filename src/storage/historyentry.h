#ifndef METROVA_HISTORYENTRY_H
#define METROVA_HISTORYENTRY_H

#include <QString>

// One change of a catalogue as its history keeps it (TChangeHistory): when (UTC, ISO 8601), by
// whom (the database user; for a file, the login name), what kind of change, of which machine
// (the names as far as the change concerns them; none for the whole catalogue) and what it was.
struct THistoryEntry
{
  QString time;
  QString user;
  QString change;
  QString make;
  QString model;
  QString option;
  QString details;
};

#endif // METROVA_HISTORYENTRY_H
