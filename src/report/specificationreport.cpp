#include "specificationreport.h"

#include "database.h"
#include "databaseitem.h"
#include "expressionitem.h"
#include "pdfoutput.h"

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QRect>

#include <cmath>

namespace
{
const QString TITLE_TEXT = QStringLiteral("Coordinate Measuring Machine Specifications");
const QString NOTICE_TEXT = QStringLiteral("Metrova - CMM specification catalogue");
const QString NOTE_TEXT =
    QStringLiteral("All expression results in um (micrometers) unless otherwise specified.");
const QString ROW_HEIGHT_SAMPLE = QStringLiteral("10000.0000j");

QFont Body_Font()
{
  return QFont(QStringLiteral("Arial"), 9, QFont::Normal, false);
}
QFont Title_Font()
{
  return QFont(QStringLiteral("Arial"), 14, QFont::Bold, false);
}
QFont Identification_Font()
{
  return QFont(QStringLiteral("Arial"), 12, QFont::Bold, false);
}
QFont Heading_Font()
{
  return QFont(QStringLiteral("Arial"), 10, QFont::Bold, false);
}
QFont Footer_Font()
{
  return QFont(QStringLiteral("Arial"), 6, QFont::Normal, false);
}

const QColor TEXT_COLOUR(0, 0, 0);
const QColor RULE_COLOUR(128, 128, 128);
const QColor BAND_COLOUR(245, 245, 245);

constexpr int LEFT_CENTRED = Qt::AlignLeft | Qt::AlignVCenter;
constexpr double MINIMUM_NAME_POINT_SIZE = 8.0;

// Page geometry in device pixels; rows are counted from 1 below the column headers.
struct TReportLayout
{
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
  int h = 0;
  int u = 0;
  int y_a = 0;
  int y_b = 0;
  int y_c = 0;
  int y_d = 0;
  int y_e = 0;
  int y_f = 0;
  int rows_per_page = 0;

