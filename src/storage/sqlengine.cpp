#include "sqlengine.h"

#include "bulkspecificationreader.h"
#include "bulkspecificationwriter.h"
#include "cataloguelocation.h"
#include "postgresengine.h"
#include "sqliteengine.h"

std::unique_ptr<TSqlEngine> TSqlEngine::For(const TCatalogueLocation &location, QString *reason)
{
  if (location.Is_File())
  {
    return std::make_unique<TSqliteEngine>();
  }
  if (location.Is_Server())
  {
    return std::make_unique<TPostgresEngine>();
  }
  *reason = QStringLiteral("No catalogue is named.");
  return nullptr;
}

QString TSqlEngine::Begin_Read() const
{
  return QStringLiteral("BEGIN");
}

bool TSqlEngine::Needs_Password(int) const
{
  return false;
}

bool TSqlEngine::Prepares_Control() const
{
  return true;
}

bool TSqlEngine::Reads_Forward_Only() const
{
  return true;
}

bool TSqlEngine::Connection_Lost(const QSqlDatabase &) const
{
  return false;
}

QStringList TSqlEngine::Create_Engine_Tables() const
{
  return QStringList();
}

bool TSqlEngine::Has_Engine_Tables() const
{
  return true;
}

bool TSqlEngine::Creates_Log_With_Catalogue() const
{
  return false;
}

bool TSqlEngine::Location_Moved(const QSqlDatabase &) const
{
  return false;
}

QString TSqlEngine::Read_Back_Name_Lookup(const QString &, const QString &) const
{
  return QString();
}

bool TSqlEngine::Grant_Statements(TSqlConnection *, QStringList *statements) const
{
  statements->clear();
  return true;
}

bool TSqlEngine::Count_Change(TSqlConnection *) const
{
  return true;
}

bool TSqlEngine::Copies_Texts() const
{
  return false;
}

bool TSqlEngine::Copy_Texts(TSqlConnection *, const QString &, const QStringList &,
                            const QList<QStringList> &, QString *error) const
{
  *error = QStringLiteral("the engine adds no rows at once");
  return false;
}

std::unique_ptr<TBulkSpecificationWriter> TSqlEngine::Bulk_Writer(TDatabase *,
                                                                  TSqlConnection *) const
{
  return nullptr;
}

std::unique_ptr<TBulkSpecificationReader> TSqlEngine::Bulk_Reader(TDatabase *,
                                                                  TSqlConnection *) const
{
  return nullptr;
}

TSqlEngine::TPlainRead TSqlEngine::Read_Plain_Rows(TSqlConnection *, const QString &,
                                                   const QVariantList &,
                                                   const std::function<void(const TRow &)> &,
                                                   QString *, TReadSize) const
{
  return PLAIN_READ_ELSEWHERE;
}

TSqlEngine::TPlainRead TSqlEngine::Write_Plain_Rows(TSqlConnection *, const QString &, int, int,
                                                    const std::function<QByteArray(int, int)> &,
                                                    QString *) const
{
  return PLAIN_READ_ELSEWHERE;
}

QStringList TSqlEngine::Log_Indexes() const
{
  // The list of a log's records counts their results and finds their retests from this index
  // alone, not from the rows; the same statement on every engine.
  return {QStringLiteral("CREATE INDEX IF NOT EXISTS verification_result_retest ON "
                         "verification_result(record_id,retest)")};
}
