#ifndef METROVA_SPECIFICATIONEDITORDIALOG_H
#define METROVA_SPECIFICATIONEDITORDIALOG_H

#include "specificationedit.h"

#include <QDialog>
#include <QList>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TDatabase;

// Modal editor of the manufacturer's expressions of one make, model and option.
//
// Usage:
//   dialog->Set_Data(database, make, model, option, rows);
//   if (dialog->exec() == QDialog::Accepted)
//     ... write dialog->Make_Text(), Model_Text(), Option_Text() and dialog->Rows() ...
class TSpecificationEditorDialog : public QDialog
{
  Q_OBJECT

public:
  explicit TSpecificationEditorDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
  ~TSpecificationEditorDialog() override;

  void Set_Data(TDatabase *database, const QString &make, const QString &model,
                const QString &option, const QList<TEditorRow> &rows);

  QString Make_Text() const;
  QString Model_Text() const;
  QString Option_Text() const;
  QList<TEditorRow> Rows() const;

private slots:
  void Cell_Changed(int row, int column);
  void Identification_Changed();

private:
  void Set_Table_Header();
  void Update_All_Status();
  void Update_Row_Status(int row);
  void Update_Accept_State();
  void Check_Identification();

  QLineEdit *d_make_edit;
  QLineEdit *d_model_edit;
  QLineEdit *d_option_edit;
  QLabel *d_make_status_label;
  QLabel *d_model_status_label;
  QLabel *d_option_status_label;
  QTableWidget *d_table;
  QPushButton *d_cancel_button;
  QPushButton *d_accept_button;

  TDatabase *d_database;
  QList<TEditorRow> d_rows;
};

#endif // METROVA_SPECIFICATIONEDITORDIALOG_H
