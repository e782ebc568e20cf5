#include "verificationreport.h"

#include "pdfoutput.h"
#include "verificationjudgement.h"
#include "verificationrows.h"

#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPrinter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace
{
using TJudgement = TVerificationJudgement::TJudgement;

const QString TITLE_TEXT = QStringLiteral("CMM Verification Report");
const QString NOTICE_TEXT = QStringLiteral("Metrova - CMM specification catalogue");
const QColor TEXT_COLOUR(0, 0, 0);
const QColor RULE_COLOUR(128, 128, 128);
const QColor BAND_COLOUR(245, 245, 245);
const QColor GRID_COLOUR(225, 225, 225);
const QColor MPE_COLOUR(40, 40, 40);
const QColor INNER_COLOUR(0, 140, 70);
const QColor OUTER_COLOUR(200, 40, 40);

QFont Font(int points, bool bold = false, bool italic = false)
{
  return QFont(QStringLiteral("Arial"), points, bold ? QFont::Bold : QFont::Normal, italic);
}

// The pages of the report and the place of the next line: a header on every page, the footer
// and page number at the foot, a new page when the next block does not fit.
class TPages
{
public:
  TPages(QPrinter *printer, QPainter *painter, const QString &machine)
      : d_printer(printer), d_painter(painter), d_machine(machine)
  {
    const QRect paper = printer->pageLayout().paintRectPixels(printer->resolution());
    const int margin = static_cast<int>(0.06 * paper.width());
    d_area = paper.adjusted(margin, margin, -margin, -margin);
    d_painter->setFont(Font(9));
    d_line = d_painter->fontMetrics().height() + 4;
    Start_Page();
  }

  QPainter *Painter() const { return d_painter; }
  int Left() const { return d_area.left(); }
  int Width() const { return d_area.width(); }
  int Y() const { return d_y; }
  int Line() const { return d_line; }
  void Advance(int height) { d_y += height; }
  bool Failed() const { return d_failed; }

  // Room for a block of this height below the cursor, on a new page when this one is full.
  bool Room(int height)
  {
    if (d_failed)
    {
      return false;
    }
    if (d_y + height <= d_area.bottom() - 2 * d_line)
    {
      return true;
    }
    if (!d_printer->newPage())
    {
      d_failed = true;
      return false;
    }
    ++d_page;
    Start_Page();
    return true;
  }

  // A text in a rectangle at the cursor, left aligned; wrapped texts take the height they need.
  int Text(int x, int width, const QString &text, const QFont &font,
           const QColor &colour = TEXT_COLOUR, bool wrap = false)
  {
    d_painter->setFont(font);
    d_painter->setPen(colour);
    const int flags = Qt::AlignLeft | Qt::AlignTop | (wrap ? Qt::TextWordWrap : 0);
    const QRect bounds = d_painter->boundingRect(QRect(x, d_y, width, 10000), flags, text);
    d_painter->drawText(QRect(x, d_y, width, bounds.height()), flags, text);
    return bounds.height();
  }

  // A text wrapped to the width below the cursor, line by line, each on the page where it fits:
  // a note of any length runs on over pages instead of off the page.
  void Paragraph(int x, int width, const QString &text, const QFont &font,
                 const QColor &colour = TEXT_COLOUR)
  {
    QTextLayout layout(text, font, d_painter->device());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
    {
      line.setLineWidth(width);
    }
    layout.endLayout();
    for (int index = 0; index < layout.lineCount(); ++index)
    {
      const QTextLine line = layout.lineAt(index);
      const int height = static_cast<int>(std::ceil(line.height()));
      if (!Room(height))
      {
        break;
      }
      d_painter->setPen(colour);
      line.draw(d_painter, QPointF(x - line.x(), d_y - line.y()));
      d_y += height;
    }
  }

  // One line cut to the width with an ellipsis.
  void Elided(int x, int width, const QString &text, const QFont &font)
  {
    d_painter->setFont(font);
    d_painter->setPen(TEXT_COLOUR);
    d_painter->drawText(
        QRect(x, d_y, width, d_line), Qt::AlignLeft | Qt::AlignTop,
        QFontMetrics(font, d_painter->device()).elidedText(text, Qt::ElideRight, width));
  }

  void Rule()
  {
    d_painter->setPen(QPen(RULE_COLOUR));
    d_painter->drawLine(d_area.left(), d_y, d_area.right(), d_y);
  }

private:
  void Start_Page()
  {
    d_y = d_area.top();
    d_y += Text(d_area.left(), d_area.width(), TITLE_TEXT, Font(14, true)) + 2;
    d_y += Text(d_area.left(), d_area.width(), d_machine, Font(11, true)) + 4;
    Rule();
    d_y += d_line / 2;

    // The footer of this page.
    d_painter->setFont(Font(6));
    d_painter->setPen(TEXT_COLOUR);
    const int footer = d_area.bottom() - d_line;
    d_painter->drawLine(d_area.left(), footer, d_area.right(), footer);
    d_painter->drawText(QRect(d_area.left(), footer + 2, d_area.width(), d_line), Qt::AlignLeft,
                        NOTICE_TEXT);
    d_painter->drawText(QRect(d_area.left(), footer + 2, d_area.width(), d_line), Qt::AlignRight,
                        QStringLiteral("Page %1").arg(d_page));
    d_painter->setFont(Font(9));
  }

  QPrinter *d_printer;
  QPainter *d_painter;
  QString d_machine;
  QRect d_area;
  int d_line = 0;
  int d_y = 0;
  int d_page = 1;
  bool d_failed = false;
};

// Steps of 1, 2 or 5 times a power of ten, about count of them over the span.
double Tick_Step(double span, int count)
{
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 5.0})
  {
    if (raw <= factor * power)
    {
      return factor * power;
    }
  }
  return 10.0 * power;
}

