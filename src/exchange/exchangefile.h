#ifndef METROVA_EXCHANGEFILE_H
#define METROVA_EXCHANGEFILE_H

#include "catalogueexchange.h"

#include <QByteArray>
#include <QString>

class TCatalogueImport;
class TDatabase;
class TDatabaseItem;

// The CSV exchange file: writes the manufacturer's part of a catalogue, and reads such a file
// into a catalogue and estimates the other standards. Runs in the caller's thread on the
// database it is given, which it never shows to anything else.
class TExchangeFile : public TCatalogueExchange
{
public:
  // Problems beyond this many lines, or beyond this much text, are only counted.
  static constexpr int MAXIMUM_WARNING_LINES = TWarningList::MAXIMUM_LINES;
  static constexpr int MAXIMUM_WARNING_BYTES = TWarningList::MAXIMUM_BYTES;

  explicit TExchangeFile(TDatabase *database, TExchangeProgress *progress = nullptr);

  bool Export(const QString &file_name, const QStringList &makes = {}) override;
  bool Import(const QString &file_name) override;

private:
  // Fills the record from a record line, checked against the import's catalogue; the line's
  // problems, empty when it can be stored. *note gets what was dropped from a line that is
  // stored.
  QString Read_Record(const QString &line, const TCatalogueImport &import, TDatabaseItem *record,
                      QString *note) const;
};

#endif // METROVA_EXCHANGEFILE_H
