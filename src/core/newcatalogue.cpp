#include "newcatalogue.h"

#include "database.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const QString SAVEPOINT_REMOVE = QStringLiteral("metrova_remove_new_catalogue");
} // namespace

TNewCatalogue::TNewCatalogue(const QString &file_name) : d_file_name(file_name) {}

bool TNewCatalogue::Create()
{
  const QByteArray path = QFile::encodeName(d_file_name);
  // The permissions SQLite gives a database file it creates.
  const int descriptor = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (descriptor < 0)
  {
    if (errno == EEXIST)
    {
      return true;
    }
    d_error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  struct stat status;
  d_created = fstat(descriptor, &status) == 0;
  if (d_created)
  {
    d_device = status.st_dev;
    d_inode = status.st_ino;
  }
  close(descriptor);
  return true;
}

bool TNewCatalogue::Remove_If_Empty()
{
  if (!d_created)
  {
    return false;
  }
  d_created = false;
  TDatabase database(QStringLiteral("metrova_new_catalogue"));
  // Under the write lock nobody commits: an empty file holds nothing that anybody committed.
  if (!database.Connect(d_file_name) || !database.Savepoint(SAVEPOINT_REMOVE))
  {
    return false;
  }
  const QByteArray path = QFile::encodeName(d_file_name);
  struct stat status;
  const bool removed = stat(path.constData(), &status) == 0 && status.st_dev == d_device &&
                       status.st_ino == d_inode && status.st_size == 0 &&
                       unlink(path.constData()) == 0;
  database.Rollback_To_Savepoint(SAVEPOINT_REMOVE);
  database.Release_Savepoint(SAVEPOINT_REMOVE);
  return removed;
}
