#include "rankingcache.h"

namespace
{
// A few components' machines at most: one catalogue's are megabytes.
constexpr int MAXIMUM_COMPONENTS = 4;
} // namespace

TRankingCache::TRankingCache(TSqlConnection *connection) : d_stamp(connection) {}

void TRankingCache::Validate()
{
  if (d_stamp.Moved())
  {
    d_machines.clear();
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
  if (!d_stamp.Is_Read())
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
  d_stamp.Forget();
}
