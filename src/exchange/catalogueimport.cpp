#include "catalogueimport.h"

#include "changehistory.h"
#include "database.h"
#include "databaseitem.h"
#include "exchangefile.h"
#include "transaction.h"
#include "warninglist.h"

#include <QFileInfo>

#include <algorithm>
#include <iterator>

TCatalogueImport::TCatalogueImport(TDatabase *database, const QString &file_name,
                                   TExchangeProgress *progress)
    : d_database(database), d_file_name(file_name), d_progress(progress)
{
}

TCatalogueImport::~TCatalogueImport()
{
  Abandon();
}

void TCatalogueImport::Report_Progress(int value, int maximum)
{
  if (d_progress)
  {
    d_progress->Progress(value, maximum);
  }
}

void TCatalogueImport::Report_Progress_Text(const QString &text)
{
  if (d_progress)
  {
    d_progress->Progress_Text(text);
  }
}

bool TCatalogueImport::Fail(const QString &reason)
{
  Abandon();
  d_error_text = QStringLiteral("Cannot import '%1': %2").arg(d_file_name, reason);
  return false;
}

void TCatalogueImport::Abandon()
{
  // Its statements go before the transaction ends.
  d_bulk.reset();
  d_transaction.reset();
}

bool TCatalogueImport::Begin()
{
  // The catalogue is read in the import's own transaction: it cannot change under the checks.
  d_transaction = std::make_unique<TTransaction>(d_database);
  if (!d_transaction->Begin())
  {
    return Fail(d_database->Last_Error());
  }
  if (!Read_Catalogue())
  {
    return Fail(d_database->Last_Error());
  }
  // Without a bulk writer the import goes through the database's operations.
  d_bulk = d_database->Bulk_Writer();
  if (d_bulk && !d_bulk->Begin())
  {
    return Fail(d_bulk->Error());
  }
  Report_Progress_Text(QStringLiteral("Importing to database.  Please wait..."));
  return true;
}

bool TCatalogueImport::Read_Catalogue()
{
  TDatabase *database = d_database;
  d_catalogue.clear();
  bool valid = false;
  const QStringList standards = database->Standard_Types(&valid);
  if (!valid)
  {
    return false;
  }
  for (const QString &standard : standards)
  {
    const QStringList components = database->Component_Types(standard, &valid);
    const int standard_id = database->Standard_Type_Id(standard);
    if (!valid || standard_id < 0)
    {
      return false;
    }
    QHash<QString, int> &masks = d_catalogue[standard];
    for (const QString &component : components)
    {
      // The components were just listed: a look-up that fails is a read that failed, and the
      // name comes back only when the component's row was read.
      const int component_id = database->Component_Type_Id(standard_id, component);
      if (component_id < 0 || database->Component_Type_Name(standard_id, component_id) != component)
      {
        return false;
      }
      masks.insert(component, database->Component_Type_Expression_Types(standard_id, component_id));
    }
  }
  return true;
}

bool TCatalogueImport::Has_Standard(const QString &standard) const
{
  return d_catalogue.contains(standard);
}

QString TCatalogueImport::Item_Problem(const QString &standard, const TSpecificationItem &item,
                                       const QString &text) const
{
  const auto components = d_catalogue.constFind(standard);
  const auto accepted = components == d_catalogue.constEnd() ? QHash<QString, int>::const_iterator()
                                                             : components->constFind(item.name);
  if (components == d_catalogue.constEnd() || accepted == components->constEnd())
  {
    return QStringLiteral("Component type %1 does not exist").arg(TWarningList::Quoted(item.name));
  }
  const int kind = item.expression.Expression_Type();
  const auto quoted = [&text]() { return TWarningList::Quoted(text); };
  if (kind == TExpressionItem::EXPRESSION_UNDEFINED)
  {
    return QStringLiteral("%1: %2 is not a valid expression").arg(item.name, quoted());
  }
  if ((accepted.value() & kind) == 0)
  {
    return QStringLiteral("%1: %2 is not accepted for this component").arg(item.name, quoted());
  }
  if (!item.expression.Is_Storable())
  {
    return kind == TExpressionItem::EXPRESSION_TEMPERATURE
               ? QStringLiteral("%1: %2 rounds to %3, outside 10 to 40 C")
                     .arg(item.name, quoted(),
                          item.expression.Expression_Text(TExpressionItem::UNITS_MM))
               : QStringLiteral("%1: %2 has too many digits to be stored").arg(item.name, quoted());
  }
  return QString();
}

QString TCatalogueImport::Name_Problem(const QString &make, const QString &model,
                                       const QString &option, bool *failed)
{
  // Only a name that may be too long to be new is looked up in the catalogue, which the bulk
  // writer's connection must be free for.
  const QString names[] = {make, model, option};
  if (d_bulk && std::any_of(std::begin(names), std::end(names),
                            [](const QString &name)
                            { return name.size() > TDatabaseItem::MAXIMUM_NAME_LENGTH; }))
  {
    if (!d_bulk->Idle())
    {
      *failed = true;
      Fail_Bulk(QString());
      return QString();
    }
  }
  QString problem;
  *failed = !d_database->New_Name_Problem({make, model, option}, &problem);
  if (*failed)
  {
    Fail(d_database->Last_Error());
  }
  return problem;
}

