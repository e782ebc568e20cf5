#include "verificationrecordsmodel.h"

#include "verificationreport.h"
#include "verificationrows.h"
#include "windowunits.h"

#include <QBrush>
#include <QColor>

namespace
{
constexpr int LIST_TEMPERATURE = 11;
constexpr int LIST_RETESTED_SETS = 12;
// The command line's list columns each window column shows.
const int LIST_COLUMNS[] = {0, 1, 2, 3, 4, 5, LIST_TEMPERATURE, 6, 7, 8};

// What the verdict column alone does not tell.
QString Note(const TVerificationWorkflow::TEntry &entry, const QStringList &list_row)
{
  QStringList notes = entry.changes;
  if (entry.judgement.frozen != TVerificationJudgement::FROZEN_AT_SAVE)
  {
    notes.append(TVerificationJudgement::Frozen_Name(entry.judgement.frozen));
  }
  const int retested = list_row.value(LIST_RETESTED_SETS).toInt();
  if (retested > 0)
  {
    notes.append(retested == 1 ? QStringLiteral("1 set retested")
                               : QStringLiteral("%1 sets retested").arg(retested));
  }
  return notes.join(QStringLiteral("; "));
}
} // namespace

TVerificationRecordsModel::TVerificationRecordsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void TVerificationRecordsModel::Set_Entries(const QList<TVerificationWorkflow::TEntry> &entries)
{
  beginResetModel();
  d_entries = entries;
  d_cells.clear();
  d_cells.reserve(entries.size());
  for (const TVerificationWorkflow::TEntry &entry : entries)
  {
    const QStringList list_row =
        TVerificationRows::List_Row(entry.record, entry.judgement, entry.result_count);
    QStringList cells;
    for (const int column : LIST_COLUMNS)
    {
      cells.append(list_row.value(column));
    }
    cells.append(Note(entry, list_row));
    d_cells.append(cells);
  }
  endResetModel();
}

int TVerificationRecordsModel::Row_Of(int number) const
{
  for (int row = 0; row < d_entries.size(); ++row)
  {
    if (d_entries.at(row).record.number == number)
    {
      return row;
    }
  }
  return -1;
}

int TVerificationRecordsModel::rowCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : d_entries.size();
}

int TVerificationRecordsModel::columnCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant TVerificationRecordsModel::data(const QModelIndex &index, int role) const
{
  if (!index.isValid() || index.row() >= d_cells.size())
  {
    return QVariant();
  }
  const int verdict = d_entries.at(index.row()).judgement.verdict;
  const QString text = d_cells.at(index.row()).value(index.column());
  switch (role)
  {
  case Qt::DisplayRole:
    return text;
  case Qt::ToolTipRole:
    // A note may be longer than its column.
    return index.column() == COLUMN_NOTE && !text.isEmpty() ? QVariant(text) : QVariant();
  case Qt::ForegroundRole:
    if (index.column() == COLUMN_VERDICT)
    {
      return QBrush(TVerificationReport::Verdict_Colour(verdict).darker(120));
    }
    // A record whose figures differ from today's catalogue stands out.
    return index.column() == COLUMN_NOTE && !d_entries.at(index.row()).changes.isEmpty()
               ? QVariant(QBrush(QColor(160, 80, 0)))
               : QVariant();
  case Qt::BackgroundRole:
  {
    // The state on a pale ground of its colour.
    QColor ground = TVerificationReport::Verdict_Colour(verdict);
    ground.setAlpha(40);
    return index.column() == COLUMN_VERDICT ? QVariant(QBrush(ground)) : QVariant();
  }
  default:
    return QVariant();
  }
}

QVariant TVerificationRecordsModel::headerData(int section, Qt::Orientation orientation,
                                               int role) const
{
  if (orientation != Qt::Horizontal || section < 0 || section >= COLUMN_COUNT)
  {
    return QVariant();
  }
  if (role == Qt::DisplayRole)
  {
    const QString header[COLUMN_COUNT] = {
        QStringLiteral("No."),     QStringLiteral("Date"),
        QStringLiteral("Kind"),    QStringLiteral("Component"),
        QStringLiteral("Rule"),    QStringLiteral("U ") + TWindowUnits::MICROMETRES,
        TWindowUnits::CELSIUS,     QStringLiteral("Results"),
        QStringLiteral("Share %"), QStringLiteral("Verdict"),
        QStringLiteral("Note")};
    return header[section];
  }
  if (role == Qt::ToolTipRole)
  {
    switch (section)
    {
    case COLUMN_SHARE:
      return QStringLiteral("The largest share of the MPE: max |E| / MPE(L) over the record");
    case COLUMN_NOTE:
      return QStringLiteral("What today's catalogue states otherwise than the figures stored "
                            "with the record, and how they were kept");
    default:
      break;
    }
  }
  return QVariant();
}
