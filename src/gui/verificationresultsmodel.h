#ifndef METROVA_VERIFICATIONRESULTSMODEL_H
#define METROVA_VERIFICATIONRESULTSMODEL_H

#include "verificationjudgement.h"
#include "verificationrecord.h"
#include "verificationresults.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVector>

// The results of the record in the form: the typed cells of each row (TVerificationResults'
// columns, the retest one as a check box) and, beside them, the MPE, U and zone the judgement gave
// the row, or why the row cannot be taken. While editable an empty row stays at the end to type
// into, and only the typed cells are enabled, so that Tab moves between them alone.
class TVerificationResultsModel : public QAbstractTableModel
{
  Q_OBJECT

public:
  static constexpr int ENTRY_COLUMNS = TVerificationResults::COLUMN_COUNT;
  static constexpr int COLUMN_MPE = ENTRY_COLUMNS;
  static constexpr int COLUMN_UNCERTAINTY = ENTRY_COLUMNS + 1;
  static constexpr int COLUMN_ZONE = ENTRY_COLUMNS + 2;
  static constexpr int COLUMN_COUNT = ENTRY_COLUMNS + 3;

  explicit TVerificationResultsModel(QObject *parent = nullptr);

  void Set_Results(const QList<TVerificationResult> &results, bool editable);
  bool Is_Editable() const { return d_editable; }
  // Whether rows need a length: a probing test's do not.
  void Set_Needs_Length(bool needs_length) { d_needs_length = needs_length; }
  // Whether a row has any typed text.
  bool Is_Filled(int row) const;
  // The filled rows that read as results, in order, and the row of each; *errors gets
  // "Row 3: the error 'x' is not a number." for each filled row that does not read.
  QList<TVerificationResult> Results(QList<int> *rows, QStringList *errors) const;
  // The judgement of Results() shown beside its rows; problems: rows that read but cannot be
  // stored as they are (row, reason), shown as invalid.
  void Show_Judgement(const TVerificationJudgement::TJudgement &judgement,
                      const QHash<int, QString> &problems = QHash<int, QString>());

  // Cells from a spreadsheet put in from a cell on, in the typed columns, rows added as needed.
  void Paste_Cells(int first_row, int first_column, const QList<QStringList> &rows);
  // The rows given, but never the empty row at the end.
  void Remove_Rows(QList<int> rows);
  // For each set (length and position) of the rows given, as many retest rows as the set has
  // results, their errors to type.
  void Add_Retests(const QList<int> &rows);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

signals:
  // The typed cells changed through the view, a paste or a removal.
  void Results_Edited();

private:
  // What the judgement shows beside a row.
  struct TShown
  {
    QString mpe;
    QString uncertainty;
    // -1 for none.
    int zone = -1;
    // A result whose set was retested: kept, not judged.
    bool superseded = false;
    // Why the row is invalid; empty when it is not.
    QString problem;
  };

  bool Read_Row(int row, TVerificationResult *result, QString *reason) const;
  // An empty row at the end while editable.
  void Keep_Empty_Row();

  bool d_editable = false;
  bool d_needs_length = true;
  QVector<QStringList> d_cells;
  QVector<TShown> d_shown;
};

#endif // METROVA_VERIFICATIONRESULTSMODEL_H
