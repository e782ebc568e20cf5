#ifndef METROVA_DATABASE_H
#define METROVA_DATABASE_H

#include "capability.h"
#include "cataloguelocation.h"
#include "databaseitem.h"
#include "historyentry.h"
#include "standardcatalogue.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <initializer_list>
#include <memory>

class TBulkSpecificationReader;
class TBulkSpecificationWriter;
class TChangeHistory;
class TConfigurationLists;
class TConfigurationNames;
class TDatabaseSchema;
class TEstimationStore;
class TRankingCache;
class TSpecificationReader;
class TSpecificationWriter;
class TSqlConnection;
class TVerificationStore;

// The catalogue's interface: the one gateway to a catalogue wherever it lives (a file today, a
// database server next), whatever engine it is on (TSqlEngine); nothing above it sees SQL. Not a
// QObject and not thread-safe: every thread that works on the catalogue uses its own instance
// under its own connection name.
class TDatabase
{
  // The verification log works on this connection, in its transactions.
  friend class TVerificationLog;
  // So do the bulk writer and reader of whole catalogues, with statements of their own.
  friend class TBulkCatalogue;
  // So does the copy of a whole catalogue, on two of them.
  friend class TCatalogueCopy;
  // Units of work and reads that see one state (transaction.h) are this class's transactions.
  friend class TTransaction;
  friend class TReadTransaction;

public:
  explicit TDatabase(const QString &connection_name = QStringLiteral("metrova_database"));
  ~TDatabase();
  TDatabase(const TDatabase &) = delete;
  TDatabase &operator=(const TDatabase &) = delete;

  // Connection and schema.
  bool Connect(const TCatalogueLocation &location);
  bool Is_Open() const;
  void Close();
  // Creates what is missing of the tables, indexes and seeded catalogue; a complete catalogue
  // is only read. Refuses, unchanged, an SQLite file with tables of its own and none of the
  // catalogue's.
  bool Initialize();
  // The statements an administrator runs so that reader and writer roles may use the catalogue
  // (TSqlEngine::Grant_Statements); none for a file. False with Last_Error().
  bool Grant_Statements(QStringList *statements);
  // Empties the catalogue and its verification log in one transaction; false, changing nothing,
  // when that fails.
  bool Clear();
  QString Last_Error() const { return d_last_error; }
  // Why the last Connect, Initialize or Clear failed, in one plain sentence for the user ("The
  // folder does not exist.", "The disk is full."); empty when it is not known.
  QString Failure_Cause() const { return d_failure_cause; }
  // Whether the last Connect failed for want of a password, which the location did not give:
  // connect again with one (TCatalogueLocation::Set_Password).
  bool Needs_Password() const { return d_needs_password; }
  // Whether the open file takes no changes (it, its folder or its medium refuse writes, or it is
  // another user's): then it is open for reading only, and every write fails.
  bool Is_Read_Only() const;
  // Why, in sentences for the user, when it is more than a lack of permission (the file has
  // another name); every write transaction then fails with it.
  QString Read_Only_Reason() const;
  // Whether the failure that set Last_Error() was the database's own (it could not read or
  // write, it is not open, a transaction was lost) rather than the data's (an unknown name,
  // standard or component, a value that cannot be stored). An import skips a line for the
  // second and stops at the first.
  bool Database_Failed() const { return d_fault; }
  // Whether the last TTransaction::Begin failed because another program took the file away since
  // it was opened (TSqlConnection::File_Moved): connect again and try again.
  bool File_Moved() const;
  // Where the catalogue is (or was, when it has been closed); a file's path, empty for a server.
  const TCatalogueLocation &Location() const { return d_location; }
  QString File_Name() const { return d_location.File_Name(); }
  QString Connection_Name() const { return d_connection_name; }
  QStringList Makes(bool *valid);
  // How long a statement waits for another connection's lock (5 s), for connections opened
  // later in this process. Tests shorten it.
  static void Set_Busy_Timeout(int milliseconds);

