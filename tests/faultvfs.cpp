#include "faultvfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

namespace
{
// The file of the file system under this one follows this header in the same allocation.
struct TFaultFile
{
  sqlite3_file base;
  int kind; // a TFileKind, or 0 for files that never fail (temporary ones)
  sqlite3_file *Real() { return reinterpret_cast<sqlite3_file *>(this + 1); }
};

sqlite3_vfs *real_vfs = nullptr;
std::atomic<int> operations_watched{0};
std::atomic<int> files_watched{0};
std::atomic<int> first_failure{-1};
std::atomic<int> failure_code{SQLITE_IOERR};
std::atomic<bool> fail_once{false};
std::atomic<int> undo_code{0};
// Whether the statement running is an undo (ROLLBACK TO), told by the trace of every connection.
std::atomic<bool> undoing{false};
std::atomic<int> counted{0};
std::atomic<int> failed{0};

// Whether this operation fails: every watched operation is numbered in the order it runs.
bool Fails(const sqlite3_file *file, int operation, int *code)
{
  const int kind = reinterpret_cast<const TFaultFile *>(file)->kind;
  if (failed > 0 && undo_code != 0 && undoing && kind == FaultVfs::FILE_JOURNAL &&
      operation == FaultVfs::OPERATION_READ)
  {
    *code = undo_code;
    return true;
  }
  if ((operations_watched & operation) == 0 || (files_watched & kind) == 0)
    return false;
  const int number = counted++;
  const int first = first_failure;
  if (first < 0 || number < first || (fail_once && number > first))
    return false;
  ++failed;
  *code = failure_code;
  return true;
}

sqlite3_file *Real(sqlite3_file *file)
{
  return reinterpret_cast<TFaultFile *>(file)->Real();
}

// A method of the file underneath, called as it is, or failed first when `operation` fails.
template <auto method, int operation, typename... TArguments>
int File_Method(sqlite3_file *file, TArguments... arguments)
{
  int code = SQLITE_OK;
  if (operation != 0 && Fails(file, operation, &code))
    return code;
  return (Real(file)->pMethods->*method)(Real(file), arguments...);
}

int File_Close(sqlite3_file *file)
{
  return Real(file)->pMethods ? Real(file)->pMethods->xClose(Real(file)) : SQLITE_OK;
}

using TMethods = sqlite3_io_methods;
// Version 1: no shared memory and no memory mapping, so every page goes through xRead and xWrite.
// The catalogue keeps its journal beside it, which needs neither.
const sqlite3_io_methods FILE_METHODS = {
    1,
    File_Close,
    File_Method<&TMethods::xRead, FaultVfs::OPERATION_READ, void *, int, sqlite3_int64>,
    File_Method<&TMethods::xWrite, FaultVfs::OPERATION_WRITE, const void *, int, sqlite3_int64>,
    File_Method<&TMethods::xTruncate, FaultVfs::OPERATION_SYNC, sqlite3_int64>,
    File_Method<&TMethods::xSync, FaultVfs::OPERATION_SYNC, int>,
    File_Method<&TMethods::xFileSize, 0, sqlite3_int64 *>,
    File_Method<&TMethods::xLock, 0, int>,
    File_Method<&TMethods::xUnlock, 0, int>,
    File_Method<&TMethods::xCheckReservedLock, 0, int *>,
    File_Method<&TMethods::xFileControl, 0, int, void *>,
    File_Method<&TMethods::xSectorSize, 0>,
    File_Method<&TMethods::xDeviceCharacteristics, 0>,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int Open(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *out_flags)
{
  TFaultFile *fault_file = reinterpret_cast<TFaultFile *>(file);
  std::memset(fault_file, 0, sizeof(TFaultFile));
  fault_file->kind = (flags & SQLITE_OPEN_MAIN_DB)        ? FaultVfs::FILE_DATABASE
                     : (flags & SQLITE_OPEN_MAIN_JOURNAL) ? FaultVfs::FILE_JOURNAL
                                                          : 0;
  const int result = real_vfs->xOpen(real_vfs, name, fault_file->Real(), flags, out_flags);
  // SQLite closes a file through its methods only when the open succeeded.
  file->pMethods = result == SQLITE_OK ? &FILE_METHODS : nullptr;
  return result;
}

// The rest of the file system is the one underneath.
template <auto method, typename TResult, typename... TArguments>
TResult Vfs_Method(sqlite3_vfs *, TArguments... arguments)
{
  return (real_vfs->*method)(real_vfs, arguments...);
}

sqlite3_vfs fault_vfs;

int Trace_Statement(unsigned, void *, void *statement, void *)
{
  const char *text = sqlite3_sql(static_cast<sqlite3_stmt *>(statement));
  undoing = text && std::strncmp(text, "ROLLBACK TO", 11) == 0;
  return 0;
}

// Every connection opened from now on reports the start of each statement.
int Trace_Connection(sqlite3 *connection, const char **, const sqlite3_api_routines *)
{
  return sqlite3_trace_v2(connection, SQLITE_TRACE_STMT, Trace_Statement, nullptr);
}
} // namespace

namespace FaultVfs
{
bool Install()
{
  if (real_vfs)
    return true;
  sqlite3_vfs *real = sqlite3_vfs_find(nullptr);
  if (!real || real->iVersion < 2)
    return false;
  real_vfs = real;
  fault_vfs.iVersion = 2;
  fault_vfs.szOsFile = static_cast<int>(sizeof(TFaultFile)) + real->szOsFile;
  fault_vfs.mxPathname = real->mxPathname;
  fault_vfs.zName = "metrova-fault";
  fault_vfs.xOpen = Open;
  fault_vfs.xDelete = Vfs_Method<&sqlite3_vfs::xDelete, int, const char *, int>;
  fault_vfs.xAccess = Vfs_Method<&sqlite3_vfs::xAccess, int, const char *, int, int *>;
  fault_vfs.xFullPathname = Vfs_Method<&sqlite3_vfs::xFullPathname, int, const char *, int, char *>;
  fault_vfs.xDlOpen = Vfs_Method<&sqlite3_vfs::xDlOpen, void *, const char *>;
  fault_vfs.xDlError = Vfs_Method<&sqlite3_vfs::xDlError, void, int, char *>;
  fault_vfs.xDlSym = Vfs_Method<&sqlite3_vfs::xDlSym, void (*)(), void *, const char *>;
  fault_vfs.xDlClose = Vfs_Method<&sqlite3_vfs::xDlClose, void, void *>;
  fault_vfs.xRandomness = Vfs_Method<&sqlite3_vfs::xRandomness, int, int, char *>;
  fault_vfs.xSleep = Vfs_Method<&sqlite3_vfs::xSleep, int, int>;
  fault_vfs.xCurrentTime = Vfs_Method<&sqlite3_vfs::xCurrentTime, int, double *>;
  fault_vfs.xGetLastError = Vfs_Method<&sqlite3_vfs::xGetLastError, int, int, char *>;
  fault_vfs.xCurrentTimeInt64 = Vfs_Method<&sqlite3_vfs::xCurrentTimeInt64, int, sqlite3_int64 *>;
  return sqlite3_auto_extension(reinterpret_cast<void (*)()>(Trace_Connection)) == SQLITE_OK &&
         sqlite3_vfs_register(&fault_vfs, 1) == SQLITE_OK;
}

void Fail(int operations, int first, int code, bool once, int files)
{
  Reset();
  failure_code = code;
  fail_once = once;
  first_failure = first;
  files_watched = files;
  operations_watched = operations;
}

void Fail_Undo(int code)
{
  undo_code = code;
}

void Count(int operations, int files)
{
  Fail(operations, -1, SQLITE_OK, false, files);
}

int Counted()
{
  return counted;
}

int Failed()
{
  return failed;
}

void Reset()
{
  operations_watched = 0;
  files_watched = 0;
  first_failure = -1;
  undo_code = 0;
  counted = 0;
  failed = 0;
}

QString Describe()
{
  return QStringLiteral("operations %1 of files %2 from number %3%4 with code %5 (%6 counted)")
      .arg(operations_watched)
      .arg(files_watched)
      .arg(first_failure)
      .arg(fail_once ? QStringLiteral(" once") : QString())
      .arg(failure_code)
      .arg(counted);
}
} // namespace FaultVfs
