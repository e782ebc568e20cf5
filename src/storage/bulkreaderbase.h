#ifndef METROVA_BULKREADERBASE_H
#define METROVA_BULKREADERBASE_H

#include "bulkcatalogue.h"
#include "bulkspecificationreader.h"

#include <QString>

#include <functional>
#include <vector>

class TDatabase;

// What every engine's bulk reader does alike: a make's configurations and records made from its
// rows as one read gives them.
class TBulkReaderBase : public TBulkSpecificationReader
{
public:
  explicit TBulkReaderBase(TDatabase *database);

  TRead Read_Make(const QString &make, bool manufacturer_only,
                  std::vector<TConfiguration> *configurations) override;
  QString Error() const override { return d_error; }

protected:
  // A row of a make as Read_Rows gives it: model, option and source are read when they are whole
  // numbers (ids_read), standard, component and text when they are two whole numbers and a text
  // (row_read).
  struct TMakeRow
  {
    bool ids_read;
    int model_id;
    int option_id;
    int source;
    bool row_read;
    int standard_id;
    int component_id;
    const char *text;
    int size;
  };
  enum TRowsRead
  {
    ROWS_READ_FAILED,
    ROWS_READ_DONE,
    ROWS_READ_ELSEWHERE
  };

  // Every row of a make in storage order, each to read_row until it returns false: the make is
  // then TDatabase's (ROWS_READ_ELSEWHERE). ROWS_READ_FAILED with the reason in d_error.
  virtual TRowsRead Read_Rows(int make_id,
                              const std::function<bool(const TMakeRow &)> &read_row) = 0;

  TBulkCatalogue d_catalogue;
  QString d_error;
};

#endif // METROVA_BULKREADERBASE_H
