#include "verificationresultsmodel.h"

#include "verificationreport.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QPalette>

#include <algorithm>
#include <functional>

namespace
{
const QString INVALID = QStringLiteral("invalid");

QStringList Empty_Cells()
{
  QStringList cells;
  for (int column = 0; column < TVerificationResultsModel::ENTRY_COLUMNS; ++column)
  {
    cells.append(QString());
  }
  return cells;
}
} // namespace

TVerificationResultsModel::TVerificationResultsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void TVerificationResultsModel::Set_Results(const QList<TVerificationResult> &results,
                                            bool editable)
{
  beginResetModel();
  d_editable = editable;
  d_cells.clear();
  for (const TVerificationResult &result : results)
  {
    QStringList cells = Empty_Cells();
    cells[TVerificationResults::COLUMN_LENGTH] = TVerificationRecord::Number_Text(result.length);
    cells[TVerificationResults::COLUMN_POSITION] = result.position;
    cells[TVerificationResults::COLUMN_REPETITION] = QString::number(result.repetition);
    cells[TVerificationResults::COLUMN_ERROR] = TVerificationRecord::Number_Text(result.error);
    d_cells.append(cells);
  }
  if (editable)
  {
    d_cells.append(Empty_Cells());
  }
  d_shown = QVector<TShown>(d_cells.size());
  endResetModel();
}

bool TVerificationResultsModel::Is_Filled(int row) const
{
  return !d_cells.value(row).join(QString()).trimmed().isEmpty();
}

QList<TVerificationResult> TVerificationResultsModel::Results(QList<int> *rows,
                                                              QStringList *errors) const
{
  QList<TVerificationResult> results;
  for (int row = 0; row < d_cells.size(); ++row)
  {
    if (!Is_Filled(row))
    {
      continue;
    }
    TVerificationResult result;
    QString reason;
    if (TVerificationResults::Read_Cells(d_cells.at(row), &result, &reason))
    {
      results.append(result);
      rows->append(row);
    }
    else
    {
      errors->append(QStringLiteral("Row %1: %2.").arg(row + 1).arg(reason));
    }
  }
  return results;
}

void TVerificationResultsModel::Show_Judgement(const TVerificationJudgement::TJudgement &judgement,
                                               const QHash<int, QString> &problems)
{
  int judged = 0;
  for (int row = 0; row < d_cells.size(); ++row)
  {
    TShown shown;
    TVerificationResult result;
    QString reason;
    if (Is_Filled(row) && !TVerificationResults::Read_Cells(d_cells.at(row), &result, &reason))
    {
      shown.problem = reason;
    }
    else if (Is_Filled(row) && judged < judgement.results.size())
    {
      const TVerificationJudgement::TJudgedResult &judged_result = judgement.results.at(judged++);
      if (judged_result.has_limit)
      {
        shown.mpe = TVerificationRecord::Number_Text(judged_result.mpe);
      }
      shown.zone = judged_result.zone;
      shown.problem = problems.value(row);
    }
    d_shown[row] = shown;
  }
  if (!d_cells.isEmpty())
  {
    emit dataChanged(index(0, COLUMN_MPE), index(d_cells.size() - 1, COLUMN_ZONE));
  }
}

void TVerificationResultsModel::Paste_Cells(int first_row, int first_column,
                                            const QList<QStringList> &rows)
{
  if (!d_editable || rows.isEmpty())
  {
    return;
  }
  beginResetModel();
  for (int index = 0; index < rows.size(); ++index)
  {
    const int row = std::max(0, first_row) + index;
    while (d_cells.size() <= row)
    {
      d_cells.append(Empty_Cells());
    }
    for (int cell = 0; cell < rows.at(index).size() && first_column + cell < ENTRY_COLUMNS; ++cell)
    {
      d_cells[row][first_column + cell] = rows.at(index).at(cell).trimmed();
    }
  }
  Keep_Empty_Row();
  d_shown = QVector<TShown>(d_cells.size());
  endResetModel();
  emit Results_Edited();
}

