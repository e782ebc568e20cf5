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
class TMessageBox;

// Modal editor of the manufacturer's expressions of one make, model and option.
//
// Usage:
//   dialog->Set_Data(database, make, model, option, rows);
//   if (dialog->exec() == QDialog::Accepted)
//     ... write dialog->Make_Text(), Model_Text(), Option_Text() and dialog->Rows() ...
//
// Each invalid row says why in its status cell's tool tip and in a line of its own under the
// table. Closing the dialog without Accept after a change asks first, in a message box of the
// dialog's own. On a read-only catalogue the dialog only shows the specification.
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

  // Whether the catalogue can take changes; takes effect at the next Set_Data.
  void Set_Read_Only(bool read_only) { d_read_only = read_only; }

  // Cancel, Escape and the close button: when a name or an expression was changed since
  // Set_Data, closes only if the user agrees to discard the changes.
  void reject() override;

private slots:
  void Cell_Changed(int row, int column);
  void Identification_Changed();

private:
  void Set_Table_Header();
  void Update_All_Status();
  void Update_Row_Status(int row);
  void Update_Accept_State();
  void Check_Identification();
  void Set_Name_Problem(const QString &problem);
  void Set_Row_Status(int row, const QString &text, bool accepted);
  // Why each invalid row is refused, one line per row, under the table.
  void Show_Hints();
  QStringList Entered_Texts() const;

  QLineEdit *d_make_edit;
  QLineEdit *d_model_edit;
  QLineEdit *d_option_edit;
  QLabel *d_make_status_label;
  QLabel *d_model_status_label;
  QLabel *d_option_status_label;
  QTableWidget *d_table;
  QLabel *d_hint_label;
  QPushButton *d_cancel_button;
  QPushButton *d_accept_button;

  TDatabase *d_database;
  QList<TEditorRow> d_rows;
  TMessageBox *d_message_box;
  bool d_read_only;
  // Why the names typed cannot be stored (the core's rule for new names); empty when they can.
  QString d_name_problem;
  QStringList d_loaded_texts; // the names and expressions as Set_Data showed them
};

#endif // METROVA_SPECIFICATIONEDITORDIALOG_H
