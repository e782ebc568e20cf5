#ifndef METROVA_BULKSPECIFICATIONWRITER_H
#define METROVA_BULKSPECIFICATIONWRITER_H

#include "specificationestimation.h"
#include "sqlitestatement.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>

#include <memory>
#include <vector>

class TDatabase;

// Stores the records of an import and estimates its configurations inside the caller's
// transaction, as TDatabase's Write_Specification and Estimate_Specifications do, at the pace of
// a catalogue of many thousand machines: its statements are prepared once on SQLite's own
// interface, names and the standards' catalogue are read into memory once and kept there as
// names are added.
//
// It takes only what it can resolve as TDatabase would: plain names (Is_Plain), rows of integer
// ids with texts, components the catalogue lists. Everything else is the caller's, to be passed
// to TDatabase's own operations, which stay the rule.
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
  struct TComponent
  {
    int id;
    QString name;
    QByteArray utf8;
    QString description;
    int expression_types;
  };
  enum TEstimate
  {
    ESTIMATE_FAILED,
    ESTIMATE_DONE,
    // The make holds rows or names that this writer does not read: TDatabase estimates it.
    ESTIMATE_ELSEWHERE
  };

  explicit TBulkSpecificationWriter(TDatabase *database);
  ~TBulkSpecificationWriter();
  TBulkSpecificationWriter(const TBulkSpecificationWriter &) = delete;
  TBulkSpecificationWriter &operator=(const TBulkSpecificationWriter &) = delete;

  // Inside the caller's transaction: reads the names and the catalogue and prepares the
  // statements. False with an empty Error() when the connection takes no statements of its own
  // (Qt's driver runs on another SQLite), with the reason when a read failed.
  bool Begin();

  // Tests turn the writer off to compare an import with one through TDatabase's operations.
  static void Set_Enabled(bool enabled);

  // Whether a name is resolved here: one without characters that SQLite or a lookup by name may
  // take for others (surrogates, U+FEFF and above, among them the replacement character).
  static bool Is_Plain(const QString &name);
  // The standard of a name, -1 when the catalogue has none; a component of a standard by name,
  // null when it has none.
  int Standard_Id(const char *utf8, int size) const;
  int Standard_Id(const QString &name) const;
  const TComponent *Component(int standard_id, const char *utf8, int size) const;
  const TComponent *Component(int standard_id, const QString &name) const;
  // The id of a make, model or option name (TConfigurationNames' kinds) in UTF-8; a new name is
  // added when add is set, otherwise -1. -1 with Error() when the name cannot be added.
  int Name_Id(int kind, const char *utf8, int size, bool add);
  // The record's rows in place of those stored for its machine (ids: make, model, option) and
  // standard.
  bool Write_Rows(const int ids[], int standard_id, const TRow *rows, int count);
  // Estimates every configuration of a make as Configurations and Estimate_Specifications for
  // each do. Before it changes anything it leaves to TDatabase (ESTIMATE_ELSEWHERE) a make with
  // rows or names it does not read; after a failure *model and *option name the configuration.
  TEstimate Estimate_Make(int make_id, QString *model, QString *option);

  QString Error() const { return d_error; }

private:
  struct TStandard
  {
    int id;
    QString name;
    QByteArray utf8;
    std::vector<TComponent> components;
  };

  // A row to insert, with its text in UTF-8.
  struct TNewRow
  {
    int standard_id;
    int component_id;
    const char *text;
    int size;
    int source;
  };

  bool Fail(const QString &failure, const TSqliteStatement &statement);
  bool Insert(const int ids[], const TNewRow *rows, int count);
  bool Read_Catalogue();
  bool Read_Names(int kind);
  const TStandard *Standard(int standard_id) const;
  const TComponent *Component_By_Id(int standard_id, int component_id) const;
  // Appends the row of a statement whose columns from column on are standard_id, component_id
  // and expression; false for a row this writer does not read.
  bool Read_Row(const TSqliteStatement &statement, int column,
                TSpecificationEstimation::TStoredRows *rows) const;
  bool Delete_Estimated(const int ids[]);
  // Derives what the rows of a configuration yield and stores it.
  bool Store_Estimates(const int ids[], TSpecificationEstimation::TStoredRows *rows);
  // Whether the name of an id is one that a look-up by that name resolves to this id, here.
  bool Is_Plain_Name(int kind, int id) const;
  QString Name(int kind, int id) const;

  TDatabase *d_database;
  QString d_error;
  std::vector<TStandard> d_standards;
  // The ids of the derived items' places (TDerivedItem::place), as they are looked up.
  static constexpr int PLACE_UNKNOWN = -2;
  std::vector<QPair<int, int>> d_places;
  QHash<QByteArray, int> d_names[3];
  QHash<int, QByteArray> d_id_names[3];
  TSqliteStatement d_add_name[3];
  TSqliteStatement d_delete_standard;
  // Inserts of one row, two rows, ... by their count.
  std::vector<std::unique_ptr<TSqliteStatement>> d_inserts;
  std::vector<TNewRow> d_new_rows;
  TSqliteStatement d_delete_estimated;
  TSqliteStatement d_read_make;
};

#endif // METROVA_BULKSPECIFICATIONWRITER_H
