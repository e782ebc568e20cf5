#ifndef METROVA_STATICTEXTDELEGATE_H
#define METROVA_STATICTEXTDELEGATE_H

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

// Paints a table's one-line cells as the style does, but keeps each text's glyph layout for the
// next paint: a verification record's table repeats the same few words and figures, and shaping
// every cell's text again at each paint is most of what showing a record costs. The style still
// draws the cell's ground, selection, check box and focus; a text that does not fit its cell, or
// is being edited, or is drawn in a font other than the view's, is left to the style entirely.
class TStaticTextDelegate : public QStyledItemDelegate
{
public:
  explicit TStaticTextDelegate(QObject *parent = nullptr) : QStyledItemDelegate(parent) {}

  void paint(QPainter *painter, const QStyleOptionViewItem &option,
             const QModelIndex &index) const override;

private:
  // The kept layout of a text in the view's font, made on first use.
  const QStaticText &Static_Text(const QString &text, const QFont &font,
                                 Qt::LayoutDirection direction) const;

  mutable QHash<QString, QStaticText> d_texts;
  mutable QFont d_font;
  mutable Qt::LayoutDirection d_direction = Qt::LeftToRight;
};

#endif
