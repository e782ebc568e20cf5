#ifndef METROVA_METROVA_H
#define METROVA_METROVA_H

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QLabel;
class QListWidget;
class QTreeWidget;
class TCatalogueView;
class TCompareMachinesDialog;
class TDatabase;
class TDatabaseItem;
class TExportOptionsDialog;
class TImportExportThread;
class TMessageBox;
class TProgressDialog;
class TSpecificationEditorDialog;
class TSpecificationLimitsDialog;
class TWindowSettings;

// Registers the icons and the logo; the resources live in a static library, so whoever shows
// them before the main window exists calls this first.
void Initialize_Metrova_Resources();

class TMetrova : public QMainWindow
{
  Q_OBJECT

public:
  explicit TMetrova(QWidget *parent = nullptr);
  ~TMetrova() override;

  bool Connect_Database(const QString &file_name);
  void Select_Specification(const QString &make, const QString &model, const QString &option);
  void Add_Specification_Tree_Items(const QString &standard, const TDatabaseItem &item);

  QString Settings_File_Name() const;

private slots:
  void New_Database();
  void Open_Database();
  void Close_Database();
  void Export();
  void Import();
  void Output();
  void Edit_Specification();
  void Specification_Limits();
  void Compare_Machines();
  void Verification_Log();
  void Delete_Make();
  void Delete_Model();
  void Delete_Option();
  void Help_About();
  void Open_Sample_Catalogue();
  void Make_Selection_Changed();
  void Model_Selection_Changed();
  void Option_Selection_Changed();
  void Thread_Started();
  void Thread_Finished();
  void Thread_Progress(int value, int maximum);
  void Thread_Progress_Text(const QString &text);

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void Create_Actions();
  void Create_Menus();
  void Show_Database_Makes();
  void Show_Opened_Database();
  void Show_Open_Failure(const QString &heading, const QString &text);
  void Show_Closed_Database();
  // The open catalogue's name in the status bar, or what to do when none is.
  void Show_Catalogue_Name();
  // Deletes what remove() removes after asking about the make, model or option ("level") and
  // shows what the database then holds: the level's list refilled with names(), the lists below
  // it and the tree empty.
  // records() counts the verification records that go with it (-1: they cannot be counted), for
  // a second question.
  void Delete_Level(const QString &level, QListWidget *list, const std::function<int()> &records,
                    const std::function<bool(bool)> &remove,
                    const std::function<QStringList(bool *)> &names);
  // The second question when verification records go too.
  bool Records_Deletion_Confirmed(const QString &level, int records);
  bool Worker_Running() const;
  bool Refused_While_Running();
  bool Exchange_Refused();
  void Set_Worker_Running(bool running);
  void Update_Database_Commands();

  QAction *d_action_new_database;
  QAction *d_action_open_database;
  QAction *d_action_close_database;
  QAction *d_action_export;
  QAction *d_action_import;
  QAction *d_action_output;
  QAction *d_action_quit;
  QAction *d_action_delete_make;
  QAction *d_action_delete_model;
  QAction *d_action_delete_option;
  QAction *d_action_edit_specification;
  QAction *d_action_specification_limits;
  QAction *d_action_compare_machines;
  QAction *d_action_verification_log;
  QAction *d_action_open_sample_catalogue;
  QListWidget *d_make_list;
  QListWidget *d_model_list;
  QListWidget *d_option_list;
  QTreeWidget *d_specification_tree;
  TProgressDialog *d_progress_dialog;
  TExportOptionsDialog *d_export_options_dialog;
  TImportExportThread *d_import_export_thread;
  TSpecificationEditorDialog *d_specification_editor_dialog;
  TSpecificationLimitsDialog *d_specification_limits_dialog;
  TCompareMachinesDialog *d_compare_machines_dialog;
  std::unique_ptr<TDatabase> d_database;
  TMessageBox *d_message_box;
  QLabel *d_catalogue_label;
  std::unique_ptr<TWindowSettings> d_window_settings;
  TCatalogueView *d_catalogue_view;
};

#endif // METROVA_METROVA_H
