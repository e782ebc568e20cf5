#ifndef METROVA_EXCHANGERUNNER_H
#define METROVA_EXCHANGERUNNER_H

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;
class TCatalogueController;
class TExportOptionsDialog;
class TImportExportThread;
class TMessageBox;
class TProgressDialog;
class TWindowSettings;

// Import and Export of the window: asks what and which file, runs the worker thread on the open
// catalogue with its progress shown, and says how it ended. While it runs, the worker holds the
// window's database connection: nothing else may read, change or close the catalogue.
class TExchangeRunner : public QObject
{
  Q_OBJECT

public:
  // The dialogs come up over the window; the settings give and keep the folder offered.
  TExchangeRunner(QWidget *window, TCatalogueController *catalogue, TMessageBox *message_box,
                  TWindowSettings *settings);
  ~TExchangeRunner() override;

  bool Is_Running() const;
  // Says "IO Thread Running" while a run goes on; the caller then stops.
  bool Refused_While_Running();

  void Import();
  // All makes, or with makes selected in the window, those if the user chooses so.
  void Export(const QStringList &selected_makes);

signals:
  // Whether the worker runs, before it starts and once it has ended.
  void Running_Changed(bool running);
  // An import begins: what the lists show is about to be out of date.
  void Import_Started();
  // An import ended, after its failure or warnings were said.
  void Import_Finished();

private slots:
  void Thread_Started();
  void Thread_Finished();
  void Thread_Progress(int value, int maximum);
  void Thread_Progress_Text(const QString &text);

private:
  // Import and Export need an open catalogue and an idle worker.
  bool Refused();
  void Start(int mode, const QString &file_name, const QString &selected_filter);

  QWidget *d_window;
  TCatalogueController *d_catalogue;
  TMessageBox *d_message_box;
  TWindowSettings *d_settings;
  TImportExportThread *d_thread;
  TProgressDialog *d_progress_dialog;
  TExportOptionsDialog *d_export_options_dialog;
};

#endif // METROVA_EXCHANGERUNNER_H