void Draw_Plot(QPainter *painter, const QRect &frame, const TVerificationRecord &record,
               const TJudgement &judgement)
{
  const double length = TVerificationJudgement::Plot_Length(record);
  const TVerificationJudgement::TLimitLines lines =
      TVerificationJudgement::Limit_Lines(record, judgement.basis, length);
  double highest = 0.0;
  for (const QPointF &point : lines.outer)
  {
    highest = std::max(highest, point.y());
  }
  for (const TVerificationJudgement::TJudgedResult &judged : judgement.results)
  {
    highest = std::max(highest, std::fabs(judged.result.error));
  }
  const double y_step = Tick_Step(highest > 0.0 ? highest * 1.1 : 1.0, 3);
  const double top = y_step * std::ceil((highest > 0.0 ? highest * 1.1 : 1.0) / y_step);
  const double x_step = Tick_Step(length, 6);

  painter->setFont(Font(7));
  const int label_width = painter->fontMetrics().horizontalAdvance(QStringLiteral("-000.0")) + 6;
  const int text_height = painter->fontMetrics().height();
  const QRect plot =
      frame.adjusted(label_width + text_height, text_height + 4, -4, -2 * text_height - 4);
  const auto to_x = [&](double x) { return plot.left() + x / length * plot.width(); };
  const auto to_y = [&](double y) { return plot.center().y() - y / top * plot.height() / 2.0; };

  // Grid, axes and their labels.
  painter->setPen(QPen(GRID_COLOUR));
  for (double y = -top; y <= top + 1e-9; y += y_step)
  {
    painter->setPen(QPen(std::fabs(y) < 1e-9 ? RULE_COLOUR : GRID_COLOUR));
    painter->drawLine(QPointF(plot.left(), to_y(y)), QPointF(plot.right(), to_y(y)));
    painter->setPen(TEXT_COLOUR);
    painter->drawText(QRectF(plot.left() - label_width - 2, to_y(y) - text_height / 2.0,
                             label_width, text_height),
                      Qt::AlignRight | Qt::AlignVCenter, QString::number(y, 'g', 4));
  }
  for (double x = 0.0; x <= length + 1e-9; x += x_step)
  {
    painter->setPen(QPen(GRID_COLOUR));
    painter->drawLine(QPointF(to_x(x), plot.top()), QPointF(to_x(x), plot.bottom()));
    painter->setPen(TEXT_COLOUR);
    painter->drawText(QRectF(to_x(x) - 40, plot.bottom() + 2, 80, text_height), Qt::AlignCenter,
                      QString::number(x, 'g', 6));
  }
  painter->setPen(QPen(RULE_COLOUR));
  painter->drawRect(plot);
  painter->setPen(TEXT_COLOUR);
  painter->drawText(QRect(plot.left(), plot.bottom() + text_height + 2, plot.width(), text_height),
                    Qt::AlignCenter, QStringLiteral("Measuring length (mm)"));
  painter->save();
  painter->translate(frame.left(), plot.center().y());
  painter->rotate(-90);
  painter->drawText(QRect(-plot.height() / 2, 0, plot.height(), text_height), Qt::AlignCenter,
                    QStringLiteral("Error (\u00b5m)"));
  painter->restore();

  // The limit lines, each above and mirrored below zero, clipped to the plot.
  painter->save();
  painter->setClipRect(plot);
  painter->setRenderHint(QPainter::Antialiasing);
  const struct
  {
    const QVector<QPointF> *points;
    QColor colour;
    Qt::PenStyle style;
    QString name;
  } curves[] = {{&lines.inner, INNER_COLOUR, Qt::DashLine, QStringLiteral("\u00b1(MPE \u2212 U)")},
                {&lines.outer, OUTER_COLOUR, Qt::DashLine, QStringLiteral("\u00b1(MPE + U)")},
                {&lines.mpe, MPE_COLOUR, Qt::SolidLine, QStringLiteral("\u00b1MPE(L)")}};
  for (const auto &curve : curves)
  {
    if (curve.points->isEmpty() || (curve.points != &lines.mpe && !record.Has_Uncertainty()))
    {
      continue;
    }
    for (const double sign : {1.0, -1.0})
    {
      QPainterPath path;
      for (int index = 0; index < curve.points->size(); ++index)
      {
        const QPointF point(to_x(curve.points->at(index).x()),
                            to_y(sign * curve.points->at(index).y()));
        index == 0 ? path.moveTo(point) : path.lineTo(point);
      }
      painter->setPen(QPen(curve.colour, 1.5, curve.style));
      painter->drawPath(path);
    }
  }
  // A result its retest replaced stays visible, hollow.
  for (const TVerificationJudgement::TJudgedResult &judged : judgement.results)
  {
    const QColor colour = TVerificationReport::Zone_Colour(judged.zone);
    painter->setPen(QPen(colour.darker(130), 0.8));
    painter->setBrush(judged.superseded ? QBrush(Qt::NoBrush) : QBrush(colour));
    painter->drawEllipse(QPointF(to_x(judged.result.length), to_y(judged.result.error)), 2.6, 2.6);
  }
  painter->restore();

  // The legend above the plot.
  int x = plot.left();
  for (const auto &curve : curves)
  {
    if (curve.points != &lines.mpe && !record.Has_Uncertainty())
    {
      continue;
    }
    painter->setPen(QPen(curve.colour, 1.5, curve.style));
    const int y = frame.top() + text_height / 2;
    painter->drawLine(x, y, x + 24, y);
    painter->setPen(TEXT_COLOUR);
    const int width = painter->fontMetrics().horizontalAdvance(curve.name);
    painter->drawText(QRect(x + 28, frame.top(), width + 4, text_height), Qt::AlignLeft,
                      curve.name);
    x += 28 + width + 18;
  }
}

