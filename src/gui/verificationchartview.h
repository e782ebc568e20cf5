#ifndef METROVA_VERIFICATIONCHARTVIEW_H
#define METROVA_VERIFICATIONCHARTVIEW_H

#include "verificationjudgement.h"

#include <QDate>
#include <QList>
#include <QtCharts/QChartView>

namespace QtCharts
{
class QAbstractAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
} // namespace QtCharts
class TChartLegend;

// The verification log's plots: a record's errors over length, coloured by zone, between the
// +/-MPE(L) lines and the lines U inside and outside them; or the largest share of the MPE of
// every record over time, or the share at each length over time, with the 100 % line.
class TVerificationChartView : public QtCharts::QChartView
{
  Q_OBJECT

public:
  struct TTrendPoint
  {
    QDate date;
    double share = 0.0;
    int verdict = TVerificationJudgement::VERDICT_NOT_JUDGED;
  };

  // The shares at one length, in date order.
  struct TTrendLine
  {
    QString name;
    QList<TTrendPoint> points;
  };

  explicit TVerificationChartView(QWidget *parent = nullptr);

  void Set_Errors(const TVerificationRecord &record,
                  const TVerificationJudgement::TJudgement &judgement,
                  const TVerificationJudgement::TLimitLines &lines, double plot_length);
  // In date order.
  void Set_Trend(const QList<TTrendPoint> &points);
  // A line for each length.
  void Set_Length_Trend(const QList<TTrendLine> &lines);

protected:
  // The white ground and the grid, drawn here at whole pixels: the chart's own grid lines are
  // antialiased, which made them the dearest part of painting a record's plot.
  void drawBackground(QPainter *painter, const QRectF &rect) override;

private:
  // The lines of the errors plot: the MPE, MPE - U and MPE + U, each above and below zero.
  static constexpr int LIMIT_CURVES = 3;

  void Clear();
  // The errors plot's axes and series, made once: a record shown replaces their points and
  // ranges, which costs a fraction of making them anew.
  void Start_Errors();
  // The date axis over the dates, the share axis, and the 100 % line; the share axis's range is
  // set by Set_Share_Range once the points are in.
  void Start_Trend(const QDate &first, const QDate &last);
  void Set_Share_Range(double highest);

  TChartLegend *d_legend;
  // Set while the chart holds the errors plot; the trend plots are made anew each time.
  QtCharts::QValueAxis *d_length_axis = nullptr;
  QtCharts::QValueAxis *d_error_axis = nullptr;
  QtCharts::QLineSeries *d_limit_series[LIMIT_CURVES][2] = {};
  QtCharts::QScatterSeries *d_zone_series[TVerificationJudgement::ZONE_COUNT] = {};
};

#endif // METROVA_VERIFICATIONCHARTVIEW_H