  int X(int column) const { return left + column * u; }
  int Table_Width() const { return 24 * u; }
  int Row_Top(int n) const { return y_f + n * h; }
};

TReportLayout Make_Layout(QPainter *painter, const QRect &paint_rect)
{
  TReportLayout layout;

  const int m = static_cast<int>(0.04 * paint_rect.width());
  layout.left = paint_rect.left() + m;
  layout.right = paint_rect.right() - m;
  layout.top = paint_rect.top() + 2 * m;
  layout.bottom = paint_rect.bottom() - m;

  layout.h = painter->boundingRect(QRect(), Qt::AlignLeft, ROW_HEIGHT_SAMPLE).height();
  layout.u = static_cast<int>(std::floor((layout.right - layout.left + 1) / 24.0 + 0.5));

  const double step = 1.5 * layout.h;
  layout.y_a = static_cast<int>(layout.top + 3.0 * layout.h + step);
  layout.y_b = static_cast<int>(layout.y_a + step);
  layout.y_c = static_cast<int>(layout.y_b + step);
  layout.y_d = static_cast<int>(layout.y_c + step);
  layout.y_e = static_cast<int>(layout.y_d + step);
  layout.y_f = static_cast<int>(layout.y_e + step);

  layout.rows_per_page = (layout.bottom - layout.h - layout.y_f) / layout.h - 2;
  return layout;
}

void Draw_Rule(QPainter *painter, const TReportLayout &layout, int y, const QColor &colour)
{
  painter->setPen(QPen(colour));
  painter->drawLine(layout.X(0), y, layout.X(0) + layout.Table_Width() - 1, y);
}

// A name that another program wrote may be longer than the line: a smaller font first, then an
// ellipsis, so that a cut is never mistaken for the whole name.
void Draw_Fitted_Text(QPainter *painter, const QRect &rect, const QString &text)
{
  const QFont original = painter->font();
  QFont font = original;
  while (painter->fontMetrics().horizontalAdvance(text) > rect.width() &&
         font.pointSizeF() > MINIMUM_NAME_POINT_SIZE)
  {
    font.setPointSizeF(font.pointSizeF() - 1.0);
    painter->setFont(font);
  }
  painter->drawText(rect, LEFT_CENTRED,
                    painter->fontMetrics().elidedText(text, Qt::ElideRight, rect.width()));
  painter->setFont(original);
}

void Draw_Page_Header(QPainter *painter, const TReportLayout &layout, int page, const QString &make,
                      const QString &model, const QString &option)
{
  const TReportLayout &l = layout;

  painter->setPen(QPen(TEXT_COLOUR));
  painter->setFont(Title_Font());
  const QRect title_rect(QPoint(l.X(0), l.top),
                         QPoint(l.X(0) + l.Table_Width() - 1, l.top + 3 * l.h - 1));
  painter->drawText(title_rect, LEFT_CENTRED, TITLE_TEXT);
  Draw_Rule(painter, l, title_rect.bottom(), RULE_COLOUR);

  painter->setPen(QPen(TEXT_COLOUR));
  painter->setFont(Identification_Font());
  const struct
  {
    QString label;
    QString value;
    int y;
    int y_next;
  } identification[] = {{QStringLiteral("Make:"), make, l.y_a, l.y_b},
                        {QStringLiteral("Model:"), model, l.y_b, l.y_c},
                        {QStringLiteral("Option:"), option, l.y_c, l.y_d}};
  for (const auto &line : identification)
  {
    const int height = line.y_next - line.y;
    painter->drawText(QRect(l.X(0), line.y, 3 * l.u, height), LEFT_CENTRED, line.label);
    Draw_Fitted_Text(painter, QRect(l.X(3), line.y, 21 * l.u, height), line.value);
  }

  const int header_height = l.y_f - l.y_e;
  painter->drawText(QRect(l.X(0), l.y_e, 4 * l.u, header_height), LEFT_CENTRED,
                    QStringLiteral("Component"));
  painter->drawText(QRect(l.X(4), l.y_e, 11 * l.u, header_height), LEFT_CENTRED,
                    QStringLiteral("Expression"));
  painter->drawText(QRect(l.X(12), l.y_e, 2 * l.u, header_height), LEFT_CENTRED,
                    QStringLiteral("Source"));
  painter->drawText(QRect(l.X(15), l.y_e, 9 * l.u, header_height), LEFT_CENTRED,
                    QStringLiteral("Description"));
  Draw_Rule(painter, l, l.y_f - 1, RULE_COLOUR);

  painter->setPen(QPen(TEXT_COLOUR));
  painter->setFont(Footer_Font());
  const int footer_top = l.bottom - l.h;
  painter->drawText(QRect(l.X(0), footer_top, 20 * l.u, l.h), Qt::AlignLeft, NOTICE_TEXT);
  painter->drawText(QRect(l.X(22), footer_top, 2 * l.u, l.h), Qt::AlignRight,
                    QStringLiteral("Page %1").arg(page));
  Draw_Rule(painter, l, l.bottom - l.h - l.h / 4, TEXT_COLOUR);

  painter->setFont(Body_Font());
}

// Draws one heading or specification row at row n and returns the row that follows it.
int Draw_Row(QPainter *painter, const TReportLayout &layout, int n, const QStringList &row)
{
  const TReportLayout &l = layout;

  if (row.size() == TSpecificationReport::HEADING_ROW_SIZE)
  {
    const QRect band(l.X(0), l.Row_Top(n), l.Table_Width(), 2 * l.h);
    painter->setFont(Heading_Font());
    painter->fillRect(band, QBrush(BAND_COLOUR, Qt::SolidPattern));
    painter->setPen(QPen(TEXT_COLOUR));
    painter->drawText(band, LEFT_CENTRED, row.at(0));
    painter->setFont(Body_Font());
    return n + 2;
  }

  if (row.size() == TSpecificationReport::SPECIFICATION_ROW_SIZE)
  {
    const int y = l.Row_Top(n);
    painter->setPen(QPen(TEXT_COLOUR));
    painter->drawText(QRect(l.X(1), y, 4 * l.u, l.h), Qt::AlignLeft, row.at(0));
    painter->drawText(QRect(l.X(4), y, 11 * l.u, l.h), Qt::AlignLeft, row.at(1));
    painter->drawText(QRect(l.X(13), y, 2 * l.u, l.h), Qt::AlignLeft, row.at(2));
    painter->drawText(QRect(l.X(15), y, 9 * l.u, l.h), Qt::AlignLeft, row.at(3));
    return n + 1;
  }

  return n;
}

void Draw_Closing_Block(QPainter *painter, const TReportLayout &layout, int n)
{
  const TReportLayout &l = layout;

  Draw_Rule(painter, l, l.Row_Top(n + 2) - 1, RULE_COLOUR);

  if (l.rows_per_page - (n + 1) <= 8)
    return;

  painter->setPen(QPen(TEXT_COLOUR));
  painter->setFont(Heading_Font());
  painter->drawText(QRect(l.X(0), l.Row_Top(n + 2), 4 * l.u, 2 * l.h),
                    Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Legend"));

  painter->setFont(Body_Font());
  const QString entries[][2] = {
      {QStringLiteral("L"), QStringLiteral("Length in mm")},
      {QStringLiteral("Td"),
       QStringLiteral("Temperature deviation from standard reference in Celsius")},
      {QStringLiteral("MFG"), QStringLiteral("Specification provided by manufacturer")},
      {QStringLiteral("EST"),
       QStringLiteral("Estimated specification derived from manufacturer specifications")}};
  int row = n + 4;
  for (const auto &entry : entries)
  {
    painter->drawText(QRect(l.X(1), l.Row_Top(row), l.u, l.h), Qt::AlignLeft, entry[0]);
    painter->drawText(QRect(l.X(4), l.Row_Top(row), 21 * l.u, l.h), Qt::AlignLeft, entry[1]);
    ++row;
  }

  painter->drawText(QRect(l.X(0), l.Row_Top(n + 9), 23 * l.u, 2 * l.h),
                    Qt::AlignLeft | Qt::AlignBottom, NOTE_TEXT);
}

// Draws the whole report on the printer. False with *reason set when the PDF writer cannot start,
// start a page or finish.
bool Draw_Report(QPrinter &printer, const QString &make, const QString &model,
                 const QString &option, const QList<QStringList> &rows, QString *reason)
{
  QPainter painter;
  if (!painter.begin(&printer))
  {
    *reason = QStringLiteral("the PDF writer cannot open the file.");
    return false;
  }

  painter.setFont(Body_Font());
  const QRect paint_rect = printer.pageLayout().paintRectPixels(printer.resolution());
  const TReportLayout layout = Make_Layout(&painter, paint_rect);

  int page = 1;
  int n = 1;
  bool header_due = true;
  for (const QStringList &row : rows)
  {
    if (header_due)
    {
      Draw_Page_Header(&painter, layout, page, make, model, option);
      header_due = false;
    }
    n = Draw_Row(&painter, layout, n, row);

    if (n > layout.rows_per_page)
    {
      if (!printer.newPage())
      {
        painter.end();
        *reason = QStringLiteral("the PDF writer cannot start page %1.").arg(page + 1);
        return false;
      }
      ++page;
      painter.setFont(Body_Font());
      n = 1;
      header_due = true;
    }
  }

  Draw_Closing_Block(&painter, layout, n);

  if (!painter.end() || printer.printerState() == QPrinter::Error)
  {
    *reason = QStringLiteral("the PDF writer cannot finish the file.");
    return false;
  }
  return true;
}

} // namespace

QStringList TSpecificationReport::Standard_Names()
{
  return {QStringLiteral("10360"), QStringLiteral("VDIVDE_2617"), QStringLiteral("B89.4.1"),
          QStringLiteral("CMMA")};
}

QString TSpecificationReport::Standard_Heading(const QString &standard)
{
  if (standard == QLatin1String("10360"))
    return QStringLiteral("  ASME B89.4.10360, ISO/IEC 10360");
  if (standard == QLatin1String("VDIVDE_2617"))
    return QStringLiteral("    VDIVDE_2617");
  if (standard == QLatin1String("B89.4.1"))
    return QStringLiteral("    ASME B89.4.1");
  if (standard == QLatin1String("CMMA"))
    return QStringLiteral("    CMMA");
  return QString();
}

QList<QStringList> TSpecificationReport::Build_Rows(TDatabase *database, const QString &make,
                                                    const QString &model, const QString &option)
{
  Q_ASSERT(database);

  QList<QStringList> rows;
  for (const QString &standard : Standard_Names())
  {
    // A record that cannot be read has no items and is left out like an empty one.
    bool valid = false;
    const TDatabaseItem record =
        database->Read_Specification(make, model, option, standard, &valid);
    if (record.Specification_Item_Count() == 0)
      continue;

    rows.append(QStringList{Standard_Heading(standard)});
    for (int index = 0; index < record.Specification_Item_Count(); ++index)
    {
      const TSpecificationItem item = record.Specification_Item(index);
      rows.append(QStringList{item.name, item.expression.Expression_Text(TExpressionItem::UNITS_UM),
                              item.source == TDatabaseItem::SOURCE_MANUFACTURER
                                  ? QStringLiteral("MFG")
                                  : QStringLiteral("EST"),
                              item.description});
    }
  }
  return rows;
}

bool TSpecificationReport::Write(const QString &file_name, const QString &make,
                                 const QString &model, const QString &option,
                                 const QList<QStringList> &rows, QString *error_text)
{
  return TPdfOutput::Write(
      file_name,
      [&](QPrinter *printer, QString *reason)
      { return Draw_Report(*printer, make, model, option, rows, reason); },
      error_text);
}

QString TSpecificationReport::Appended_Pdf_Suffix(const QString &name)
{
  // A name that exists is the file meant (/dev/null, or a report written before): the writer
  // replaces it or says why it will not.
  if (name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) || QFileInfo::exists(name) ||
      QFileInfo(name).isSymLink())
    return name;
  return name + QStringLiteral(".pdf");
}
