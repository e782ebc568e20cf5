#ifndef METROVA_WARNINGLIST_H
#define METROVA_WARNINGLIST_H

#include <QString>
#include <QStringList>

// The problems of an exchange run that did not stop it: one line each, numbered by the line of
// the file where there is one. A file full of problems must not flood the message that shows
// them, so lines beyond a maximum are only counted.
class TWarningList
{
public:
  static constexpr int MAXIMUM_LINES = 200;

  void Add(int line_number, const QString &text);
  void Add(const QString &text) { Add(0, text); }
  void Clear();
  int Count() const { return d_count; }
  bool Is_Empty() const { return d_count == 0; }
  QString Text() const;

private:
  QStringList d_lines;
  int d_count = 0;
};

#endif // METROVA_WARNINGLIST_H
