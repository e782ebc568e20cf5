#include "catalogueimport.h"

#include "database.h"
#include "databaseitem.h"
#include "exchangefile.h"
#include "warninglist.h"

namespace
{
const QString IMPORT_SAVEPOINT = QStringLiteral("metrova_import");
} // namespace

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
  if (d_open)
  {
    d_open = false;
    d_database->Rollback_To_Savepoint(IMPORT_SAVEPOINT);
    d_database->Release_Savepoint(IMPORT_SAVEPOINT);
  }
}

bool TCatalogueImport::Begin()
{
  // The catalogue is read in the import's own transaction: it cannot change under the checks.
  if (!d_database->Savepoint(IMPORT_SAVEPOINT))
  {
    return Fail(d_database->Last_Error());
  }
  d_open = true;
  if (!Read_Catalogue())
  {
    return Fail(d_database->Last_Error());
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
  const QHash<QString, int> components = d_catalogue.value(standard);
  const auto accepted = components.constFind(item.name);
  if (accepted == components.constEnd())
  {
    return QStringLiteral("Component type %1 does not exist").arg(TWarningList::Quoted(item.name));
  }
  const int kind = item.expression.Expression_Type();
  const QString quoted = TWarningList::Quoted(text);
  if (kind == TExpressionItem::EXPRESSION_UNDEFINED)
  {
    return QStringLiteral("%1: %2 is not a valid expression").arg(item.name, quoted);
  }
  if ((accepted.value() & kind) == 0)
  {
    return QStringLiteral("%1: %2 is not accepted for this component").arg(item.name, quoted);
  }
  if (!item.expression.Is_Storable())
  {
    return kind == TExpressionItem::EXPRESSION_TEMPERATURE
               ? QStringLiteral("%1: %2 rounds to %3, outside 10 to 40 C")
                     .arg(item.name, quoted,
                          item.expression.Expression_Text(TExpressionItem::UNITS_MM))
               : QStringLiteral("%1: %2 has too many digits to be stored").arg(item.name, quoted);
  }
  return QString();
}

bool TCatalogueImport::Store(const TDatabaseItem &record, const QString &place)
{
  if (!d_database->Write_Specification(record))
  {
    return Fail(QStringLiteral("%1: %2").arg(place, d_database->Last_Error()));
  }
  if (!d_make_set.contains(record.Make()))
  {
    d_make_set.insert(record.Make());
    d_makes.append(record.Make());
  }
  return true;
}

bool TCatalogueImport::Finish()
{
  Report_Progress_Text(QStringLiteral("Estimating Specifications.  Please wait..."));

  // Every configuration of an imported make, also those the file did not mention.
  const int make_count = d_makes.size();
  for (int make_index = 0; make_index < make_count; ++make_index)
  {
    const QString &make = d_makes.at(make_index);
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
    Report_Progress(make_index + 1, make_count + 1);
  }

  if (!d_database->Release_Savepoint(IMPORT_SAVEPOINT))
  {
    return Fail(d_database->Last_Error());
  }
  d_open = false;
  return true;
}
