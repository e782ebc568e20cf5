#ifndef METROVA_ESTIMATIONSTORE_H
#define METROVA_ESTIMATIONSTORE_H

#include <QString>

class TSpecificationReader;
class TSpecificationWriter;
class TStandardCatalogue;

// The estimation of one configuration in the catalogue: its rows read, the plan of the core's
// TEstimationPlanner made on the catalogue's standards and components, and the plan stored. The
// work of TDatabase's Estimate_Specifications and Estimate_From_Standard; the caller looks the
// names up and holds the write unit.
class TEstimationStore
{
public:
  TEstimationStore(TStandardCatalogue *catalogue, TSpecificationReader *reader,
                   TSpecificationWriter *writer);

  // ids: make, model and option. Each false with the reason in Error(); Is_Fault() tells a failed
  // read or write from a catalogue that cannot take the estimates.
  //
  // Every standard's pass, the estimated rows of before replaced.
  bool Estimate(const int *ids);
  // One standard's pass on the rows as they are; *stored tells whether it added a row.
  bool Estimate_From(const int *ids, const QString &standard, int standard_id, bool *stored);

  QString Error() const { return d_error; }
  bool Is_Fault() const { return d_fault; }

private:
  template <typename TSource>
  bool Fail(const TSource &source);

  TStandardCatalogue *d_catalogue;
  TSpecificationReader *d_reader;
  TSpecificationWriter *d_writer;
  QString d_error;
  bool d_fault = false;
};

#endif // METROVA_ESTIMATIONSTORE_H