void TCatalogueImport::Remember_Make(const QString &make, int make_id)
{
  // A plain name has one id, and the bulk writer knows it: the id spares a look-up by text. The
  // text decides: a make stored both through the bulk writer and through the database is
  // estimated once.
  if (make_id >= 0)
  {
    if (d_make_ids.contains(make_id))
    {
      return;
    }
    d_make_ids.insert(make_id);
  }
  if (!d_make_set.contains(make))
  {
    d_make_set.insert(make);
    d_makes.append(make);
  }
}

bool TCatalogueImport::New_Machine(const int *ids)
{
  const QPair<quint64, int> key((quint64(quint32(ids[0])) << 32) | quint32(ids[1]), ids[2]);
  if (d_machine_ids.contains(key))
  {
    return false;
  }
  d_machine_ids.insert(key);
  return true;
}

void TCatalogueImport::Remember_Machine(const QStringList &names)
{
  if (!d_machine_names.contains(names))
  {
    d_machine_names.insert(names);
    d_machines.append(names);
  }
}

bool TCatalogueImport::Name_Ids(const char *const names[], const int sizes[], int *ids,
                                const QString &place)
{
  for (int kind = 0; kind < 3; ++kind)
  {
    ids[kind] = d_bulk->Added_Name_Id(kind, names[kind], sizes[kind]);
    if (ids[kind] < 0)
    {
      return Fail(QStringLiteral("%1: %2").arg(place, d_bulk->Error()));
    }
  }
  return true;
}

bool TCatalogueImport::Store_With_Bulk_Writer(const TDatabaseItem &record, const QString &place,
                                              bool *stored)
{
  // What the bulk writer does not resolve, and a record the database would refuse, go through
  // the database's own write, which words the refusal.
  *stored = false;
  const QString names[] = {record.Make(), record.Model(), record.Option()};
  const TBulkCatalogue &catalogue = d_bulk->Catalogue();
  const int standard_id = catalogue.Standard_Id(record.Standard());
  if (standard_id < 0 || !TBulkCatalogue::Is_Plain(names[0]) ||
      !TBulkCatalogue::Is_Plain(names[1]) || !TBulkCatalogue::Is_Plain(names[2]))
  {
    return true;
  }
  const int count = record.Specification_Item_Count();
  std::vector<QByteArray> texts;
  std::vector<TBulkSpecificationWriter::TRow> rows;
  texts.reserve(count);
  for (int index = 0; index < count; ++index)
  {
    const TSpecificationItem item = record.Specification_Item(index);
    const TBulkCatalogue::TComponent *component = catalogue.Component(standard_id, item.name);
    if (!component || !item.expression.Is_Storable())
    {
      return true;
    }
    texts.push_back(item.expression.Expression_Text(TExpressionItem::UNITS_MM).toUtf8());
    rows.push_back({component->id, texts.back().constData(), texts.back().size()});
  }
  const QByteArray utf8[] = {names[0].toUtf8(), names[1].toUtf8(), names[2].toUtf8()};
  const char *const bytes[] = {utf8[0].constData(), utf8[1].constData(), utf8[2].constData()};
  const int sizes[] = {utf8[0].size(), utf8[1].size(), utf8[2].size()};
  int ids[3];
  if (!Name_Ids(bytes, sizes, ids, place))
  {
    return false;
  }
  d_places.append(place);
  if (!d_bulk->Write_Rows(ids, standard_id, rows.data(), count))
  {
    return Fail_Bulk(place);
  }
  Remember_Make(record.Make(), ids[0]);
  if (New_Machine(ids))
  {
    d_machines.append({names[0], names[1], names[2]});
  }
  ++d_stored;
  *stored = true;
  return true;
}

bool TCatalogueImport::Flush_Bulk()
{
  return !d_bulk || d_bulk->Flush() || Fail_Bulk(QString());
}

bool TCatalogueImport::Fail_Bulk(const QString &place)
{
  const QString error = d_bulk->Error();
  const TBulkSpecificationWriter::TFailure failure = d_bulk->Failure();
  if (failure.write >= 0 && failure.write < d_places.size())
  {
    return Fail(QStringLiteral("%1: %2").arg(d_places.at(failure.write), error));
  }
  if (failure.ids[0] >= 0)
  {
    const TBulkCatalogue &catalogue = d_bulk->Catalogue();
    return Fail(QStringLiteral("cannot estimate %1, %2, %3: %4")
                    .arg(catalogue.Name(TBulkCatalogue::KIND_MAKE, failure.ids[0]),
                         catalogue.Name(TBulkCatalogue::KIND_MODEL, failure.ids[1]),
                         catalogue.Name(TBulkCatalogue::KIND_OPTION, failure.ids[2]), error));
  }
  return Fail(place.isEmpty() ? error : QStringLiteral("%1: %2").arg(place, error));
}

