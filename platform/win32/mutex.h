#pragma once
// Windows mutexes. A named mutex is shared by every process of the same user
// (one logon session = one user): a robust, recursive, process-shared
// pthread mutex in a POSIX shared-memory object whose name carries the user
// id and the mutex name. Unnamed mutexes are private to the process.
//
// Semantics kept from Windows:
//  - the owning thread may wait again (recursion) and must release as often;
//  - ReleaseMutex by a thread that does not own it fails (ERROR_NOT_OWNER);
//  - a thread or process that ends while owning the mutex abandons it: the
//    next wait returns WAIT_ABANDONED once, and that waiter then OWNS the
//    mutex (it must release it even when it treats the wait as a failure);
//  - a named mutex lives while any handle to it is open in any process.
// All functions are thread-safe. Handles are not inherited across exec.
#include <string>

#include "qelwin_export.h"
#include "wintypes.h"

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
inline constexpr DWORD WAIT_ABANDONED = 0x00000080u;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

inline constexpr DWORD SYNCHRONIZE = 0x00100000u;
inline constexpr DWORD MUTEX_MODIFY_STATE = 0x0001u;
inline constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001u;

// Creates a mutex, or opens the existing one of the same name (then
// GetLastError() == ERROR_ALREADY_EXISTS and initialOwner is ignored;
// otherwise GetLastError() == ERROR_SUCCESS). With initialOwner TRUE a newly
// created mutex is owned by the calling thread. name null or "" = unnamed.
// `security` is ignored. Returns a handle for CloseHandle, or null on
// failure (GetLastError() tells why: ERROR_ACCESS_DENIED,
// ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_HANDLE for an unusable object).
QELWIN_API HANDLE CreateMutexA(void* security, BOOL initialOwner, LPCSTR name);

// Opens an existing named mutex; null with ERROR_FILE_NOT_FOUND when none
// exists. `access` and `inherit` are ignored.
QELWIN_API HANDLE OpenMutexA(DWORD access, BOOL inherit, LPCSTR name);

// Waits up to `milliseconds` (0 = try, INFINITE = no limit) to own the
// mutex. Returns WAIT_OBJECT_0 (owned), WAIT_ABANDONED (owned; the previous
// owner died holding it), WAIT_TIMEOUT (not owned), or WAIT_FAILED (invalid
// handle: ERROR_INVALID_HANDLE; or the mutex is unusable).
QELWIN_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Gives up one level of ownership. FALSE with ERROR_NOT_OWNER when the
// calling thread does not own it, ERROR_INVALID_HANDLE for a bad handle.
QELWIN_API BOOL ReleaseMutex(HANDLE handle);

// Closes a handle. Ownership held by other threads is kept, as on Windows;
// when the last handle of this process goes, the closing thread's own
// ownership is given up (the memory of the mutex goes away with it). FALSE
// with ERROR_INVALID_HANDLE for an unknown or already closed handle.
QELWIN_API BOOL CloseHandle(HANDLE handle);

// The shared-memory object name backing a named mutex for the current user
// (a port extension, for diagnostics and tests): "/qel-mutex.<uid>.<name>"
// with characters outside [A-Za-z0-9._-] escaped as %XX; very long names
// are shortened with a hash.
QELWIN_API std::string qelMutexShmName(LPCSTR name);

// Seam for tests (a port extension). The five functions above go through
// the current MutexApi. Its own methods are the real implementation; a test
// derives from it, overrides what it wants to fail or count (calling
// MutexApi:: for the rest, e.g. to fail only the Nth wait) and installs it
// with ScopedMutexApi. Installation is process-wide; install and remove it
// while no other thread is using the mutex functions.
class QELWIN_API MutexApi {
 public:
  MutexApi() = default;
  virtual ~MutexApi();
  virtual HANDLE createMutex(void* security, BOOL initialOwner, LPCSTR name);
  virtual HANDLE openMutex(DWORD access, BOOL inherit, LPCSTR name);
  virtual DWORD waitForSingleObject(HANDLE handle, DWORD milliseconds);
  virtual BOOL releaseMutex(HANDLE handle);
  virtual BOOL closeHandle(HANDLE handle);
};

class QELWIN_API ScopedMutexApi {
 public:
  // REQUIRES: api non-null and alive until this object is destroyed.
  explicit ScopedMutexApi(MutexApi* api);
  // Reinstates the api that was current at construction.
  ~ScopedMutexApi();
  ScopedMutexApi(const ScopedMutexApi&) = delete;
  ScopedMutexApi& operator=(const ScopedMutexApi&) = delete;

 private:
  MutexApi* previous_;
};
