#ifndef METROVA_COMPARISONMODEL_H
#define METROVA_COMPARISONMODEL_H

#include "comparison.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The compare table's rows for a view: the cells of TComparison, and numbers to sort by under
// SORT_ROLE, worked out once per change rather than on every paint or comparison.
class TComparisonModel : public QAbstractTableModel
{
  Q_OBJECT

public:
  static constexpr int SORT_ROLE = Qt::UserRole;

  explicit TComparisonModel(QObject *parent = nullptr);

  void Set_Rows(const TComparison::TSettings &settings, const QList<TComparison::TRow> &rows);
  const TComparison::TSettings &Settings() const { return d_settings; }
  const TComparison::TRow &Row(int row) const { return d_rows.at(row); }
  // What a column holds (TComparison::Column_Keys), empty for none; and the column holding it,
  // -1 for none.
  QString Column_Key(int column) const { return d_keys.value(column); }
  int Column_Of(const QString &key) const { return key.isEmpty() ? -1 : d_keys.indexOf(key); }

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

private:
  TComparison::TSettings d_settings;
  QList<TComparison::TRow> d_rows;
  QStringList d_header;
  QStringList d_keys;
  QVector<QStringList> d_cells;
  QVector<QVector<QVariant>> d_sort_keys;
};

#endif // METROVA_COMPARISONMODEL_H
