#ifndef METROVA_TRANSACTION_H
#define METROVA_TRANSACTION_H

#include <QString>

class TDatabase;
class TSqlConnection;

// One unit of work on a catalogue: all of it is kept, or none. The outermost unit begins the
// write transaction and takes the write lock at once; a unit inside another is a savepoint of
// it, undone alone. What is not committed when the object goes is rolled back, and the failure
// that made the caller give up stays the database's Last_Error() (on a bare connection, its
// Error()).
//
//   TTransaction transaction(database);
//   if (!transaction.Begin())
//     return false;  // Last_Error() says why
//   if (!database->Write_Specification(record))
//     return false;  // rolled back, the write's failure kept
//   return transaction.Commit();
class TTransaction
{
public:
  explicit TTransaction(TDatabase *database);
  // On the storage's own connections (the schema, a new catalogue's removal).
  explicit TTransaction(TSqlConnection *connection);
  ~TTransaction();
  TTransaction(const TTransaction &) = delete;
  TTransaction &operator=(const TTransaction &) = delete;

  bool Begin();
  // Keeps the work: the outermost unit commits. False when that failed; the work is then gone.
  bool Commit();
  // Undoes the work now and ends the unit, keeping the failure text as it was.
  void Rollback();
  bool Is_Open() const { return d_open; }

private:
  bool Savepoint();
  bool Release();
  bool Rollback_To();
  int Depth() const;

  TDatabase *d_database = nullptr;
  TSqlConnection *d_connection = nullptr;
  QString d_name;
  // How many units are open with this one, this one included.
  int d_level = 0;
  bool d_open = false;
};

// Many reads that see one state of the catalogue, without a write lock: other connections go on
// reading meanwhile. Ended when the object goes.
class TReadTransaction
{
public:
  explicit TReadTransaction(TDatabase *database);
  explicit TReadTransaction(TSqlConnection *connection);
  ~TReadTransaction();
  TReadTransaction(const TReadTransaction &) = delete;
  TReadTransaction &operator=(const TReadTransaction &) = delete;

  // Begins the read transaction; it fails inside another transaction, and write units fail
  // until it ends.
  bool Begin();
  // Outside any transaction the reads to come run in one read transaction (one lock instead of
  // one per statement); inside one they are simply part of it. Never fails: a read that cannot
  // begin a transaction runs on its own.
  void Join();

private:
  TDatabase *d_database = nullptr;
  TSqlConnection *d_connection = nullptr;
  bool d_began = false;
};

#endif // METROVA_TRANSACTION_H
