#ifndef METROVA_FAULTSUPPORT_H
#define METROVA_FAULTSUPPORT_H

// Tools that make a catalogue file fail as another user or another program make it fail (a
// failing disk is faultvfs.h's). Root ignores permission bits, so a file "another user owns" is
// reached by a child process that dropped its privileges.

#include "testsupport.h"

#include <QFile>
#include <QString>

#include <functional>
#include <grp.h>
#include <unistd.h>

namespace FaultSupport
{
// Runs a call in a child as the user and group nobody without supplementary groups: what
// setpriv --reuid=65534 --regid=65534 --clear-groups does, in-process so that the call can be
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

// Overwrites the b-tree header of the root page of a table or index with bytes no page starts
// with, so that every read of it fails as corrupt.
inline bool Damage_Root_Page(const QString &file_name, const QString &name)
{
  TestSupport::TOtherConnection connection(file_name, QStringLiteral("faultsupport_damage"));
  const int page = connection.Number(
      QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name='%1'").arg(name));
  const int page_size = connection.Number(QStringLiteral("PRAGMA page_size"));
  QFile file(file_name);
  const QByteArray garbage(12, '\xff');
  return page > 1 && page_size > 0 && file.open(QIODevice::ReadWrite) &&
         file.seek(static_cast<qint64>(page - 1) * page_size) &&
         file.write(garbage) == garbage.size();
}
} // namespace FaultSupport

#endif // METROVA_FAULTSUPPORT_H
