#include "comparecommand.h"

#include "database.h"
#include "limitsseries.h"

#include <QLatin1Char>

const char TCompareCommand::CAPABLE_OPTION[] = "--capable";
const char TCompareCommand::SUMMARY[] =
    "Compare machines, every one that has the component when none is named: a CSV\n"
    "table of one component's limits at a few lengths, as the window's Compare\n"
    "Machines exports it.";
const char TCompareCommand::DETAILS[] =
    "  --component S:C   a component whose limit varies with length (default 10360:E0)\n"
    "  --length L,L,...  lengths in millimetres (default 100,500,1000)\n"
    "  --temperature T   air temperature in degrees Celsius (default 20)\n"
    "  --tolerance SPAN  a tolerance span in micrometres: adds E(L) at --at L mm, the\n"
    "                    ratio SPAN / (2 E(L)) and a verdict, best ratio first\n"
    "  --ratio R         the ratio a machine must reach (default 4)\n"
    "  --capable         only the machines that reach it inside their temperature range\n"
    "A maximum permissible error is not the uncertainty of a particular measurement\n"
    "task: the ratio shortlists machines, it does not accept parts.";

namespace
{
const QString COMPONENT_OPTION = QStringLiteral("--component");
const QString TOLERANCE_OPTION = QStringLiteral("--tolerance");
const QString AT_OPTION = QStringLiteral("--at");
const QString RATIO_OPTION = QStringLiteral("--ratio");

// A number from an option, or false with the reason.
bool Option_Number(const QHash<QString, QString> &options, const QString &name, bool positive,
                   double *value, QString *error)
{
  if (!TSpecificationLimits::To_Number(options.value(name), value) ||
      (positive ? !(*value > 0.0) : *value < 0.0))
  {
    *error = QStringLiteral("%1 '%2' is not a number %3")
                 .arg(name, options.value(name),
                      positive ? QStringLiteral("above 0") : QStringLiteral("of 0 or more"));
    return false;
  }
  return true;
}
} // namespace

bool TCompareCommand::Takes_Value(const QString &option)
{
  return option == COMPONENT_OPTION || option == TOLERANCE_OPTION || option == AT_OPTION ||
         option == RATIO_OPTION;
}

bool TCompareCommand::Set_Arguments(const QStringList &machines, const QString &lengths,
                                    const QString &temperature,
                                    const QHash<QString, QString> &options, QString *error)
{
  for (const QString &machine : machines)
  {
    // Names hold no slash: they are cleaned of it.
    QStringList names = machine.split(QLatin1Char('/'));
    for (QString &name : names)
    {
      name = TDatabaseItem::Cleaned_Name(name);
    }
    if (names.size() != 3 || names.contains(QString()))
    {
      *error = QStringLiteral("'%1' is not MAKE/MODEL/OPTION").arg(machine);
      return false;
    }
    d_machines.append(names);
  }

  TCapability::TRequest &request = d_settings.request;
  if (options.contains(COMPONENT_OPTION))
  {
    const QStringList component = options.value(COMPONENT_OPTION).split(QLatin1Char(':'));
    if (component.size() != 2 || component.contains(QString()))
    {
      *error = QStringLiteral("--component '%1' is not STANDARD:COMPONENT")
                   .arg(options.value(COMPONENT_OPTION));
      return false;
    }
    request.standard = component.at(0);
    request.component = component.at(1);
  }
  if (!lengths.isEmpty() && !TLimitsSeries::Parse_Lengths(lengths, &d_settings.lengths))
  {
    *error = QStringLiteral("--length '%1' is not a list of lengths L,L,... of 0 mm or more")
                 .arg(lengths);
    return false;
  }
  if (!temperature.isEmpty() && !TSpecificationLimits::To_Number(temperature, &request.temperature))
  {
    *error = QStringLiteral("--temperature '%1' is not a number").arg(temperature);
    return false;
  }

  d_settings.with_tolerance = options.contains(TOLERANCE_OPTION);
  d_capable_only = options.contains(QLatin1String(CAPABLE_OPTION));
  if (!d_settings.with_tolerance)
  {
    if (options.contains(AT_OPTION) || options.contains(RATIO_OPTION) || d_capable_only)
    {
      *error = QStringLiteral("--at, --ratio and --capable need --tolerance");
      return false;
    }
    return true;
  }
  if (!options.contains(AT_OPTION))
  {
    *error = QStringLiteral("--tolerance needs --at, the feature length");
    return false;
  }
  return Option_Number(options, TOLERANCE_OPTION, true, &request.tolerance, error) &&
         Option_Number(options, AT_OPTION, false, &request.feature_length, error) &&
         (!options.contains(RATIO_OPTION) ||
          Option_Number(options, RATIO_OPTION, true, &request.ratio, error));
}

bool TCompareCommand::Run(TDatabase *database, QString *csv, QString *error)
{
  const TCapability::TRequest &request = d_settings.request;
  const int kinds = database->Component_Type_Expression_Types(request.standard, request.component);
  if (!TCapability::Is_Length_Dependent(kinds))
  {
    *error = QStringLiteral("%1:%2 is no component of the catalogue whose limit varies with length")
                 .arg(request.standard, request.component);
    return false;
  }

  QList<TCapability::TMachine> machines;
  bool valid = true;
  if (d_machines.isEmpty())
  {
    machines = TCapability::Read_Catalogue(database, request.standard, request.component, &valid);
  }
  for (const QStringList &names : qAsConst(d_machines))
  {
    if (!database->Option_Exists(names.at(0), names.at(1), names.at(2)))
    {
      *error = QStringLiteral("no machine '%1' in the catalogue").arg(names.join(QLatin1Char('/')));
      return false;
    }
    const QList<TDatabaseItem> records =
        database->Read_Configuration(names.at(0), names.at(1), names.at(2), &valid);
    if (!valid)
    {
      break;
    }
    machines.append({names.at(0), names.at(1), names.at(2), records});
  }
  if (!valid)
  {
    *error = QStringLiteral("cannot read the catalogue: %1").arg(database->Last_Error());
    return false;
  }

  if (d_settings.with_tolerance)
  {
    QList<TCapability::TMachine> ranked;
    for (const TCapability::TRanked &entry : TCapability::Rank(request, machines, d_capable_only))
    {
      ranked.append(entry.machine);
    }
    machines = ranked;
  }
  *csv = TComparison::Csv(d_settings, TComparison::Rows(d_settings, machines));
  return true;
}
