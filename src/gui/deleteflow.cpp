#include "deleteflow.h"

#include "cataloguecontroller.h"
#include "catalogueview.h"
#include "database.h"
#include "messagebox.h"
#include "verificationlog.h"

namespace
{
const char *const LEVEL_NAMES[] = {"Make", "Model", "Option"};
} // namespace

TDeleteFlow::TDeleteFlow(TCatalogueController *catalogue, TCatalogueView *browser,
                         TMessageBox *message_box)
    : d_catalogue(catalogue), d_browser(browser), d_message_box(message_box)
{
}

void TDeleteFlow::Delete_Make()
{
  const QStringList makes = d_browser->Selected_Names(TCatalogueView::LEVEL_MAKE);
  if (makes.isEmpty())
  {
    return;
  }
  TDatabase *database = d_catalogue->Database();
  Delete_Level(
      TCatalogueView::LEVEL_MAKE,
      [&]
      {
        int records = 0;
        for (const QString &make : makes)
        {
          const int count = TVerificationLog(database).Record_Count(make);
          records = records < 0 || count < 0 ? -1 : records + count;
        }
        return records;
      },
      [&](bool with_records)
      {
        // Every selected make, whether or not one before it failed.
        bool removed = true;
        for (const QString &make : makes)
        {
          removed = database->Remove_Make(make, with_records) && removed;
        }
        return removed;
      },
      [database](bool *valid) { return database->Makes(valid); });
}

void TDeleteFlow::Delete_Model()
{
  const QStringList makes = d_browser->Selected_Names(TCatalogueView::LEVEL_MAKE);
  const QStringList models = d_browser->Selected_Names(TCatalogueView::LEVEL_MODEL);
  if (makes.isEmpty() || models.isEmpty())
  {
    return;
  }
  const QString make = makes.first();
  const QString model = models.first();
  TDatabase *database = d_catalogue->Database();
  Delete_Level(
      TCatalogueView::LEVEL_MODEL,
      [&] { return TVerificationLog(database).Record_Count(make, model); },
      [&](bool with_records) { return database->Remove_Model(make, model, with_records); },
      [&](bool *valid) { return database->Models(make, valid); });
}

void TDeleteFlow::Delete_Option()
{
  const QStringList makes = d_browser->Selected_Names(TCatalogueView::LEVEL_MAKE);
  const QStringList models = d_browser->Selected_Names(TCatalogueView::LEVEL_MODEL);
  const QStringList options = d_browser->Selected_Names(TCatalogueView::LEVEL_OPTION);
  if (makes.isEmpty() || models.isEmpty() || options.isEmpty())
  {
    return;
  }
  const QString make = makes.first();
  const QString model = models.first();
  const QString option = options.first();
  TDatabase *database = d_catalogue->Database();
  Delete_Level(
      TCatalogueView::LEVEL_OPTION,
      [&] { return TVerificationLog(database).Record_Count(make, model, option); },
      [&](bool with_records) { return database->Remove_Option(make, model, option, with_records); },
      [&](bool *valid) { return database->Options(make, model, valid); });
}

void TDeleteFlow::Delete_Level(int level, const std::function<int()> &records,
                               const std::function<bool(bool)> &remove,
                               const std::function<QStringList(bool *)> &names)
{
  if (d_catalogue->Is_Read_Only())
  {
    return;
  }
  const QString name = QLatin1String(LEVEL_NAMES[level]);
  if (d_message_box->Show(
          QStringLiteral("Delete Current %1").arg(name),
          QStringLiteral("Are you sure you want to delete selected %1 and all sub items?")
              .arg(name),
          QString(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
          QMessageBox::Question) != QMessageBox::Yes)
  {
    return;
  }
  // Records go only when their deletion was confirmed; any added meanwhile keep the machine.
  const int record_count = records();
  if (!Records_Deletion_Confirmed(name, record_count))
  {
    return;
  }
  if (!remove(record_count != 0))
  {
    d_message_box->Show(QStringLiteral("Delete Error"),
                        QStringLiteral("Cannot delete selected %1.").arg(name), QString(),
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning);
  }
  // Reloaded whether or not the delete worked: the lists show what the database holds.
  bool valid = false;
  d_browser->Show_Level(level, names(&valid));
}

bool TDeleteFlow::Records_Deletion_Confirmed(const QString &level, int records)
{
  if (records == 0)
  {
    return true;
  }
  // Records of checks are evidence: they go only on a second answer.
  const QString text =
      records < 0
          ? QStringLiteral("The verification records of the selected %1, if any, are deleted "
                           "with it; they could not be counted.")
                .arg(level)
          : QStringLiteral("%1 verification record%2 of the selected %3 %4 deleted with it.")
                .arg(records)
                .arg(records == 1 ? QString() : QStringLiteral("s"), level,
                     records == 1 ? QStringLiteral("is") : QStringLiteral("are"));
  return d_message_box->Show(QStringLiteral("Delete Verification Records"),
                             text + QStringLiteral(" Delete them as well?"),
                             records < 0 ? d_catalogue->Database()->Last_Error() : QString(),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                             QMessageBox::Question) == QMessageBox::Yes;
}
