#include "verificationrecordsmodel.h"

#include "verificationreport.h"
#include "verificationrows.h"

#include <QBrush>
#include <QColor>

namespace
{
const char *const HEADER[] = {"No.",       "Date",    "Kind",    "Component", "Rule",
                              "U \u00b5m", "Results", "Share %", "Verdict"};
constexpr int COLUMN_COUNT = sizeof(HEADER) / sizeof(HEADER[0]);
} // namespace

TVerificationRecordsModel::TVerificationRecordsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void TVerificationRecordsModel::Set_Records(
    const QList<TVerificationRecord> &records,
    const QList<TVerificationJudgement::TJudgement> &judgements)
{
  Q_ASSERT(records.size() == judgements.size());
  beginResetModel();
  d_records = records;
  d_judgements = judgements;
  d_cells.clear();
  d_cells.reserve(records.size());
  for (int row = 0; row < records.size(); ++row)
  {
    d_cells.append(TVerificationRows::List_Row(records.at(row), judgements.at(row)));
  }
  endResetModel();
}

int TVerificationRecordsModel::Row_Of(int number) const
{
  for (int row = 0; row < d_records.size(); ++row)
  {
    if (d_records.at(row).number == number)
    {
      return row;
    }
  }
  return -1;
}

int TVerificationRecordsModel::rowCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : d_records.size();
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
  const int verdict = d_judgements.at(index.row()).verdict;
  switch (role)
  {
  case Qt::DisplayRole:
    return d_cells.at(index.row()).value(index.column());
  case Qt::ForegroundRole:
    return index.column() == COLUMN_VERDICT
               ? QVariant(QBrush(TVerificationReport::Verdict_Colour(verdict).darker(120)))
               : QVariant();
  case Qt::BackgroundRole:
  {
    // The verdict on a pale ground of its colour.
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
    return QString::fromUtf8(HEADER[section]);
  }
  if (role == Qt::ToolTipRole && section == COLUMN_SHARE)
  {
    return QStringLiteral("The largest share of the MPE: max |E| / MPE(L) over the record");
  }
  return QVariant();
}
