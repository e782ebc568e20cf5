#ifndef METROVA_CSVWRITER_H
#define METROVA_CSVWRITER_H

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

// CSV for a person to open in a spreadsheet: the tables of the command line and the comparison.
// Not the exchange file, whose cells must read back exactly. A cell is quoted where it holds the
// separator, a quote, a line break or leading or trailing blanks, its quotes doubled. A text that
// a spreadsheet would take for a formula (it begins with = + - @, a tab or a carriage return) is
// quoted with a leading apostrophe, so that it shows as the text it is; a number stays a number.
class TCsvWriter
{
public:
  static QString Field(const QString &text, QChar separator = QLatin1Char(','));
  // The fields and a line feed.
  static QString Line(const QStringList &cells, QChar separator = QLatin1Char(','));
  static QString Table(const QStringList &header, const QList<QStringList> &rows,
                       QChar separator = QLatin1Char(','));
};

#endif // METROVA_CSVWRITER_H
