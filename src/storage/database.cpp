#include "database.h"

#include "bulkcatalogue.h"
#include "bulkspecificationreader.h"
#include "bulkspecificationwriter.h"
#include "changehistory.h"
#include "configurationlists.h"
#include "configurationnames.h"
#include "configurationremoval.h"
#include "databaseschema.h"
#include "estimationstore.h"
#include "rankingcache.h"
#include "specificationestimation.h"
#include "specificationreader.h"
#include "specificationwriter.h"
#include "sqlconnection.h"
#include "sqlengine.h"
#include "standardcatalogue.h"
#include "transaction.h"
#include "verificationlog.h"
#include "verificationstore.h"

#include <QLatin1String>
#include <QSqlDatabase>
#include <QSqlError>
#include <QtGlobal>

namespace
{
const char *const NOT_CONNECTED = "Not connected";

enum TNameKind
{
  NAME_MAKE = TConfigurationNames::MAKE,
  NAME_MODEL = TConfigurationNames::MODEL,
  NAME_OPTION = TConfigurationNames::OPTION
};
} // namespace

TDatabase::TDatabase(const QString &connection_name)
    : d_connection_name(connection_name), d_sql(std::make_unique<TSqlConnection>(connection_name)),
      d_catalogue(std::make_unique<TStandardCatalogue>(d_sql.get())),
      d_schema(std::make_unique<TDatabaseSchema>(d_sql.get(), d_catalogue.get())),
      d_names(std::make_unique<TConfigurationNames>(d_sql.get())),
      d_lists(std::make_unique<TConfigurationLists>(d_sql.get(), d_names.get())),
      d_reader(
          std::make_unique<TSpecificationReader>(d_sql.get(), d_catalogue.get(), d_names.get())),
      d_writer(
          std::make_unique<TSpecificationWriter>(d_sql.get(), d_catalogue.get(), d_names.get())),
      d_estimation(
          std::make_unique<TEstimationStore>(d_catalogue.get(), d_reader.get(), d_writer.get())),
      d_verification(std::make_unique<TVerificationStore>(d_sql.get())),
      d_ranking(std::make_unique<TRankingCache>(d_sql.get())),
      d_history(std::make_unique<TChangeHistory>(d_sql.get()))
{
  // Where writers need not be allowed to create tables, the log and the history are made with
  // the catalogue.
  d_schema->Set_New_Tables(
      [this](QString *error)
      {
        if (!d_sql->Engine()->Creates_Log_With_Catalogue())
        {
          return true;
        }
        if (!d_verification->Create_Tables())
        {
          *error = d_verification->Error();
          return false;
        }
        if (!d_history->Create_Table())
        {
          *error = d_history->Error();
          return false;
        }
        return true;
      });
}

TDatabase::~TDatabase()
{
  Close();
}

void TDatabase::Set_Busy_Timeout(int milliseconds)
{
  TSqlConnection::Set_Busy_Timeout(milliseconds);
}

template <typename TSource, typename TResult>
TResult TDatabase::Take_Failure(const TSource &source, TResult result)
{
  Fail(source.Error(), source.Is_Fault());
  return result;
}

QString TDatabase::Reasoned(const QString &failure) const
{
  return QStringLiteral("%1.  Reason: %2").arg(failure, d_sql->Error());
}

bool TDatabase::Fail(const QString &text, bool fault)
{
  d_last_error = text;
  d_fault = fault;
  return false;
}

bool TDatabase::Require_Open()
{
  if (!Is_Open())
  {
    return Fail(QLatin1String(NOT_CONNECTED));
  }
  return true;
}

