#include "progressdialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TProgressDialog::TProgressDialog(QWidget *parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
  resize(413, 100);

  QVBoxLayout *layout = new QVBoxLayout(this);

  d_text_label = new QLabel(this);
  layout->addWidget(d_text_label);

  d_progress_bar = new QProgressBar(this);
  layout->addWidget(d_progress_bar);

  setWindowTitle(QStringLiteral("Progress Dialog"));
}

void TProgressDialog::Set_Text(const QString &text)
{
  d_text_label->setText(text);
}

void TProgressDialog::Set_Maximum(int maximum)
{
  d_progress_bar->setMaximum(maximum);
}

void TProgressDialog::Set_Value(int value)
{
  d_progress_bar->setValue(value);
}
