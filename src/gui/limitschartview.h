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
class TChartLegend;

// Limits over measuring length as lines, lengths in millimetres and limits in micrometres, with
// one length marked by a vertical dashed line. Used by the limits and compare dialogs.
//
// Each curve takes the colour of its slot, from a palette that colour-blind readers tell apart,
// and past the palette's eight colours the same colours again in other line styles. A curve
// equal or close to an earlier one would hide it: it is drawn dashed over a wider line, and its
// legend entry names the curve it covers.
class TLimitsChartView : public QtCharts::QChartView
{
  Q_OBJECT

public:
  struct TCurve
  {
    QString name;
    QVector<QPointF> points;
    // Its colour and line style; -1 for its place in the list.
    int slot = -1;
  };

  static const char MARKER_NAME[];
  // The Okabe-Ito colours, in the order the curves take them.
  static constexpr int PALETTE_SIZE = 8;
  static const QRgb PALETTE[PALETTE_SIZE];
  // The line styles the palette is taken in: solid, dashed, dotted and dash-dotted.
  static constexpr int STYLE_COUNT = 4;
  // As many curves as are told apart by colour and style.
  static constexpr int SLOT_COUNT = PALETTE_SIZE * STYLE_COUNT;

  explicit TLimitsChartView(QWidget *parent = nullptr);

  // Replaces the curves; the length axis runs from 0 to maximum_length. The marker is left out
  // when marked_length is not a number inside that range; curves without points are left out,
  // though they keep their slot.
  void Set_Curves(const QList<TCurve> &curves, double maximum_length, double marked_length,
                  const QString &marker_name);

private:
  // Kept for the view's life: axes removed and made anew leave stale drawings behind.
  QtCharts::QValueAxis *d_length_axis;
  QtCharts::QValueAxis *d_limit_axis;
  TChartLegend *d_legend;
};

#endif // METROVA_LIMITSCHARTVIEW_H
