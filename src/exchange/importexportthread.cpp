#include "importexportthread.h"

#include "database.h"

#include <QAtomicInt>

namespace
{
QAtomicInt connection_counter;
} // namespace

TImportExportThread::TImportExportThread(QObject *parent)
    : QThread(parent), d_database(nullptr), d_mode(MODE_EXPORT), d_error(false),
      d_connection_name(
          QStringLiteral("metrova_import_export_%1").arg(connection_counter.fetchAndAddRelaxed(1))),
      d_has_warnings(false)
{
}

TImportExportThread::~TImportExportThread() = default;

void TImportExportThread::run()
{
  if (!d_database)
  {
    return;
  }
  d_error = false;
  d_has_warnings = false;
  d_warning_text.clear();
  if (d_mode != MODE_EXPORT && d_mode != MODE_IMPORT)
  {
    return;
  }

  // The database object belongs to the GUI thread; only its location is taken from it.
  const TCatalogueLocation location = d_database->Location();
  if (location.Kind() == TCatalogueLocation::KIND_NONE)
  {
    Fail(QStringLiteral("Not connected"));
    return;
  }
  TDatabase database(d_connection_name);
  if (!database.Connect(location))
  {
    Fail(database.Last_Error());
    return;
  }
  const std::unique_ptr<TCatalogueExchange> exchange =
      TCatalogueExchange::Create(d_format, &database, this);
  const bool done = (d_mode == MODE_EXPORT) ? exchange->Export(d_file_name, d_export_makes)
                                            : exchange->Import(d_file_name);
  if (!done)
  {
    Fail(exchange->Error_Text());
  }
  d_has_warnings = exchange->Has_Warnings();
  d_warning_text = exchange->Warning_Text();
}

void TImportExportThread::Progress(int value, int maximum)
{
  emit Update_Progress(value, maximum);
}

void TImportExportThread::Progress_Text(const QString &text)
{
  emit Update_Progress_Text(text);
}

void TImportExportThread::Fail(const QString &text)
{
  d_error = true;
  d_error_text = text;
}
