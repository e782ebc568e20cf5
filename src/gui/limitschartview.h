#ifndef METROVA_LIMITSCHARTVIEW_H
#define METROVA_LIMITSCHARTVIEW_H

#include <QList>
#include <QPointF>
#include <QString>
#include <QVector>
#include <QtCharts/QChartView>

namespace QtCharts
{
class QValueAxis;
}

// Limits over measuring length as lines, lengths in millimetres and limits in micrometres, with
// one length marked by a vertical dashed line. Used by the limits and compare dialogs.
class TLimitsChartView : public QtCharts::QChartView
{
  Q_OBJECT

public:
  struct TCurve
  {
    QString name;
    QVector<QPointF> points;
  };

  static const char MARKER_NAME[];

  explicit TLimitsChartView(QWidget *parent = nullptr);

  // Replaces the curves; the length axis runs from 0 to maximum_length. The marker is left out
  // when marked_length is not a number inside that range; curves without points are left out.
  void Set_Curves(const QList<TCurve> &curves, double maximum_length, double marked_length,
                  const QString &marker_name);

private:
  // Kept for the view's life: axes removed and made anew leave stale drawings behind.
  QtCharts::QValueAxis *d_length_axis;
  QtCharts::QValueAxis *d_limit_axis;
};

#endif // METROVA_LIMITSCHARTVIEW_H
