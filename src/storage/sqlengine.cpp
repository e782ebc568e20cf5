#include "sqlengine.h"

#include "bulkspecificationreader.h"
#include "bulkspecificationwriter.h"
#include "cataloguelocation.h"
#include "sqliteengine.h"

std::unique_ptr<TSqlEngine> TSqlEngine::For(const TCatalogueLocation &location, QString *reason)
{
  if (location.Is_File())
  {
    return std::make_unique<TSqliteEngine>();
  }
  *reason = location.Is_Server()
                ? QStringLiteral("This Metrova cannot open a catalogue on a database server.")
                : QStringLiteral("No catalogue is named.");
  return nullptr;
}

bool TSqlEngine::Location_Moved(const QSqlDatabase &) const
{
  return false;
}

QString TSqlEngine::Read_Back_Name_Lookup(const QString &, const QString &) const
{
  return QString();
}

bool TSqlEngine::Count_Change(TSqlConnection *) const
{
  return true;
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
                                                   QString *) const
{
  return PLAIN_READ_ELSEWHERE;
}
