#ifndef METROVA_DATABASESCHEMA_H
#define METROVA_DATABASESCHEMA_H

#include <QString>
#include <QStringList>

#include <functional>

class TSqlConnection;
class TStandardCatalogue;

// The catalogue's tables and indexes, the standards and component types it is seeded with, and
// their creation and wiping on one connection.
class TDatabaseSchema
{
public:
  // The tables in the order of their creation.
  enum TTable
  {
    TABLE_MAKE = 0,
    TABLE_MODEL_TYPES,
    TABLE_OPTION_TYPES,
    TABLE_STANDARD_TYPES,
    TABLE_COMPONENT_TYPES,
    TABLE_SPECIFICATION,
    TABLE_COUNT
  };

  struct TTableDefinition
  {
    const char *name;
    const char *failure;
  };

  struct TIndexDefinition
  {
    const char *name;
  };

  struct TComponentSeed
  {
    const char *standard;
    const char *name;
    const char *description;
    int expression_types;
  };

  static constexpr int INDEX_COUNT = 6;
  static constexpr int STANDARD_COUNT = 4;
  static constexpr int COMPONENT_COUNT = 19;

  static const TTableDefinition TABLES[TABLE_COUNT];
  static const TIndexDefinition INDEXES[INDEX_COUNT];
  static const char *const STANDARD_SEED[STANDARD_COUNT];
  static const TComponentSeed COMPONENT_SEED[COMPONENT_COUNT];

  TDatabaseSchema(TSqlConnection *connection, TStandardCatalogue *catalogue);

  // What else is made in the same unit when tables are created: false, with its reason, fails
  // the creation.
  void Set_New_Tables(const std::function<bool(QString *error)> &create) { d_new_tables = create; }

  // Creates the missing tables and indexes and seeds the catalogue; stops at the first failing
  // step, keeping the work before it.
  bool Initialize();
  // Deletes every row and seeds the catalogue again, all or nothing.
  bool Clear();
  QString Error() const { return d_error; }

private:
  // The names of the file's own tables and indexes; *foreign when it holds tables and none of
  // them is the catalogue's.
  bool Read_Schema(QStringList *tables, QStringList *indexes, bool *foreign);
  // Whether every table, index and seeded row is there.
  bool Is_Complete(const QStringList &tables, const QStringList &indexes);
  bool Create_Table(const QStringList &tables, int table_index);

  TSqlConnection *d_connection;
  TStandardCatalogue *d_catalogue;
  std::function<bool(QString *error)> d_new_tables;
  QString d_error;
};

#endif // METROVA_DATABASESCHEMA_H