bool TDatabase::Connect(const TCatalogueLocation &location)
{
  d_failure_cause.clear();
  d_needs_password = false;
  QString reason;
  const std::unique_ptr<TSqlEngine> engine = TSqlEngine::For(location, &reason);
  if (!engine)
  {
    d_failure_cause = reason;
    return Fail(QStringLiteral("Cannot open database.\n\tDatabase Error: '%1'\n").arg(reason));
  }
  if (!QSqlDatabase::isDriverAvailable(engine->Driver()))
  {
    return Fail(QStringLiteral("Database driver '%1' not available").arg(engine->Driver()));
  }
  Close();

  QSqlError error;
  if (d_sql->Open(location, &error))
  {
    d_location = location;
    return true;
  }

  QString report = QStringLiteral("Cannot open database.\n\tDatabase Error: '%1'\n\tDriver "
                                  "Error: '%2'\n")
                       .arg(error.databaseText(), error.driverText());
  // A server's URI may hold a password: it is never shown.
  report += QStringLiteral("\t\tDatabase File Name: '%1'\n")
                .arg(location.Is_File() ? location.Text() : location.Display_Name());
  report += QStringLiteral("\tAvailable database drivers:\n");
  const QStringList drivers = QSqlDatabase::drivers();
  for (const QString &name : drivers)
  {
    report += QStringLiteral("\t\t%1\n").arg(name);
  }
  d_failure_cause = engine->Failure_Cause(location, d_sql->Error_Code());
  d_needs_password = engine->Needs_Password(d_sql->Error_Code());
  return Fail(report);
}

QString TDatabase::Failure_Cause_Now() const
{
  const TSqlEngine *engine = d_sql->Engine();
  return engine ? engine->Failure_Cause(d_location, d_sql->Error_Code()) : QString();
}

bool TDatabase::Is_Read_Only() const
{
  return d_sql->Is_Read_Only();
}

bool TDatabase::File_Moved() const
{
  return d_sql->File_Moved();
}

QString TDatabase::Read_Only_Reason() const
{
  return d_sql->Read_Only_Reason();
}

bool TDatabase::Is_Open() const
{
  return d_sql->Is_Open();
}

void TDatabase::Close()
{
  d_catalogue->Invalidate();
  d_ranking->Clear();
  d_lists->Forget();
  d_sql->Close();
}

bool TDatabase::Savepoint(const QString &name)
{
  if (!Require_Open())
  {
    return false;
  }
  if (!d_sql->Savepoint(name))
  {
    return Fail(d_sql->Error());
  }
  if (d_sql->Savepoint_Depth() == 1)
  {
    d_catalogue->Transaction_Begun();
  }
  return true;
}

bool TDatabase::Release_Savepoint(const QString &name)
{
  if (!Require_Open())
  {
    return false;
  }
  if (!d_sql->Release_Savepoint(name))
  {
    Fail(d_sql->Error());
    // Ending the transaction in failure rolled it back, catalogue rows included.
    if (d_sql->Savepoint_Depth() == 0)
    {
      d_catalogue->Invalidate();
    }
    return false;
  }
  return true;
}

bool TDatabase::Rollback_To_Savepoint(const QString &name)
{
  if (!Require_Open())
  {
    return false;
  }
  // Catalogue rows added since the savepoint disappear with it.
  d_catalogue->Invalidate();
  if (!d_sql->Rollback_To_Savepoint(name))
  {
    return Fail(d_sql->Error());
  }
  return true;
}

bool TDatabase::Write_Unit(const std::function<bool()> &write)
{
  TTransaction transaction(this);
  return transaction.Begin() && write() && transaction.Commit();
}

bool TDatabase::Begin_Read()
{
  if (!d_sql->Begin_Read())
  {
    return false;
  }
  d_catalogue->Transaction_Begun();
  return true;
}

bool TDatabase::Begin_Read_Transaction()
{
  if (!Require_Open())
  {
    return false;
  }
  if (!d_sql->Begin_Read_Transaction())
  {
    return Fail(d_sql->Error());
  }
  d_catalogue->Transaction_Begun();
  return true;
}

bool TDatabase::Initialize()
{
  d_failure_cause.clear();
  if (!Is_Open())
  {
    return Fail(QStringLiteral("Database not open"));
  }
  if (!d_schema->Initialize())
  {
    d_failure_cause = Failure_Cause_Now();
    return Fail(d_schema->Error());
  }
  // The first opening for writing freezes the records of an earlier log with today's figures.
  if (!TVerificationLog(this).Upgrade())
  {
    d_failure_cause = Failure_Cause_Now();
    return false;
  }
  return true;
}

