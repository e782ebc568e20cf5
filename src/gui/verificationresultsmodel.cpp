#include "verificationresultsmodel.h"

#include "verificationreport.h"
#include "windowunits.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QSet>

#include <algorithm>
#include <functional>

static_assert(TVerificationResults::COLUMN_RETEST == 4 &&
                  TVerificationResultsModel::COLUMN_COUNT == 8,
              "the header names each column");

namespace
{
const QString INVALID_ZONE = QStringLiteral("invalid");
const QString RETEST = QStringLiteral("yes");

QStringList Empty_Cells()
{
  QStringList cells;
  for (int column = 0; column < TVerificationResultsModel::ENTRY_COLUMNS; ++column)
  {
    cells.append(QString());
  }
  return cells;
}

// Whether a retest cell's text reads as a retest, by the results reader's own rule; false for
// a text it does not take.
bool Is_Retest(const QString &text)
{
  QStringList cells = Empty_Cells();
  cells[TVerificationResults::COLUMN_LENGTH] = cells[TVerificationResults::COLUMN_ERROR] =
      QStringLiteral("0");
  cells[TVerificationResults::COLUMN_RETEST] = text;
  TVerificationResult result;
  QString reason;
  return TVerificationResults::Read_Cells(cells, &result, &reason) && result.retest;
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
    // A probing result has no length to show.
    cells[TVerificationResults::COLUMN_LENGTH] =
        d_needs_length ? TVerificationRecord::Number_Text(result.length) : QString();
    cells[TVerificationResults::COLUMN_POSITION] = result.position;
    cells[TVerificationResults::COLUMN_REPETITION] = QString::number(result.repetition);
    cells[TVerificationResults::COLUMN_ERROR] = TVerificationRecord::Number_Text(result.error);
    cells[TVerificationResults::COLUMN_RETEST] = result.retest ? RETEST : QString();
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

bool TVerificationResultsModel::Read_Row(int row, TVerificationResult *result,
                                         QString *reason) const
{
  return TVerificationResults::Read_Cells(d_cells.at(row), result, reason, d_needs_length);
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
    if (Read_Row(row, &result, &reason))
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
    if (Is_Filled(row) && !Read_Row(row, &result, &reason))
    {
      shown.problem = reason;
    }
    else if (Is_Filled(row) && judged < judgement.results.size())
    {
      const TVerificationJudgement::TJudgedResult &judged_result = judgement.results.at(judged++);
      if (judged_result.has_limit)
      {
        shown.mpe = TVerificationRecord::Number_Text(judged_result.mpe);
        shown.uncertainty = TVerificationRecord::Number_Text(judged_result.uncertainty);
      }
      shown.zone = judged_result.zone;
      shown.superseded = judged_result.superseded;
      shown.problem = problems.value(row);
    }
    d_shown[row] = shown;
  }
  if (!d_cells.isEmpty())
  {
    emit dataChanged(index(0, 0), index(d_cells.size() - 1, COLUMN_COUNT - 1));
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
  d_shown = QVector<TShown>(d_cells.size());
  Keep_Empty_Row();
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

void TVerificationResultsModel::Add_Retests(const QList<int> &rows)
{
  if (!d_editable)
  {
    return;
  }
  const auto set_of = [this](int row)
  {
    return QStringList{d_cells.at(row).at(TVerificationResults::COLUMN_LENGTH).trimmed(),
                       d_cells.at(row).at(TVerificationResults::COLUMN_POSITION).trimmed()};
  };
  const auto first_result = [this](int row)
  {
    return row >= 0 && row < d_cells.size() && Is_Filled(row) &&
           !Is_Retest(d_cells.at(row).at(TVerificationResults::COLUMN_RETEST));
  };
  // The sets of the rows given, in the table's order, each with its count of first results.
  QList<QStringList> sets;
  for (int row = 0; row < d_cells.size(); ++row)
  {
    if (rows.contains(row) && first_result(row) && !sets.contains(set_of(row)))
    {
      sets.append(set_of(row));
    }
  }
  QList<int> counts;
  for (const QStringList &set : qAsConst(sets))
  {
    int count = 0;
    for (int row = 0; row < d_cells.size(); ++row)
    {
      count += first_result(row) && set_of(row) == set ? 1 : 0;
    }
    counts.append(count);
  }
  if (sets.isEmpty())
  {
    return;
  }
  const int first = d_cells.size() - 1;
  int added = 0;
  for (const int count : qAsConst(counts))
  {
    added += count;
  }
  beginInsertRows(QModelIndex(), first, first + added - 1);
  for (int index = 0; index < sets.size(); ++index)
  {
    for (int repetition = 1; repetition <= counts.at(index); ++repetition)
    {
      QStringList cells = Empty_Cells();
      cells[TVerificationResults::COLUMN_LENGTH] = sets.at(index).at(0);
      cells[TVerificationResults::COLUMN_POSITION] = sets.at(index).at(1);
      cells[TVerificationResults::COLUMN_REPETITION] = QString::number(repetition);
      cells[TVerificationResults::COLUMN_RETEST] = RETEST;
      d_cells.insert(d_cells.size() - 1, cells);
      d_shown.insert(d_shown.size() - 1, TShown());
    }
  }
  endInsertRows();
  emit Results_Edited();
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
  const QString cell = column < ENTRY_COLUMNS ? d_cells.at(index.row()).at(column) : QString();
  const bool retest_column = column == TVerificationResults::COLUMN_RETEST;
  const bool retest = retest_column && Is_Retest(cell);
  switch (role)
  {
  case Qt::DisplayRole:
    if (retest_column)
    {
      // The box says which rows are retests; the text also which ones they replace. A text the
      // reader does not take stays to be seen.
      return retest                                        ? QStringLiteral("retest")
             : shown.superseded                            ? QStringLiteral("replaced")
             : cell.trimmed().isEmpty() || Is_Retest(cell) ? QString()
                                                           : cell;
    }
    return column == COLUMN_MPE           ? shown.mpe
           : column == COLUMN_UNCERTAINTY ? shown.uncertainty
           : column == COLUMN_ZONE
               ? (invalid           ? INVALID_ZONE
                  : shown.zone >= 0 ? TVerificationJudgement::Zone_Name(shown.zone)
                                    : QString())
               : cell;
  case Qt::EditRole:
    return cell;
  case Qt::CheckStateRole:
    return retest_column && (d_editable || retest) ? QVariant(retest ? Qt::Checked : Qt::Unchecked)
                                                   : QVariant();
  case Qt::ToolTipRole:
    if (column == COLUMN_ZONE && invalid)
    {
      return shown.problem;
    }
    return shown.superseded ? QVariant(QStringLiteral("Kept on the record; its set is judged by "
                                                      "its retest"))
                            : QVariant();
  case Qt::FontRole:
    if (shown.superseded && column == COLUMN_ZONE)
    {
      QFont font;
      font.setStrikeOut(true);
      return font;
    }
    return QVariant();
  case Qt::ForegroundRole:
    // The judged cells are disabled for Tab's sake, but read as text, the zone in its colour.
    if (column == COLUMN_ZONE && zone >= 0 && !shown.superseded)
    {
      return QBrush(TVerificationReport::Zone_Colour(zone).darker(120));
    }
    if (shown.superseded)
    {
      return QBrush(QColor(120, 120, 120));
    }
    return column >= ENTRY_COLUMNS ? QVariant(QApplication::palette().brush(QPalette::Text))
                                   : QVariant();
  case Qt::BackgroundRole:
    if (column == COLUMN_ZONE && zone >= 0 && !shown.superseded)
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
  const bool check =
      role == Qt::CheckStateRole && index.column() == TVerificationResults::COLUMN_RETEST;
  if (!index.isValid() || (role != Qt::EditRole && !check) || !d_editable ||
      index.column() >= ENTRY_COLUMNS || index.row() >= d_cells.size())
  {
    return false;
  }
  const QString text =
      check ? (value.toInt() == Qt::Checked ? RETEST : QString()) : value.toString();
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
  const Qt::ItemFlags entry = index.column() == TVerificationResults::COLUMN_RETEST
                                  ? Qt::ItemIsUserCheckable
                                  : Qt::ItemIsEditable;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | (d_editable ? entry : Qt::NoItemFlags);
}

QVariant TVerificationResultsModel::headerData(int section, Qt::Orientation orientation,
                                               int role) const
{
  if (orientation == Qt::Vertical)
  {
    return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
  }
  if (role == Qt::ToolTipRole && section == TVerificationResults::COLUMN_RETEST)
  {
    return QStringLiteral("A retest repeats the set of its length and position, which is then "
                          "judged by its retests alone; the results it repeats stay on the "
                          "record");
  }
  if (role != Qt::DisplayRole)
  {
    return QVariant();
  }
  // Units on a line of their own keep the columns narrow.
  const QString unit = QStringLiteral("\n(%1)").arg(TWindowUnits::MICROMETRES);
  const QString header[COLUMN_COUNT] = {
      QStringLiteral("Length\n(mm)"), QStringLiteral("Position"), QStringLiteral("Repetition"),
      QStringLiteral("Error") + unit, QStringLiteral("Retest"),   QStringLiteral("MPE") + unit,
      QStringLiteral("U") + unit,     QStringLiteral("Zone")};
  return header[section];
}
