#include "pdfoutput.h"

#include "safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>

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

  // Drawn into an unnamed file that replaces the target only once it is complete: a failure, a
  // signal or a file size limit leaves the target as it was and nothing beside it.
  TSafeFile file(target);
  const auto file_failed = [&]
  {
    if (error_text)
      *error_text = file.Error_Text();
    return false;
  };
  if (!file.Open())
    return file_failed();
  const QString path = file.Descriptor_Path();
  if (path.isEmpty())
    return fail(QStringLiteral("the system offers no way to write the report safely."));

  QString reason;
  {
    // Finished with the drawing before the file is checked: the printer writes its end then.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageMargins(QMarginsF(0.0, 0.0, 0.0, 0.0), QPageLayout::Millimeter);
    if (!draw(&printer, &reason))
      return fail(reason);
  }
  if (!file.Discards() && !Is_Complete_Pdf(path, &reason))
    return fail(reason);
  if (!file.Commit(QByteArray()))
    return file_failed();
  return true;
}
