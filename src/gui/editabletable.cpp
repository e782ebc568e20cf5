#include "editabletable.h"

TEditableTable::TEditableTable(QWidget *parent) : QTableWidget(parent)
{
  setTabKeyNavigation(true);
}

QModelIndex TEditableTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
  if (action != MoveNext && action != MovePrevious)
  {
    return QTableWidget::moveCursor(action, modifiers);
  }
  const int rows = model()->rowCount(rootIndex());
  const int columns = model()->columnCount(rootIndex());
  const QModelIndex current = currentIndex();
  // Cells in reading order; from before the first one when none is current.
  int position = current.isValid() ? current.row() * columns + current.column()
                                   : (action == MoveNext ? -1 : rows * columns);
  const int step = action == MoveNext ? 1 : -1;
  for (position += step; position >= 0 && position < rows * columns; position += step)
  {
    const int row = position / columns;
    const int column = position % columns;
    const QModelIndex index = model()->index(row, column, rootIndex());
    if (!isRowHidden(row) && !isColumnHidden(column) &&
        (index.flags() & (Qt::ItemIsEditable | Qt::ItemIsEnabled)) ==
            (Qt::ItemIsEditable | Qt::ItemIsEnabled))
    {
      return index;
    }
  }
  // None left: the key moves the focus on.
  return QModelIndex();
}
