#ifndef METROVA_BULKSPECIFICATIONWRITER_H
#define METROVA_BULKSPECIFICATIONWRITER_H

#include <QString>
#include <QStringList>

class TBulkCatalogue;

// Stores the records of an import and estimates its configurations inside the caller's
// transaction, as TDatabase's Write_Specification and Estimate_Specifications do, at the pace of
// a catalogue of many thousand machines: each engine's own way of writing many rows
// (TSqlEngine::Bulk_Writer, made by TDatabase::Bulk_Writer), with names and the standards looked
// up in memory (TBulkCatalogue). What the catalogue does not resolve is the caller's, to be
// passed to TDatabase's own operations.
class TBulkSpecificationWriter
{
public:
  // A row of a manufacturer's record: its component and its text as stored, in UTF-8, which must
  // stay until the write returns.
  struct TRow
  {
    int component_id;
    const char *text;
    int size;
  };
  enum TEstimate
  {
    ESTIMATE_FAILED,
    ESTIMATE_DONE,
    // The make holds rows or names that this writer does not read: TDatabase estimates it.
    ESTIMATE_ELSEWHERE
  };

  virtual ~TBulkSpecificationWriter() = default;

  // Inside the caller's transaction: reads the catalogue and prepares the writes. False with the
  // reason in Error() when that failed.
  virtual bool Begin() = 0;
  virtual const TBulkCatalogue &Catalogue() const = 0;

  // The id of a make, model or option name (TConfigurationNames' kinds) in UTF-8, added when it
  // is new; -1 with Error() when it cannot be added.
  virtual int Added_Name_Id(int kind, const char *utf8, int size) = 0;
  // A name that the caller stored through TDatabase, with its id: the writer then finds it
  // rather than adding it a second time.
  virtual void Add_Stored_Name(int kind, const QString &name, int id) = 0;
  // The record's rows in place of those stored for its machine (ids: make, model, option) and
  // standard.
  virtual bool Write_Rows(const int ids[], int standard_id, const TRow *rows, int count) = 0;
  // Estimates every configuration of a make as Configurations and Estimate_Specifications for
  // each do (the plan is TEstimationPlanner's). Before it changes anything it leaves to TDatabase
  // (ESTIMATE_ELSEWHERE) a make with rows or names it does not read. A failure in a configuration
  // gives its model and option names in *failed, a failed read none.
  virtual TEstimate Estimate_Make(int make_id, QStringList *failed) = 0;

  // What failed, as far as the engine tells: the rows of a write (the number of its Write_Rows,
  // from 0) or the estimates of a machine (ids: make, model, option); -1 where it does not.
  struct TFailure
  {
    int write = -1;
    int ids[3] = {-1, -1, -1};
  };

  // Stores what the writer holds back, before the caller reads or writes the catalogue through
  // TDatabase; false with Error() when that failed. A writer that writes at once holds nothing.
  virtual bool Flush() { return true; }
  // Ends what the writer keeps running on the connection (rows sent as they come), so that the
  // caller may read through TDatabase what no write of the writer changed; what it holds back
  // stays held. False with Error() when that failed.
  virtual bool Idle() { return true; }
  // After a failure: what failed, when the failure came later than the write or estimation
  // itself (a writer that holds rows back stores them later).
  virtual TFailure Failure() const { return {}; }

  virtual QString Error() const = 0;
};

#endif // METROVA_BULKSPECIFICATIONWRITER_H
