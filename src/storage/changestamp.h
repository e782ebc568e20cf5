#ifndef METROVA_CHANGESTAMP_H
#define METROVA_CHANGESTAMP_H

#include <QtGlobal>

class TSqlConnection;

// Tells whether what was read from the catalogue and kept may be stale: this connection changed
// the catalogue since, or the engine's change counter moved (another connection committed) or
// cannot be read. Read it inside the read transaction of the rows it guards: rows read after it
// are then at least as new.
class TChangeStamp
{
public:
  explicit TChangeStamp(TSqlConnection *connection) : d_connection(connection) {}

  // Reads the counter: true when what was kept under the last reading must go.
  bool Moved();
  // Whether the last reading succeeded: only then may anything be kept.
  bool Is_Read() const { return d_counter >= 0; }
  void Forget();

private:
  TSqlConnection *d_connection;
  qint64 d_counter = -1;
  qint64 d_own_changes = -1;
};

#endif // METROVA_CHANGESTAMP_H
