#include "specificationlimitsdialog.h"
#include "specificationlimits.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QStringList>

namespace
{
static_assert(TSpecificationLimitsDialog::RESULT_FIELD_COUNT == TSpecificationLimits::ROW_COUNT,
              "one result field per limits row");

struct TResultRow
{
  const char *object_name;
  const char *description;
};

// Same order as the texts TSpecificationLimits::Calculate returns; the labels are its own.
const TResultRow RESULT_ROWS[TSpecificationLimitsDialog::RESULT_FIELD_COUNT] = {
    {"b89_repeat_result", "Sphere Repeatability"},
    {"b89_ballbar_result", "Maximum Range"},
    {"iso10360_r0_result", "Length Repeatability"},
    {"iso10360_e0_result", "Length Variation"},
    {"iso10360_e150_result", "Length Variation with offset"},
    {"vdivde_v3_result", "3D Probe Variation"},
    {"vdivde_u3_result", "Length Variation"},
    {"cmma_repeat_result", "Length Repeatability"},
    {"cmma_m_result", "Length Variation"},
};

QLineEdit *New_Field(QWidget *parent, const QString &object_name, bool read_only)
{
  QLineEdit *field = new QLineEdit(parent);
  field->setObjectName(object_name);
  field->setAlignment(Qt::AlignCenter);
  field->setReadOnly(read_only);
  return field;
}

QFrame *New_Line(QWidget *parent)
{
  QFrame *line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}
} // namespace

TSpecificationLimitsDialog::TSpecificationLimitsDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), d_temperature_deviation(0.0)
{
  resize(527, 527);

  QGridLayout *layout = new QGridLayout(this);
  int row = 0;

  d_make_edit = New_Field(this, QStringLiteral("make_edit"), true);
  d_model_edit = New_Field(this, QStringLiteral("model_edit"), true);
  d_option_edit = New_Field(this, QStringLiteral("option_edit"), true);
  layout->addWidget(new QLabel(QStringLiteral("Make:"), this), row, 0);
  layout->addWidget(d_make_edit, row++, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("Model:"), this), row, 0);
  layout->addWidget(d_model_edit, row++, 1, 1, 2);
  layout->addWidget(new QLabel(QStringLiteral("Option:"), this), row, 0);
  layout->addWidget(d_option_edit, row++, 1, 1, 2);

  layout->addWidget(New_Line(this), row++, 0, 1, 3);

  d_measurement_length_edit = New_Field(this, QStringLiteral("measurement_length_edit"), false);
  d_measurement_length_edit->setText(QStringLiteral("1000.000"));
  layout->addWidget(new QLabel(QStringLiteral("Measurement Length:"), this), row, 0);
  layout->addWidget(d_measurement_length_edit, row, 1);
  layout->addWidget(new QLabel(QStringLiteral("mm"), this), row++, 2);

  d_actual_temperature_edit = New_Field(this, QStringLiteral("actual_temperature_edit"), false);
  d_actual_temperature_edit->setText(QStringLiteral("20.00"));
  layout->addWidget(new QLabel(QStringLiteral("Actual Temperature:"), this), row, 0);
  layout->addWidget(d_actual_temperature_edit, row, 1);
  layout->addWidget(new QLabel(QStringLiteral("C"), this), row++, 2);

  layout->addWidget(New_Line(this), row++, 0, 1, 3);

  for (int index = 0; index < RESULT_FIELD_COUNT; ++index)
  {
    const TResultRow &result_row = RESULT_ROWS[index];
    d_result_edits[index] = New_Field(this, QLatin1String(result_row.object_name), true);
    layout->addWidget(new QLabel(TSpecificationLimits::Row_Label(index), this), row, 0);
    layout->addWidget(d_result_edits[index], row, 1);
    layout->addWidget(new QLabel(QLatin1String(result_row.description), this), row++, 2);
  }

  layout->addWidget(New_Line(this), row++, 0, 1, 3);
  layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), row++, 0, 1,
                  3);

  QHBoxLayout *button_layout = new QHBoxLayout();
  button_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
  // Not auto-default, so that Return in a field recalculates instead of closing.
  QPushButton *close_button = new QPushButton(QStringLiteral("Close"), this);
  close_button->setAutoDefault(false);
  button_layout->addWidget(close_button);
  layout->addLayout(button_layout, row, 0, 1, 3);

  setWindowTitle(QStringLiteral("Specification Limits"));

  connect(d_measurement_length_edit, &QLineEdit::editingFinished, this,
          &TSpecificationLimitsDialog::Length_Changed);
  connect(d_actual_temperature_edit, &QLineEdit::editingFinished, this,
          &TSpecificationLimitsDialog::Temperature_Changed);
  connect(close_button, &QPushButton::clicked, this, &QDialog::close);
}

TSpecificationLimitsDialog::~TSpecificationLimitsDialog() = default;

void TSpecificationLimitsDialog::Set_Identification(const QString &make, const QString &model,
                                                    const QString &option)
{
  d_database_items.clear();
  d_make_edit->setText(make);
  d_model_edit->setText(model);
  d_option_edit->setText(option);
}

void TSpecificationLimitsDialog::Add_Database_Item(const TDatabaseItem &item)
{
  d_database_items.append(item);
}

void TSpecificationLimitsDialog::Update_Limits()
{
  Update_Temperature_Deviation();
  Calculate_Limits();
}

void TSpecificationLimitsDialog::Length_Changed()
{
  Calculate_Limits();
}

void TSpecificationLimitsDialog::Temperature_Changed()
{
  Update_Limits();
}

void TSpecificationLimitsDialog::Update_Temperature_Deviation()
{
  d_temperature_deviation = TSpecificationLimits::Temperature_Deviation(
      d_actual_temperature_edit->text(), d_temperature_deviation);
}

void TSpecificationLimitsDialog::Calculate_Limits()
{
  const QStringList texts = TSpecificationLimits::Calculate(
      d_database_items, d_measurement_length_edit->text(), d_temperature_deviation);

  for (int index = 0; index < RESULT_FIELD_COUNT; ++index)
  {
    d_result_edits[index]->setText(index < texts.size() ? texts.at(index) : QString());
  }
}
