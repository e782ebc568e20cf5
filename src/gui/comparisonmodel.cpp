#include "comparisonmodel.h"

#include "windowunits.h"

#include <QBrush>
#include <QColor>

TComparisonModel::TComparisonModel(QObject *parent) : QAbstractTableModel(parent) {}

void TComparisonModel::Set_Rows(const TComparison::TSettings &settings,
                                const QList<TComparison::TRow> &rows)
{
  beginResetModel();
  d_settings = settings;
  d_rows = rows;
  d_header = TComparison::Header(settings);
  d_keys = TComparison::Column_Keys(settings);
  d_cells.clear();
  d_sort_keys.clear();
  d_cells.reserve(rows.size());
  d_sort_keys.reserve(rows.size());
  for (const TComparison::TRow &row : rows)
  {
    d_cells.append(TComparison::Cells(settings, row));
    // The window writes degrees as engineers do.
    if (!row.capability.in_band)
    {
      d_cells.last().last() =
          QStringLiteral("outside %1").arg(row.capability.band.Range_Text(TWindowUnits::CELSIUS));
    }
    d_sort_keys.append(TComparison::Sort_Keys(settings, row, d_cells.last()));
  }
  endResetModel();
}

int TComparisonModel::rowCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : d_rows.size();
}

int TComparisonModel::columnCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : d_header.size();
}

QVariant TComparisonModel::data(const QModelIndex &index, int role) const
{
  if (!index.isValid() || index.row() >= d_cells.size() || index.column() >= d_header.size())
  {
    return QVariant();
  }
  switch (role)
  {
  case Qt::DisplayRole:
    return d_cells.at(index.row()).value(index.column());
  case SORT_ROLE:
    return d_sort_keys.at(index.row()).at(index.column());
  case Qt::TextAlignmentRole:
    return index.column() >= TComparison::COLUMN_SOURCE
               ? QVariant(Qt::AlignCenter)
               : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  case Qt::ForegroundRole:
    // The verdict in green when capable.
    if (d_settings.with_tolerance && index.column() == TComparison::Ratio_Column(d_settings) + 1)
    {
      return QBrush(d_rows.at(index.row()).capability.Is_Capable() ? QColor(0, 110, 0)
                                                                   : QColor(170, 0, 0));
    }
    return QVariant();
  default:
    return QVariant();
  }
}

QVariant TComparisonModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
  {
    return QVariant();
  }
  // "E0 at 100 mm (um)" on three lines, in the window's units, keeps the columns narrow.
  QString header = d_header.value(section);
  return header.replace(QStringLiteral(" at "), QStringLiteral("\nat "))
      .replace(QStringLiteral(" (um)"), QStringLiteral("\n(%1)").arg(TWindowUnits::MICROMETRES));
}
