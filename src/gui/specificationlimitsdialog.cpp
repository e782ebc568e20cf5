#include "specificationlimitsdialog.h"
#include "invalidmarker.h"
#include "limitschartview.h"
#include "limitsseries.h"
#include "specificationlimits.h"
#include "temperatureband.h"
#include "windowunits.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QStringList>
#include <QVBoxLayout>

#include <cmath>

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

// Wide enough for the longest text it shows, so that no size of the dialog cuts a number.
QLineEdit *New_Field(QWidget *parent, const QString &object_name, bool read_only,
                     const QString &widest_text)
{
  QLineEdit *field = new QLineEdit(parent);
  field->setObjectName(object_name);
  field->setAlignment(Qt::AlignCenter);
  field->setReadOnly(read_only);
  // Tab goes from input to input; a shown value is still selected by a click, for copying.
  if (read_only)
  {
    field->setFocusPolicy(Qt::ClickFocus);
  }
  field->setMinimumWidth(field->fontMetrics().horizontalAdvance(widest_text) + 16);
  return field;
}

const QString WIDEST_NUMBER = QStringLiteral("8888.888");
const QString WIDEST_RESULT = QStringLiteral("+/- 8888.8 um");

QFrame *New_Line(QWidget *parent)
{
  QFrame *line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}
} // namespace

TSpecificationLimitsDialog::TSpecificationLimitsDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), d_temperature_deviation(0.0),
      d_temperature(TSpecificationLimits::REFERENCE_TEMPERATURE), d_plot_length(2000.0)
{
  resize(1180, 620);

  // The limits on the left, their plot on the right, the warning and the button below both.
  QVBoxLayout *dialog_layout = new QVBoxLayout(this);
  QHBoxLayout *columns = new QHBoxLayout();
  dialog_layout->addLayout(columns);
  QGridLayout *layout = new QGridLayout();
  columns->addLayout(layout);
  int row = 0;

  d_make_edit = New_Field(this, QStringLiteral("make_edit"), true, WIDEST_RESULT);
  d_model_edit = New_Field(this, QStringLiteral("model_edit"), true, WIDEST_RESULT);
  d_option_edit = New_Field(this, QStringLiteral("option_edit"), true, WIDEST_RESULT);
  layout->addWidget(new QLabel(QStringLiteral("Make:"), this), row, 0);
  layout->addWidget(d_make_edit, row++, 1, 1, 3);
  layout->addWidget(new QLabel(QStringLiteral("Model:"), this), row, 0);
  layout->addWidget(d_model_edit, row++, 1, 1, 3);
  layout->addWidget(new QLabel(QStringLiteral("Option:"), this), row, 0);
  layout->addWidget(d_option_edit, row++, 1, 1, 3);

  layout->addWidget(New_Line(this), row++, 0, 1, 4);

  d_measurement_length_edit =
      New_Field(this, QStringLiteral("measurement_length_edit"), false, WIDEST_RESULT);
  d_measurement_length_edit->setText(QStringLiteral("1000.000"));
  d_length_marker = new TInvalidMarker(this, QStringLiteral("measurement_length_invalid"));
  layout->addWidget(new QLabel(QStringLiteral("Measurement Length:"), this), row, 0);
  layout->addWidget(d_measurement_length_edit, row, 1);
  layout->addWidget(new QLabel(QStringLiteral("mm"), this), row, 2);
  layout->addWidget(d_length_marker, row++, 3);

  d_actual_temperature_edit =
      New_Field(this, QStringLiteral("actual_temperature_edit"), false, WIDEST_RESULT);
  d_actual_temperature_edit->setText(QStringLiteral("20.00"));
  d_temperature_marker = new TInvalidMarker(this, QStringLiteral("actual_temperature_invalid"));
  layout->addWidget(new QLabel(QStringLiteral("Actual Temperature:"), this), row, 0);
  layout->addWidget(d_actual_temperature_edit, row, 1);
  layout->addWidget(new QLabel(QStringLiteral("C"), this), row, 2);
  layout->addWidget(d_temperature_marker, row++, 3);

  layout->addWidget(New_Line(this), row++, 0, 1, 4);

  for (int index = 0; index < RESULT_FIELD_COUNT; ++index)
  {
    const TResultRow &result_row = RESULT_ROWS[index];
    d_result_edits[index] =
        New_Field(this, QLatin1String(result_row.object_name), true, WIDEST_RESULT);
    layout->addWidget(new QLabel(TSpecificationLimits::Row_Label(index), this), row, 0);
    layout->addWidget(d_result_edits[index], row, 1);
    layout->addWidget(new QLabel(QLatin1String(result_row.description), this), row++, 2, 1, 2);
  }

  layout->addWidget(New_Line(this), row++, 0, 1, 4);
  layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), row++, 0, 1,
                  4);

  QVBoxLayout *plot_layout = new QVBoxLayout();
  columns->addLayout(plot_layout, 1);
  d_chart_view = new TLimitsChartView(this);
  d_chart_view->setObjectName(QStringLiteral("limits_plot"));
  plot_layout->addWidget(d_chart_view, 1);
  QHBoxLayout *plot_length_layout = new QHBoxLayout();
  plot_layout->addLayout(plot_length_layout);
  d_plot_length_edit = New_Field(this, QStringLiteral("plot_length_edit"), false, WIDEST_NUMBER);
  d_plot_length_edit->setText(QStringLiteral("2000"));
  d_plot_length_edit->setMaximumWidth(120);
  d_plot_length_marker = new TInvalidMarker(this, QStringLiteral("plot_length_invalid"));
  plot_length_layout->addWidget(new QLabel(QStringLiteral("Plot Length:"), this));
  plot_length_layout->addWidget(d_plot_length_edit);
  plot_length_layout->addWidget(new QLabel(QStringLiteral("mm"), this));
  plot_length_layout->addWidget(d_plot_length_marker);
  plot_length_layout->addStretch();

  d_temperature_warning = new QLabel(this);
  d_temperature_warning->setObjectName(QStringLiteral("temperature_warning"));
  d_temperature_warning->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
  d_temperature_warning->setWordWrap(true);
  d_temperature_warning->hide();
  dialog_layout->addWidget(d_temperature_warning);

  QHBoxLayout *button_layout = new QHBoxLayout();
  button_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
  // Not auto-default, so that Return in a field recalculates instead of closing.
  QPushButton *close_button = new QPushButton(QStringLiteral("Close"), this);
  close_button->setAutoDefault(false);
  button_layout->addWidget(close_button);
  dialog_layout->addLayout(button_layout);

  setWindowTitle(QStringLiteral("Specification Limits"));
  // The first field the user can change, not the machine's names.
  d_measurement_length_edit->setFocus();

  connect(d_measurement_length_edit, &QLineEdit::editingFinished, this,
          &TSpecificationLimitsDialog::Length_Changed);
  connect(d_actual_temperature_edit, &QLineEdit::editingFinished, this,
          &TSpecificationLimitsDialog::Temperature_Changed);
  connect(d_plot_length_edit, &QLineEdit::editingFinished, this,
          &TSpecificationLimitsDialog::Plot_Length_Changed);
  connect(close_button, &QPushButton::clicked, this, &QDialog::close);
}

