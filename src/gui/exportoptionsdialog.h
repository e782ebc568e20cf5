#ifndef METROVA_EXPORTOPTIONSDIALOG_H
#define METROVA_EXPORTOPTIONSDIALOG_H

#include <QDialog>

class QRadioButton;

// Asks whether an export writes the whole catalogue or only the makes selected in the window.
// exec() returns Accepted on "Continue" and Rejected on "Cancel".
class TExportOptionsDialog : public QDialog
{
  Q_OBJECT

public:
  explicit TExportOptionsDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = {});

  bool Is_Selected_Specifications() const;

private:
  QRadioButton *d_all_specification_data_button;
  QRadioButton *d_selected_specifications_button;
};

#endif // METROVA_EXPORTOPTIONSDIALOG_H
