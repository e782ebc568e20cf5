#ifndef METROVA_POSTGRESPLAINREAD_H
#define METROVA_POSTGRESPLAINREAD_H

#include "sqlengine.h"

typedef struct pg_conn PGconn;

// The PostgreSQL engine's plain reads (TSqlEngine::Read_Plain_Rows): libpq's rows in their text
// form, handed on without a QVariant per value. Inside a transaction the rows come through a
// cursor a chunk at a time, the next chunk asked for before this one's rows are handed on: the
// server scans for the next rows while the caller places these, instead of the two waiting for
// each other.
class TPostgresPlainRead
{
public:
  // Rows of a chunk: enough that a round trip costs little beside them, few enough that the
  // first come early and the server's scan overlaps the caller's work.
  static constexpr int CHUNK_ROWS = 4096;

  // False with the reason in *error; rows handed on before a failure are the caller's to drop.
  // chunk_rows 0 takes every row in one answer, inside a transaction too.
  static bool Read(PGconn *handle, const QString &statement, const QVariantList &values,
                   const std::function<void(const TSqlEngine::TRow &)> &read_row, QString *error,
                   int chunk_rows = CHUNK_ROWS);
};

#endif // METROVA_POSTGRESPLAINREAD_H
