#ifndef METROVA_QIFEXCHANGE_H
#define METROVA_QIFEXCHANGE_H

#include "catalogueexchange.h"

// The catalogue as a QIF 3 measurement resources document, for planning and execution software
// and from a plant's own resources files. Runs in the caller's thread on the database it is
// given, like the CSV exchange file.
class TQifExchange : public TCatalogueExchange
{
public:
  explicit TQifExchange(TDatabase *database, TExchangeProgress *progress = nullptr);

  // The given makes, or every make when none is given. The old file is kept after a failure;
  // what QIF cannot carry is left out with a warning.
  bool Export(const QString &file_name, const QStringList &makes = {}) override;
  // The document's Cartesian CMMs as manufacturer rows of 10360, all or nothing as the CSV
  // import: a device that cannot be used is skipped with a warning naming it, and any failure
  // of the database takes back everything of the import.
  bool Import(const QString &file_name) override;
};

#endif // METROVA_QIFEXCHANGE_H
