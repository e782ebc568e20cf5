#include "verificationchartview.h"

#include "chartlegend.h"
#include "verificationreport.h"

#include <QPainter>
#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace
{
// A range of 0 (or -top) to top in round steps that holds highest, about count steps above 0.
struct TRoundRange
{
  double minimum = 0.0;
  double maximum = 0.0;
  int ticks = 0;

  TRoundRange(double highest, int count, bool symmetric)
  {
    const double raw = std::max(highest, 1e-6) / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * power;
    for (const double factor : {1.0, 2.0, 2.5, 5.0})
    {
      if (raw <= factor * power)
      {
        step = factor * power;
        break;
      }
    }
    maximum = step * std::ceil(highest / step);
    minimum = symmetric ? -maximum : 0.0;
    ticks = static_cast<int>(std::lround(maximum / step)) * (symmetric ? 2 : 1) + 1;
  }

  bool Is_Set(const QValueAxis *axis) const
  {
    return axis->min() == minimum && axis->max() == maximum && axis->tickCount() == ticks;
  }
  // The count first: its change only marks the chart's layout for later, after which a change of
  // range lays out the axis alone instead of the whole chart once more.
  void Set(QValueAxis *axis) const
  {
    axis->setTickCount(ticks);
    axis->setRange(minimum, maximum);
  }
};

void Set_Round_Range(QValueAxis *axis, double highest, int count, bool symmetric)
{
  TRoundRange(highest, count, symmetric).Set(axis);
}

const QColor GRID_COLOUR(0xe2, 0xe2, 0xe2);

QValueAxis *New_Axis(const QString &title, const QString &format)
{
  QValueAxis *axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(format);
  // The view draws the grid.
  axis->setGridLineVisible(false);
  return axis;
}

// An axis's tick count, evenly spaced over its range as the chart places its ticks; 0 for none.
int Tick_Count(const QAbstractAxis *axis)
{
  if (const QValueAxis *values = qobject_cast<const QValueAxis *>(axis))
  {
    return values->tickCount();
  }
  if (const QDateTimeAxis *dates = qobject_cast<const QDateTimeAxis *>(axis))
  {
    return dates->tickCount();
  }
  return 0;
}

// The points of a sampled line less those on the straight line between their neighbours: a limit
// of a linear formula is two points instead of hundreds, and each point costs the antialiased
// dashes a join at every paint. What is kept draws the same line to far below a pixel.
QVector<QPointF> Corners(const QVector<QPointF> &points)
{
  QVector<QPointF> corners;
  for (int index = 0; index < points.size(); ++index)
  {
    const QPointF &point = points.at(index);
    if (corners.size() >= 1 && index + 1 < points.size())
    {
      const QPointF from = point - corners.last();
      const QPointF to = points.at(index + 1) - corners.last();
      const double cross = from.x() * to.y() - from.y() * to.x();
      const double scale =
          (std::fabs(from.x()) + std::fabs(from.y())) * (std::fabs(to.x()) + std::fabs(to.y()));
      // Only a point between its neighbours goes: one where the line turns back stays.
      const double along = QPointF::dotProduct(from, to);
      if (std::isfinite(cross) && std::fabs(cross) <= 1e-9 * scale && along > 0.0 &&
          along < QPointF::dotProduct(to, to))
      {
        continue;
      }
    }
    corners.append(point);
  }
  return corners;
}

void Attach(QChart *chart, QAbstractSeries *series, QAbstractAxis *x_axis, QAbstractAxis *y_axis)
{
  chart->addSeries(series);
  series->attachAxis(x_axis);
  series->attachAxis(y_axis);
}
} // namespace

TVerificationChartView::TVerificationChartView(QWidget *parent) : QChartView(parent)
{
  setRenderHint(QPainter::Antialiasing);
  setMinimumSize(360, 240);
  // The theme's background is a gradient from white to white, computed pixel by pixel at every
  // paint; drawBackground gives the ground.
  chart()->setBackgroundVisible(false);
  // Under the plot, which keeps the width its dates need; each entry whole.
  d_legend = new TChartLegend(this, Qt::AlignBottom);
}

void TVerificationChartView::Clear()
{
  chart()->removeAllSeries();
  for (QAbstractAxis *axis : chart()->axes())
  {
    chart()->removeAxis(axis);
    delete axis;
  }
  d_length_axis = nullptr;
  d_error_axis = nullptr;
}

