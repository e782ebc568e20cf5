#include "transaction.h"

#include "database.h"
#include "sqlconnection.h"

TTransaction::TTransaction(TDatabase *database)
    : d_database(database), d_connection(database->d_sql.get())
{
}

TTransaction::TTransaction(TSqlConnection *connection) : d_connection(connection) {}

TTransaction::~TTransaction()
{
  Rollback();
}

int TTransaction::Depth() const
{
  return d_connection->Savepoint_Depth();
}

bool TTransaction::Savepoint()
{
  return d_database ? d_database->Savepoint(d_name) : d_connection->Savepoint(d_name);
}

bool TTransaction::Release()
{
  return d_database ? d_database->Release_Savepoint(d_name)
                    : d_connection->Release_Savepoint(d_name);
}

bool TTransaction::Rollback_To()
{
  return d_database ? d_database->Rollback_To_Savepoint(d_name)
                    : d_connection->Rollback_To_Savepoint(d_name);
}

bool TTransaction::Begin()
{
  Q_ASSERT(!d_open);
  // A name of its own at each depth: a savepoint's name is all that tells it from another.
  d_level = Depth() + 1;
  d_name = QStringLiteral("metrova_unit_%1").arg(d_level);
  d_open = Savepoint();
  return d_open;
}

bool TTransaction::Commit()
{
  if (!d_open)
  {
    return false;
  }
  const bool committed = Release();
  // A release that failed inside another unit leaves the savepoint open: the destructor undoes
  // it. An outermost one has ended the transaction either way.
  d_open = !committed && Depth() >= d_level;
  return committed;
}

void TTransaction::Rollback()
{
  if (!d_open)
  {
    return;
  }
  d_open = false;
  // The clean-up's failures are not the reason the unit was given up.
  if (d_database)
  {
    const QString failure = d_database->d_last_error;
    const bool fault = d_database->d_fault;
    Rollback_To();
    Release();
    d_database->Fail(failure, fault);
    return;
  }
  const QString failure = d_connection->Error();
  const int code = d_connection->Error_Code();
  Rollback_To();
  Release();
  d_connection->Keep_Error(failure, code);
}

TReadTransaction::TReadTransaction(TDatabase *database)
    : d_database(database), d_connection(database->d_sql.get())
{
}

TReadTransaction::TReadTransaction(TSqlConnection *connection) : d_connection(connection) {}

TReadTransaction::~TReadTransaction()
{
  if (d_began)
  {
    d_connection->End_Read(true);
  }
}

bool TReadTransaction::Begin()
{
  Q_ASSERT(!d_began);
  d_began =
      d_database ? d_database->Begin_Read_Transaction() : d_connection->Begin_Read_Transaction();
  return d_began;
}

void TReadTransaction::Join()
{
  Q_ASSERT(!d_began);
  d_began = d_database ? d_database->Begin_Read() : d_connection->Begin_Read();
}
