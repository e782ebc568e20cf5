#ifndef METROVA_CATALOGUEIMPORT_H
#define METROVA_CATALOGUEIMPORT_H

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class TDatabase;
class TDatabaseItem;
class TExchangeProgress;
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
  // Stores a record that passed the checks; place says where it came from ("line 12").
  bool Store(const TDatabaseItem &record, const QString &place);
  // Estimates the makes stored and commits.
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

  TDatabase *d_database;
  QString d_file_name;
  TExchangeProgress *d_progress;
  bool d_open = false;
  QString d_error_text;
  // Every standard with its components and the kinds each accepts.
  QHash<QString, QHash<QString, int>> d_catalogue;
  QStringList d_makes;
  QSet<QString> d_make_set;
};

#endif // METROVA_CATALOGUEIMPORT_H
