#include "statictextdelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextOption>

namespace
{
// A few records' worth of distinct texts; a larger set is started afresh.
constexpr int MAXIMUM_TEXTS = 20000;
} // namespace

const QStaticText &TStaticTextDelegate::Static_Text(const QString &text, const QFont &font,
                                                    Qt::LayoutDirection direction) const
{
  if (font != d_font || direction != d_direction || d_texts.size() > MAXIMUM_TEXTS)
  {
    d_texts.clear();
    d_font = font;
    d_direction = direction;
  }
  auto found = d_texts.find(text);
  if (found == d_texts.end())
  {
    QStaticText layout(text);
    // A cell's text is never markup, whatever it holds.
    layout.setTextFormat(Qt::PlainText);
    // In the view's direction, as the style lays it out, not in the direction of the text's
    // first letters: a name that starts in Hebrew reads the same as drawn by the style.
    QTextOption option;
    option.setTextDirection(direction);
    layout.setTextOption(option);
    layout.prepare(QTransform(), font);
    found = d_texts.insert(text, layout);
  }
  return found.value();
}

void TStaticTextDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
  QStyleOptionViewItem cell = option;
  initStyleOption(&cell, index);
  const QWidget *widget = cell.widget;
  QStyle *style = widget ? widget->style() : QApplication::style();
  const bool plain = !cell.text.isEmpty() && widget && cell.font == widget->font() &&
                     !(cell.state & QStyle::State_Editing) &&
                     !cell.text.contains(QLatin1Char('\n')) &&
                     !cell.text.contains(QChar::LineSeparator);
  if (!plain)
  {
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    return;
  }
  const QStaticText &text = Static_Text(cell.text, cell.font, cell.direction);
  const QSize size = text.size().toSize();
  // The style lays the text out in what the check box and the icon leave of the cell, whatever
  // the text; asked with the text, it would shape it once more to measure it.
  const QString shown = cell.text;
  cell.text.clear();
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const QRect text_rect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget)
                              .adjusted(margin, 0, -margin, 0);
  if (text.size().width() > text_rect.width())
  {
    // Elided or wrapped: the style's own way.
    cell.text = shown;
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    return;
  }
  style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

  QPalette::ColorGroup group =
      cell.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  if (group == QPalette::Normal && !(cell.state & QStyle::State_Active))
  {
    group = QPalette::Inactive;
  }
  painter->save();
  painter->setClipRect(cell.rect);
  painter->setFont(cell.font);
  painter->setPen(cell.palette.color(
      group, cell.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
  // Placed as the style places a line: its box aligned in the rectangle, the line in its box
  // by its own width, which need not be whole pixels.
  const Qt::Alignment alignment = QStyle::visualAlignment(cell.direction, cell.displayAlignment);
  QPointF position = QStyle::alignedRect(cell.direction, alignment, size, text_rect).topLeft();
  if (alignment & Qt::AlignRight)
  {
    position.setX(text_rect.left() + text_rect.width() - text.size().width());
  }
  else if (alignment & Qt::AlignHCenter)
  {
    position.setX(text_rect.left() + (text_rect.width() - text.size().width()) / 2);
  }
  painter->drawStaticText(position, text);
  painter->restore();
}
