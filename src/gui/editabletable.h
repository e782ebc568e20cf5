#ifndef METROVA_EDITABLETABLE_H
#define METROVA_EDITABLETABLE_H

#include <QTableWidget>

// A table where Tab and Shift+Tab move between the cells the user can edit, in reading order,
// over the cells that are only shown; past the last (or before the first) editable cell, focus
// leaves the table as it leaves a field. Typing into a cell and pressing Tab goes on editing the
// next one.
class TEditableTable : public QTableWidget
{
public:
  explicit TEditableTable(QWidget *parent = nullptr);

protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
};

#endif // METROVA_EDITABLETABLE_H
