#include "exportoptionsdialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>

TExportOptionsDialog::TExportOptionsDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
  resize(400, 144);

  QVBoxLayout *layout = new QVBoxLayout(this);

  d_all_specification_data_button =
      new QRadioButton(QStringLiteral("All Specification Data"), this);
  d_all_specification_data_button->setChecked(true);
  layout->addWidget(d_all_specification_data_button);

  d_selected_specifications_button =
      new QRadioButton(QStringLiteral("Selected Specifications"), this);
  layout->addWidget(d_selected_specifications_button);

  QFrame *line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  layout->addWidget(line);

  layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));

  QHBoxLayout *button_layout = new QHBoxLayout();
  button_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));

  QPushButton *cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_button->setAutoDefault(false);
  button_layout->addWidget(cancel_button);

  // Return confirms the choice; Escape cancels.
  QPushButton *continue_button = new QPushButton(QStringLiteral("Continue"), this);
  continue_button->setDefault(true);
  button_layout->addWidget(continue_button);

  layout->addLayout(button_layout);

  setWindowTitle(QStringLiteral("Export Options"));

  connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);
  connect(continue_button, &QPushButton::clicked, this, &QDialog::accept);
}

bool TExportOptionsDialog::Is_Selected_Specifications() const
{
  return d_selected_specifications_button->isChecked();
}
