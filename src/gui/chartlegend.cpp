#include "chartlegend.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QXYSeries>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace
{
// Room around the plot, as the charts had it with QtCharts' legend.
constexpr int CHART_MARGIN = 4;
// Between the legend and the view's edges, inside the chart's background, which QtCharts draws
// a little inside the view.
constexpr int EDGE = 12;
// Between the legend and the plot, and inside the legend.
constexpr int SPACING = 6;
constexpr int SWATCH_WIDTH = 22;
// Where an entry's text begins, after its swatch.
constexpr int INDENT = SPACING + SWATCH_WIDTH + SPACING;
// The legend takes at most this share of the view's width; the rest is the plot's.
constexpr int WIDTH_PERCENT = 40;
constexpr int MINIMUM_WIDTH = 90;
// Under the plot, the legend takes at most this share of the view's height.
constexpr int HEIGHT_PERCENT = 30;
constexpr double POINT_RADIUS = 4.5;
constexpr double MAXIMUM_LINE_WIDTH = 3.0;
} // namespace

TChartLegend::TChartLegend(QChartView *view, Qt::Alignment side)
    : QAbstractScrollArea(view), d_view(view), d_side(side), d_content_height(0)
{
  setObjectName(QStringLiteral("chart_legend"));
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The chart's own background shows through.
  viewport()->setAutoFillBackground(false);
  setFocusPolicy(Qt::NoFocus);
  d_view->chart()->legend()->hide();
  d_view->installEventFilter(this);
  // Level with the plot's top, which the chart knows only once it has laid itself out.
  connect(d_view->chart(), &QChart::plotAreaChanged, this, [this] { Lay_Out(); });
  hide();
}

TChartLegend::~TChartLegend() = default;

void TChartLegend::Update()
{
  d_entries.clear();
  for (QAbstractSeries *series : d_view->chart()->series())
  {
    const QXYSeries *points = qobject_cast<const QXYSeries *>(series);
    if (series->name().isEmpty() || (points && points->count() == 0))
    {
      continue;
    }
    TEntry entry;
    entry.text = series->name();
    if (const QScatterSeries *scatter = qobject_cast<const QScatterSeries *>(series))
    {
      entry.point = true;
      entry.pen = QPen(scatter->borderColor());
      entry.brush = QBrush(scatter->color());
    }
    else if (points)
    {
      entry.pen = points->pen();
    }
    // Lines drawn as a pair (+MPE and -MPE) share one entry.
    const bool repeated =
        std::any_of(d_entries.cbegin(), d_entries.cend(),
                    [&entry](const TEntry &earlier)
                    {
                      return earlier.text == entry.text && earlier.pen == entry.pen &&
                             earlier.brush == entry.brush && earlier.point == entry.point;
                    });
    if (!repeated)
    {
      d_entries.append(entry);
    }
  }
  Lay_Out();
}

QStringList TChartLegend::Entry_Texts() const
{
  QStringList texts;
  for (const TEntry &entry : d_entries)
  {
    texts.append(entry.text);
  }
  return texts;
}

QRect TChartLegend::Text_Bounds() const
{
  QRectF bounds;
  for (const std::unique_ptr<QTextLayout> &layout : d_layouts)
  {
    for (int index = 0; index < layout->lineCount(); ++index)
    {
      bounds |= layout->lineAt(index).naturalTextRect().translated(layout->position());
    }
  }
  return bounds.toAlignedRect();
}