// A table with its header repeated on every page it reaches; the zone column in its colour.
void Draw_Table(TPages *pages, const QStringList &header, const QList<QStringList> &rows,
                const QList<int> &zones, const QVector<double> &widths, int zone_column)
{
  QPainter *painter = pages->Painter();
  const auto draw_row = [&](const QStringList &cells, const QFont &font, const QColor &zone)
  {
    int x = pages->Left();
    for (int column = 0; column < cells.size(); ++column)
    {
      const int width = static_cast<int>(widths.at(column) * pages->Width());
      painter->setFont(font);
      painter->setPen(column == zone_column && zone.isValid() ? zone : TEXT_COLOUR);
      // Numbers to the right, names (position, zone, retest) to the left, a gap between the two.
      const bool text = column == 1 || column >= zone_column;
      const QRect cell(x + (text ? 16 : 2), pages->Y(), width - 18, pages->Line());
      painter->drawText(
          cell, Qt::AlignVCenter | (text ? Qt::AlignLeft : Qt::AlignRight),
          painter->fontMetrics().elidedText(cells.at(column), Qt::ElideRight, cell.width()));
      x += width;
    }
    pages->Advance(pages->Line());
  };
  const auto draw_header = [&]()
  {
    painter->fillRect(QRect(pages->Left(), pages->Y(), pages->Width(), pages->Line()), BAND_COLOUR);
    draw_row(header, Font(8, true), QColor());
  };
  if (!pages->Room(3 * pages->Line()))
  {
    return;
  }
  draw_header();
  for (int index = 0; index < rows.size(); ++index)
  {
    const int y = pages->Y();
    if (!pages->Room(pages->Line()))
    {
      return;
    }
    if (pages->Y() < y)
    {
      draw_header();
    }
    draw_row(rows.at(index), Font(8), TVerificationReport::Zone_Colour(zones.value(index)));
  }
  pages->Rule();
  pages->Advance(pages->Line());
}

