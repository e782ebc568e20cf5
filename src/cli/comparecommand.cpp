#include "comparecommand.h"

#include "database.h"
#include "limitsseries.h"

#include <QTextStream>

namespace
{
const QString COMPONENT_OPTION = QStringLiteral("--component");
const QString LENGTH_OPTION = QStringLiteral("--length");
const QString TEMPERATURE_OPTION = QStringLiteral("--temperature");
const QString TOLERANCE_OPTION = QStringLiteral("--tolerance");
const QString AT_OPTION = QStringLiteral("--at");
const QString RATIO_OPTION = QStringLiteral("--ratio");
const QString CAPABLE_OPTION = QStringLiteral("--capable");
} // namespace

TCompareCommand::TCompareCommand()
    : TDatabaseCommand(
          {QStringLiteral("compare"),
           QStringLiteral("DATABASE [MAKE/MODEL/OPTION...] [--component STANDARD:COMPONENT] "
                          "[--length L,L,...]\n"
                          "        [--temperature T] [--tolerance SPAN --at L [--ratio R] "
                          "[--capable]]"),
           1,
           -1,
           QStringLiteral("Compare machines, every one that has the component when none is "
                          "named: a CSV\ntable of one component's limits at a few lengths, as "
                          "the window's Compare\nMachines exports it."),
           QStringLiteral(
               "  --component S:C   a component whose limit varies with length (default "
               "10360:E0)\n"
               "  --length L,L,...  lengths in millimetres (default 100,500,1000)\n"
               "  --temperature T   air temperature in degrees Celsius (default 20)\n"
               "  --tolerance SPAN  a tolerance span in micrometres: adds E(L) at --at L mm, "
               "the\n"
               "                    ratio SPAN / (2 E(L)) and a verdict, best ratio first\n"
               "  --ratio R         the ratio a machine must reach (default 4)\n"
               "  --capable         only the machines that reach it inside their temperature "
               "range\n"
               "A maximum permissible error is not the uncertainty of a particular measurement\n"
               "task: the ratio shortlists machines, it does not accept parts."),
           {{COMPONENT_OPTION, true},
            {LENGTH_OPTION, true},
            {TEMPERATURE_OPTION, true},
            {TOLERANCE_OPTION, true},
            {AT_OPTION, true},
            {RATIO_OPTION, true},
            {CAPABLE_OPTION, false}}})
{
}

int TCompareCommand::Read_Arguments()
{
  for (int index = 1; index < Argument_Count(); ++index)
  {
    // Names hold no slash: they are cleaned of it.
    const QString machine = Argument(index);
    QStringList names = machine.split(QLatin1Char('/'));
    for (QString &name : names)
    {
      name = TDatabaseItem::Cleaned_Name(name);
    }
    if (names.size() != 3 || names.contains(QString()))
    {
      return Usage_Error(QStringLiteral("'%1' is not MAKE/MODEL/OPTION").arg(machine));
    }
    d_machines.append(names);
  }

  TCapability::TRequest &request = d_settings.request;
  if (Has_Option(COMPONENT_OPTION))
  {
    const QStringList component = Option_Value(COMPONENT_OPTION).split(QLatin1Char(':'));
    if (component.size() != 2 || component.contains(QString()))
    {
      return Usage_Error(QStringLiteral("--component '%1' is not STANDARD:COMPONENT")
                             .arg(Option_Value(COMPONENT_OPTION)));
    }
    request.standard = component.at(0);
    request.component = component.at(1);
  }
  const QString lengths = Option_Value(LENGTH_OPTION);
  if (!lengths.isEmpty() && !TLimitsSeries::Parse_Lengths(lengths, &d_settings.lengths))
  {
    return Usage_Error(
        QStringLiteral("--length '%1' is not a list of lengths L,L,... of 0 mm or more")
            .arg(lengths));
  }
  const QString temperature = Option_Value(TEMPERATURE_OPTION);
  if (!temperature.isEmpty() && !TSpecificationLimits::To_Number(temperature, &request.temperature))
  {
    return Usage_Error(QStringLiteral("--temperature '%1' is not a number").arg(temperature));
  }
  return Read_Tolerance();
}

