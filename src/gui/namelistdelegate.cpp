#include "namelistdelegate.h"

#include <QFontMetricsF>
#include <QPair>
#include <QVector>

#include <algorithm>
#include <functional>

namespace
{
// Kerning moves a name's width off the sum of its characters' advances by about a pixel, so the
// widest name is among those with the largest sums; that many of them are measured exactly.
constexpr int MEASURED_CANDIDATES = 32;
} // namespace

QSize TNameListDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
  // The list asks for one item's size only and gives it to every item.
  const QModelIndex widest = Widest_Index(option, index);
  return QStyledItemDelegate::sizeHint(option, widest.isValid() ? widest : index);
}

qreal TNameListDelegate::Advance(const QFontMetricsF &metrics, QChar character) const
{
  const ushort code = character.unicode();
  if (code < d_latin1_advances.size())
  {
    qreal &advance = d_latin1_advances[code];
    if (advance < 0)
      advance = metrics.horizontalAdvance(character);
    return advance;
  }
  auto advance = d_advances.find(character);
  if (advance == d_advances.end())
    advance = d_advances.insert(character, metrics.horizontalAdvance(character));
  return advance.value();
}

QModelIndex TNameListDelegate::Widest_Index(const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
  const QAbstractItemModel *model = index.model();
  if (!model)
    return QModelIndex();
  const QFontMetricsF metrics(option.font);
  if (option.font.key() != d_font_key)
  {
    d_font_key = option.font.key();
    d_latin1_advances.fill(-1.0, 256);
    d_advances.clear();
  }

  const int rows = model->rowCount(index.parent());
  QVector<QPair<qreal, int>> estimates;
  estimates.reserve(rows);
  for (int row = 0; row < rows; ++row)
  {
    const QString text = model->index(row, index.column(), index.parent()).data().toString();
    qreal sum = 0.0;
    for (const QChar character : text)
      sum += Advance(metrics, character);
    estimates.append(qMakePair(sum, row));
  }
  const int candidates = std::min(MEASURED_CANDIDATES, rows);
  std::nth_element(estimates.begin(), estimates.begin() + (candidates - 1), estimates.end(),
                   std::greater<QPair<qreal, int>>());

  QModelIndex widest;
  qreal widest_width = -1.0;
  for (int candidate = 0; candidate < candidates; ++candidate)
  {
    const QModelIndex row_index =
        model->index(estimates.at(candidate).second, index.column(), index.parent());
    const qreal width = metrics.horizontalAdvance(row_index.data().toString());
    if (width > widest_width)
    {
      widest_width = width;
      widest = row_index;
    }
  }
  return widest;
}
