#ifndef METROVA_PLANPIPELINE_H
#define METROVA_PLANPIPELINE_H

#include "bulkcatalogue.h"
#include "estimationplanner.h"

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// The estimates of a make's configurations, planned on a second thread while the bulk writer
// stores those planned before them: planning costs about as much as storing, and storing keeps
// the first thread busy. A make of few configurations is planned on the caller's thread, where a
// thread would cost more than it saves.
//
// The rows go in as ids and text bytes and the plans come out as bytes: each thread makes and
// drops its own strings. Strings of one thread copied and dropped on the other contend for their
// shared counts, which cost about what the second thread saved.
class TPlanPipeline
{
public:
  // Makes of at least this many configurations get the second thread.
  static constexpr std::size_t MINIMUM_THREADED = 64;

  // A stored row as read: its text at offset in the make's texts. Of an estimated row only that
  // it is one counts. Its component is one the catalogue lists.
  struct TReadRow
  {
    int standard_id;
    int component_id;
    bool estimated;
    int offset;
    int size;
  };
  struct TConfiguration
  {
    int ids[3];
    std::vector<TReadRow> rows;
  };
  // Every row of a make, by configuration in storage order.
  struct TMake
  {
    std::vector<TConfiguration> configurations;
    QByteArray texts;
  };
  // What storing a configuration's plan takes: whether its estimated rows go, and the rows that
  // come in, their texts at offset in texts, in UTF-8.
  struct TPlannedRow
  {
    int standard_id;
    int component_id;
    int offset;
    int size;
  };
  struct TPlanned
  {
    bool delete_estimated = false;
    std::vector<TPlannedRow> rows;
    QByteArray texts;
  };

  // catalogue, planner and make are read, and the planner used, by this pipeline alone until it
  // is destroyed.
  TPlanPipeline(const TBulkCatalogue *catalogue, const TEstimationPlanner *planner,
                const TMake *make);
  // Stops planning what was not taken yet.
  ~TPlanPipeline();
  TPlanPipeline(const TPlanPipeline &) = delete;
  TPlanPipeline &operator=(const TPlanPipeline &) = delete;

  // The plan of the configuration at index, once each, in order.
  TPlanned Take(std::size_t index);

private:
  TPlanned Plan(const TConfiguration &configuration) const;
  void Plan_All();

  const TBulkCatalogue *d_catalogue;
  const TEstimationPlanner *d_planner;
  const TMake *d_make;
  std::vector<TPlanned> d_plans;
  std::mutex d_mutex;
  std::condition_variable d_planned_more;
  // Guarded by d_mutex.
  std::size_t d_planned = 0;
  bool d_stopping = false;
  std::thread d_thread;
};

#endif // METROVA_PLANPIPELINE_H
