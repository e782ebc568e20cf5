#ifndef METROVA_CHARTLEGEND_H
#define METROVA_CHARTLEGEND_H

#include <QAbstractScrollArea>
#include <QBrush>
#include <QList>
#include <QPen>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTextLayout;

namespace QtCharts
{
class QChartView;
}

// The legend of a chart, beside its plot, for every chart of the window. QtCharts' own legend
// cuts a long name short ("condition...", "(same as 10..."); here each entry keeps its whole
// name, wrapped over as many lines as it needs, and the legend scrolls when its entries are more
// than the plot is high. A series without a name or without points has no entry, and lines drawn
// as a pair (the same name and pen) share one.
class TChartLegend : public QAbstractScrollArea
{
public:
  // Takes the place of the view's own legend, at the right of the plot (one entry a line) or
  // under it (entries side by side as they fit), and follows the view's size.
  explicit TChartLegend(QtCharts::QChartView *view, Qt::Alignment side = Qt::AlignRight);
  ~TChartLegend() override;

  // Reads the chart's series again: called once they have been replaced.
  void Update();

  // The entries' names as shown, in order.
  QStringList Entry_Texts() const;
  // Where the entries' texts lie, in the legend's contents (as if not scrolled).
  QRect Text_Bounds() const;
  int Content_Height() const { return d_content_height; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void paintEvent(QPaintEvent *event) override;

private:
  struct TEntry
  {
    QString text;
    QPen pen;
    QBrush brush;
    // A marker drawn as a point (a scatter series), else as a piece of line.
    bool point = false;
  };

  // Places the legend in the view and its entries' lines in the legend, and leaves the plot room
  // beside it.
  void Lay_Out();
  // The height of the entries laid out in this width, their texts wrapped to it.
  int Lay_Out_Entries(int width);

  QtCharts::QChartView *d_view;
  Qt::Alignment d_side;
  QList<TEntry> d_entries;
  std::vector<std::unique_ptr<QTextLayout>> d_layouts;
  int d_content_height;
};

#endif // METROVA_CHARTLEGEND_H
