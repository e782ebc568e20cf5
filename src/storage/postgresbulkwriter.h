#ifndef METROVA_POSTGRESBULKWRITER_H
#define METROVA_POSTGRESBULKWRITER_H

#include "bulkwriterbase.h"

#include <QByteArray>
#include <QPair>
#include <QSet>

#include <vector>

class TDatabase;
typedef struct pg_conn PGconn;

// The bulk writer on PostgreSQL: rows go in with COPY on the caller's connection and inside its
// transaction. COPY takes no other statement while it runs, so the writer holds the work back
// and stores it at once (Flush): the new names with the ids their tables' sequences give, then the
// deletions of the rows replaced, as one statement over arrays of ids, then the rows, in the order
// they came, which is the order of first storage the identity column keeps. A read of a make with
// work held back, and a deletion that would have to reach work held back, store it first.
class TPostgresBulkWriter : public TBulkWriterBase
{
public:
  // A machine with a standard, or its estimates, as two numbers.
  using TPlace = QPair<quint64, quint64>;

  TPostgresBulkWriter(TDatabase *database, PGconn *handle);

  bool Begin() override;
  int Added_Name_Id(int kind, const char *utf8, int size) override;
  bool Write_Rows(const int ids[], int standard_id, const TRow *rows, int count) override;
  TEstimate Estimate_Make(int make_id, QStringList *failed) override;
  bool Flush() override;
  TFailure Failure() const override { return d_failure; }

protected:
  TMakeRead Read_Make(int make_id, const std::function<bool(const TMakeRow &)> &read_row) override;
  bool Delete_Estimated(const int ids[]) override;
  bool Insert(const int ids[], const TNewRow *rows, int count) override;

private:
  // The new names of a kind held back: their ids from first on, and their rows.
  struct TNames
  {
    QByteArray sequence;
    qint64 first = 0;
    int count = 0;
    QByteArray rows;
  };

  // Where the rows of a write or estimation begin among the rows held back: the number of the
  // write, -1 for estimates, and the machine.
  struct TOrigin
  {
    int first_row;
    int write;
    int ids[3];
  };

  bool Fail(const QString &failure, const QString &reason);
  bool Flush_Names(int kind);
  // Adds ids to the arrays of a deletion ("1,2,"), one array by column.
  static void Append_Ids(QByteArray *arrays, const int ids[], int count);

  PGconn *d_handle;
  TNames d_names[3];
  // The deletions held back: by machine and standard, and of a machine's estimated rows.
  QByteArray d_deletions[4];
  QByteArray d_estimated_deletions[3];
  QByteArray d_rows;
  int d_row_count = 0;
  std::vector<TOrigin> d_origins;
  int d_writes = 0;
  TFailure d_failure;
  // What the work held back touches: machines with their standard, machines with estimated rows,
  // and makes.
  QSet<TPlace> d_held_standards;
  QSet<TPlace> d_held_estimates;
  QSet<int> d_held_makes;
};

#endif // METROVA_POSTGRESBULKWRITER_H