bool TDatabase::Clear()
{
  d_failure_cause.clear();
  if (!Require_Open())
  {
    return false;
  }
  // The verification log goes with the machines it belongs to.
  if (!Write_Unit(
          [this]()
          {
            // The history stays: it tells who emptied the catalogue, and what it held before.
            return (d_schema->Clear() || Fail(d_schema->Error())) &&
                   (d_verification->Clear() || Take_Failure(*d_verification, false)) &&
                   (d_history->Record(QLatin1String(TChangeHistory::CHANGE_CLEAR), {},
                                      QStringLiteral("every machine and verification record "
                                                     "deleted")) ||
                    Take_Failure(*d_history, false));
          }))
  {
    d_failure_cause = Failure_Cause_Now();
    return false;
  }
  return true;
}

QStringList TDatabase::Makes(bool *valid)
{
  Q_ASSERT(valid);
  QStringList makes;
  *valid = Require_Open() && (d_lists->Makes(&makes) || Take_Failure(*d_lists, false));
  return *valid ? makes : QStringList();
}

// ---------------------------------------------------------------------------------------------
// Standard and component catalogue

bool TDatabase::Add_Standard_Type(const QString &name)
{
  return Require_Open() &&
         (d_catalogue->Add_Standard_Type(name) || Take_Failure(*d_catalogue, false));
}

bool TDatabase::Add_Component_Type(int standard_id, const QString &name, const QString &description,
                                   int expression_types)
{
  return Require_Open() &&
         (d_catalogue->Add_Component_Type(standard_id, name, description, expression_types) ||
          Take_Failure(*d_catalogue, false));
}

int TDatabase::Standard_Type_Id(const QString &name)
{
  if (!Require_Open())
  {
    return -1;
  }
  const int id = d_catalogue->Standard_Type_Id(name);
  return id >= 0 ? id : Take_Failure(*d_catalogue, -1);
}

QString TDatabase::Standard_Type_Name(int standard_id)
{
  if (!Require_Open())
  {
    return {};
  }
  const QString name = d_catalogue->Standard_Type_Name(standard_id);
  if (name.isNull())
  {
    Take_Failure(*d_catalogue, 0);
  }
  return name;
}

int TDatabase::Component_Type_Id(int standard_id, const QString &name)
{
  if (!Require_Open())
  {
    return -1;
  }
  const int id = d_catalogue->Component_Type_Id(standard_id, name);
  return id >= 0 ? id : Take_Failure(*d_catalogue, -1);
}

const TStandardCatalogue::TComponentType *TDatabase::Component_Type(int standard_id,
                                                                    int component_id)
{
  if (!Require_Open())
  {
    return nullptr;
  }
  const TStandardCatalogue::TComponentType *component =
      d_catalogue->Component_Type(standard_id, component_id);
  if (!component)
  {
    Take_Failure(*d_catalogue, 0);
  }
  return component;
}

QString TDatabase::Component_Type_Name(int standard_id, int component_id)
{
  const TStandardCatalogue::TComponentType *component = Component_Type(standard_id, component_id);
  return component ? component->name : QString();
}

QString TDatabase::Component_Type_Description(int standard_id, int component_id)
{
  const TStandardCatalogue::TComponentType *component = Component_Type(standard_id, component_id);
  return component ? component->description : QString();
}

QString TDatabase::Component_Type_Description(const QString &standard, const QString &component)
{
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return {};
  }
  const int component_id = Component_Type_Id(standard_id, component);
  if (component_id < 0)
  {
    return {};
  }
  return Component_Type_Description(standard_id, component_id);
}

int TDatabase::Component_Type_Expression_Types(int standard_id, int component_id)
{
  const TStandardCatalogue::TComponentType *component = Component_Type(standard_id, component_id);
  return component ? component->expression_types : 0;
}

int TDatabase::Component_Type_Expression_Types(const QString &standard, const QString &component)
{
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return 0;
  }
  const int component_id = Component_Type_Id(standard_id, component);
  if (component_id < 0)
  {
    return 0;
  }
  return Component_Type_Expression_Types(standard_id, component_id);
}

QStringList TDatabase::Standard_Types(bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  QStringList standards;
  *valid = Require_Open() &&
           (d_catalogue->Standard_Types(&standards) || Take_Failure(*d_catalogue, false));
  return standards;
}