  // Standard and component catalogue.
  bool Add_Standard_Type(const QString &name);
  bool Add_Component_Type(int standard_id, const QString &name, const QString &description,
                          int expression_types);
  int Standard_Type_Id(const QString &name);
  QString Standard_Type_Name(int standard_id);
  int Component_Type_Id(int standard_id, const QString &name);
  QString Component_Type_Name(int standard_id, int component_id);
  QString Component_Type_Description(int standard_id, int component_id);
  QString Component_Type_Description(const QString &standard, const QString &component);
  int Component_Type_Expression_Types(int standard_id, int component_id);
  int Component_Type_Expression_Types(const QString &standard, const QString &component);
  QStringList Standard_Types(bool *valid);
  QStringList Component_Types(const QString &standard, bool *valid);
  bool Create_Standard_Types();
  bool Create_Component_Types();

  // Makes, models, options and specification rows.
  int Make_Id(const QString &make);
  int Model_Id(const QString &model);
  int Option_Id(const QString &option);
  QString Make_Name(int make_id);
  QString Model_Name(int model_id);
  QString Option_Name(int option_id);
  bool Model_Type_Exists(const QString &model);
  bool Option_Type_Exists(const QString &option);
  bool Make_Exists(const QString &make);
  // The rule for new names at every entry: why the make, model and option (as far as given)
  // cannot be stored, a name longer than TDatabaseItem::MAXIMUM_NAME_LENGTH that the catalogue
  // does not hold yet; empty when they can. False, with Last_Error(), when a look-up failed.
  bool New_Name_Problem(const QStringList &names, QString *problem);
  bool Model_Exists(const QString &make, const QString &model);
  bool Option_Exists(const QString &make, const QString &model, const QString &option);
  // A make's models in the order of their ids (of their names' first storage); Options in the
  // order of first use. Their flags are false also for a make or model without rows: a read
  // that failed tells itself by Database_Failed().
  QStringList Models(const QString &make, bool *valid);
  QStringList Options(const QString &make, const QString &model, bool *valid);
  // Every model and option pair of a make, each once, in one read. Unlike Models and Options
  // the flag only tells that the read succeeded: a make without rows gives an empty list.
  QList<QPair<QString, QString>> Configurations(const QString &make, bool *valid);
  // Each deletes the machines' rows, and with with_records their verification records, in one
  // transaction. Without with_records a machine that has records is not deleted (the count is
  // read under the write lock): a log is evidence kept for years and goes only when asked for
  // (TVerificationLog::Record_Count tells how many would go).
  bool Remove_Make(const QString &make, bool with_records = false);
  bool Remove_Model(const QString &make, const QString &model, bool with_records = false);
  bool Remove_Option(const QString &make, const QString &model, const QString &option,
                     bool with_records = false);
  bool Write_Specification(const TDatabaseItem &item);
  TDatabaseItem Read_Specification(const QString &make, const QString &model, const QString &option,
                                   const QString &standard, bool *valid);
  // Every standard's record of one configuration in one read: one record per entry of
  // Standard_Types(), in that order, each as Read_Specification reads it (a standard without rows
  // gives an empty record). With manufacturer_only the estimated items are left out.
  QList<TDatabaseItem> Read_Configuration(const QString &make, const QString &model,
                                          const QString &option, bool *valid,
                                          bool manufacturer_only = false);

  // Estimation of the other standards' components.
  bool Estimate_Specifications(const QString &make, const QString &model, const QString &option);
  bool Estimate_From_Standard(int make_id, int model_id, int option_id, const QString &standard);
  bool Delete_Estimated_Specifications(int make_id, int model_id, int option_id);
  bool Specification_Exists(int make_id, int model_id, int option_id, int standard_id,
                            int component_id);
  TDatabaseItem Read_Specification_By_Id(int make_id, int model_id, int option_id, int standard_id,
                                         bool *valid);

  // The engine's bulk writer and reader of whole catalogues on this connection (an import's, an
  // export's); null when the engine has none, or the catalogue is not open. A writer works
  // inside the caller's write unit; both go before the unit or read transaction ends.
  std::unique_ptr<TBulkSpecificationWriter> Bulk_Writer();
  std::unique_ptr<TBulkSpecificationReader> Bulk_Reader();

  // Who changed what (TChangeHistory). A change of a machine (names: its make, and model and
  // option as far as the change concerns them; none: the whole catalogue) is recorded in the
  // write unit that makes it, or alone in one of its own.
  bool Record_Change(const QString &change, const QStringList &names, const QString &details);
  // The same change of many machines (an import's), each given by make, model and option.
  bool Record_Changes(const QString &change, const QList<QStringList> &machines,
                      const QString &details);
  // The entries that concern a make, model or machine (as far as given; none: all), oldest
  // first, with those of the whole catalogue. A catalogue that was never changed has none.
  QList<THistoryEntry> History(const QStringList &names, bool *valid);

