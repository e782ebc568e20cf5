#include "historydialog.h"

#include "database.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

THistoryDialog::THistoryDialog(QWidget *parent)
    : QDialog(parent), d_heading(new QLabel(this)), d_model(new QStandardItemModel(this)),
      d_table(new QTableView(this))
{
  setWindowTitle(QStringLiteral("History"));
  d_model->setHorizontalHeaderLabels({QStringLiteral("Time (UTC)"), QStringLiteral("User"),
                                      QStringLiteral("Change"), QStringLiteral("Make"),
                                      QStringLiteral("Model"), QStringLiteral("Option"),
                                      QStringLiteral("Details")});
  d_table->setModel(d_model);
  d_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  d_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  d_table->verticalHeader()->hide();
  d_table->horizontalHeader()->setStretchLastSection(true);
  d_heading->setWordWrap(true);

  QDialogButtonBox *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->addWidget(d_heading);
  layout->addWidget(d_table, 1);
  layout->addWidget(buttons);
  resize(900, 480);
}

bool THistoryDialog::Set_Names(TDatabase *database, const QStringList &names)
{
  d_model->removeRows(0, d_model->rowCount());
  bool valid = false;
  const QList<THistoryEntry> entries = database->History(names, &valid);
  if (!valid)
  {
    d_error = database->Last_Error();
    return false;
  }
  d_error.clear();
  const QString subject = names.join(QLatin1Char(' '));
  d_heading->setText(
      entries.isEmpty()
          ? QStringLiteral("No change of %1 is recorded.").arg(subject)
          : QStringLiteral("Changes of %1 and of the whole catalogue, oldest first.").arg(subject));
  for (const THistoryEntry &entry : entries)
  {
    QList<QStandardItem *> row;
    for (const QString &text : {entry.time, entry.user, entry.change, entry.make, entry.model,
                                entry.option, entry.details})
    {
      row.append(new QStandardItem(text));
    }
    d_model->appendRow(row);
  }
  d_table->resizeColumnsToContents();
  // The details column takes what is left; newest at the bottom, where the eye lands.
  d_table->scrollToBottom();
  return true;
}