QStringList TDatabase::Component_Types(const QString &standard, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  const int standard_id = Standard_Type_Id(standard);
  QStringList components;
  *valid = standard_id >= 0 && (d_catalogue->Component_Types(standard_id, &components) ||
                                Take_Failure(*d_catalogue, false));
  return components;
}

bool TDatabase::Create_Standard_Types()
{
  return Require_Open() &&
         (d_catalogue->Create_Standard_Types() || Take_Failure(*d_catalogue, false));
}

bool TDatabase::Create_Component_Types()
{
  return Require_Open() &&
         (d_catalogue->Create_Component_Types() || Take_Failure(*d_catalogue, false));
}

// ---------------------------------------------------------------------------------------------
// Makes, models, options and specification rows

int TDatabase::Lookup_Id(int kind, const QString &name)
{
  if (!Require_Open())
  {
    return -1;
  }
  const int id = d_names->Id(kind, name);
  return id >= 0 ? id : Take_Failure(*d_names, -1);
}

QString TDatabase::Lookup_Name(int kind, int id)
{
  if (!Require_Open())
  {
    return {};
  }
  const QString name = d_names->Name(kind, id);
  if (name.isNull())
  {
    Take_Failure(*d_names, 0);
  }
  return name;
}

bool TDatabase::Lookup_Ids(const QStringList &names, int *ids)
{
  return Require_Open() && (d_names->Ids(names, ids) || Take_Failure(*d_names, false));
}

int TDatabase::Make_Id(const QString &make)
{
  return Lookup_Id(NAME_MAKE, make);
}

int TDatabase::Model_Id(const QString &model)
{
  return Lookup_Id(NAME_MODEL, model);
}

int TDatabase::Option_Id(const QString &option)
{
  return Lookup_Id(NAME_OPTION, option);
}

QString TDatabase::Make_Name(int make_id)
{
  return Lookup_Name(NAME_MAKE, make_id);
}

QString TDatabase::Model_Name(int model_id)
{
  return Lookup_Name(NAME_MODEL, model_id);
}

QString TDatabase::Option_Name(int option_id)
{
  return Lookup_Name(NAME_OPTION, option_id);
}

bool TDatabase::Model_Type_Exists(const QString &model)
{
  return Is_Open() && d_lists->Stored_Name(NAME_MODEL, model) == TSqlConnection::SELECT_FOUND;
}

bool TDatabase::Option_Type_Exists(const QString &option)
{
  return Is_Open() && d_lists->Stored_Name(NAME_OPTION, option) == TSqlConnection::SELECT_FOUND;
}

bool TDatabase::Make_Exists(const QString &make)
{
  return Make_Id(make) >= 0;
}

bool TDatabase::New_Name_Problem(const QStringList &names, QString *problem)
{
  static const char *const KINDS[] = {"make", "model", "option"};
  problem->clear();
  for (int kind = 0; kind < names.size() && kind < 3; ++kind)
  {
    const QString too_long =
        TDatabaseItem::Name_Length_Problem(QLatin1String(KINDS[kind]), names.at(kind));
    if (too_long.isEmpty())
    {
      continue;
    }
    // A name stored before the rule is no new name.
    if (d_names->Id(kind, names.at(kind)) >= 0)
    {
      continue;
    }
    if (d_names->Is_Fault())
    {
      return Take_Failure(*d_names, false);
    }
    *problem = too_long;
    return true;
  }
  return true;
}

bool TDatabase::Found(int found)
{
  if (found == TSqlConnection::SELECT_FAILED)
  {
    Take_Failure(*d_lists, 0);
  }
  else if (found == TSqlConnection::SELECT_NONE)
  {
    // Nothing there is no failure of the database's: Database_Failed() tells the two apart.
    d_fault = false;
  }
  return found == TSqlConnection::SELECT_FOUND;
}

bool TDatabase::Model_Exists(const QString &make, const QString &model)
{
  int ids[2];
  return Lookup_Ids({make, model}, ids) && Found(d_lists->Machine_Row(ids, 2));
}

bool TDatabase::Option_Exists(const QString &make, const QString &model, const QString &option)
{
  int ids[3];
  return Lookup_Ids({make, model, option}, ids) && Found(d_lists->Machine_Row(ids, 3));
}

