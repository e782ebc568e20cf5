#ifndef METROVA_POSTGRESBULKREADER_H
#define METROVA_POSTGRESBULKREADER_H

#include "bulkreaderbase.h"

class TDatabase;
typedef struct pg_conn PGconn;

// The bulk reader on PostgreSQL: one query of each make's rows on libpq, on the caller's
// connection and inside its transaction.
class TPostgresBulkReader : public TBulkReaderBase
{
public:
  TPostgresBulkReader(TDatabase *database, PGconn *handle);

  bool Begin() override;

protected:
  TRowsRead Read_Rows(int make_id, const std::function<bool(const TMakeRow &)> &read_row) override;

private:
  PGconn *d_handle;
};

#endif // METROVA_POSTGRESBULKREADER_H