bool TCatalogueImport::Store(const TDatabaseItem &record, const QString &place)
{
  bool stored = false;
  if (d_bulk && !Store_With_Bulk_Writer(record, place, &stored))
  {
    return false;
  }
  if (stored)
  {
    return true;
  }
  if (!Flush_Bulk())
  {
    return false;
  }
  if (!d_database->Write_Specification(record))
  {
    return Fail(QStringLiteral("%1: %2").arg(place, d_database->Last_Error()));
  }
  // A plain name the database just added is the bulk writer's to find, not to add again.
  const QString names[] = {record.Make(), record.Model(), record.Option()};
  for (int kind = 0; d_bulk && kind < 3; ++kind)
  {
    if (TBulkCatalogue::Is_Plain(names[kind]) && d_bulk->Catalogue().Name_Id(kind, names[kind]) < 0)
    {
      const int id = kind == TBulkCatalogue::KIND_MAKE    ? d_database->Make_Id(names[kind])
                     : kind == TBulkCatalogue::KIND_MODEL ? d_database->Model_Id(names[kind])
                                                          : d_database->Option_Id(names[kind]);
      // A name the look-up does not find (stored otherwise) stays the database's.
      if (id >= 0)
      {
        d_bulk->Add_Stored_Name(kind, names[kind], id);
      }
    }
  }
  Remember_Make(record.Make(), -1);
  Remember_Machine({record.Make(), record.Model(), record.Option()});
  ++d_stored;
  return true;
}

bool TCatalogueImport::Store(const char *const names[], const int sizes[], int standard_id,
                             const TBulkSpecificationWriter::TRow *rows, int count, qint64 line)
{
  const auto place = [line]() { return QStringLiteral("line %1").arg(line); };
  int ids[3];
  if (!Name_Ids(names, sizes, ids, place()))
  {
    return false;
  }
  d_places.append(place());
  if (!d_bulk->Write_Rows(ids, standard_id, rows, count))
  {
    return Fail_Bulk(place());
  }
  ++d_stored;
  if (!d_make_ids.contains(ids[0]))
  {
    Remember_Make(QString::fromUtf8(names[0], sizes[0]), ids[0]);
  }
  if (New_Machine(ids))
  {
    d_machines.append({QString::fromUtf8(names[0], sizes[0]), QString::fromUtf8(names[1], sizes[1]),
                       QString::fromUtf8(names[2], sizes[2])});
  }
  return true;
}

bool TCatalogueImport::Estimate_Each(const QString &make)
{
  bool valid = false;
  const QList<QPair<QString, QString>> configurations = d_database->Configurations(make, &valid);
  if (!valid)
  {
    return Fail(d_database->Last_Error());
  }
  for (const auto &configuration : configurations)
  {
    if (!d_database->Estimate_Specifications(make, configuration.first, configuration.second))
    {
      return Fail(
          QStringLiteral("cannot estimate %1, %2, %3: %4")
              .arg(make, configuration.first, configuration.second, d_database->Last_Error()));
    }
  }
  return true;
}

bool TCatalogueImport::Finish()
{
  if (d_stored == 0 && d_skipped > 0)
  {
    return Fail(
        d_skipped == 1
            ? QStringLiteral("nothing was imported: its one record was skipped")
            : QStringLiteral("nothing was imported: all %1 records were skipped").arg(d_skipped));
  }
  Report_Progress_Text(QStringLiteral("Estimating Specifications.  Please wait..."));

  // Every configuration of an imported make, also those the file did not mention.
  const int make_count = d_makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = d_makes.at(make_index);
    int make_id = -1;
    if (d_bulk && TBulkCatalogue::Is_Plain(make))
    {
      make_id = d_bulk->Catalogue().Name_Id(TBulkCatalogue::KIND_MAKE, make);
    }
    TBulkSpecificationWriter::TEstimate estimated = TBulkSpecificationWriter::ESTIMATE_ELSEWHERE;
    if (make_id >= 0)
    {
      QStringList failed;
      estimated = d_bulk->Estimate_Make(make_id, &failed);
      if (estimated == TBulkSpecificationWriter::ESTIMATE_FAILED)
      {
        return failed.isEmpty() ? Fail_Bulk(QString())
                                : Fail(QStringLiteral("cannot estimate %1, %2, %3: %4")
                                           .arg(make, failed.at(0), failed.at(1), d_bulk->Error()));
      }
    }
    if (estimated == TBulkSpecificationWriter::ESTIMATE_ELSEWHERE &&
        (!Flush_Bulk() || !Estimate_Each(make)))
    {
      return false;
    }
    Report_Progress(make_index + 1, make_count + 1);
  }

  if (!Flush_Bulk())
  {
    return false;
  }
  d_bulk.reset();
  if (!d_machines.isEmpty() &&
      !d_database->Record_Changes(QLatin1String(TChangeHistory::CHANGE_IMPORT), d_machines,
                                  QStringLiteral("from %1").arg(QFileInfo(d_file_name).fileName())))
  {
    return Fail(d_database->Last_Error());
  }
  if (!d_transaction->Commit())
  {
    return Fail(d_database->Last_Error());
  }
  d_transaction.reset();
  return true;
}
