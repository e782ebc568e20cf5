#include "limitschartview.h"

#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace QtCharts;

const char TLimitsChartView::MARKER_NAME[] = "limits_marker";

TLimitsChartView::TLimitsChartView(QWidget *parent) : QChartView(parent)
{
  setRenderHint(QPainter::Antialiasing);
  setMinimumSize(360, 220);
  // Beside the plot, where long names are not cut short.
  chart()->legend()->setAlignment(Qt::AlignRight);
  chart()->setMargins(QMargins(4, 4, 4, 4));
  QFont legend_font = chart()->legend()->font();
  legend_font.setPointSizeF(legend_font.pointSizeF() * 0.9);
  chart()->legend()->setFont(legend_font);

  d_length_axis = new QValueAxis(chart());
  d_length_axis->setTitleText(QStringLiteral("Measuring length (mm)"));
  d_length_axis->setLabelFormat(QStringLiteral("%.0f"));
  d_limit_axis = new QValueAxis(chart());
  d_limit_axis->setTitleText(QStringLiteral("Limit (\u00b5m)"));
  d_limit_axis->setLabelFormat(QStringLiteral("%.1f"));
  chart()->addAxis(d_length_axis, Qt::AlignBottom);
  chart()->addAxis(d_limit_axis, Qt::AlignLeft);
}

void TLimitsChartView::Set_Curves(const QList<TCurve> &curves, double maximum_length,
                                  double marked_length, const QString &marker_name)
{
  QChart *chart = this->chart();
  chart->removeAllSeries();
  QValueAxis *length_axis = d_length_axis;
  QValueAxis *limit_axis = d_limit_axis;
  length_axis->setRange(0.0, maximum_length > 0.0 ? maximum_length : 1.0);

  double highest = 0.0;
  const auto add = [&](QLineSeries *series)
  {
    chart->addSeries(series);
    series->attachAxis(length_axis);
    series->attachAxis(limit_axis);
  };
  QList<TCurve> shown;
  std::copy_if(curves.cbegin(), curves.cend(), std::back_inserter(shown),
               [](const TCurve &curve) { return !curve.points.isEmpty(); });
  for (int index = 0; index < shown.size(); ++index)
  {
    const TCurve &curve = shown.at(index);
    QLineSeries *series = new QLineSeries(chart);
    series->setName(curve.name);
    series->replace(curve.points);
    for (const QPointF &point : curve.points)
    {
      highest = std::max(highest, point.y());
    }
    add(series);
    // Estimated limits often coincide with others: a line drawn under later equal lines is
    // drawn wider, so that each colour still shows. The theme has given the colour.
    const int equal_later = static_cast<int>(
        std::count_if(shown.cbegin() + index + 1, shown.cend(),
                      [&curve](const TCurve &later) { return later.points == curve.points; }));
    QPen pen = series->pen();
    pen.setWidthF(2.0 + 1.5 * equal_later);
    series->setPen(pen);
  }
  // Room above the highest line, so that a flat maximum is not hidden in the frame.
  limit_axis->setRange(0.0, highest > 0.0 ? highest * 1.15 : 1.0);
  limit_axis->applyNiceNumbers();

  if (std::isfinite(marked_length) && marked_length >= 0.0 && marked_length <= maximum_length)
  {
    QLineSeries *marker = new QLineSeries(chart);
    marker->setObjectName(QLatin1String(MARKER_NAME));
    marker->setName(marker_name);
    QPen pen(Qt::darkGray);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    marker->setPen(pen);
    marker->append(marked_length, 0.0);
    marker->append(marked_length, limit_axis->max());
    add(marker);
  }
}