QStringList TDatabase::Configuration_Names(const QStringList &names, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  TReadTransaction one_state(this);
  one_state.Join();
  QStringList found;
  const bool listed = names.size() == 1 ? d_lists->Models(names.at(0), &found)
                                        : d_lists->Options(names.at(0), names.at(1), &found);
  if (!listed)
  {
    // A make or model without rows is no failure: the flag alone cannot tell it from a failed
    // read, Database_Failed() can.
    if (d_lists->Error().isEmpty())
    {
      d_fault = false;
    }
    else
    {
      Take_Failure(*d_lists, 0);
    }
    return {};
  }
  *valid = true;
  return found;
}

QStringList TDatabase::Models(const QString &make, bool *valid)
{
  return Configuration_Names({make}, valid);
}

QStringList TDatabase::Options(const QString &make, const QString &model, bool *valid)
{
  return Configuration_Names({make, model}, valid);
}

QList<QPair<QString, QString>> TDatabase::Configurations(const QString &make, bool *valid)
{
  Q_ASSERT(valid);
  QList<QPair<QString, QString>> configurations;
  *valid = Require_Open() &&
           (d_lists->Configurations(make, &configurations) || Take_Failure(*d_lists, false));
  return configurations;
}

bool TDatabase::Remove_Make(const QString &make, bool with_records)
{
  return Remove_Configuration({make}, with_records);
}

bool TDatabase::Remove_Model(const QString &make, const QString &model, bool with_records)
{
  return Remove_Configuration({make, model}, with_records);
}

bool TDatabase::Remove_Option(const QString &make, const QString &model, const QString &option,
                              bool with_records)
{
  return Remove_Configuration({make, model, option}, with_records);
}

bool TDatabase::Remove_Configuration(const QStringList &names, bool with_records)
{
  // The names are looked up, and the records counted, under the write lock: another program may
  // rename or replace the make, or add a record, up to the moment this one gets the lock.
  return Write_Unit(
      [&]()
      {
        int ids[3];
        for (int kind = 0; kind < names.size(); ++kind)
        {
          ids[kind] = Lookup_Id(kind, names.at(kind));
          if (ids[kind] < 0)
          {
            return false;
          }
        }
        TConfigurationRemoval removal(d_sql.get(), d_verification.get());
        int records = 0;
        if (!removal.Remove(names, ids, with_records, &records))
        {
          return Take_Failure(removal, false);
        }
        return d_history->Record(QLatin1String(TChangeHistory::CHANGE_DELETE), names,
                                 records > 0
                                     ? QStringLiteral("with %1 verification record(s)").arg(records)
                                     : QString()) ||
               Take_Failure(*d_history, false);
      });
}

bool TDatabase::Write_Specification(const TDatabaseItem &item)
{
  // All or nothing: a failure must neither lose the stored rows nor leave new names behind.
  return Write_Unit([&]() { return d_writer->Write_Rows(item) || Take_Failure(*d_writer, false); });
}

TDatabaseItem TDatabase::Read_Specification(const QString &make, const QString &model,
                                            const QString &option, const QString &standard,
                                            bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  TReadTransaction one_state(this);
  one_state.Join();
  TDatabaseItem record;
  *valid = d_reader->Read_Specification(make, model, option, standard, &record) ||
           Take_Failure(*d_reader, false);
  return *valid ? record : TDatabaseItem();
}

QList<TDatabaseItem> TDatabase::Read_Configuration(const QString &make, const QString &model,
                                                   const QString &option, bool *valid,
                                                   bool manufacturer_only)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  TReadTransaction one_state(this);
  one_state.Join();
  QList<TDatabaseItem> records;
  *valid = d_reader->Read_Configuration(make, model, option, manufacturer_only, &records) ||
           Take_Failure(*d_reader, false);
  return *valid ? records : QList<TDatabaseItem>();
}

QList<TCapability::TMachine> TDatabase::Component_Machines(const QString &standard,
                                                           const QString &component, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  // The counter and the rows of one state: rows read after the counter are at least as new.
  TReadTransaction one_state(this);
  one_state.Join();
  d_ranking->Validate();
  if (const QList<TCapability::TMachine> *kept = d_ranking->Find(standard, component))
  {
    *valid = true;
    return *kept;
  }
  QList<TCapability::TMachine> machines;
  *valid = d_reader->Read_Component_Machines(standard, component, &machines) ||
           Take_Failure(*d_reader, false);
  if (!*valid)
  {
    return {};
  }
  d_ranking->Keep(standard, component, machines);
  return machines;
}

