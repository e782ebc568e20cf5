#include "changestamp.h"

#include "sqlconnection.h"

bool TChangeStamp::Moved()
{
  qint64 counter = 0;
  const TSqlEngine *engine = d_connection->Engine();
  if (!engine || !engine->Change_Counter(d_connection, &counter))
  {
    Forget();
    return true;
  }
  if (counter == d_counter && d_connection->Own_Changes() == d_own_changes)
  {
    return false;
  }
  d_counter = counter;
  d_own_changes = d_connection->Own_Changes();
  return true;
}

void TChangeStamp::Forget()
{
  d_counter = -1;
  d_own_changes = -1;
}
