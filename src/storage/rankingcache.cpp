#include "rankingcache.h"

#include "sqlconnection.h"

namespace
{
// A few components' machines at most: one catalogue's are megabytes.
constexpr int MAXIMUM_COMPONENTS = 4;
} // namespace

TRankingCache::TRankingCache(TSqlConnection *connection) : d_connection(connection) {}

void TRankingCache::Validate()
{
  qint64 counter = 0;
  const TSqlEngine *engine = d_connection->Engine();
  if (!engine || !engine->Change_Counter(d_connection, &counter))
  {
    Clear();
    return;
  }
  if (counter != d_counter || d_connection->Own_Changes() != d_own_changes)
  {
    Clear();
    d_counter = counter;
    d_own_changes = d_connection->Own_Changes();
  }
}

const QList<TCapability::TMachine> *TRankingCache::Find(const QString &standard,
                                                        const QString &component) const
{
  const auto found = d_machines.constFind(qMakePair(standard, component));
  return found == d_machines.constEnd() ? nullptr : &found.value();
}

void TRankingCache::Keep(const QString &standard, const QString &component,
                         const QList<TCapability::TMachine> &machines)
{
  // Kept only under the counter that Validate read before the machines were.
  if (d_counter < 0)
  {
    return;
  }
  if (d_machines.size() >= MAXIMUM_COMPONENTS)
  {
    d_machines.clear();
  }
  d_machines.insert(qMakePair(standard, component), machines);
}

void TRankingCache::Clear()
{
  d_machines.clear();
  d_counter = -1;
  d_own_changes = -1;
}
