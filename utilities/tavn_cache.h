#pragma once
// TaVNcache: a small fixed-capacity cache of heap objects found by one or two
// text keys, guarded by a named mutex so that every process of the same user
// that loads the library serialises its cache operations with the others.
// Entries themselves are private to the process.
//
// Entry 0 is the most recently added; Add never replaces an entry with equal
// keys (the newer one shadows it) and evicts in insertion order.
// Diagnostics go to the debugger output (OutputDebugStringA).
//
// Threading: every operation takes the mutex for at most 5000 ms; a wait that
// does not end in the plain signalled state fails the operation.
#include <functional>

#include "platform/gx/gx_string.h"
#include "wintypes.h"

class TaVNcache {
 public:
  using ReleaseFn = void (*)(void* object);

  // `name` names both the cache and its mutex. On a null or empty name,
  // maxNum < 1 or a mutex that cannot be created the cache is unusable
  // (maxNum() == 0): Add and Reset return -1 and Get null, touching no mutex.
  // REQUIRES: release is not null when maxNum >= 1.
  TaVNcache(const char* name, ReleaseFn release, int maxNum);
  // Releases every object still held.
  ~TaVNcache();
  TaVNcache(const TaVNcache&) = delete;
  TaVNcache& operator=(const TaVNcache&) = delete;

  // Stores `object` (owned by the cache from then on) in front under
  // (`key`, `subkey`; null subkey = ""). When full, the oldest entry's object
  // is released. Returns 0 stored; -1 not stored (the caller keeps `object`).
  int Add(void* object, const char* key, const char* subkey);

  // The newest object whose key equals `key` and, when `subkey` is not null,
  // whose subkey equals `subkey`; null when none or on failure. The object
  // stays owned by the cache and may be released by another thread's Add or
  // Reset at any time after the call: prefer GetCopy.
  void* Get(const char* key, const char* subkey);

  // As Get, but calls `copy` with the found object while the mutex is still
  // held, so that the caller can copy it safely. Returns true when found.
  bool GetCopy(const char* key, const char* subkey, const std::function<void(const void*)>& copy);

  // Releases every object (newest first) and empties the cache. 0; -1 failed.
  int Reset();

  int count() const { return count_; }
  int maxNum() const { return maxNum_; }
  const GxString& name() const { return name_; }

 private:
  bool lock(const char* tag);
  void unlock(const char* tag);

  int count_ = 0;
  int maxNum_ = 0;
  void** objects_ = nullptr;
  GxString* keys_ = nullptr;
  GxString* subkeys_ = nullptr;
  ReleaseFn release_ = nullptr;
  GxString name_;
  HANDLE mutex_ = nullptr;
};
