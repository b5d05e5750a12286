#include "tavn_cache.h"

#include "debug_output.h"
#include "mutex.h"

namespace {
constexpr DWORD kWaitMs = 5000;

std::string errorLine(const char* tag, const char* text) {
  return std::string("ERROR [") + tag + "]: " + text + "\n";
}
}  // namespace

TaVNcache::TaVNcache(const char* name, ReleaseFn release, int maxNum) {
  if (name == nullptr || *name == '\0') {
    OutputDebugStringA("ERROR [TaVNcache]: null cache name\n");
    return;
  }
  if (maxNum < 1) {
    OutputDebugStringA("ERROR [TaVNcache]: maxNum less than 1\n");
    return;
  }
  mutex_ = CreateMutexA(nullptr, FALSE, name);
  if (mutex_ == nullptr) {
    OutputDebugStringA("ERROR [TaVNcache]: cannot create mutex\n");
    return;
  }
  name_ = name;
  release_ = release;
  count_ = 0;
  maxNum_ = maxNum;
  objects_ = new void*[maxNum]();
  keys_ = new GxString[maxNum];
  subkeys_ = new GxString[maxNum];
}

TaVNcache::~TaVNcache() {
  if (mutex_ == nullptr) return;  // construction failed: nothing is held
  if (WaitForSingleObject(mutex_, kWaitMs) != WAIT_OBJECT_0)
    OutputDebugStringA("ERROR [~TaVNcache]: cannot get mutex handle\n");
  for (int i = 0; i < count_; ++i) release_(objects_[i]);
  count_ = 0;
  delete[] objects_;
  delete[] keys_;
  delete[] subkeys_;
  objects_ = nullptr;
  keys_ = subkeys_ = nullptr;
  if (!ReleaseMutex(mutex_)) OutputDebugStringA("ERROR [~TaVNcache]: cannot release mutex handle\n");
  if (!CloseHandle(mutex_)) OutputDebugStringA("ERROR [~TaVNcache]: cannot close mutex handle\n");
  mutex_ = nullptr;
}

bool TaVNcache::lock(const char* tag) {
  DWORD rc = WaitForSingleObject(mutex_, kWaitMs);
  if (rc == WAIT_OBJECT_0) return true;
  // An abandoned wait hands us the mutex although the operation fails: give
  // it back, or every other process would wait on us from now on.
  if (rc == WAIT_ABANDONED) ReleaseMutex(mutex_);
  OutputDebugStringA(errorLine(tag, "cannot get mutex handle").c_str());
  return false;
}

void TaVNcache::unlock(const char* tag) {
  if (!ReleaseMutex(mutex_)) OutputDebugStringA(errorLine(tag, "cannot release mutex").c_str());
}

int TaVNcache::Add(void* object, const char* key, const char* subkey) {
  if (maxNum_ == 0 || key == nullptr || object == nullptr) return -1;
  if (!lock("TaVNcacheAdd")) return -1;
  int last = count_ - 1;
  if (count_ == maxNum_) {
    release_(objects_[last]);
    objects_[last] = nullptr;
    --last;
  }
  for (int i = last; i >= 0; --i) {
    objects_[i + 1] = objects_[i];
    keys_[i + 1] = keys_[i];
    subkeys_[i + 1] = subkeys_[i];
  }
  objects_[0] = object;
  keys_[0] = key;
  subkeys_[0] = subkey != nullptr ? subkey : "";
  if (count_ < maxNum_) ++count_;
  unlock("TaVNcacheAdd");
  return 0;
}

bool TaVNcache::GetCopy(const char* key, const char* subkey,
                        const std::function<void(const void*)>& copy) {
  if (maxNum_ == 0 || key == nullptr) return false;
  if (!lock("TaVNcacheGet")) return false;
  void* found = nullptr;
  for (int i = 0; i < count_; ++i) {
    if (keys_[i] == key && (subkey == nullptr || subkeys_[i] == subkey)) {
      found = objects_[i];
      break;
    }
  }
  if (found != nullptr && copy) {
    try {
      copy(found);
    } catch (...) {
      unlock("TaVNcacheGet");
      throw;
    }
  }
  unlock("TaVNcacheGet");
  return found != nullptr;
}

void* TaVNcache::Get(const char* key, const char* subkey) {
  void* found = nullptr;
  GetCopy(key, subkey, [&found](const void* o) { found = const_cast<void*>(o); });
  return found;
}

int TaVNcache::Reset() {
  if (maxNum_ == 0) return -1;
  if (!lock("TaVNcacheReset")) return -1;
  for (int i = 0; i < count_; ++i) {
    release_(objects_[i]);
    objects_[i] = nullptr;
  }
  count_ = 0;
  unlock("TaVNcacheReset");
  return 0;
}
