#ifndef METROVA_QIFXMLGUARD_H
#define METROVA_QIFXMLGUARD_H

#include <QByteArray>
#include <QString>

// Qt's XML reader compares every attribute of an element with each one before it, and looks up
// a prefix through every namespace declaration in force: its time grows with the square of their
// number (200,000 attributes on one element took 87 seconds). QIF elements have a few of each,
// so a document with far more is refused before it is parsed, after one pass over its text.
class TQifXmlGuard
{
public:
  static constexpr int MAXIMUM_ATTRIBUTES = 100;
  static constexpr int MAXIMUM_NAMESPACES = 100;

  // Why the document is refused, empty when it may be parsed. The bytes of an encoding that
  // keeps ASCII as it is (UTF-8, Latin-1), or the decoded text of any other.
  static QString Problem(const QByteArray &bytes);
  static QString Problem(const QString &text);
};

#endif // METROVA_QIFXMLGUARD_H
