#ifndef METROVA_FAULTVFS_H
#define METROVA_FAULTVFS_H

// An SQLite file system that fails on demand: the Nth read, write or sync of a catalogue or of its
// journal returns an error, once or from then on, as a failing disk does. Installed as SQLite's
// default, it stands under every connection the process opens later, Qt's included, so a test can
// fail any step of a unit of work from inside it and watch the unit undo itself.

#include <QString>

namespace FaultVfs
{
enum TOperation
{
  OPERATION_READ = 1,
  OPERATION_WRITE = 2,
  OPERATION_SYNC = 4 // syncs and truncations: what a commit's durability rests on
};

enum TFileKind
{
  FILE_DATABASE = 1,
  FILE_JOURNAL = 2,
  FILE_ANY = FILE_DATABASE | FILE_JOURNAL
};

// Registers the file system as the default once; false when SQLite refuses it.
bool Install();

// Counts the operations of the kinds in `operations` on files of the kinds in `files` from now on,
// and fails the one numbered `first` (0 is the next one) with the SQLite result `code`, and every
// later one unless `once`.
void Fail(int operations, int first, int code, bool once, int files = FILE_ANY);
// Once an operation has failed, the reads of the journal by a later ROLLBACK TO fail too, with
// `code`: the unit's undo of what it had written cannot read the pages it must put back.
void Fail_Undo(int code);
// Counts without failing, to learn how many steps an action takes.
void Count(int operations, int files = FILE_ANY);
// How many matching operations ran since Fail or Count, and how many of them failed.
int Counted();
int Failed();
// Stops failing and counting.
void Reset();

// What the current setting means, for a test's messages.
QString Describe();
} // namespace FaultVfs

#endif // METROVA_FAULTVFS_H
