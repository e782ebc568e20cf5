#ifndef METROVA_VERIFICATIONRECORDSMODEL_H
#define METROVA_VERIFICATIONRECORDSMODEL_H

#include "verificationjudgement.h"
#include "verificationrecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVector>

// The records of a machine's log for the records view: number, date, kind, component, rule, U,
// results, largest share and verdict as the command line lists them, the verdict in its colour.
class TVerificationRecordsModel : public QAbstractTableModel
{
  Q_OBJECT

public:
  static constexpr int COLUMN_SHARE = 7;
  static constexpr int COLUMN_VERDICT = 8;

  explicit TVerificationRecordsModel(QObject *parent = nullptr);

  // The records with the judgement each is shown by, in the same order.
  void Set_Records(const QList<TVerificationRecord> &records,
                   const QList<TVerificationJudgement::TJudgement> &judgements);
  const QList<TVerificationRecord> &Records() const { return d_records; }
  const QList<TVerificationJudgement::TJudgement> &Judgements() const { return d_judgements; }
  // The row of a record number; -1 when there is none.
  int Row_Of(int number) const;

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

private:
  QList<TVerificationRecord> d_records;
  QList<TVerificationJudgement::TJudgement> d_judgements;
  QVector<QStringList> d_cells;
};

#endif // METROVA_VERIFICATIONRECORDSMODEL_H
