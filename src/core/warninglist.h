#ifndef METROVA_WARNINGLIST_H
#define METROVA_WARNINGLIST_H

#include <QString>
#include <QStringList>

// The problems of an exchange run that did not stop it, one line each, numbered by the line of
// the file where there is one. A file full of problems must not flood the message that shows
// them: lines beyond a number or a size are only counted, and each line is cut to a length.
class TWarningList
{
public:
  static constexpr int MAXIMUM_LINES = 200;
  static constexpr int MAXIMUM_BYTES = 60000;
  static constexpr int MAXIMUM_LINE_LENGTH = 240;
  // A warning quotes at most this much of a bad value.
  static constexpr int QUOTED_LENGTH = 60;

  void Add(qint64 line_number, const QString &text);
  void Add(const QString &text) { Add(0, text); }
  void Clear();
  qint64 Count() const { return d_count; }
  bool Is_Empty() const { return d_count == 0; }
  QString Text() const;

  // A text cut to length without splitting a character made of two code units.
  static QString Cut(const QString &text, int length);
  // A value as a warning shows it, in quotes: cut, and without the control characters that
  // would cut or break the message.
  static QString Quoted(const QString &value);

private:
  QStringList d_lines;
  // A file of any size may give more problems than an int counts.
  qint64 d_count = 0;
  int d_bytes = 0;
};

#endif // METROVA_WARNINGLIST_H
