#ifndef METROVA_METROVA_H
#define METROVA_METROVA_H

#include <QMainWindow>
#include <QString>

#include <memory>

class QAction;
class QCloseEvent;
class QLabel;
class TCatalogueController;
class TCatalogueLocation;
class TCatalogueView;
class TCompareMachinesDialog;
class TDeleteFlow;
class TExchangeRunner;
class TMessageBox;
class TSpecificationEditorDialog;
class TSpecificationLimitsDialog;
class TVerificationLogDialog;
class TWindowSettings;

// Registers the icons and the logo; the resources live in a static library, so whoever shows
// them before the main window exists calls this first.
void Initialize_Metrova_Resources();

// The main window: its commands, menus and tool bar, the status bar naming the catalogue, and
// the dialogs it opens. The catalogue itself is the controller's, the lists and the tree the
// browser's, import and export the runner's and the deletes the delete flow's.
class TMetrova : public QMainWindow
{
  Q_OBJECT

public:
  explicit TMetrova(QWidget *parent = nullptr);
  ~TMetrova() override;

  QString Settings_File_Name() const;

private slots:
  void New_Database();
  void Open_Database();
  void Connect_To_Server();
  void Close_Database();
  void Open_Sample_Catalogue();
  void Output();
  void Edit_Specification();
  void Specification_Limits();
  void Compare_Machines();
  void Verification_Log();
  void History();
  void Help_About();
  void Catalogue_Changed();
  void Worker_Running_Changed(bool running);
  void Update_Database_Commands();

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void Create_Actions();
  void Create_Menus();
  // Opens a catalogue, saying why when it cannot, and why it is read-only when the user can
  // change that. A server that wants a password is asked for one, once.
  bool Open_Catalogue(const TCatalogueLocation &location);
  // A failed New or Open: the controller's sentence, with its details.
  void Show_Catalogue_Failure();
  // The open catalogue's name in the status bar, or what to do when none is.
  void Show_Catalogue_Name();
  bool Worker_Running() const;

  QAction *d_action_new_database;
  QAction *d_action_open_database;
  QAction *d_action_connect_server;
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
  QAction *d_action_history;
  QAction *d_action_about;
  QAction *d_action_open_sample_catalogue;
  TSpecificationEditorDialog *d_specification_editor_dialog;
  TSpecificationLimitsDialog *d_specification_limits_dialog;
  TCompareMachinesDialog *d_compare_machines_dialog;
  // Made once, as the other dialogs: a log opens without building its plots and tables again.
  TVerificationLogDialog *d_verification_log_dialog;
  TMessageBox *d_message_box;
  QLabel *d_catalogue_label;
  std::unique_ptr<TWindowSettings> d_window_settings;
  TCatalogueController *d_catalogue;
  TCatalogueView *d_browser;
  TExchangeRunner *d_exchange_runner;
  std::unique_ptr<TDeleteFlow> d_delete_flow;
};

#endif // METROVA_METROVA_H
