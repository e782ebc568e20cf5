#include "browsecommand.h"

#include "database.h"

#include <algorithm>

namespace
{
const QString CSV_OPTION = QStringLiteral("--csv");
const QString WITH_RECORDS_OPTION = QStringLiteral("--with-records");

TCommand::TDescription Command_Description(TBrowseCommand::TAction action)
{
  const QString csv = QStringLiteral("  --csv        a CSV table with a header line");
  switch (action)
  {
  case TBrowseCommand::ACTION_LIST:
    return {QStringLiteral("list"),
            QStringLiteral("DATABASE [MAKE [MODEL]] [--csv]"),
            1,
            3,
            QStringLiteral("List the makes, the models of MAKE, or the options of MAKE MODEL, one "
                           "per line,\nsorted as the window's lists are."),
            csv,
            {{CSV_OPTION, false}}};
  case TBrowseCommand::ACTION_SHOW:
    return {QStringLiteral("show"),
            QStringLiteral("DATABASE MAKE MODEL OPTION [--csv]"),
            4,
            4,
            QStringLiteral("Show one machine's specifications as the window's tree does: "
                           "standard, component,\nexpression in micrometres, MFG (manufacturer) "
                           "or EST (estimated), description."),
            csv,
            {{CSV_OPTION, false}}};
  case TBrowseCommand::ACTION_DELETE:
    break;
  }
  return {QStringLiteral("delete"),
          QStringLiteral("DATABASE MAKE [MODEL [OPTION]] [--with-records]"),
          2,
          4,
          QStringLiteral("Delete a make, a model of a make, or one option of a model."),
          QStringLiteral("  --with-records  also delete the machines' verification records; "
                         "without it a\n                  machine that has any is not deleted"),
          {{WITH_RECORDS_OPTION, false}}};
}
} // namespace

TBrowseCommand::TBrowseCommand(TAction action)
    : TDatabaseCommand(Command_Description(action)), d_action(action)
{
}

int TBrowseCommand::Run()
{
  switch (d_action)
  {
  case ACTION_LIST:
    return List();
  case ACTION_SHOW:
    return Show();
  case ACTION_DELETE:
    break;
  }
  return Delete();
}

int TBrowseCommand::List()
{
  const int levels = Argument_Count() - 1;
  const int status = Open(levels);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  bool valid = false;
  QStringList items = levels == 0   ? Database()->Makes(&valid)
                      : levels == 1 ? Database()->Models(names.at(0), &valid)
                                    : Database()->Options(names.at(0), names.at(1), &valid);
  // For models and options the flag is also false for a make or model left without any.
  if (!valid && levels == 0)
  {
    return Failure(QStringLiteral("cannot read the makes: %1").arg(Database()->Last_Error()));
  }
  // The window's lists sort their items the same way.
  std::sort(items.begin(), items.end(),
            [](const QString &left, const QString &right)
            { return QString::localeAwareCompare(left, right) < 0; });

  static const char *const HEADERS[] = {"make", "model", "option"};
  QList<QStringList> rows;
  for (const QString &item : qAsConst(items))
  {
    rows.append({item});
  }
  Write_Table({QLatin1String(HEADERS[levels])}, rows, Has_Option(CSV_OPTION));
  return STATUS_SUCCESS;
}

int TBrowseCommand::Show()
{
  const int status = Open(3);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  bool valid = false;
  const QStringList standards = Database()->Standard_Types(&valid);
  const QList<TDatabaseItem> records =
      valid ? Database()->Read_Configuration(names.at(0), names.at(1), names.at(2), &valid)
            : QList<TDatabaseItem>();
  if (!valid)
  {
    return Failure(
        QStringLiteral("cannot read the specifications: %1").arg(Database()->Last_Error()));
  }

  const bool csv = Has_Option(CSV_OPTION);
  QList<QStringList> rows;
  if (!csv)
  {
    rows.append({QStringLiteral("Standard"), QStringLiteral("Component"),
                 QStringLiteral("Expression"), QStringLiteral("Source"),
                 QStringLiteral("Description")});
  }
  for (int index = 0; index < records.size() && index < standards.size(); ++index)
  {
    const TDatabaseItem &record = records.at(index);
    for (int item_index = 0; item_index < record.Specification_Item_Count(); ++item_index)
    {
      const TSpecificationItem item = record.Specification_Item(item_index);
      rows.append({standards.at(index), item.name,
                   item.expression.Expression_Text(TExpressionItem::UNITS_UM),
                   TDatabaseItem::Source_Name(item.source), item.description});
    }
  }
  Write_Table({QStringLiteral("standard"), QStringLiteral("component"),
               QStringLiteral("expression_um"), QStringLiteral("source"),
               QStringLiteral("description")},
              rows, csv);
  return STATUS_SUCCESS;
}

int TBrowseCommand::Delete()
{
  const int levels = Argument_Count() - 1;
  const int status = Open(levels);
  if (status != STATUS_SUCCESS)
  {
    return status;
  }
  const QStringList &names = Machine();
  // A verification log is evidence kept for years: it goes only when asked for by name. The
  // records are counted under the write lock, so a record added meanwhile keeps the machine.
  const bool with_records = Has_Option(WITH_RECORDS_OPTION);
  const bool removed =
      levels == 1 ? Database()->Remove_Make(names.at(0), with_records)
      : levels == 2
          ? Database()->Remove_Model(names.at(0), names.at(1), with_records)
          : Database()->Remove_Option(names.at(0), names.at(1), names.at(2), with_records);
  if (!removed)
  {
    return Failure(QStringLiteral("cannot delete %1: %2")
                       .arg(names.join(QLatin1Char(' ')), Database()->Last_Error()));
  }
  return STATUS_SUCCESS;
}
