#include "newcatalogue.h"

#include "sqlconnection.h"
#include "transaction.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// What the signal handler removes: fixed storage, as a handler may not allocate.
char removed_file[PATH_MAX];
char removed_journal[PATH_MAX + 8];
dev_t removed_device = 0;
ino_t removed_inode = 0;
volatile sig_atomic_t removal_armed = 0;
struct sigaction previous_actions[sizeof(SIGNALS) / sizeof(SIGNALS[0])];

void Remove_And_End(int signal_number)
{
  if (removal_armed)
  {
    removal_armed = 0;
    struct stat status;
    if (stat(removed_file, &status) == 0 && status.st_dev == removed_device &&
        status.st_ino == removed_inode)
    {
      unlink(removed_journal);
      unlink(removed_file);
    }
  }
  // Ended as the signal would have ended it.
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}
} // namespace

TNewCatalogue::TNewCatalogue(const QString &file_name) : d_file_name(file_name) {}

TNewCatalogue::~TNewCatalogue()
{
  Keep();
}

bool TNewCatalogue::Is_Own_Empty_File() const
{
  struct stat status;
  return stat(QFile::encodeName(d_file_name).constData(), &status) == 0 &&
         status.st_dev == d_device && status.st_ino == d_inode && status.st_size == 0;
}

void TNewCatalogue::Remove_When_Interrupted()
{
  const QByteArray path = QFile::encodeName(d_file_name);
  if (!d_created || d_armed || removal_armed || !Is_Own_Empty_File() ||
      static_cast<std::size_t>(path.size()) >= sizeof(removed_file))
  {
    return;
  }
  std::memcpy(removed_file, path.constData(), path.size() + 1);
  std::memcpy(removed_journal, path.constData(), path.size());
  std::memcpy(removed_journal + path.size(), "-journal", 9);
  removed_device = d_device;
  removed_inode = d_inode;
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = Remove_And_End;
  sigemptyset(&action.sa_mask);
  for (std::size_t index = 0; index < sizeof(SIGNALS) / sizeof(SIGNALS[0]); ++index)
  {
    // A signal ignored by whoever started the program (a background job's SIGINT) stays so.
    sigaction(SIGNALS[index], nullptr, &previous_actions[index]);
    if (previous_actions[index].sa_handler != SIG_IGN)
    {
      sigaction(SIGNALS[index], &action, nullptr);
    }
  }
  removal_armed = 1;
  d_armed = true;
}

void TNewCatalogue::Keep()
{
  if (!d_armed)
  {
    return;
  }
  d_armed = false;
  removal_armed = 0;
  for (std::size_t index = 0; index < sizeof(SIGNALS) / sizeof(SIGNALS[0]); ++index)
  {
    sigaction(SIGNALS[index], &previous_actions[index], nullptr);
  }
}

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
  Keep();
  if (!d_created)
  {
    return false;
  }
  d_created = false;
  TSqlConnection connection(QStringLiteral("metrova_new_catalogue"));
  QSqlError error;
  // Under the write lock nobody commits: an empty file holds nothing that anybody committed. The
  // lock's journal stays in memory: once the name is gone, another program may make a new file
  // of that name, whose journal has the name that a journal of this file would have.
  if (!connection.Open(d_file_name, &error) ||
      !connection.Run_Once(QStringLiteral("PRAGMA journal_mode=MEMORY")))
  {
    return false;
  }
  // Nothing is written: the unit only holds the lock, and is rolled back.
  TTransaction lock(&connection);
  return lock.Begin() && Is_Own_Empty_File() &&
         unlink(QFile::encodeName(d_file_name).constData()) == 0;
}
