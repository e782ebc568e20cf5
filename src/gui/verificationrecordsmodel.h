#ifndef METROVA_VERIFICATIONRECORDSMODEL_H
#define METROVA_VERIFICATIONRECORDSMODEL_H

#include "verificationworkflow.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVector>

// The records of a machine's log for the records view, by the figures stored with each: number,
// date, kind, component, rule, U, temperature, results, largest share and the state with its
// reason as the command line lists them, the state in its colour, and a note of what today's
// catalogue states otherwise and how the figures were kept.
class TVerificationRecordsModel : public QAbstractTableModel
{
  Q_OBJECT

public:
  enum TColumn
  {
    COLUMN_NUMBER = 0,
    COLUMN_DATE,
    COLUMN_KIND,
    COLUMN_COMPONENT,
    COLUMN_RULE,
    COLUMN_UNCERTAINTY,
    COLUMN_TEMPERATURE,
    COLUMN_RESULTS,
    COLUMN_SHARE,
    COLUMN_VERDICT,
    COLUMN_NOTE,
    COLUMN_COUNT
  };

  explicit TVerificationRecordsModel(QObject *parent = nullptr);

  void Set_Entries(const QList<TVerificationWorkflow::TEntry> &entries);
  const QList<TVerificationWorkflow::TEntry> &Entries() const { return d_entries; }
  // The row of a record number; -1 when there is none.
  int Row_Of(int number) const;

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

private:
  QList<TVerificationWorkflow::TEntry> d_entries;
  QVector<QStringList> d_cells;
};

#endif // METROVA_VERIFICATIONRECORDSMODEL_H
