#ifndef METROVA_FAULTSUPPORT_H
#define METROVA_FAULTSUPPORT_H

// Tools that make a catalogue file fail in the ways a disk, another user or another program make
// it fail. Root ignores permission bits, so a file "another user owns" is reached by a child
// process that dropped its privileges, and a full disk by a child whose file size is limited.

#include "testsupport.h"

#include <QFile>
#include <QString>

#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

namespace FaultSupport
{
// Runs a call in a child whose writes beyond limit bytes of any file fail as on a full disk
// (SIGXFSZ ignored); returns what the call returned.
inline QString Run_With_File_Size_Limit(const std::function<QString()> &call, rlim_t limit)
{
  return TestSupport::Child_Report(call, limit);
}

// Runs a call in a child as the user and group nobody, without supplementary groups: the same
// as setpriv --reuid=65534 --regid=65534 --clear-groups, but in-process so that the call can be
// any code of the test.
inline QString Run_As_Nobody(const std::function<QString()> &call)
{
  return TestSupport::Child_Report(
      [&call]()
      {
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
            setresuid(nobody, nobody, nobody) != 0)
          return QStringLiteral("cannot drop privileges");
        return call();
      });
}

// A catalogue file and its folder readable by everybody and writable by their owner only.
inline bool Make_Readable_By_Others(const QString &folder, const QString &file_name)
{
  const QFile::Permissions read = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
  const QFile::Permissions enter = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
  return QFile::setPermissions(folder, read | enter | QFile::WriteOwner) &&
         QFile::setPermissions(file_name, read | QFile::WriteOwner);
}

// The database's page size, from the file header.
inline int Page_Size(const QString &file_name)
{
  const QByteArray header = TestSupport::File_Bytes(file_name).left(18);
  if (header.size() < 18)
    return 0;
  const int size =
      (static_cast<unsigned char>(header[16]) << 8) | static_cast<unsigned char>(header[17]);
  return size == 1 ? 65536 : size;
}

// Overwrites the b-tree header of a page (numbered from 1, as SQLite numbers them) with bytes
// no page can start with, so that every read of that page fails as corrupt.
inline bool Damage_Page(const QString &file_name, int page)
{
  const int page_size = Page_Size(file_name);
  QFile file(file_name);
  if (page_size == 0 || page < 2 || !file.open(QIODevice::ReadWrite) ||
      !file.seek(static_cast<qint64>(page - 1) * page_size))
    return false;
  const QByteArray garbage(12, '\xff');
  return file.write(garbage) == garbage.size();
}

// "ok" when SQLite finds the file sound, otherwise its report.
inline QString Integrity(const QString &file_name)
{
  QString result;
  TestSupport::TOtherConnection connection(file_name, QStringLiteral("faultsupport_integrity"));
  if (!connection.Execute(QStringLiteral("PRAGMA integrity_check"), &result))
    return QStringLiteral("integrity_check failed: ") + result;
  return result;
}
} // namespace FaultSupport

#endif // METROVA_FAULTSUPPORT_H
