#ifndef METROVA_NEWCATALOGUE_H
#define METROVA_NEWCATALOGUE_H

#include <QString>

#include <sys/types.h>

// A catalogue file that a command creates in order to fill it (an import into a catalogue that
// is not there yet) and takes away again when the filling failed. Another program may create,
// open or fill a file of the same name at the same moment, so the file is created exclusively,
// never taking another program's file for this one's, and it is removed only while this process
// holds the catalogue's write lock, the name still leads to the same file and the file is still
// empty: nothing that anybody committed is ever lost. A program that was waiting for the lock
// finds its file removed and fails instead of writing into it.
class TNewCatalogue
{
public:
  explicit TNewCatalogue(const QString &file_name);
  // Keeps the file: the signals are as they were before Remove_When_Interrupted.
  ~TNewCatalogue();
  TNewCatalogue(const TNewCatalogue &) = delete;
  TNewCatalogue &operator=(const TNewCatalogue &) = delete;

  // Creates the file, empty, unless a file of that name is there already; false, with Error(),
  // when there is none and it cannot be created.
  bool Create();
  bool Created() const { return d_created; }
  // After a failed filling, whose transaction has ended: removes the file as described above, on
  // a connection of its own. Whether it was removed.
  bool Remove_If_Empty();
  // Once the filling holds the write lock and the file is still the one created here, empty:
  // SIGINT, SIGTERM or SIGHUP removes the file and its journal before the process ends, since
  // nobody else can have committed to it. Until Keep; one new catalogue per process at a time.
  void Remove_When_Interrupted();
  void Keep();
  QString Error() const { return d_error; }

private:
  // Whether the name still leads to the file created here, empty.
  bool Is_Own_Empty_File() const;

  QString d_file_name;
  bool d_created = false;
  dev_t d_device = 0;
  ino_t d_inode = 0;
  QString d_error;
  bool d_armed = false;
};

#endif // METROVA_NEWCATALOGUE_H
