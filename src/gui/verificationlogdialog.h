#ifndef METROVA_VERIFICATIONLOGDIALOG_H
#define METROVA_VERIFICATIONLOGDIALOG_H

#include "databaseitem.h"
#include "verificationjudgement.h"
#include "verificationrecord.h"

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;
class TDatabase;
class TMessageBox;
class TVerificationChartView;

// The verification log of one machine: its records with their verdicts, a form for a new record
// whose results are typed, pasted from a spreadsheet or imported from a CSV file and judged as
// they come, the errors plotted over length between the MPE lines, the largest share of every
// record over time, the check intervals with what is due, and the report of a record.
//
// Usage:
//   dialog.Set_Message_Box(message_box);
//   dialog.Set_Folder(folder);
//   if (dialog.Set_Machine(database, make, model, option))
//     dialog.exec();
class TVerificationLogDialog : public QDialog
{
  Q_OBJECT

public:
  explicit TVerificationLogDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
  ~TVerificationLogDialog() override;

  void Set_Message_Box(TMessageBox *message_box) { d_message_box = message_box; }
  // Where the file dialogs start.
  void Set_Folder(const QString &folder) { d_folder = folder; }
  // The last file imported or written, empty when none was.
  QString Last_File_Name() const { return d_last_file_name; }
  // Reads the machine's specification, records and intervals and starts a new record; false,
  // after a message, when they cannot be read.
  bool Set_Machine(TDatabase *database, const QString &make, const QString &model,
                   const QString &option);

private slots:
  void Record_Selected();
  void New_Record();
  void Save_Record();
  void Delete_Record();
  void Write_Report();
  void Import_Csv();
  void Paste_Results();
  void Remove_Rows();
  void Result_Changed(int row, int column);
  void Judge_Form();
  void Save_Schedule();

private:
  // The records from the database, the one with this number selected (none: a new record).
  bool Load_Records(int selected_number);
  void Show_Record(const TVerificationRecord &record, bool editable);
  void Fill_Results(const QList<TVerificationResult> &results);
  // The form as a record; false with *error naming the first bad field or row.
  bool Form_Record(TVerificationRecord *record, QString *error) const;
  void Paste_Text(const QString &text);
  void Update_Schedule();
  void Update_Trend();
  int Selected_Number() const;
  void Show_Failure(const QString &heading, const QString &text, const QString &details);

  TDatabase *d_database = nullptr;
  TMessageBox *d_message_box = nullptr;
  QString d_make;
  QString d_model;
  QString d_option;
  QList<TDatabaseItem> d_machine;
  QList<TVerificationRecord> d_records;
  QList<TVerificationJudgement::TJudgement> d_judgements;
  QString d_folder;
  QString d_last_file_name;
  bool d_editable = true;
  // A catalogue this user cannot change: its log is shown, not written.
  bool d_read_only = false;

  QLabel *d_machine_label;
  QSpinBox *d_reverification_spin;
  QSpinBox *d_interim_spin;
  QLabel *d_schedule_label;
  QTableWidget *d_records_table;
  QPushButton *d_delete_button;
  QPushButton *d_report_button;
  QTabWidget *d_tabs;
  QDateEdit *d_date_edit;
  QComboBox *d_kind_combo;
  QComboBox *d_component_combo;
  QComboBox *d_rule_combo;
  QLineEdit *d_temperature_edit;
  QLineEdit *d_uncertainty_edit;
  QLineEdit *d_operator_edit;
  QLineEdit *d_artefact_edit;
  QLineEdit *d_notes_edit;
  QTableWidget *d_results_table;
  QList<QWidget *> d_entry_widgets;
  QPushButton *d_save_button;
  QLabel *d_verdict_label;
  QLabel *d_summary_label;
  TVerificationChartView *d_errors_plot;
  TVerificationChartView *d_trend_plot;
};

#endif // METROVA_VERIFICATIONLOGDIALOG_H