  // Every configuration that has rows of one component or the 10360 Ts_Min and Ts_Max rows, with
  // those rows: one record per standard, in the order of the standards' ids, items in storage
  // order carrying their name, expression and source. Ordered by make, model and option names
  // (equal names are one machine). Kept in memory while the catalogue stays as it was read (no
  // write here, no commit of another connection), so that a ranking asked again reads nothing.
  // The flag tells that the read ran: a catalogue without such rows gives an empty list.
  QList<TCapability::TMachine> Component_Machines(const QString &standard, const QString &component,
                                                  bool *valid);

private:
  // Sets the last error and whether it is the database's own failure; returns false.
  bool Fail(const QString &text, bool fault = true);
  // The cause of a failure of the catalogue as a whole, from the engine's code of the last one.
  QString Failure_Cause_Now() const;
  // A failure text with the reason of the statement that just failed.
  QString Reasoned(const QString &failure) const;
  // False with "Not connected" as the last error when no file is open.
  bool Require_Open();
  // Whether a read for one row (a TSqlConnection::TSelect of TConfigurationLists) found it; its
  // failure as the last error, none found no failure of the database's.
  bool Found(int found);
  // A helper's failure (TStandardCatalogue, TConfigurationNames, ...) as the last error;
  // returns the given failure value.
  template <typename TSource, typename TResult>
  TResult Take_Failure(const TSource &source, TResult result);
  const TStandardCatalogue::TComponentType *Component_Type(int standard_id, int component_id);
  // Make, model and option names by kind (TConfigurationNames): their ids and back.
  int Lookup_Id(int kind, const QString &name);
  QString Lookup_Name(int kind, int id);
  // The ids of a make and, as far as given, its model and option; false at the first unknown.
  bool Lookup_Ids(const QStringList &names, int *ids);
  // Models (names: make) or Options (make and model) in one read.
  QStringList Configuration_Names(const QStringList &names, bool *valid);
  // Transactions as SQL savepoints, so that they nest (TTransaction): an outermost savepoint
  // begins a transaction (taking the write lock at once) and its release commits it. Rolling back
  // to a savepoint keeps it open; release it afterwards. When SQLite has rolled the transaction
  // back by itself after an error (a full disk, an I/O error), every later statement and
  // savepoint operation fails with that reason until the outermost savepoint is released or
  // rolled back to, which ends the transaction and fails.
  bool Savepoint(const QString &name);
  bool Release_Savepoint(const QString &name);
  bool Rollback_To_Savepoint(const QString &name);
  // A read transaction for many reads (TReadTransaction::Begin): they all see one state of the
  // file, and no write lock is held, so other connections keep reading meanwhile. Only reads
  // belong in it: Begin fails inside a savepoint or another read transaction, and Savepoint
  // fails until the end.
  bool Begin_Read_Transaction();
  // Runs write, which sets the failure text when it returns false, as one unit: all of it is
  // kept, or none.
  bool Write_Unit(const std::function<bool()> &write);
  // Deletes the rows of a make (and model, and option) with their log (TConfigurationRemoval).
  bool Remove_Configuration(const QStringList &names, bool with_records);
  // A read of many statements outside any savepoint runs in one read transaction: one lock
  // instead of one per statement (TReadTransaction::Join). Whether there is one to end.
  bool Begin_Read();

  QString d_connection_name;
  TCatalogueLocation d_location;
  QString d_last_error;
  QString d_failure_cause;
  bool d_needs_password = false;
  bool d_fault = false;
  std::unique_ptr<TSqlConnection> d_sql;
  std::unique_ptr<TStandardCatalogue> d_catalogue;
  std::unique_ptr<TDatabaseSchema> d_schema;
  std::unique_ptr<TConfigurationNames> d_names;
  std::unique_ptr<TConfigurationLists> d_lists;
  std::unique_ptr<TSpecificationReader> d_reader;
  std::unique_ptr<TSpecificationWriter> d_writer;
  std::unique_ptr<TEstimationStore> d_estimation;
  std::unique_ptr<TVerificationStore> d_verification;
  std::unique_ptr<TRankingCache> d_ranking;
  std::unique_ptr<TChangeHistory> d_history;
};

#endif // METROVA_DATABASE_H