void TVerificationResultsModel::Remove_Rows(QList<int> rows)
{
  std::sort(rows.begin(), rows.end(), std::greater<int>());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  const int last = d_cells.size() - (d_editable ? 1 : 0);
  bool removed = false;
  for (const int row : qAsConst(rows))
  {
    if (d_editable && row >= 0 && row < last)
    {
      beginRemoveRows(QModelIndex(), row, row);
      d_cells.removeAt(row);
      d_shown.removeAt(row);
      endRemoveRows();
      removed = true;
    }
  }
  if (removed)
  {
    emit Results_Edited();
  }
}

void TVerificationResultsModel::Keep_Empty_Row()
{
  if (d_editable && (d_cells.isEmpty() || Is_Filled(d_cells.size() - 1)))
  {
    d_cells.append(Empty_Cells());
    d_shown.append(TShown());
  }
}

int TVerificationResultsModel::rowCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : d_cells.size();
}

int TVerificationResultsModel::columnCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant TVerificationResultsModel::data(const QModelIndex &index, int role) const
{
  if (!index.isValid() || index.row() >= d_cells.size())
  {
    return QVariant();
  }
  const int column = index.column();
  const TShown &shown = d_shown.at(index.row());
  const bool invalid = !shown.problem.isEmpty();
  const int zone = invalid ? TVerificationJudgement::ZONE_FAIL : shown.zone;
  switch (role)
  {
  case Qt::DisplayRole:
  case Qt::EditRole:
    if (column < ENTRY_COLUMNS)
    {
      return d_cells.at(index.row()).at(column);
    }
    if (column == COLUMN_MPE)
    {
      return shown.mpe;
    }
    return invalid           ? INVALID
           : shown.zone >= 0 ? TVerificationJudgement::Zone_Name(shown.zone)
                             : QString();
  case Qt::ToolTipRole:
    return column == COLUMN_ZONE && invalid ? QVariant(shown.problem) : QVariant();
  case Qt::ForegroundRole:
    // The judged cells are disabled for Tab's sake, but read as text, the zone in its colour.
    if (column == COLUMN_ZONE && zone >= 0)
    {
      return QBrush(TVerificationReport::Zone_Colour(zone).darker(120));
    }
    return column >= ENTRY_COLUMNS ? QVariant(QApplication::palette().brush(QPalette::Text))
                                   : QVariant();
  case Qt::BackgroundRole:
    if (column == COLUMN_ZONE && zone >= 0)
    {
      QColor ground = TVerificationReport::Zone_Colour(zone);
      ground.setAlpha(40);
      return QBrush(ground);
    }
    return QVariant();
  default:
    return QVariant();
  }
}

bool TVerificationResultsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
  if (!index.isValid() || role != Qt::EditRole || !d_editable || index.column() >= ENTRY_COLUMNS ||
      index.row() >= d_cells.size())
  {
    return false;
  }
  const QString text = value.toString();
  if (d_cells.at(index.row()).at(index.column()) == text)
  {
    return true;
  }
  d_cells[index.row()][index.column()] = text;
  emit dataChanged(index, index);
  // Typing into the last row opens the next.
  if (index.row() == d_cells.size() - 1 && Is_Filled(index.row()))
  {
    beginInsertRows(QModelIndex(), d_cells.size(), d_cells.size());
    d_cells.append(Empty_Cells());
    d_shown.append(TShown());
    endInsertRows();
  }
  emit Results_Edited();
  return true;
}

Qt::ItemFlags TVerificationResultsModel::flags(const QModelIndex &index) const
{
  if (!index.isValid())
  {
    return Qt::NoItemFlags;
  }
  if (index.column() >= ENTRY_COLUMNS)
  {
    return d_editable ? Qt::NoItemFlags : Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  }
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled |
         (d_editable ? Qt::ItemIsEditable : Qt::NoItemFlags);
}

QVariant TVerificationResultsModel::headerData(int section, Qt::Orientation orientation,
                                               int role) const
{
  if (role != Qt::DisplayRole)
  {
    return QVariant();
  }
  if (orientation == Qt::Vertical)
  {
    return section + 1;
  }
  static const QStringList HEADER = {
      QStringLiteral("Length (mm)"),   QStringLiteral("Position"),
      QStringLiteral("Repetition"),    QStringLiteral("Error (\u00b5m)"),
      QStringLiteral("MPE (\u00b5m)"), QStringLiteral("Zone")};
  return HEADER.value(section);
}
