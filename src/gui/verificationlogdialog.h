#ifndef METROVA_VERIFICATIONLOGDIALOG_H
#define METROVA_VERIFICATIONLOGDIALOG_H

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QTableView;
class QTabWidget;
class TDatabase;
class TMessageBox;
class TVerificationChartView;
class TVerificationRecordForm;
class TVerificationRecordsModel;
class TVerificationSchedulePanel;
class TVerificationWorkflow;

// The verification log of one machine: its schedule with what is due, its records with their
// verdicts, the record selected (or a new one being entered) in a form beside its errors plotted
// over length, the trend of the records' shares of the MPE, and the report of a record. It
// composes the schedule panel, the records' model and the record form, and reads and writes
// through the core's log.
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
  // Its size when it opens: within a 1280 x 1024 screen with the window's frame.
  static constexpr int DEFAULT_WIDTH = 1180;
  static constexpr int DEFAULT_HEIGHT = 900;

  explicit TVerificationLogDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
  ~TVerificationLogDialog() override;

  void Set_Message_Box(TMessageBox *message_box);
  // Where the file dialogs start; forgets the files imported or written before.
  void Set_Folder(const QString &folder);
  // The last file imported or written since Set_Folder, empty when none was.
  QString Last_File_Name() const;
  // Reads the machine's specification, records and intervals and starts a new record (shows the
  // latest one of a catalogue that takes no writes), the plot of errors and the trend of every
  // record in front, as when the dialog was new; false, after a message, when they cannot be
  // read.
  bool Set_Machine(TDatabase *database, const QString &make, const QString &model,
                   const QString &option);

protected:
  void showEvent(QShowEvent *event) override;

private slots:
  void Record_Selected();
  void New_Record();
  void Save_Record();
  void Delete_Record();
  void Write_Report();
  void Judge_Form();
  void Save_Schedule();
  // The trend again after a change of the records or of what it shows.
  void Update_Trend();
  void Show_Trend();

private:
  // The loaded records, the one with this number selected (none: a new record).
  void Show_Records(int selected_number);
  // Loads the log again after another change, the record with this number selected (0: a new
  // record), and shows the failure when it cannot.
  bool Reload(int selected_number);
  void Update_Schedule();
  int Selected_Number() const;
  // The results of a record (0: of every record) where the log holds none yet; false, after a
  // message, when they cannot be read.
  bool Read_Results(int number);
  void Show_Failure(const QString &heading, const QString &text, const QString &details);

  std::unique_ptr<TVerificationWorkflow> d_log;
  TMessageBox *d_message_box = nullptr;
  QString d_make;
  QString d_model;
  QString d_option;
  QString d_folder;
  QString d_last_file_name;
  // A catalogue this user cannot change: its log is shown, not written.
  bool d_read_only = false;
  // Whether the splitter between the form and the plots was set for the window's first size.
  bool d_shown = false;
  // The widths of the records' texts in this font (Fit_Columns).
  QHash<QString, int> d_text_widths;
  QFont d_measured_font;

  QLabel *d_machine_label;
  QLabel *d_read_only_label;
  TVerificationSchedulePanel *d_schedule;
  TVerificationRecordsModel *d_records;
  QTableView *d_records_view;
  QPushButton *d_new_button;
  QPushButton *d_delete_button;
  QPushButton *d_report_button;
  QSplitter *d_record_splitter;
  TVerificationRecordForm *d_form;
  QTabWidget *d_tabs;
  TVerificationChartView *d_errors_plot;
  QComboBox *d_trend_combo;
  TVerificationChartView *d_trend_plot;
  QWidget *d_trend_tab;
  // Whether the trend plot shows the records and the choice of now.
  bool d_trend_current = false;
};

#endif // METROVA_VERIFICATIONLOGDIALOG_H