void TVerificationChartView::Start_Errors()
{
  Clear();
  QChart *chart = this->chart();
  d_length_axis = New_Axis(QStringLiteral("Measuring length (mm)"), "%.0f");
  d_error_axis = New_Axis(QStringLiteral("Error (\u00b5m)"), "%.1f");
  chart->addAxis(d_length_axis, Qt::AlignBottom);
  chart->addAxis(d_error_axis, Qt::AlignLeft);
  const struct
  {
    QColor colour;
    Qt::PenStyle style;
    QString name;
  } curves[LIMIT_CURVES] = {
      {QColor(40, 40, 40), Qt::SolidLine, QStringLiteral("\u00b1MPE(L)")},
      {QColor(0, 140, 70), Qt::DashLine, QStringLiteral("\u00b1(MPE \u2212 U)")},
      {QColor(200, 40, 40), Qt::DashLine, QStringLiteral("\u00b1(MPE + U)")}};
  for (int curve = 0; curve < LIMIT_CURVES; ++curve)
  {
    // The legend gives each pair one entry: they share a name and a pen.
    for (QLineSeries *&series : d_limit_series[curve])
    {
      series = new QLineSeries(chart);
      series->setName(curves[curve].name);
      series->setPen(QPen(curves[curve].colour, 1.8, curves[curve].style));
      Attach(chart, series, d_length_axis, d_error_axis);
    }
  }
  for (int zone = 0; zone < TVerificationJudgement::ZONE_COUNT; ++zone)
  {
    QScatterSeries *series = new QScatterSeries(chart);
    series->setName(TVerificationJudgement::Zone_Name(zone));
    series->setColor(TVerificationReport::Zone_Colour(zone));
    series->setBorderColor(TVerificationReport::Zone_Colour(zone).darker(130));
    series->setMarkerSize(7.0);
    Attach(chart, series, d_length_axis, d_error_axis);
    d_zone_series[zone] = series;
  }
}

void TVerificationChartView::Set_Errors(const TVerificationRecord &record,
                                        const TVerificationJudgement::TJudgement &judgement,
                                        const TVerificationJudgement::TLimitLines &lines,
                                        double plot_length)
{
  if (!d_length_axis)
  {
    Start_Errors();
  }
  double highest = 1.0;
  const QVector<QPointF> *const curves[LIMIT_CURVES] = {&lines.mpe, &lines.inner, &lines.outer};
  QVector<QPointF> limits[LIMIT_CURVES][2];
  for (int curve = 0; curve < LIMIT_CURVES; ++curve)
  {
    // With U = 0 the three pairs of lines are one: the others stay empty, without an entry.
    if (curve == 0 || record.Has_Uncertainty())
    {
      for (const QPointF &point : Corners(*curves[curve]))
      {
        limits[curve][0].append(point);
        limits[curve][1].append({point.x(), -point.y()});
        highest = std::max(highest, point.y());
      }
    }
  }
  QVector<QPointF> zones[TVerificationJudgement::ZONE_COUNT];
  for (const TVerificationJudgement::TJudgedResult &judged : judgement.results)
  {
    zones[judged.zone].append({judged.result.length, judged.result.error});
    highest = std::max(highest, std::fabs(judged.result.error));
  }
  // A change of range lays the chart out again with every point shown: the points of before
  // leave first, those of the record come once the axes are set.
  const TRoundRange length_range(plot_length, 5, false);
  const TRoundRange error_range(highest * 1.05, 4, true);
  const bool moved = !length_range.Is_Set(d_length_axis) || !error_range.Is_Set(d_error_axis);
  if (moved)
  {
    for (QLineSeries *const(&pair)[2] : d_limit_series)
    {
      pair[0]->clear();
      pair[1]->clear();
    }
    for (QScatterSeries *series : d_zone_series)
    {
      series->clear();
    }
    // Hidden meanwhile: a change of range that widens an axis's labels lays out the whole chart
    // at once, so that changing both would lay it out twice; shown again, it is laid out once.
    d_length_axis->setVisible(false);
    d_error_axis->setVisible(false);
    length_range.Set(d_length_axis);
    error_range.Set(d_error_axis);
    d_length_axis->setVisible(true);
    d_error_axis->setVisible(true);
  }
  // The limits of a machine's records are most often those shown: a line given again is laid
  // out again, so it is kept.
  for (int curve = 0; curve < LIMIT_CURVES; ++curve)
  {
    for (int side = 0; side < 2; ++side)
    {
      if (d_limit_series[curve][side]->pointsVector() != limits[curve][side])
      {
        d_limit_series[curve][side]->replace(limits[curve][side]);
      }
    }
  }
  for (int zone = 0; zone < TVerificationJudgement::ZONE_COUNT; ++zone)
  {
    d_zone_series[zone]->replace(zones[zone]);
  }
  d_legend->Update();
}

namespace
{
qreal Time(const QDate &date)
{
  return static_cast<qreal>(date.startOfDay().toMSecsSinceEpoch());
}
} // namespace

void TVerificationChartView::Start_Trend(const QDate &first_date, const QDate &last_date)
{
  Clear();
  QChart *chart = this->chart();
  QDateTimeAxis *date_axis = new QDateTimeAxis;
  date_axis->setTitleText(QStringLiteral("Date"));
  date_axis->setFormat(QStringLiteral("yyyy-MM-dd"));
  QValueAxis *share_axis = New_Axis(QStringLiteral("Share of the MPE (%)"), "%.0f");
  chart->addAxis(date_axis, Qt::AlignBottom);
  chart->addAxis(share_axis, Qt::AlignLeft);

  // A single date still needs an axis of some width.
  const QDate first = first_date.addDays(-15);
  const QDate last = last_date.addDays(15);
  date_axis->setRange(first.startOfDay(), last.startOfDay());
  // Three dates fit under a plot beside the record form.
  date_axis->setTickCount(3);
  date_axis->setGridLineVisible(false);

  QLineSeries *limit = new QLineSeries(chart);
  limit->setName(QStringLiteral("100 % of the MPE"));
  limit->setPen(QPen(QColor(200, 40, 40), 1.8, Qt::DashLine));
  limit->append(Time(first), 100.0);
  limit->append(Time(last), 100.0);
  Attach(chart, limit, date_axis, share_axis);
}