bool Draw_Report(QPrinter *printer, const QString &make, const QString &model,
                 const QString &option, const TVerificationRecord &record,
                 const TJudgement &judgement, const QStringList &changes, QString *reason)
{
  QPainter painter;
  if (!painter.begin(printer))
  {
    *reason = QStringLiteral("the PDF writer cannot open the file.");
    return false;
  }
  TPages pages(
      printer, &painter,
      QStringLiteral("%1 / %2 / %3 \u2014 record %4").arg(make, model, option).arg(record.number));
  const int line = pages.Line();
  const int left = pages.Left();
  const int width = pages.Width();
  const int half = width / 2;
  const int label = half / 3;

  // The record's fields, two to a line, then what the verdict rests on, a line each.
  QString temperature =
      QStringLiteral("%1 \u00b0C").arg(TVerificationRecord::Number_Text(record.temperature));
  if (judgement.band.Is_Known())
  {
    temperature +=
        QStringLiteral(" (rated %1)").arg(judgement.band.Range_Text(QStringLiteral("\u00b0C")));
  }
  const QString fields[][2] = {
      {QStringLiteral("Date:"), TVerificationRecord::Date_Text(record.date)},
      {QStringLiteral("Kind:"), TVerificationRecord::Kind_Name(record.kind)},
      {QStringLiteral("Component:"), record.Component_Text()},
      {QStringLiteral("Decision rule:"), TVerificationRecord::Rule_Name(record.rule)},
      {QStringLiteral("Air temperature:"), temperature},
      {QStringLiteral("Uncertainty U:"), QStringLiteral("%1 \u00b5m").arg(record.uncertainty)},
      {QStringLiteral("Operator:"), record.operator_name},
      {QStringLiteral("Artefact:"), record.artefact}};
  for (int index = 0; index < 8; index += 2)
  {
    for (int column = 0; column < 2; ++column)
    {
      const int x = left + column * half;
      pages.Text(x, label, fields[index + column][0], Font(9, true));
      pages.Elided(x + label, half - label - 8, fields[index + column][1], Font(9));
    }
    pages.Advance(line);
  }
  const TVerificationBasis &basis = judgement.basis;
  QList<QPair<QString, QString>> lines{
      {QStringLiteral("Limit:"),
       basis.limit.Is_Given()
           ? basis.Limit_Line()
           : QStringLiteral("the catalogue stated no %1").arg(record.component)}};
  if (judgement.range_kind == TVerificationJudgement::RANGES_R0 && basis.r0.Is_Given())
  {
    lines.append(
        {QStringLiteral("R0:"), QStringLiteral("%1 \u00b5m, %2; U of the ranges %3 \u00b5m")
                                    .arg(basis.r0.text,
                                         basis.r0.source == TDatabaseItem::SOURCE_ESTIMATED
                                             ? QStringLiteral("estimated from another standard")
                                             : QStringLiteral("stated by the manufacturer"),
                                         TVerificationRecord::Number_Text(record.r0_uncertainty))});
  }
  const QStringList basis_lines = TVerificationRows::Basis_Lines(record, judgement);
  if (record.number > 0 && !basis_lines.isEmpty())
  {
    lines.append({QStringLiteral("Figures:"), basis_lines.last()});
  }
  if (!record.notes.isEmpty())
  {
    lines.append({QStringLiteral("Notes:"), record.notes});
  }
  for (const auto &entry : qAsConst(lines))
  {
    if (pages.Room(line))
    {
      pages.Text(left, label, entry.first, Font(9, true));
      pages.Paragraph(left + label, width - label, entry.second, Font(9));
    }
  }
  pages.Advance(line / 2);
  pages.Paragraph(left, width, TVerificationRecord::Rule_Words(record.rule, record.uncertainty),
                  Font(9, false, true));
  pages.Advance(line / 2);

  // The stored verdict and what it rests on, with the closing note: none of it is left alone on
  // a page after the tables.
  if (pages.Room(3 * line))
  {
    pages.Advance(pages.Text(
        left, width,
        QStringLiteral("Verdict: %1")
            .arg(TVerificationJudgement::State_Text(judgement.verdict, judgement.reason)),
        Font(14, true), TVerificationReport::Verdict_Colour(judgement.verdict)));
  }
  pages.Paragraph(left, width, TVerificationRows::Summary(judgement), Font(9));
  for (const QString &note : TVerificationRows::Notes(judgement))
  {
    pages.Paragraph(left, width, note, Font(9, true), OUTER_COLOUR);
  }
  for (const QString &change : changes)
  {
    pages.Paragraph(left, width,
                    QStringLiteral("Today %1; the verdict stands as stored.").arg(change),
                    Font(9, true));
  }
  pages.Paragraph(left, width, QLatin1String(TVerificationJudgement::EVALUATION_NOTE),
                  Font(9, false, true));
  pages.Advance(line / 2);

  const int plot_height = std::min(width * 9 / 16, 22 * line);
  if (pages.Room(plot_height))
  {
    Draw_Plot(&painter, QRect(left, pages.Y(), width, plot_height), record, judgement);
    pages.Advance(plot_height + line);
  }

  QList<int> zones;
  for (const TVerificationJudgement::TJudgedResult &judged : judgement.results)
  {
    zones.append(judged.zone);
  }
  Draw_Table(&pages,
             {QStringLiteral("Length (mm)"), QStringLiteral("Position"), QStringLiteral("Rep."),
              QStringLiteral("Error (\u00b5m)"), QStringLiteral("MPE (\u00b5m)"),
              QStringLiteral("Zone"), QStringLiteral("U (\u00b5m)"), QStringLiteral("Retest")},
             TVerificationRows::Show_Rows(judgement), zones,
             {0.12, 0.14, 0.08, 0.12, 0.12, 0.16, 0.1, 0.16}, 5);
  if (!judgement.ranges.isEmpty())
  {
    zones.clear();
    for (const TVerificationJudgement::TRange &range : judgement.ranges)
    {
      zones.append(range.zone);
    }
    // The heading goes with the table's first rows.
    if (pages.Room(4 * line))
    {
      pages.Advance(
          pages.Text(left, width,
                     judgement.range_kind == TVerificationJudgement::RANGES_R0
                         ? QStringLiteral("Ranges of the repetitions against R0")
                         : QStringLiteral("Ranges of the ballbar readings against Volume"),
                     Font(10, true)));
    }
    Draw_Table(&pages,
               {QStringLiteral("Length (mm)"), QStringLiteral("Position"),
                QStringLiteral("Results"), QStringLiteral("Range (\u00b5m)"),
                QStringLiteral("Limit (\u00b5m)"), QStringLiteral("Zone"),
                QStringLiteral("U (\u00b5m)")},
               TVerificationRows::Range_Rows(judgement), zones,
               {0.12, 0.14, 0.1, 0.14, 0.14, 0.2, 0.16}, 5);
  }

  if (pages.Failed())
  {
    painter.end();
    *reason = QStringLiteral("the PDF writer cannot start a new page.");
    return false;
  }
  if (!painter.end() || printer->printerState() == QPrinter::Error)
  {
    *reason = QStringLiteral("the PDF writer cannot finish the file.");
    return false;
  }
  return true;
}
} // namespace

