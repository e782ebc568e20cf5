#ifndef METROVA_SAFEFILE_H
#define METROVA_SAFEFILE_H

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

// A file that is replaced only once its whole new content is written: after any failure, or
// when the object goes away uncommitted, the previous file is left byte for byte as it was.
class TSafeFile
{
public:
  explicit TSafeFile(const QString &file_name);

  // Opened before the content is built, so that an unwritable place fails at once. A target that
  // exists and is no regular file, or is a database, is refused; the null device is written to
  // as it is, which throws the content away. In text mode line feeds are written as the platform
  // ends lines.
  bool Open(bool text = false);
  bool Commit(const QByteArray &bytes);
  // A name that reaches the open file, for writers that take a file name only (a PDF printer):
  // what they write is committed like the bytes given to Commit. Empty where there is none.
  QString Descriptor_Path() const;
  // Whether the target is the null device, where nothing written can be read back.
  bool Discards() const { return d_null.isOpen(); }
  QString Error_Text() const { return d_error_text; }

private:
  bool Fail(const QString &reason);

  QSaveFile d_file;
  // The null device, when that is the target.
  QFile d_null;
  QString d_error_text;
};

#endif // METROVA_SAFEFILE_H
