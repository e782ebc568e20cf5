#ifndef METROVA_CATALOGUEIMPORT_H
#define METROVA_CATALOGUEIMPORT_H

#include "bulkcatalogue.h"
#include "bulkspecificationwriter.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class TDatabase;
class TDatabaseItem;
class TExchangeProgress;
class TTransaction;
struct TSpecificationItem;

// The storing part of an import, the same for every file format: all or nothing. The records
// go in inside one transaction, checked first against the catalogue, which is read once at the
// start; then every configuration of the makes they touched is estimated. A record that is
// wrong is the file's problem, for the importer to skip with a warning; any failure of the
// database takes back everything of the import.
class TCatalogueImport
{
public:
  TCatalogueImport(TDatabase *database, const QString &file_name, TExchangeProgress *progress);
  // Takes everything back unless the import was finished.
  ~TCatalogueImport();
  TCatalogueImport(const TCatalogueImport &) = delete;
  TCatalogueImport &operator=(const TCatalogueImport &) = delete;

  // Opens the import's transaction and reads the catalogue.
  bool Begin();
  // Why an item cannot be stored under the standard, empty when it can: an unknown standard or
  // component, a kind the component does not take, a value that would not read back. The text
  // is the value as the file gives it.
  bool Has_Standard(const QString &standard) const;
  QString Item_Problem(const QString &standard, const TSpecificationItem &item,
                       const QString &text) const;
  // Why a record's names cannot be stored (TDatabase::New_Name_Problem), empty when they can;
  // a failed look-up ends the import (Error_Text() is set, *failed true).
  QString Name_Problem(const QString &make, const QString &model, const QString &option,
                       bool *failed);
  // Stores a record that passed the checks; place says where it came from ("line 12").
  bool Store(const TDatabaseItem &record, const QString &place);
  // The catalogue for records read straight from bytes, null when the connection has no bulk
  // writer; such a record is stored with the make, model and option names in UTF-8 as they are
  // kept, its standard and its rows, checked against that catalogue, from the given line.
  const TBulkCatalogue *Bulk_Catalogue() const { return d_bulk ? &d_bulk->Catalogue() : nullptr; }
  bool Store(const char *const names[], const int sizes[], int standard_id,
             const TBulkSpecificationWriter::TRow *rows, int count, qint64 line);
  // Counts records of the file that were skipped.
  void Skip(int count = 1) { d_skipped += count; }
  // Estimates the makes stored and commits. An import that skipped every record fails, saying
  // that nothing was imported; one whose file holds no record succeeds.
  bool Finish();
  // Takes everything back; the error text is the reason with the file named.
  bool Fail(const QString &reason);
  // Takes everything back, leaving the error text to the caller.
  void Abandon();

  QString Error_Text() const { return d_error_text; }

private:
  void Report_Progress(int value, int maximum);
  void Report_Progress_Text(const QString &text);
  bool Read_Catalogue();
  // The bulk writer's ids of a record's names, added when new; false after a failure.
  bool Name_Ids(const char *const names[], const int sizes[], int *ids, const QString &place);
  bool Store_With_Bulk_Writer(const TDatabaseItem &record, const QString &place, bool *stored);
  // Stores what the bulk writer holds back, before the database's own operations run; false
  // after a failure.
  bool Flush_Bulk();
  // Fails with the bulk writer's error, at the place of the write or the machine whose estimates
  // failed when the writer tells, else at place (none when empty).
  bool Fail_Bulk(const QString &place);
  void Remember_Make(const QString &make, int make_id);
  // Whether the bulk writer's machine (ids: make, model, option) is stored for the first time.
  bool New_Machine(const int *ids);
  // A machine stored through the database, for the history, once.
  void Remember_Machine(const QStringList &names);
  // Estimates the configurations of a make one by one through the database.
  bool Estimate_Each(const QString &make);

  TDatabase *d_database;
  QString d_file_name;
  TExchangeProgress *d_progress;
  int d_stored = 0;
  int d_skipped = 0;
  QString d_error_text;
  // Every standard with its components and the kinds each accepts.
  QHash<QString, QHash<QString, int>> d_catalogue;
  QStringList d_makes;
  QSet<QString> d_make_set;
  QSet<int> d_make_ids;
  // Every machine stored, each once, in the order of the file: one history entry each, so that a
  // machine's history tells where its values came from.
  QList<QStringList> d_machines;
  QSet<QPair<quint64, int>> d_machine_ids;
  QSet<QStringList> d_machine_names;
  // The place in the file of each write of the bulk writer, by its number.
  QStringList d_places;
  // The import's write unit, and its bulk writer, whose statements go before the unit ends.
  std::unique_ptr<TTransaction> d_transaction;
  std::unique_ptr<TBulkSpecificationWriter> d_bulk;
};

#endif // METROVA_CATALOGUEIMPORT_H
