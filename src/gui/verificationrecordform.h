#ifndef METROVA_VERIFICATIONRECORDFORM_H
#define METROVA_VERIFICATIONRECORDFORM_H

#include "verificationjudgement.h"
#include "verificationrecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTextBrowser;
class TMessageBox;
class TVerificationResultsModel;

// One record of the log: its fields and results, typed, pasted from a spreadsheet or imported
// from a CSV file while it is new, shown read-only once stored, with the zone of each result,
// the verdict and what it rests on below. The form judges nothing itself: Record_Changed asks
// its owner to judge the entered record and show the judgement.
class TVerificationRecordForm : public QWidget
{
  Q_OBJECT

public:
  explicit TVerificationRecordForm(QWidget *parent = nullptr);

  void Set_Message_Box(TMessageBox *message_box) { d_message_box = message_box; }
  // Where the file dialog starts; the last file imported since, empty when none was.
  void Set_Folder(const QString &folder)
  {
    d_folder = folder;
    d_last_file_name.clear();
  }
  QString Last_File_Name() const { return d_last_file_name; }
  // The components a record may check: {standard, component} each.
  void Set_Components(const QList<QStringList> &components);
  // A catalogue that takes no writes: nothing is entered or saved.
  void Set_Read_Only(bool read_only);
  // A stored record read-only, or a new one to enter.
  void Show_Record(const TVerificationRecord &record, bool editable);
  bool Is_Editable() const { return d_editable; }
  // The width that shows every column of the results.
  int Preferred_Width() const { return d_table_width; }

  // The record as the fields and rows give it; false with *errors naming each field or row that
  // cannot be taken, and why.
  bool Entered_Record(TVerificationRecord *record, QStringList *errors) const;
  // The judgement of the record shown: each row's MPE and zone, the verdict, or no verdict while
  // errors are named, and below it the rule, the summary, the notes and the lines given.
  void Show_Judgement(const TVerificationRecord &record,
                      const TVerificationJudgement::TJudgement &judgement,
                      const QStringList &errors, const QStringList &lines = QStringList());

signals:
  // A field or a result of a new record changed.
  void Record_Changed();
  void Save_Requested();
  // Results pasted while a stored record is shown go into a new record, which this asks for.
  void New_Record_Needed();

private slots:
  void Paste_Results();
  void Import_Csv();
  void Remove_Rows();
  void Add_Retests();
  void Component_Changed();

private:
  void Paste_Text(const QString &text);
  // The rows that repeat a length, position, repetition and retest flag: both named, and marked
  // with the reason.
  void Find_Duplicates(const QList<TVerificationResult> &results, const QList<int> &rows,
                       QStringList *errors, QHash<int, QString> *problems) const;
  bool Needs_Length() const;
  void Show_Failure(const QString &heading, const QString &text, const QString &details);

  TMessageBox *d_message_box = nullptr;
  QString d_folder;
  QString d_last_file_name;
  bool d_editable = false;
  bool d_read_only = false;
  int d_table_width = 0;

  QDateEdit *d_date_edit;
  QComboBox *d_kind_combo;
  QComboBox *d_component_combo;
  QComboBox *d_rule_combo;
  QLineEdit *d_temperature_edit;
  QLineEdit *d_uncertainty_edit;
  QLineEdit *d_r0_uncertainty_edit;
  QLineEdit *d_operator_edit;
  QLineEdit *d_artefact_edit;
  QLineEdit *d_notes_edit;
  TVerificationResultsModel *d_results;
  QTableView *d_results_view;
  QList<QWidget *> d_entry_widgets;
  QPushButton *d_save_button;
  QLabel *d_verdict_label;
  QTextBrowser *d_summary_label;
};

#endif // METROVA_VERIFICATIONRECORDFORM_H
