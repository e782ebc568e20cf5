#ifndef METROVA_EXCHANGECOMMAND_H
#define METROVA_EXCHANGECOMMAND_H

#include "catalogueexchange.h"
#include "databasecommand.h"

#include <functional>

// import, export, import-qif and export-qif: the catalogue to or from a file of one format, with
// progress on the terminal when wanted and each warning on the error stream.
class TExchangeCommand : public TDatabaseCommand
{
public:
  enum TDirection
  {
    DIRECTION_IMPORT,
    DIRECTION_EXPORT
  };

  TExchangeCommand(TDirection direction, TCatalogueExchange::TFormat format);

protected:
  int Run() override;

private:
  int Import(const QString &file_name);
  int Export(const QString &file_name);
  // Runs the import or export; each line of its warnings goes to the error stream as a warning
  // about the file.
  bool Exchange(const QString &file_name, const std::function<bool(TCatalogueExchange *)> &run,
                QString *error_text);

  TDirection d_direction;
  TCatalogueExchange::TFormat d_format;
};

#endif // METROVA_EXCHANGECOMMAND_H