TSpecificationLimitsDialog::~TSpecificationLimitsDialog()
{
  // QDialog hides itself on destruction, which takes the focus from a field: its editingFinished
  // must not reach members already destroyed.
  for (QObject *child : findChildren<QObject *>())
  {
    child->disconnect(this);
  }
}

void TSpecificationLimitsDialog::Set_Identification(const QString &make, const QString &model,
                                                    const QString &option)
{
  d_database_items.clear();
  d_make_edit->setText(make);
  d_model_edit->setText(model);
  d_option_edit->setText(option);
  d_measurement_length_edit->setFocus();
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

void TSpecificationLimitsDialog::Plot_Length_Changed()
{
  Update_Plot();
}

void TSpecificationLimitsDialog::Update_Temperature_Deviation()
{
  double temperature = 0.0;
  const bool number =
      TSpecificationLimits::To_Number(d_actual_temperature_edit->text(), &temperature);
  if (number)
  {
    d_temperature = temperature;
    d_temperature_deviation = TSpecificationLimits::Temperature_Deviation(temperature);
  }
  d_temperature_marker->Set_Reason(QString());
  if (!number)
  {
    d_temperature_marker->Set_Number_Reason(
        QStringLiteral("The temperature"), d_actual_temperature_edit->text(),
        QStringLiteral("The temperature must be a number; the greyed limits are those of the last "
                       "number typed."));
  }
}

void TSpecificationLimitsDialog::Calculate_Limits()
{
  const QStringList texts = TSpecificationLimits::Calculate(
      d_database_items, d_measurement_length_edit->text(), d_temperature_deviation);

  // Limits of a temperature that is no longer typed are greyed: they answer another question.
  const bool temperature_used = !d_temperature_marker->Is_Shown();
  for (int index = 0; index < RESULT_FIELD_COUNT; ++index)
  {
    d_result_edits[index]->setText(index < texts.size() ? texts.at(index) : QString());
    d_result_edits[index]->setEnabled(temperature_used);
  }
  double length = 0.0;
  d_length_marker->Set_Reason(QString());
  if (!TSpecificationLimits::To_Number(d_measurement_length_edit->text(), &length))
  {
    d_length_marker->Set_Number_Reason(
        QStringLiteral("The measurement length"), d_measurement_length_edit->text(),
        QStringLiteral("The measurement length must be a number of millimetres."));
  }

  const QString warning = temperature_used ? TTemperatureBand::Of_Machine(d_database_items)
                                                 .Warning(d_temperature, TWindowUnits::CELSIUS)
                                           : QString();
  d_temperature_warning->setText(warning);
  d_temperature_warning->setVisible(!warning.isEmpty());
  Update_Plot();
}

void TSpecificationLimitsDialog::Update_Plot()
{
  double plot_length = 0.0;
  const bool plot_length_used =
      TSpecificationLimits::To_Number(d_plot_length_edit->text(), &plot_length) &&
      plot_length > 0.0;
  if (plot_length_used)
  {
    d_plot_length = plot_length;
  }
  d_plot_length_marker->Set_Reason(QString());
  if (!plot_length_used)
  {
    d_plot_length_marker->Set_Number_Reason(
        QStringLiteral("The plot length"), d_plot_length_edit->text(),
        QStringLiteral("The plot length must be a number of millimetres above 0."));
  }
  double length = 0.0;
  const bool marked = TSpecificationLimits::To_Number(d_measurement_length_edit->text(), &length);

  // Lines of an input that is not used would answer another question: none are drawn.
  QList<TLimitsChartView::TCurve> curves;
  if (plot_length_used && !d_temperature_marker->Is_Shown())
  {
    const QVector<QVector<QPointF>> points = TLimitsSeries::Row_Curves(
        d_database_items, TLimitsSeries::Range(d_plot_length), d_temperature_deviation);
    for (int index = 0; index < RESULT_FIELD_COUNT; ++index)
    {
      // The row's label without its colon names the line.
      curves.append({TSpecificationLimits::Row_Label(index).chopped(1), points.at(index)});
    }
  }
  d_chart_view->Set_Curves(curves, d_plot_length, marked ? std::fabs(length) : std::nan(""),
                           QStringLiteral("Measurement Length"));
}
