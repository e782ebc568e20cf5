#ifndef METROVA_NAMELISTDELEGATE_H
#define METROVA_NAMELISTDELEGATE_H

#include <QHash>
#include <QStyledItemDelegate>
#include <QVector>

class QFontMetricsF;

// Lays out a list of one-line names quickly: the list gives every item one size
// (setUniformItemSizes), and this delegate makes that size the widest name's, so that the list
// shows and scrolls exactly as one that measures every item would. Measuring every name costs
// more than the rest of filling a list of thousands; here each name's width is estimated from
// its characters' advances, and only the few names with the largest estimates are measured.
class TNameListDelegate : public QStyledItemDelegate
{
public:
  explicit TNameListDelegate(QObject *parent = nullptr) : QStyledItemDelegate(parent) {}

  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
  // The row of the widest name of the index's model.
  QModelIndex Widest_Index(const QStyleOptionViewItem &option, const QModelIndex &index) const;

  // Character advances in the font last used: Latin-1 by code, the others by hash.
  qreal Advance(const QFontMetricsF &metrics, QChar character) const;

  mutable QString d_font_key;
  mutable QVector<qreal> d_latin1_advances;
  mutable QHash<QChar, qreal> d_advances;
};

#endif // METROVA_NAMELISTDELEGATE_H