// ---------------------------------------------------------------------------------------------
// Estimation of the other standards' components

bool TDatabase::Delete_Estimated_Specifications(int make_id, int model_id, int option_id)
{
  if (!Require_Open())
  {
    return false;
  }
  return d_writer->Delete_Estimated(make_id, model_id, option_id) || Take_Failure(*d_writer, false);
}

bool TDatabase::Specification_Exists(int make_id, int model_id, int option_id, int standard_id,
                                     int component_id)
{
  const int ids[] = {make_id, model_id, option_id, standard_id, component_id};
  return Require_Open() && Found(d_lists->Specification_Row(ids));
}

TDatabaseItem TDatabase::Read_Specification_By_Id(int make_id, int model_id, int option_id,
                                                  int standard_id, bool *valid)
{
  Q_ASSERT(valid);
  *valid = false;
  if (!Require_Open())
  {
    return {};
  }
  TDatabaseItem record;
  *valid = d_reader->Read_Specification_By_Id(make_id, model_id, option_id, standard_id, &record) ||
           Take_Failure(*d_reader, false);
  return *valid ? record : TDatabaseItem();
}

bool TDatabase::Estimate_From_Standard(int make_id, int model_id, int option_id,
                                       const QString &standard)
{
  if (!Require_Open())
  {
    return false;
  }
  const int standard_id = Standard_Type_Id(standard);
  if (standard_id < 0)
  {
    return false;
  }
  // The rows are read under the write lock that their estimates are stored under.
  const int ids[] = {make_id, model_id, option_id};
  bool stored = false;
  TTransaction transaction(this);
  return transaction.Begin() &&
         (d_estimation->Estimate_From(ids, standard, standard_id, &stored) ||
          Take_Failure(*d_estimation, false)) &&
         transaction.Commit();
}

bool TDatabase::Estimate_Specifications(const QString &make, const QString &model,
                                        const QString &option)
{
  int ids[3];
  if (!Require_Open() || !Lookup_Ids({make, model, option}, ids))
  {
    return false;
  }
  // The delete and all passes are one unit: a configuration never keeps half its estimates.
  TTransaction transaction(this);
  return transaction.Begin() &&
         (d_estimation->Estimate(ids) || Take_Failure(*d_estimation, false)) &&
         transaction.Commit();
}

bool TDatabase::Grant_Statements(QStringList *statements)
{
  return Require_Open() &&
         (d_sql->Engine()->Grant_Statements(d_sql.get(), statements) || Fail(d_sql->Error()));
}

// ---------------------------------------------------------------------------------------------
// Change history

bool TDatabase::Record_Change(const QString &change, const QStringList &names,
                              const QString &details)
{
  return Record_Changes(change, {names}, details);
}

bool TDatabase::Record_Changes(const QString &change, const QList<QStringList> &machines,
                               const QString &details)
{
  return Write_Unit(
      [&]() {
        return d_history->Record_Each(change, machines, details) || Take_Failure(*d_history, false);
      });
}

QList<THistoryEntry> TDatabase::History(const QStringList &names, bool *valid)
{
  Q_ASSERT(valid);
  QList<THistoryEntry> entries;
  *valid =
      Require_Open() && (d_history->Entries(names, &entries) || Take_Failure(*d_history, false));
  return entries;
}

std::unique_ptr<TBulkSpecificationWriter> TDatabase::Bulk_Writer()
{
  if (!Is_Open() || !TBulkCatalogue::Is_Enabled())
  {
    return nullptr;
  }
  return d_sql->Engine()->Bulk_Writer(this, d_sql.get());
}

std::unique_ptr<TBulkSpecificationReader> TDatabase::Bulk_Reader()
{
  if (!Is_Open() || !TBulkCatalogue::Is_Enabled())
  {
    return nullptr;
  }
  return d_sql->Engine()->Bulk_Reader(this, d_sql.get());
}