int TCompareCommand::Read_Tolerance()
{
  TCapability::TRequest &request = d_settings.request;
  d_settings.with_tolerance = Has_Option(TOLERANCE_OPTION);
  if (!d_settings.with_tolerance)
  {
    if (Has_Option(AT_OPTION) || Has_Option(RATIO_OPTION) || Has_Option(CAPABLE_OPTION))
    {
      return Usage_Error(QStringLiteral("--at, --ratio and --capable need --tolerance"));
    }
    return STATUS_SUCCESS;
  }
  if (!Has_Option(AT_OPTION))
  {
    return Usage_Error(QStringLiteral("--tolerance needs --at, the feature length"));
  }
  const auto refused = [this](const QString &name, bool positive)
  {
    return Usage_Error(
        QStringLiteral("%1 '%2' is not a number %3")
            .arg(name, Option_Value(name),
                 positive ? QStringLiteral("above 0") : QStringLiteral("of 0 or more")));
  };
  if (!TCapability::Parse_Positive(Option_Value(TOLERANCE_OPTION), &request.tolerance))
  {
    return refused(TOLERANCE_OPTION, true);
  }
  if (!TLimitsSeries::Parse_Length(Option_Value(AT_OPTION), &request.feature_length))
  {
    return refused(AT_OPTION, false);
  }
  if (Has_Option(RATIO_OPTION) &&
      !TCapability::Parse_Positive(Option_Value(RATIO_OPTION), &request.ratio))
  {
    return refused(RATIO_OPTION, true);
  }
  return STATUS_SUCCESS;
}

int TCompareCommand::Read_Machines(QList<TCapability::TMachine> *machines)
{
  const TCapability::TRequest &request = d_settings.request;
  TDatabase *database = Database();
  bool valid = true;
  if (d_machines.isEmpty())
  {
    *machines = database->Component_Machines(request.standard, request.component, &valid);
  }
  for (const QStringList &names : qAsConst(d_machines))
  {
    if (!database->Option_Exists(names.at(0), names.at(1), names.at(2)))
    {
      return Not_Found(
          QStringLiteral("no machine '%1' in the catalogue").arg(names.join(QLatin1Char('/'))));
    }
    const QList<TDatabaseItem> records =
        database->Read_Configuration(names.at(0), names.at(1), names.at(2), &valid);
    if (!valid)
    {
      break;
    }
    machines->append({names.at(0), names.at(1), names.at(2), records});
  }
  if (!valid)
  {
    return Failure(QStringLiteral("cannot read the catalogue: %1").arg(database->Last_Error()));
  }
  return STATUS_SUCCESS;
}

int TCompareCommand::Run()
{
  int status = Read_Arguments();
  if (status == STATUS_SUCCESS)
  {
    status = Open();
  }
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const TCapability::TRequest &request = d_settings.request;
  const int kinds =
      Database()->Component_Type_Expression_Types(request.standard, request.component);
  if (!TCapability::Is_Length_Dependent(kinds))
  {
    return Failure(
        QStringLiteral("%1:%2 is no component of the catalogue whose limit varies with length")
            .arg(request.standard, request.component));
  }
  QList<TCapability::TMachine> machines;
  status = Read_Machines(&machines);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }

  if (d_settings.with_tolerance)
  {
    QList<TCapability::TMachine> ranked;
    for (const TCapability::TRanked &entry :
         TCapability::Rank(request, machines, Has_Option(CAPABLE_OPTION)))
    {
      ranked.append(entry.machine);
    }
    machines = ranked;
  }
  Out() << TComparison::Csv(d_settings, TComparison::Rows(d_settings, machines));
  return STATUS_SUCCESS;
}
