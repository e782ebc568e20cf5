#include "safefile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

TSafeFile::TSafeFile(const QString &file_name) : d_file(file_name) {}

bool TSafeFile::Fail(const QString &text)
{
  d_error_text = text;
  d_file.cancelWriting();
  return false;
}

namespace
{
// Whether the name leads to the null device, by whatever name.
bool Is_Null_Device(const QString &file_name)
{
  struct stat target;
  struct stat null_device;
  return stat(QFile::encodeName(file_name).constData(), &target) == 0 && S_ISCHR(target.st_mode) &&
         stat("/dev/null", &null_device) == 0 && target.st_rdev == null_device.st_rdev;
}

// What no export or report may replace: a device or pipe would become a regular file (as root
// even /dev/full), and a database is most likely the catalogue itself, named by a slip.
QString Refused_Target(const QString &file_name)
{
  const QFileInfo info(file_name);
  if (!info.exists())
  {
    return QString();
  }
  if (info.isDir())
  {
    return QStringLiteral("it is a folder");
  }
  if (!info.isFile())
  {
    return QStringLiteral("it is not a regular file (a device, a pipe or a socket)");
  }
  QFile existing(file_name);
  static const QByteArray SQLITE_HEADER("SQLite format 3", 16);
  if (existing.open(QIODevice::ReadOnly) && existing.read(SQLITE_HEADER.size()) == SQLITE_HEADER)
  {
    return QStringLiteral("it is a database (perhaps the catalogue itself), which an export "
                          "never replaces; choose another file name");
  }
  return QString();
}
} // namespace

bool TSafeFile::Open(bool text)
{
  if (Is_Null_Device(d_file.fileName()))
  {
    d_null.setFileName(d_file.fileName());
    if (!d_null.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    {
      return Fail(QStringLiteral("Cannot open file '%1' for writing: %2")
                      .arg(d_null.fileName(), d_null.errorString()));
    }
    return true;
  }
  const QString refused = Refused_Target(d_file.fileName());
  if (!refused.isEmpty())
  {
    d_error_text = QStringLiteral("Cannot write file '%1': %2.").arg(d_file.fileName(), refused);
    return false;
  }
  if (!d_file.open(text ? QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::Text
                        : QIODevice::WriteOnly | QIODevice::Unbuffered))
  {
    return Fail(QStringLiteral("Cannot open file '%1' for writing: %2")
                    .arg(d_file.fileName(), d_file.errorString()));
  }
  return true;
}

bool TSafeFile::Commit(const QByteArray &bytes)
{
  if (d_null.isOpen())
  {
    return d_null.write(bytes) == bytes.size() ||
           Fail(QStringLiteral("Cannot write file '%1': %2")
                    .arg(d_null.fileName(), d_null.errorString()));
  }
  // A full disk or a size limit shows first as a short write, which carries no reason; writing
  // the rest brings out the failure with its reason. Nothing is committed after a failure.
  qint64 offset = 0;
  while (offset < bytes.size())
  {
    const qint64 count = d_file.write(bytes.constData() + offset, bytes.size() - offset);
    if (count <= 0)
    {
      break;
    }
    offset += count;
  }
  if (offset != bytes.size() || !d_file.flush() || d_file.error() != QFileDevice::NoError)
  {
    return Fail(
        QStringLiteral("Cannot write file '%1': %2").arg(d_file.fileName(), d_file.errorString()));
  }
  if (!d_file.commit())
  {
    d_error_text =
        QStringLiteral("Cannot write file '%1': %2").arg(d_file.fileName(), d_file.errorString());
    return false;
  }
  return true;
}

QString TSafeFile::Descriptor_Path() const
{
  const QFileDevice &open = d_null.isOpen() ? static_cast<const QFileDevice &>(d_null) : d_file;
  const QString path = QStringLiteral("/proc/self/fd/%1").arg(open.handle());
  return open.isOpen() && QFileInfo::exists(path) ? path : QString();
}
