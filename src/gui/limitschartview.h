#ifndef METROVA_LIMITSCHARTVIEW_H
#define METROVA_LIMITSCHARTVIEW_H

#include <QList>
#include <QPointF>
#include <QRgb>
#include <QString>
#include <QVector>
#include <QtCharts/QChartView>

namespace QtCharts
{
class QValueAxis;
}

// Limits over measuring length as lines, lengths in millimetres and limits in micrometres, with
// one length marked by a vertical dashed line. Used by the limits and compare dialogs.
//
// Each curve keeps the colour of its place in the list given, from a palette that colour-blind
// readers tell apart. A curve equal or close to an earlier one would hide it: it is drawn dashed
// over a wider line, and its legend entry names the curve it covers.
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
  // The Okabe-Ito colours, in the order the curves take them.
  static constexpr int PALETTE_SIZE = 8;
  static const QRgb PALETTE[PALETTE_SIZE];

  explicit TLimitsChartView(QWidget *parent = nullptr);

  // Replaces the curves; the length axis runs from 0 to maximum_length. The marker is left out
  // when marked_length is not a number inside that range; curves without points are left out,
  // though they keep their colour's place.
  void Set_Curves(const QList<TCurve> &curves, double maximum_length, double marked_length,
                  const QString &marker_name);

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  // Kept for the view's life: axes removed and made anew leave stale drawings behind.
  QtCharts::QValueAxis *d_length_axis;
  QtCharts::QValueAxis *d_limit_axis;
};

#endif // METROVA_LIMITSCHARTVIEW_H
