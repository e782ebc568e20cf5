#include "pdfoutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

namespace
{
// A PDF writer that meets a full disk or a file size limit drops its writes without telling the
// painter, so the file itself is checked: the header, the end marker, and the cross-reference
// table at the offset the writer counted (bytes lost in between would move it).
bool Is_Complete_Pdf(const QString &file_name, QString *reason)
{
  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly))
  {
    *reason = QStringLiteral("the written file cannot be read back: %1").arg(file.errorString());
    return false;
  }

  const qint64 size = file.size();
  const QByteArray head = file.read(5);
  const qint64 tail_size = qMin<qint64>(size, 1024);
  const QByteArray tail = file.seek(size - tail_size) ? file.read(tail_size) : QByteArray();

  const int start_index = tail.lastIndexOf("startxref");
  const int end_index = tail.lastIndexOf("%%EOF");
  bool offset_valid = false;
  const qint64 xref_offset = start_index < 0
                                 ? -1
                                 : tail.mid(start_index + 9, end_index - start_index - 9)
                                       .trimmed()
                                       .toLongLong(&offset_valid);

  const bool complete = head == "%PDF-" && tail.size() == tail_size &&
                        tail.trimmed().endsWith("%%EOF") && offset_valid && xref_offset > 0 &&
                        xref_offset < size && file.seek(xref_offset) && file.read(4) == "xref";
  if (!complete)
    *reason = QStringLiteral("the written file is incomplete (the disk may be full or a file "
                             "size limit was reached).");
  return complete;
}

// Creates an empty file with a fresh name beside the target, with the permissions that a new file
// in that folder gets.
bool Create_Temporary_File(const QDir &folder, const QString &target_name, QString *temp_name,
                           QString *reason)
{
  for (int attempt = 0; attempt < 100; ++attempt)
  {
    const QString name =
        folder.filePath(QStringLiteral(".%1.%2.tmp")
                            .arg(target_name)
                            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    QFile file(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
    {
      file.close();
      *temp_name = name;
      return true;
    }
    if (!QFileInfo::exists(name))
    {
      *reason = QStringLiteral("cannot create a temporary file in '%1': %2")
                    .arg(QDir::toNativeSeparators(folder.absolutePath()), file.errorString());
      return false;
    }
  }
  *reason = QStringLiteral("cannot create a temporary file in '%1'.")
                .arg(QDir::toNativeSeparators(folder.absolutePath()));
  return false;
}

// Removes the temporary file on every path that does not hand it over to the target.
class TTemporaryFileGuard
{
public:
  explicit TTemporaryFileGuard(const QString &file_name) : d_file_name(file_name) {}
  ~TTemporaryFileGuard()
  {
    if (!d_file_name.isEmpty())
      QFile::remove(d_file_name);
  }
  TTemporaryFileGuard(const TTemporaryFileGuard &) = delete;
  TTemporaryFileGuard &operator=(const TTemporaryFileGuard &) = delete;

  void Release() { d_file_name.clear(); }

private:
  QString d_file_name;
};
} // namespace

bool TPdfOutput::Write(const QString &file_name, const TDraw &draw, QString *error_text)
{
  const QFileInfo target_info(file_name);
  const QString target = target_info.absoluteFilePath();
  const auto fail = [&](const QString &reason)
  {
    if (error_text)
    {
      const QString subject = file_name.isEmpty()
                                  ? QStringLiteral("the PDF report")
                                  : QStringLiteral("'%1'").arg(QDir::toNativeSeparators(target));
      *error_text = QStringLiteral("Cannot write %1: %2").arg(subject, reason);
    }
    return false;
  };

  if (file_name.isEmpty())
    return fail(QStringLiteral("no file name was given."));

  const QDir folder = target_info.absoluteDir();
  if (!folder.exists())
    return fail(QStringLiteral("the folder '%1' does not exist.")
                    .arg(QDir::toNativeSeparators(folder.absolutePath())));
  if (target_info.isDir())
    return fail(QStringLiteral("it is a folder."));

  QString reason;
  QString temp_name;
  if (!Create_Temporary_File(folder, target_info.fileName(), &temp_name, &reason))
    return fail(reason);
  TTemporaryFileGuard guard(temp_name);

  {
    // Finished with the drawing before the file is checked: the printer writes its end then.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temp_name);
    printer.setPageMargins(QMarginsF(0.0, 0.0, 0.0, 0.0), QPageLayout::Millimeter);
    if (!draw(&printer, &reason))
      return fail(reason);
  }
  if (!Is_Complete_Pdf(temp_name, &reason))
    return fail(reason);

  // A replaced report keeps the permissions the user gave it.
  if (target_info.exists() && !QFile::setPermissions(temp_name, QFile::permissions(target)))
    return fail(QStringLiteral("cannot set the permissions of the temporary file."));

  // rename() replaces the target in one step, so readers see the old report or the new one.
  if (std::rename(QFile::encodeName(temp_name).constData(),
                  QFile::encodeName(target).constData()) != 0)
  {
    const int error_number = errno;
    return fail(QStringLiteral("cannot replace it with the new report: %1")
                    .arg(qt_error_string(error_number)));
  }
  guard.Release();
  return true;
}
