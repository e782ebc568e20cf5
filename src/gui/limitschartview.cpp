#include "limitschartview.h"

#include "chartlegend.h"

#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace
{
// Lines no further apart than this share of the highest value draw over each other.
constexpr double COINCIDENT_SHARE = 0.01;
// The patterns of the styles past the first, in pen widths: long dashes, dots, dash and dot.
const QVector<qreal> STYLE_DASHES[TLimitsChartView::STYLE_COUNT] = {
    {}, {8.0, 3.0}, {1.0, 3.0}, {8.0, 3.0, 1.0, 3.0}};

bool Coincide(const QVector<QPointF> &first, const QVector<QPointF> &second, double apart)
{
  if (first.size() != second.size())
  {
    return false;
  }
  for (int index = 0; index < first.size(); ++index)
  {
    if (first.at(index).x() != second.at(index).x() ||
        std::fabs(first.at(index).y() - second.at(index).y()) > apart)
    {
      return false;
    }
  }
  return true;
}

// The points of a line without those on the straight stretch between their neighbours, to a
// billionth of its height: QtCharts strokes a solid line segment by segment, and a limit sampled
// at hundreds of lengths is mostly straight, so the same line is drawn in a few strokes.
QVector<QPointF> Drawn_Points(const QVector<QPointF> &points)
{
  double height = 0.0;
  for (const QPointF &point : points)
  {
    height = std::max(height, std::fabs(point.y()));
  }
  QVector<QPointF> drawn;
  for (int index = 0; index < points.size(); ++index)
  {
    const QPointF &point = points.at(index);
    if (drawn.size() >= 1 && index + 1 < points.size())
    {
      const QPointF &before = drawn.last();
      const QPointF &after = points.at(index + 1);
      const double span = after.x() - before.x();
      // How far the point lies off the segment from the last one kept to the next, times span.
      const double off =
          (point.y() - before.y()) * span - (after.y() - before.y()) * (point.x() - before.x());
      if (span > 0.0 && point.x() > before.x() && point.x() < after.x() &&
          std::fabs(off) <= 1e-9 * height * span)
      {
        continue;
      }
    }
    drawn.append(point);
  }
  return drawn;
}
} // namespace

const char TLimitsChartView::MARKER_NAME[] = "limits_marker";
// Blue, orange, bluish green, vermilion, reddish purple, sky blue, black and yellow: the last is
// faint on white, so it comes last.
const QRgb TLimitsChartView::PALETTE[PALETTE_SIZE] = {0x0072B2, 0xE69F00, 0x009E73, 0xD55E00,
                                                      0xCC79A7, 0x56B4E9, 0x000000, 0xF0E442};

TLimitsChartView::TLimitsChartView(QWidget *parent) : QChartView(parent)
{
  setRenderHint(QPainter::Antialiasing);
  // Room for the plot beside a legend of long names.
  setMinimumSize(480, 260);
  d_legend = new TChartLegend(this);

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
  QValueAxis *length_axis = d_length_axis;
  QValueAxis *limit_axis = d_limit_axis;
  length_axis->setRange(0.0, maximum_length > 0.0 ? maximum_length : 1.0);

  double highest = 0.0;
  for (const TCurve &curve : curves)
  {
    for (const QPointF &point : curve.points)
    {
      highest = std::max(highest, point.y());
    }
  }
  // Lines closer than this everywhere are drawn on the same pixels.
  const double apart = highest * COINCIDENT_SHARE;
  // The series shown before take the new lines in turn, and only those wanted beyond them are
  // made: a series made and attached costs many times a replacement of its points.
  const QList<QAbstractSeries *> shown = chart->series();
  int used = 0;
  const auto next = [&]
  {
    if (used < shown.size())
    {
      return static_cast<QLineSeries *>(shown.at(used++));
    }
    QLineSeries *series = new QLineSeries(chart);
    chart->addSeries(series);
    series->attachAxis(length_axis);
    series->attachAxis(limit_axis);
    return series;
  };
  for (int index = 0; index < curves.size(); ++index)
  {
    const TCurve &curve = curves.at(index);
    if (curve.points.isEmpty())
    {
      continue;
    }
    const auto near = [&curve, apart](const TCurve &other)
    { return Coincide(curve.points, other.points, apart); };
    const int near_earlier =
        static_cast<int>(std::count_if(curves.cbegin(), curves.cbegin() + index, near));
    const int near_later =
        static_cast<int>(std::count_if(curves.cbegin() + index + 1, curves.cend(), near));

    QLineSeries *series = next();
    series->setObjectName(QString());
    series->setName(curve.name);
    if (near_earlier > 0)
    {
      const TCurve &under = *std::find_if(curves.cbegin(), curves.cend(), near);
      series->setName((under.points == curve.points ? QStringLiteral("%1 (same as %2)")
                                                    : QStringLiteral("%1 (close to %2)"))
                          .arg(curve.name, under.name));
    }
    series->replace(Drawn_Points(curve.points));
    // Each line wider than those drawn over it, and all but the lowest dashed, so that every
    // colour still shows.
    const int slot = curve.slot >= 0 ? curve.slot : index;
    QPen pen{QColor(PALETTE[slot % PALETTE_SIZE])};
    pen.setWidthF(2.0 + 2.0 * near_later);
    const int style = slot / PALETTE_SIZE % STYLE_COUNT;
    if (near_earlier > 0 || style > 0)
    {
      pen.setCapStyle(Qt::FlatCap);
      pen.setDashPattern(near_earlier > 0 ? near_earlier % 2 ? QVector<qreal>{3.0, 3.0}
                                                             : QVector<qreal>{1.0, 2.0}
                                          : STYLE_DASHES[style]);
    }
    series->setPen(pen);
  }
  // Room above the highest line, so that a flat maximum is not hidden in the frame.
  limit_axis->setRange(0.0, highest > 0.0 ? highest * 1.15 : 1.0);
  limit_axis->applyNiceNumbers();

  if (std::isfinite(marked_length) && marked_length >= 0.0 && marked_length <= maximum_length)
  {
    QLineSeries *marker = next();
    marker->setObjectName(QLatin1String(MARKER_NAME));
    marker->setName(marker_name);
    QPen pen(Qt::darkGray);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    marker->setPen(pen);
    marker->replace(QVector<QPointF>{{marked_length, 0.0}, {marked_length, limit_axis->max()}});
  }
  for (int index = used; index < shown.size(); ++index)
  {
    chart->removeSeries(shown.at(index));
    delete shown.at(index);
  }
  d_legend->Update();
}
