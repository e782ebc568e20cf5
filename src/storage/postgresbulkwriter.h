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
// transaction, in the order they came, which is the order of first storage the identity column
// keeps. While no deletion waits, the rows are sent as they come, into a COPY left open, so that
// the server stores them while the file is read; COPY takes no other statement while it runs,
// so one that must run ends it first. The deletions of the rows replaced are held back, with the
// rows after them, and run at once as one statement over arrays of ids before those rows go in;
// a deletion that would have to reach rows not yet stored, and a read of a make with such rows,
// store them first. New names take the ids their tables' sequences give and are stored by Flush.
class TPostgresBulkWriter : public TBulkWriterBase
{
public:
  // A machine with a standard, or its estimates, as two numbers.
  using TPlace = QPair<quint64, quint64>;

  TPostgresBulkWriter(TDatabase *database, PGconn *handle);
  // Ends a COPY left open as failed: nothing of it is kept.
  ~TPostgresBulkWriter() override;
  TPostgresBulkWriter(const TPostgresBulkWriter &) = delete;
  TPostgresBulkWriter &operator=(const TPostgresBulkWriter &) = delete;

  bool Begin() override;
  int Added_Name_Id(int kind, const char *utf8, int size) override;
  bool Write_Rows(const int ids[], int standard_id, const TRow *rows, int count) override;
  TEstimate Estimate_Make(int make_id, QStringList *failed) override;
  bool Idle() override { return End_Copy(); }
  TFailure Failure() const override { return d_failure; }

protected:
  TMakeRead Read_Make(int make_id, const std::function<bool(const TMakeRow &)> &read_row) override;
  bool Delete_Estimated(const int ids[]) override;
  bool Insert(const int ids[], const TNewRow *rows, int count) override;
  bool Store_Held() override;

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
  // Stores the rows held back and the deletions before them: the COPY open ended, else the
  // deletions run and the rows copied.
  bool Store_Rows();
  // Sends the rows held back into the COPY, begun when none is open; one that grew large ends.
  bool Send_Rows();
  // Ends the COPY open, if one is, once it has every row held back.
  bool End_Copy();
  // After a failed COPY: the write or estimation of the row that failed (from 1, among the rows
  // of that COPY).
  void Find_Failure(int failed_row);
  // Every row given is stored: nothing is held back any longer.
  void Clear_Held();
  bool Has_Deletions() const;
  // Adds ids to the arrays of a deletion ("1,2,"), one array by column.
  static void Append_Ids(QByteArray *arrays, const int ids[], int count);

  PGconn *d_handle;
  TNames d_names[3];
  // The deletions held back: by machine and standard, and of a machine's estimated rows.
  QByteArray d_deletions[4];
  QByteArray d_estimated_deletions[3];
  // The rows not yet sent; those given so far, and the first of them that no finished COPY
  // stored, counted from 1.
  QByteArray d_rows;
  int d_row_count = 0;
  int d_first_unstored_row = 1;
  // A COPY into the rows' table is open, with this many bytes sent.
  bool d_copying = false;
  qint64 d_copied_bytes = 0;
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
