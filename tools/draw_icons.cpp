// Draws Metrova's window icon (also at the installed icon sizes), logo and tool bar icons into a
// resources folder:
//   draw_icons -platform offscreen <path/to/resources>
// The pictures are vector drawings on a 32-unit grid (64 for the window icon), so every icon
// shares one palette, one outline width and one light direction.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtMath>

#include <functional>

namespace
{
const QColor OUTLINE(0x2b, 0x3a, 0x4a);
const QColor DATABASE_LIGHT(0x7d, 0xb3, 0xea);
const QColor DATABASE_DARK(0x2c, 0x5f, 0x9e);
const QColor DATABASE_TOP(0xb9, 0xd8, 0xf7);
const QColor GOLD(0xf5, 0xb8, 0x00);
const QColor GOLD_DARK(0xa8, 0x76, 0x00);
const QColor RED(0xd3, 0x2f, 0x2f);
const QColor RED_DARK(0x8e, 0x1b, 0x1b);
const QColor GREEN(0x2e, 0x9e, 0x4f);
const QColor GREEN_DARK(0x1b, 0x63, 0x30);
const QColor BLUE(0x2c, 0x6f, 0xbf);
const QColor BLUE_DARK(0x1a, 0x46, 0x7e);
const QColor PAPER(0xff, 0xff, 0xff);
const QColor PAPER_EDGE(0x5a, 0x6b, 0x7c);
const QColor PAPER_FOLD(0xd5, 0xdd, 0xe6);
const QColor TEXT_LINE(0xa9, 0xb6, 0xc4);

QPen Outline(const QColor &color = OUTLINE, qreal width = 1.2)
{
  QPen pen(color, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  return pen;
}

// A database cylinder: body with a left-to-right shade, a lit top and two disc seams.
void Draw_Cylinder(QPainter &painter, const QRectF &box)
{
  const qreal lid = box.height() * 0.28;
  QPainterPath body;
  body.moveTo(box.left(), box.top() + lid / 2);
  body.lineTo(box.left(), box.bottom() - lid / 2);
  body.arcTo(QRectF(box.left(), box.bottom() - lid, box.width(), lid), 180, 180);
  body.lineTo(box.right(), box.top() + lid / 2);
  body.closeSubpath();

  QLinearGradient shade(box.left(), 0, box.right(), 0);
  shade.setColorAt(0.0, DATABASE_DARK);
  shade.setColorAt(0.35, DATABASE_LIGHT);
  shade.setColorAt(1.0, DATABASE_DARK);
  painter.setPen(Outline());
  painter.setBrush(shade);
  painter.drawPath(body);

  painter.setBrush(Qt::NoBrush);
  painter.setPen(Outline(DATABASE_DARK.darker(130), 1.0));
  for (int seam = 1; seam <= 2; ++seam)
  {
    const qreal y = box.top() + lid / 2 + (box.height() - lid) * seam / 3.0;
    painter.drawArc(QRectF(box.left(), y - lid / 2, box.width(), lid), 180 * 16, 180 * 16);
  }

  painter.setPen(Outline());
  painter.setBrush(DATABASE_TOP);
  painter.drawEllipse(QRectF(box.left(), box.top(), box.width(), lid));
}

QPainterPath Star(const QPointF &centre, qreal outer, qreal inner)
{
  QPainterPath path;
  for (int point = 0; point < 10; ++point)
  {
    const qreal radius = point % 2 == 0 ? outer : inner;
    const qreal angle = qDegreesToRadians(-90.0 + point * 36.0);
    const QPointF corner(centre.x() + radius * qCos(angle), centre.y() + radius * qSin(angle));
    if (point == 0)
      path.moveTo(corner);
    else
      path.lineTo(corner);
  }
  path.closeSubpath();
  return path;
}

// A sheet of paper with a folded top-right corner and a few text lines.
void Draw_Page(QPainter &painter, const QRectF &page, bool text_lines = true)
{
  const qreal fold = page.width() * 0.32;
  QPainterPath sheet;
  sheet.moveTo(page.topLeft());
  sheet.lineTo(page.right() - fold, page.top());
  sheet.lineTo(page.right(), page.top() + fold);
  sheet.lineTo(page.bottomRight());
  sheet.lineTo(page.bottomLeft());
  sheet.closeSubpath();
  painter.setPen(Outline(PAPER_EDGE));
  painter.setBrush(PAPER);
  painter.drawPath(sheet);

  QPainterPath corner;
  corner.moveTo(page.right() - fold, page.top());
  corner.lineTo(page.right() - fold, page.top() + fold);
  corner.lineTo(page.right(), page.top() + fold);
  corner.closeSubpath();
  painter.setBrush(PAPER_FOLD);
  painter.drawPath(corner);

  if (!text_lines)
    return;
  painter.setPen(QPen(TEXT_LINE, 1.4, Qt::SolidLine, Qt::FlatCap));
  const qreal left = page.left() + 3;
  for (qreal y = page.top() + fold + 3; y < page.bottom() - 2; y += 3.5)
    painter.drawLine(QPointF(left, y), QPointF(page.right() - 3, y));
}

// A thick arrow pointing right, from tail to head along one horizontal line.
void Draw_Arrow(QPainter &painter, qreal tail, qreal head, qreal y, const QColor &fill,
                const QColor &edge)
{
  const qreal shaft = 3.2;
  const qreal barb = 7.5;
  const qreal length = 7.5;
  QPainterPath arrow;
  arrow.moveTo(tail, y - shaft);
  arrow.lineTo(head - length, y - shaft);
  arrow.lineTo(head - length, y - barb);
  arrow.lineTo(head, y);
  arrow.lineTo(head - length, y + barb);
  arrow.lineTo(head - length, y + shaft);
  arrow.lineTo(tail, y + shaft);
  arrow.closeSubpath();
  painter.setPen(Outline(edge));
  painter.setBrush(fill);
  painter.drawPath(arrow);
}

void New_Database(QPainter &painter)
{
  Draw_Cylinder(painter, QRectF(3, 6, 20, 23));
  painter.setPen(Outline(GOLD_DARK, 1.0));
  painter.setBrush(GOLD);
  painter.drawPath(Star(QPointF(23.5, 8.5), 8, 3.6));
}

void Open_Database(QPainter &painter)
{
  QPainterPath back;
  back.moveTo(2.5, 26);
  back.lineTo(2.5, 6.5);
  back.lineTo(11, 6.5);
  back.lineTo(13.5, 9.5);
  back.lineTo(26.5, 9.5);
  back.lineTo(26.5, 26);
  back.closeSubpath();
  painter.setPen(Outline(QColor(0x8a, 0x5c, 0x0a)));
  painter.setBrush(QColor(0xd9, 0x93, 0x1c));
  painter.drawPath(back);

  painter.setPen(Outline(PAPER_EDGE, 1.0));
  painter.setBrush(PAPER);
  painter.drawRect(QRectF(6, 11.5, 17, 12));

  QPainterPath front;
  front.moveTo(2.5, 26);
  front.lineTo(7.5, 14.5);
  front.lineTo(30, 14.5);
  front.lineTo(25.5, 26);
  front.closeSubpath();
  QLinearGradient shade(0, 14.5, 0, 26);
  shade.setColorAt(0, QColor(0xff, 0xd5, 0x6e));
  shade.setColorAt(1, QColor(0xf0, 0xae, 0x35));
  painter.setPen(Outline(QColor(0x8a, 0x5c, 0x0a)));
  painter.setBrush(shade);
  painter.drawPath(front);
}

void Close_Database(QPainter &painter)
{
  Draw_Cylinder(painter, QRectF(3, 3, 20, 23));
  const QPointF centre(23, 23);
  painter.setPen(Outline(PAPER, 1.6));
  painter.setBrush(RED);
  painter.drawEllipse(centre, 7.2, 7.2);
  painter.setPen(Outline(PAPER, 2.4));
  painter.drawLine(centre + QPointF(-3.2, -3.2), centre + QPointF(3.2, 3.2));
  painter.drawLine(centre + QPointF(-3.2, 3.2), centre + QPointF(3.2, -3.2));
}

void Export(QPainter &painter)
{
  Draw_Page(painter, QRectF(3, 2.5, 18, 27));
  Draw_Arrow(painter, 11, 30.5, 19, GREEN, GREEN_DARK);
}

void Import(QPainter &painter)
{
  Draw_Page(painter, QRectF(11, 2.5, 18, 27));
  Draw_Arrow(painter, 1.5, 21, 19, BLUE, BLUE_DARK);
}

void Output(QPainter &painter)
{
  Draw_Page(painter, QRectF(5, 1.5, 22, 29), false);
  painter.setPen(QPen(TEXT_LINE, 1.4, Qt::SolidLine, Qt::FlatCap));
  painter.drawLine(QPointF(8, 11), QPointF(20, 11));
  painter.drawLine(QPointF(8, 26.5), QPointF(24, 26.5));

  painter.setPen(Outline(RED_DARK, 1.0));
  painter.setBrush(RED);
  painter.drawRoundedRect(QRectF(2, 14, 26, 10), 1.5, 1.5);

  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(9);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(PAPER);
  painter.drawText(QRectF(2, 14, 26, 10), Qt::AlignCenter, QStringLiteral("PDF"));
}

void Edit(QPainter &painter)
{
  // Drawn lying along the x axis, then turned so that the tip points to the lower left.
  painter.translate(16, 16);
  painter.rotate(-45);
  const qreal half = 4.2;

  QPainterPath wood;
  wood.moveTo(-16, 0);
  wood.lineTo(-9, -half);
  wood.lineTo(-9, half);
  wood.closeSubpath();
  painter.setPen(Outline());
  painter.setBrush(QColor(0xee, 0xcf, 0xa0));
  painter.drawPath(wood);

  QPainterPath lead;
  lead.moveTo(-16, 0);
  lead.lineTo(-13.3, -1.6);
  lead.lineTo(-13.3, 1.6);
  lead.closeSubpath();
  painter.setBrush(OUTLINE);
  painter.drawPath(lead);

  QLinearGradient body(0, -half, 0, half);
  body.setColorAt(0, QColor(0xff, 0xd8, 0x4d));
  body.setColorAt(1, QColor(0xe0, 0xa8, 0x00));
  painter.setBrush(body);
  painter.drawRect(QRectF(-9, -half, 17, 2 * half));
  painter.setPen(Outline(QColor(0xb0, 0x84, 0x00), 0.8));
  painter.drawLine(QPointF(-9, -1.4), QPointF(8, -1.4));
  painter.drawLine(QPointF(-9, 1.4), QPointF(8, 1.4));

  painter.setPen(Outline());
  painter.setBrush(QColor(0xb8, 0xc2, 0xcc));
  painter.drawRect(QRectF(8, -half, 3.5, 2 * half));
  painter.setBrush(QColor(0xf2, 0x8b, 0xa0));
  painter.drawRoundedRect(QRectF(11.5, -half, 4.5, 2 * half), 1.5, 1.5);
}

void Limits(QPainter &painter)
{
  const QPointF centre(16, 17);
  const qreal radius = 13.5;
  QRadialGradient face(centre, radius);
  face.setColorAt(0, PAPER);
  face.setColorAt(1, QColor(0xe4, 0xea, 0xf0));
  painter.setPen(Outline(OUTLINE, 2.0));
  painter.setBrush(face);
  painter.drawEllipse(centre, radius, radius);

  // Tolerance bands along the upper arc: within, near and beyond the limit.
  const QRectF band(centre.x() - 9.5, centre.y() - 9.5, 19, 19);
  const struct
  {
    int start;
    int span;
    QColor color;
  } bands[] = {{90, 110, GREEN}, {35, 55, GOLD}, {-20, 55, RED}};
  for (const auto &segment : bands)
  {
    painter.setPen(QPen(segment.color, 3.2, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(band, segment.start * 16, segment.span * 16);
  }

  painter.setPen(Outline(OUTLINE, 1.0));
  for (int tick = 0; tick <= 8; ++tick)
  {
    const qreal angle = qDegreesToRadians(200.0 - tick * 27.5);
    const QPointF direction(qCos(angle), -qSin(angle));
    painter.drawLine(centre + direction * 11.2, centre + direction * 13.0);
  }

  const qreal needle = qDegreesToRadians(55.0);
  const QPointF tip = centre + QPointF(qCos(needle), -qSin(needle)) * 10.5;
  painter.setPen(Outline(RED_DARK, 2.0));
  painter.drawLine(centre, tip);
  painter.setPen(Outline());
  painter.setBrush(OUTLINE);
  painter.drawEllipse(centre, 2.2, 2.2);
}

// Machines compared: their limits over length on a small chart, one line levelling off at its
// maximum.
void Compare(QPainter &painter)
{
  painter.setPen(Outline(PAPER_EDGE, 1.2));
  painter.setBrush(PAPER);
  painter.drawRoundedRect(QRectF(3.5, 4.5, 25, 23), 2.5, 2.5);

  painter.setPen(QPen(TEXT_LINE, 0.8));
  for (const qreal y : {10.0, 14.5, 19.0})
  {
    painter.drawLine(QPointF(8.5, y), QPointF(25.5, y));
  }
  painter.setPen(Outline(OUTLINE, 1.4));
  painter.drawLine(QPointF(7.5, 8.0), QPointF(7.5, 23.5));
  painter.drawLine(QPointF(7.5, 23.5), QPointF(25.5, 23.5));

  painter.setBrush(Qt::NoBrush);
  const struct
  {
    QColor color;
    QPointF points[3];
  } lines[] = {{GREEN, {{8.5, 20.5}, {17.0, 17.5}, {25.5, 14.5}}},
               {BLUE, {{8.5, 19.0}, {17.0, 10.5}, {25.5, 10.5}}}};
  for (const auto &line : lines)
  {
    painter.setPen(Outline(line.color, 2.4));
    painter.drawPolyline(line.points, 3);
  }
}

// A log of checks: a clipboard with a record's lines and a green tick.
void Verification(QPainter &painter)
{
  painter.setPen(Outline(PAPER_EDGE, 1.2));
  painter.setBrush(QColor(0xc9, 0x9a, 0x5b));
  painter.drawRoundedRect(QRectF(5.5, 4.5, 21, 25), 2.5, 2.5);
  painter.setBrush(PAPER);
  painter.drawRect(QRectF(8.5, 7.5, 15, 19.5));
  painter.setPen(Outline(OUTLINE, 1.0));
  painter.setBrush(QColor(0xb8, 0xc2, 0xcc));
  painter.drawRoundedRect(QRectF(11, 2.5, 10, 4.5), 1.5, 1.5);

  painter.setPen(QPen(TEXT_LINE, 1.0));
  for (const qreal y : {11.5, 15.0, 18.5})
  {
    painter.drawLine(QPointF(11, y), QPointF(21, y));
  }
  painter.setPen(Outline(GREEN_DARK, 4.2));
  const QPointF tick[] = {{14.5, 21.5}, {18.5, 25.5}, {28.0, 14.0}};
  painter.drawPolyline(tick, 3);
  painter.setPen(Outline(GREEN, 2.4));
  painter.drawPolyline(tick, 3);
}

void About(QPainter &painter)
{
  const QPointF centre(16, 16);
  QLinearGradient shade(0, 2, 0, 30);
  shade.setColorAt(0, QColor(0x4a, 0x90, 0xe2));
  shade.setColorAt(1, BLUE_DARK);
  painter.setPen(Outline(BLUE_DARK));
  painter.setBrush(shade);
  painter.drawEllipse(centre, 14, 14);

  painter.setPen(Qt::NoPen);
  painter.setBrush(PAPER);
  painter.drawEllipse(QPointF(16, 9), 2.4, 2.4);
  painter.drawRoundedRect(QRectF(13.8, 13, 4.4, 12), 1.2, 1.2);
  painter.drawRect(QRectF(11.8, 13, 4, 2));
  painter.drawRect(QRectF(11.8, 23, 8.4, 2.2));
}

// A bridge measuring machine: granite table, portal with its slide, ram and a ruby stylus.
void Draw_Machine(QPainter &painter, const QRectF &area, bool background)
{
  painter.save();
  painter.translate(area.topLeft());
  painter.scale(area.width() / 64.0, area.height() / 64.0);

  if (background)
  {
    QLinearGradient sky(0, 0, 0, 64);
    sky.setColorAt(0, QColor(0x3a, 0x7b, 0xd5));
    sky.setColorAt(1, QColor(0x1a, 0x46, 0x7e));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(1, 1, 62, 62), 12, 12);
  }

  const QColor frame(0xf4, 0xf7, 0xfa);
  const QColor frame_edge(0x1a, 0x2c, 0x40);

  // Granite table in perspective.
  QPainterPath table;
  table.moveTo(6, 52);
  table.lineTo(12, 44);
  table.lineTo(52, 44);
  table.lineTo(58, 52);
  table.closeSubpath();
  painter.setPen(Outline(frame_edge, 1.4));
  painter.setBrush(QColor(0x7c, 0x86, 0x90));
  painter.drawPath(table);
  painter.setBrush(QColor(0x55, 0x5e, 0x67));
  painter.drawRect(QRectF(6, 52, 52, 5));

  // Portal: two legs and the bridge beam.
  painter.setBrush(frame);
  painter.drawRect(QRectF(13, 14, 6, 33));
  painter.drawRect(QRectF(45, 14, 6, 33));
  painter.drawRect(QRectF(10, 9, 44, 8));

  // Carriage on the beam and the vertical ram.
  painter.setBrush(QColor(0xff, 0xb3, 0x00));
  painter.drawRect(QRectF(26, 7, 12, 12));
  painter.setBrush(frame);
  painter.drawRect(QRectF(29.5, 19, 5, 14));

  // Probe head, stylus and ruby ball.
  painter.setBrush(QColor(0x9a, 0xa6, 0xb2));
  painter.drawRect(QRectF(28.5, 33, 7, 4));
  painter.setPen(Outline(frame_edge, 1.6));
  painter.drawLine(QPointF(32, 37), QPointF(32, 41));
  QRadialGradient ruby(QPointF(31, 41), 3.5);
  ruby.setColorAt(0, QColor(0xff, 0x8a, 0x8a));
  ruby.setColorAt(1, RED);
  painter.setPen(Outline(RED_DARK, 1.0));
  painter.setBrush(ruby);
  painter.drawEllipse(QPointF(32, 42), 2.8, 2.8);

  painter.restore();
}

void Window_Icon(QPainter &painter)
{
  Draw_Machine(painter, QRectF(0, 0, 64, 64), true);
}

// The window icon at the sizes of the desktop's icon theme: the same drawing, scaled.
template <int SIZE>
void Theme_Icon(QPainter &painter)
{
  painter.scale(SIZE / 64.0, SIZE / 64.0);
  Window_Icon(painter);
}

void Logo(QPainter &painter)
{
  Draw_Machine(painter, QRectF(2, 2, 36, 36), true);

  // The largest bold face whose name fits beside the mark.
  const QString name = QStringLiteral("Metrova");
  const QRectF name_box(40, 3, 59, 22);
  QFont font(QStringLiteral("Liberation Sans"));
  font.setBold(true);
  for (int pixels = 18; pixels > 8; --pixels)
  {
    font.setPixelSize(pixels);
    if (QFontMetricsF(font).horizontalAdvance(name) <= name_box.width())
      break;
  }
  painter.setFont(font);
  painter.setPen(BLUE_DARK);
  painter.drawText(name_box, Qt::AlignLeft | Qt::AlignBottom, name);

  QFont small_font(QStringLiteral("Liberation Sans"));
  small_font.setPixelSize(8);
  painter.setFont(small_font);
  painter.setPen(QColor(0x5a, 0x6b, 0x7c));
  painter.drawText(QRectF(40.5, 25, 59, 12), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("CMM accuracy"));
}

bool Write(const QString &file_name, const QSize &size, const std::function<void(QPainter &)> &draw)
{
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  draw(painter);
  painter.end();
  return image.save(file_name, "PNG");
}
} // namespace

int main(int argc, char *argv[])
{
  QGuiApplication application(argc, argv);
  QTextStream error(stderr);
  const QStringList arguments = QGuiApplication::arguments();
  if (arguments.size() != 2)
  {
    error << "usage: draw_icons -platform offscreen <resources folder>\n";
    return 2;
  }
  const QDir resources(arguments.at(1));
  for (const QString &folder :
       {QStringLiteral("icons"), QStringLiteral("images"), QStringLiteral("actions")})
  {
    if (!resources.mkpath(folder))
    {
      error << "cannot create " << resources.filePath(folder) << '\n';
      return 1;
    }
  }

  const QSize action(32, 32);
  const struct
  {
    const char *path;
    QSize size;
    void (*draw)(QPainter &);
  } pictures[] = {
      {"icons/metrova.png", QSize(64, 64), Window_Icon},
      {"icons/metrova_48.png", QSize(48, 48), Theme_Icon<48>},
      {"icons/metrova_128.png", QSize(128, 128), Theme_Icon<128>},
      {"icons/metrova_256.png", QSize(256, 256), Theme_Icon<256>},
      {"images/logo.png", QSize(100, 40), Logo},
      {"actions/new_database.png", action, New_Database},
      {"actions/open_database.png", action, Open_Database},
      {"actions/close_database.png", action, Close_Database},
      {"actions/export.png", action, Export},
      {"actions/import.png", action, Import},
      {"actions/output.png", action, Output},
      {"actions/edit.png", action, Edit},
      {"actions/limits.png", action, Limits},
      {"actions/compare.png", action, Compare},
      {"actions/verification.png", action, Verification},
      {"actions/about.png", action, About},
  };
  for (const auto &picture : pictures)
  {
    const QString file_name = resources.filePath(QString::fromLatin1(picture.path));
    if (!Write(file_name, picture.size, picture.draw))
    {
      error << "cannot write " << file_name << '\n';
      return 1;
    }
  }
  return 0;
}
