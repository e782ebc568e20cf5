#ifndef METROVA_PROGRESSDIALOG_H
#define METROVA_PROGRESSDIALOG_H

#include <QDialog>

class QLabel;
class QProgressBar;

// Modeless window that shows what the worker thread is doing and how far it has come.
class TProgressDialog : public QDialog
{
  Q_OBJECT

public:
  explicit TProgressDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = {});

  void Set_Text(const QString &text);
  void Set_Maximum(int maximum);
  void Set_Value(int value);

private:
  QLabel *d_text_label;
  QProgressBar *d_progress_bar;
};

#endif // METROVA_PROGRESSDIALOG_H