bool TChartLegend::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == d_view && event->type() == QEvent::Resize)
  {
    Lay_Out();
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

void TChartLegend::Lay_Out()
{
  QChart *chart = d_view->chart();
  const QMargins margins(CHART_MARGIN, CHART_MARGIN, CHART_MARGIN, CHART_MARGIN);
  if (d_entries.isEmpty())
  {
    d_layouts.clear();
    d_content_height = 0;
    hide();
    chart->setMargins(margins);
    return;
  }
  const bool beside = d_side != Qt::AlignBottom;
  const QFontMetrics metrics(font());
  int widest = 0;
  for (const TEntry &entry : qAsConst(d_entries))
  {
    // A pixel more than the text measures, or rounding would wrap its last letter.
    widest = std::max(widest, metrics.horizontalAdvance(entry.text) + 1);
  }
  const int plot_top = static_cast<int>(chart->plotArea().top());
  const int top = beside && plot_top > EDGE ? plot_top : EDGE;
  int width = d_view->width() - 2 * EDGE;
  int available = std::max(1, d_view->height() - top - EDGE);
  if (beside)
  {
    width = std::min(INDENT + widest + SPACING,
                     std::max(MINIMUM_WIDTH, d_view->width() * WIDTH_PERCENT / 100 - EDGE));
  }
  else
  {
    // The plot keeps the most of the height.
    available = std::max(metrics.lineSpacing(), d_view->height() * HEIGHT_PERCENT / 100);
  }
  d_content_height = Lay_Out_Entries(width);
  if (d_content_height > available)
  {
    // The scroll bar takes its width from the texts.
    d_content_height = Lay_Out_Entries(width - verticalScrollBar()->sizeHint().width());
  }
  const int height = std::min(d_content_height, available);
  setGeometry(beside ? d_view->width() - width - EDGE : EDGE,
              beside ? top : d_view->height() - height - EDGE, width, height);
  verticalScrollBar()->setRange(0, std::max(0, d_content_height - available));
  verticalScrollBar()->setPageStep(available);
  verticalScrollBar()->setSingleStep(metrics.lineSpacing());
  chart->setMargins(beside ? margins + QMargins(0, 0, width + EDGE + SPACING, 0)
                           : margins + QMargins(0, 0, 0, height + EDGE));
  show();
  viewport()->update();
}

int TChartLegend::Lay_Out_Entries(int width)
{
  QTextOption option;
  // A name without a break in it still ends where the legend does.
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  const QFontMetrics metrics(font());
  d_layouts.clear();
  int left = 0;
  int top = 0;
  int row_height = 0;
  for (const TEntry &entry : qAsConst(d_entries))
  {
    // Beside the plot one entry a line; under it as many as fit.
    const int entry_width =
        d_side == Qt::AlignBottom
            ? std::min(width, INDENT + metrics.horizontalAdvance(entry.text) + 1 + SPACING)
            : width;
    if (left > 0 && left + entry_width > width)
    {
      left = 0;
      top += row_height + SPACING / 2;
      row_height = 0;
    }
    auto layout = std::make_unique<QTextLayout>(entry.text, font());
    layout->setTextOption(option);
    layout->beginLayout();
    double height = 0.0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine())
    {
      line.setLineWidth(std::max(1, entry_width - INDENT - SPACING));
      line.setPosition(QPointF(0.0, height));
      height += line.height();
    }
    layout->endLayout();
    layout->setPosition(QPointF(left + INDENT, top));
    row_height = std::max(row_height, static_cast<int>(std::ceil(height)));
    left += entry_width + SPACING;
    d_layouts.push_back(std::move(layout));
  }
  return top + row_height;
}

void TChartLegend::paintEvent(QPaintEvent *event)
{
  Q_UNUSED(event);
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(0, -verticalScrollBar()->value());
  for (int index = 0; index < d_entries.size(); ++index)
  {
    const TEntry &entry = d_entries.at(index);
    const QTextLayout &layout = *d_layouts.at(static_cast<size_t>(index));
    const double middle = layout.position().y() + layout.lineAt(0).height() / 2.0;
    const double left = layout.position().x() - INDENT + SPACING;
    if (entry.point)
    {
      painter.setPen(entry.pen);
      painter.setBrush(entry.brush);
      painter.drawEllipse(QPointF(left + SWATCH_WIDTH / 2.0, middle), POINT_RADIUS, POINT_RADIUS);
    }
    else
    {
      QPen pen = entry.pen;
      pen.setWidthF(std::min(pen.widthF(), MAXIMUM_LINE_WIDTH));
      painter.setPen(pen);
      painter.drawLine(QPointF(left, middle), QPointF(left + SWATCH_WIDTH, middle));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, QPointF());
  }
}