void TVerificationChartView::Set_Share_Range(double highest)
{
  Set_Round_Range(static_cast<QValueAxis *>(chart()->axes(Qt::Vertical).value(0)),
                  std::max(highest, 100.0) * 1.05, 6, false);
  d_legend->Update();
}

void TVerificationChartView::Set_Trend(const QList<TTrendPoint> &points)
{
  const QDate first = points.isEmpty() ? QDate::currentDate() : points.first().date;
  Start_Trend(first, points.isEmpty() ? first : points.last().date);
  QChart *chart = this->chart();
  QAbstractAxis *date_axis = chart->axes(Qt::Horizontal).value(0);
  QAbstractAxis *share_axis = chart->axes(Qt::Vertical).value(0);

  QLineSeries *trend = new QLineSeries(chart);
  trend->setName(QStringLiteral("Largest share"));
  trend->setPen(QPen(QColor(40, 90, 160), 1.8));
  QScatterSeries *verdicts[TVerificationJudgement::VERDICT_COUNT];
  for (int verdict = 0; verdict < TVerificationJudgement::VERDICT_COUNT; ++verdict)
  {
    verdicts[verdict] = new QScatterSeries(chart);
    verdicts[verdict]->setName(TVerificationJudgement::Verdict_Name(verdict));
    verdicts[verdict]->setColor(TVerificationReport::Verdict_Colour(verdict));
    verdicts[verdict]->setMarkerSize(9.0);
  }
  double highest = 100.0;
  for (const TTrendPoint &point : points)
  {
    trend->append(Time(point.date), point.share);
    verdicts[point.verdict]->append(Time(point.date), point.share);
    highest = std::max(highest, point.share);
  }
  Attach(chart, trend, date_axis, share_axis);
  for (QScatterSeries *series : verdicts)
  {
    Attach(chart, series, date_axis, share_axis);
  }
  Set_Share_Range(highest);
}

void TVerificationChartView::Set_Length_Trend(const QList<TTrendLine> &lines)
{
  QDate first;
  QDate last;
  for (const TTrendLine &line : lines)
  {
    for (const TTrendPoint &point : line.points)
    {
      first = first.isValid() ? std::min(first, point.date) : point.date;
      last = last.isValid() ? std::max(last, point.date) : point.date;
    }
  }
  if (!first.isValid())
  {
    first = last = QDate::currentDate();
  }
  Start_Trend(first, last);
  QChart *chart = this->chart();
  QAbstractAxis *date_axis = chart->axes(Qt::Horizontal).value(0);
  QAbstractAxis *share_axis = chart->axes(Qt::Vertical).value(0);
  // Colours apart from one another and from the red 100 % line, a line each.
  const QColor colours[] = {QColor(31, 119, 180),  QColor(44, 160, 44),  QColor(148, 103, 189),
                            QColor(255, 127, 14),  QColor(23, 190, 207), QColor(140, 86, 75),
                            QColor(227, 119, 194), QColor(127, 127, 127)};
  double highest = 100.0;
  for (int index = 0; index < lines.size(); ++index)
  {
    const TTrendLine &line = lines.at(index);
    QLineSeries *series = new QLineSeries(chart);
    series->setName(line.name);
    series->setPointsVisible(true);
    for (const TTrendPoint &point : line.points)
    {
      series->append(Time(point.date), point.share);
      highest = std::max(highest, point.share);
    }
    series->setPen(QPen(colours[index % (sizeof(colours) / sizeof(colours[0]))], 1.8));
    Attach(chart, series, date_axis, share_axis);
  }
  Set_Share_Range(highest);
}

void TVerificationChartView::drawBackground(QPainter *painter, const QRectF &rect)
{
  painter->fillRect(rect, Qt::white);
  const QRectF area = chart()->plotArea();
  if (area.isEmpty())
  {
    return;
  }
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setPen(QPen(GRID_COLOUR, 0));
  for (const QAbstractAxis *axis : chart()->axes())
  {
    const int ticks = Tick_Count(axis);
    const bool across = axis->orientation() == Qt::Horizontal;
    for (int tick = 0; ticks > 1 && axis->isVisible() && tick < ticks; ++tick)
    {
      if (across)
      {
        const double x = area.left() + tick * area.width() / (ticks - 1);
        painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
      }
      else
      {
        const double y = area.bottom() - tick * area.height() / (ticks - 1);
        painter->drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
      }
    }
  }
  painter->restore();
}
