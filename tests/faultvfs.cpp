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

int File_Close(sqlite3_file *file)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
}

int File_Read(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
  int code = SQLITE_OK;
  if (Fails(file, FaultVfs::OPERATION_READ, &code))
    return code;
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xRead(real, buffer, amount, offset);
}

int File_Write(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
  int code = SQLITE_OK;
  if (Fails(file, FaultVfs::OPERATION_WRITE, &code))
    return code;
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xWrite(real, buffer, amount, offset);
}

int File_Truncate(sqlite3_file *file, sqlite3_int64 size)
{
  int code = SQLITE_OK;
  if (Fails(file, FaultVfs::OPERATION_SYNC, &code))
    return code;
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xTruncate(real, size);
}

int File_Sync(sqlite3_file *file, int flags)
{
  int code = SQLITE_OK;
  if (Fails(file, FaultVfs::OPERATION_SYNC, &code))
    return code;
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xSync(real, flags);
}

// The rest passes through unchanged.
int File_Size(sqlite3_file *file, sqlite3_int64 *size)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xFileSize(real, size);
}

int File_Lock(sqlite3_file *file, int lock)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xLock(real, lock);
}

int File_Unlock(sqlite3_file *file, int lock)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xUnlock(real, lock);
}

int File_Check_Reserved_Lock(sqlite3_file *file, int *result)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xCheckReservedLock(real, result);
}

int File_Control(sqlite3_file *file, int operation, void *argument)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xFileControl(real, operation, argument);
}

int File_Sector_Size(sqlite3_file *file)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xSectorSize(real);
}

int File_Device_Characteristics(sqlite3_file *file)
{
  sqlite3_file *real = reinterpret_cast<TFaultFile *>(file)->Real();
  return real->pMethods->xDeviceCharacteristics(real);
}

// Version 1: no shared memory and no memory mapping, so every page goes through xRead and xWrite.
// The catalogue keeps its journal beside it, which needs neither.
const sqlite3_io_methods FILE_METHODS = {
    1,
    File_Close,
    File_Read,
    File_Write,
    File_Truncate,
    File_Sync,
    File_Size,
    File_Lock,
    File_Unlock,
    File_Check_Reserved_Lock,
    File_Control,
    File_Sector_Size,
    File_Device_Characteristics,
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

int Delete(sqlite3_vfs *, const char *name, int sync_folder)
{
  return real_vfs->xDelete(real_vfs, name, sync_folder);
}

int Access(sqlite3_vfs *, const char *name, int flags, int *result)
{
  return real_vfs->xAccess(real_vfs, name, flags, result);
}

int Full_Path_Name(sqlite3_vfs *, const char *name, int size, char *output)
{
  return real_vfs->xFullPathname(real_vfs, name, size, output);
}

void *Dl_Open(sqlite3_vfs *, const char *name)
{
  return real_vfs->xDlOpen(real_vfs, name);
}

void Dl_Error(sqlite3_vfs *, int size, char *message)
{
  real_vfs->xDlError(real_vfs, size, message);
}

void (*Dl_Sym(sqlite3_vfs *, void *library, const char *symbol))(void)
{
  return real_vfs->xDlSym(real_vfs, library, symbol);
}

void Dl_Close(sqlite3_vfs *, void *library)
{
  real_vfs->xDlClose(real_vfs, library);
}

int Randomness(sqlite3_vfs *, int size, char *output)
{
  return real_vfs->xRandomness(real_vfs, size, output);
}

int Sleep(sqlite3_vfs *, int microseconds)
{
  return real_vfs->xSleep(real_vfs, microseconds);
}

int Current_Time(sqlite3_vfs *, double *time)
{
  return real_vfs->xCurrentTime(real_vfs, time);
}

int Last_Error(sqlite3_vfs *, int size, char *message)
{
  return real_vfs->xGetLastError ? real_vfs->xGetLastError(real_vfs, size, message) : 0;
}

int Current_Time_Int64(sqlite3_vfs *, sqlite3_int64 *time)
{
  return real_vfs->xCurrentTimeInt64(real_vfs, time);
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
  fault_vfs.xDelete = Delete;
  fault_vfs.xAccess = Access;
  fault_vfs.xFullPathname = Full_Path_Name;
  fault_vfs.xDlOpen = Dl_Open;
  fault_vfs.xDlError = Dl_Error;
  fault_vfs.xDlSym = Dl_Sym;
  fault_vfs.xDlClose = Dl_Close;
  fault_vfs.xRandomness = Randomness;
  fault_vfs.xSleep = Sleep;
  fault_vfs.xCurrentTime = Current_Time;
  fault_vfs.xGetLastError = Last_Error;
  fault_vfs.xCurrentTimeInt64 = Current_Time_Int64;
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
