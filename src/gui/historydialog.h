#ifndef METROVA_HISTORYDIALOG_H
#define METROVA_HISTORYDIALOG_H

#include <QDialog>
#include <QStringList>

class QLabel;
class QStandardItemModel;
class QTableView;
class TDatabase;

// Who changed a make, model or machine, and when: the catalogue's history of it (with the
// changes of the whole catalogue), oldest first, as an audit trail is read. Reads only.
class THistoryDialog : public QDialog
{
  Q_OBJECT

public:
  enum TColumn
  {
    COLUMN_TIME = 0,
    COLUMN_USER,
    COLUMN_CHANGE,
    COLUMN_MAKE,
    COLUMN_MODEL,
    COLUMN_OPTION,
    COLUMN_DETAILS,
    COLUMN_COUNT
  };

  explicit THistoryDialog(QWidget *parent = nullptr);

  // Reads the history of the names (a make, and model and option as far as given). False, with
  // Error() set and nothing shown, when it cannot be read.
  bool Set_Names(TDatabase *database, const QStringList &names);
  QString Error() const { return d_error; }
  const QStandardItemModel *Model() const { return d_model; }

private:
  QLabel *d_heading;
  QStandardItemModel *d_model;
  QTableView *d_table;
  QString d_error;
};

#endif // METROVA_HISTORYDIALOG_H
