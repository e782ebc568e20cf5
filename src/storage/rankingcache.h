#ifndef METROVA_RANKINGCACHE_H
#define METROVA_RANKINGCACHE_H

#include "capability.h"
#include "changestamp.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

class TSqlConnection;

// The machines that rankings read (TDatabase::Component_Machines), per component, with their
// limits parsed, kept for as long as the catalogue is as they were read: a ranking asked again
// (another tolerance, length or temperature) then reads nothing but the change counter.
class TRankingCache
{
public:
  explicit TRankingCache(TSqlConnection *connection);

  // Drops what is kept once the catalogue may have changed since: this connection changed it, or
  // the engine's change counter moved (another connection committed) or cannot be read.
  void Validate();
  // Null when the component's machines are not kept.
  const QList<TCapability::TMachine> *Find(const QString &standard, const QString &component) const;
  void Keep(const QString &standard, const QString &component,
            const QList<TCapability::TMachine> &machines);
  void Clear();

private:
  TChangeStamp d_stamp;
  QHash<QPair<QString, QString>, QList<TCapability::TMachine>> d_machines;
};

#endif // METROVA_RANKINGCACHE_H
