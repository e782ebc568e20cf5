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
  setMinimumSize(420, 320);
  // Beside the plot, where long names are not cut short.
  chart()->legend()->setAlignment(Qt::AlignRight);
  chart()->setMargins(QMargins(4, 4, 4, 4));
}

void TLimitsChartView::Set_Curves(const QList<TCurve> &curves, double maximum_length,
                                  double marked_length, const QString &marker_name)
{
  QChart *chart = this->chart();
  chart->removeAllSeries();
  for (QAbstractAxis *axis : chart->axes())
  {
    chart->removeAxis(axis);
    delete axis;
  }

  QValueAxis *length_axis = new QValueAxis(chart);
  length_axis->setTitleText(QStringLiteral("Measuring length (mm)"));
  length_axis->setLabelFormat(QStringLiteral("%.0f"));
  length_axis->setRange(0.0, maximum_length > 0.0 ? maximum_length : 1.0);
  QValueAxis *limit_axis = new QValueAxis(chart);
  limit_axis->setTitleText(QStringLiteral("Limit (\u00b5m)"));
  limit_axis->setLabelFormat(QStringLiteral("%.1f"));
  chart->addAxis(length_axis, Qt::AlignBottom);
  chart->addAxis(limit_axis, Qt::AlignLeft);

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
    // Estimated limits often coincide: each line is drawn thinner than the one before, so that
    // lines on top of each other still show every colour. The theme has given the colour.
    QPen pen = series->pen();
    pen.setWidthF(2.0 + 1.0 * (shown.size() - 1 - index));
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