bool TVerificationReport::Write(const QString &file_name, const QString &make, const QString &model,
                                const QString &option, const TVerificationRecord &record,
                                const TVerificationJudgement::TJudgement &judgement,
                                const QStringList &changes, QString *error_text)
{
  return TPdfOutput::Write(
      file_name,
      [&](QPrinter *printer, QString *reason)
      { return Draw_Report(printer, make, model, option, record, judgement, changes, reason); },
      error_text);
}

QColor TVerificationReport::Zone_Colour(int zone)
{
  switch (zone)
  {
  case TVerificationJudgement::ZONE_PASS:
    return QColor(0, 130, 60);
  case TVerificationJudgement::ZONE_CONDITIONAL_PASS:
    return QColor(150, 140, 0);
  case TVerificationJudgement::ZONE_CONDITIONAL_FAIL:
    return QColor(215, 110, 0);
  case TVerificationJudgement::ZONE_FAIL:
    return QColor(200, 0, 0);
  default:
    return QColor(110, 110, 110);
  }
}

QColor TVerificationReport::Verdict_Colour(int verdict)
{
  switch (verdict)
  {
  case TVerificationJudgement::VERDICT_CONFORMS:
    return Zone_Colour(TVerificationJudgement::ZONE_PASS);
  case TVerificationJudgement::VERDICT_DOES_NOT_CONFORM:
    return Zone_Colour(TVerificationJudgement::ZONE_FAIL);
  case TVerificationJudgement::VERDICT_NOT_JUDGED:
    return Zone_Colour(TVerificationJudgement::ZONE_NO_LIMIT);
  default:
    return Zone_Colour(TVerificationJudgement::ZONE_CONDITIONAL_FAIL);
  }
}
