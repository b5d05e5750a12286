#include "mutex.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

constexpr uint32_t kReady = 0x514D5458;  // set once the block is initialised

constexpr int kMaxUsers = 128;

// Layout of the shared-memory object (and of an unnamed mutex on the heap).
// `users` lists the processes that have the object mapped, so that the last
// one to close it removes the name; processes that died without closing are
// pruned by pid. Changed only under the flock of the object.
struct SharedBlock {
  std::atomic<uint32_t> ready;
  uint32_t overflow;  // more users than slots once: never unlink
  pid_t users[kMaxUsers];
  pthread_mutex_t mutex;
};

bool alive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH); }

// Drops dead processes; returns how many users remain.
int pruneUsers(SharedBlock* b) {
  int live = 0;
  for (pid_t& p : b->users) {
    if (p != 0 && !alive(p)) p = 0;
    if (p != 0) ++live;
  }
  return live;
}

void addUser(SharedBlock* b, pid_t self) {
  for (pid_t& p : b->users) {
    if (p == self) return;
  }
  for (pid_t& p : b->users) {
    if (p == 0) {
      p = self;
      return;
    }
  }
  b->overflow = 1;
}

void removeUser(SharedBlock* b, pid_t self) {
  for (pid_t& p : b->users) {
    if (p == self) p = 0;
  }
}

bool initMutex(pthread_mutex_t* m, bool processShared) {
  pthread_mutexattr_t a;
  if (pthread_mutexattr_init(&a) != 0) return false;
  bool ok = pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE) == 0 &&
            pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST) == 0 &&
            (!processShared || pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED) == 0) &&
            pthread_mutex_init(m, &a) == 0;
  pthread_mutexattr_destroy(&a);
  return ok;
}

void lockFile(int fd) {
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

// Whether `fd` is still the object the name refers to (not unlinked since).
bool stillLinked(int fd, const std::string& shmName) {
  struct stat byFd, byName;
  if (fstat(fd, &byFd) != 0) return false;
  std::string path = "/dev/shm" + shmName;
  if (stat(path.c_str(), &byName) != 0) return false;
  return byFd.st_dev == byName.st_dev && byFd.st_ino == byName.st_ino;
}

// One per mutex per process; handles share it.
struct Mutex {
  std::string shmName;  // empty: unnamed, block on the heap
  SharedBlock* block = nullptr;
  int fd = -1;
  // Ownership levels taken by threads of this process (successful waits
  // minus releases). It over-counts after an owner thread died, never
  // under-counts: zero means no thread of this process owns the mutex.
  std::atomic<long> held{0};

  ~Mutex() {
    if (!block) return;
    // A robust mutex sits in its owner thread's robust list, which the kernel
    // walks when that thread exits: its memory must not go away while a live
    // thread of this process owns it. Take it ourselves to find out; this
    // also drops ownership the closing thread still holds.
    pthread_mutex_t* pm = &block->mutex;
    int rc = pthread_mutex_trylock(pm);
    if (rc == EOWNERDEAD) pthread_mutex_consistent(pm);
    if (rc == 0 || rc == EOWNERDEAD) {
      while (pthread_mutex_unlock(pm) == 0) {
      }
    } else if (held.load() != 0) {
      return;  // another live thread here may own it: keep the memory
    }
    if (shmName.empty()) {
      pthread_mutex_destroy(pm);
      delete block;
      return;
    }
    lockFile(fd);
    removeUser(block, getpid());
    if (pruneUsers(block) == 0 && !block->overflow && stillLinked(fd, shmName)) shm_unlink(shmName.c_str());
    flock(fd, LOCK_UN);
    munmap(block, sizeof(SharedBlock));
    close(fd);
  }
};

struct Table {
  std::mutex mu;
  std::unordered_map<uintptr_t, std::shared_ptr<Mutex>> handles;
  std::map<std::string, std::weak_ptr<Mutex>> byName;  // shm name -> this process's mapping
  uintptr_t next = 0x10000;

  HANDLE add(std::shared_ptr<Mutex> m) {
    next += 4;
    handles[next] = std::move(m);
    return reinterpret_cast<HANDLE>(next);
  }

  std::shared_ptr<Mutex> find(HANDLE h) {
    auto it = handles.find(reinterpret_cast<uintptr_t>(h));
    return it == handles.end() ? nullptr : it->second;
  }
};

Table& table() {
  static Table* t = new Table;  // never destroyed: handles may be used during exit
  return *t;
}

DWORD errorFromErrno(int e) {
  switch (e) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
    case EINVAL:
      return ERROR_INVALID_NAME;
    default:
      return ERROR_NOT_ENOUGH_MEMORY;
  }
}

// Opens (and with `create`, creates) the shared object. The flock on the
// object makes creation, initialisation, the reference count and unlinking
// atomic between processes; a process that dies mid-way drops its flock.
std::shared_ptr<Mutex> openShared(const std::string& shmName, bool create, bool* existed, DWORD* error) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = shm_open(shmName.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
      *error = errorFromErrno(errno);
      return nullptr;
    }
    lockFile(fd);
    if (!stillLinked(fd, shmName)) {  // unlinked by its last user meanwhile: start over
      close(fd);
      continue;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
      *error = errorFromErrno(errno);
      close(fd);
      return nullptr;
    }
    bool sized = st.st_size >= static_cast<off_t>(sizeof(SharedBlock));
    if (!sized && (!create || ftruncate(fd, sizeof(SharedBlock)) != 0)) {
      *error = create ? errorFromErrno(errno) : ERROR_FILE_NOT_FOUND;
      close(fd);
      return nullptr;
    }
    void* p = mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
      *error = errorFromErrno(errno);
      close(fd);
      return nullptr;
    }
    auto* block = static_cast<SharedBlock*>(p);
    bool ready = block->ready.load(std::memory_order_acquire) == kReady;
    if (!ready) {
      // New, or its creator died before finishing: initialise under the flock.
      if (!create || !initMutex(&block->mutex, true)) {
        *error = create ? ERROR_INVALID_HANDLE : ERROR_FILE_NOT_FOUND;
        munmap(p, sizeof(SharedBlock));
        close(fd);
        return nullptr;
      }
      std::memset(block->users, 0, sizeof block->users);
      block->overflow = 0;
      block->ready.store(kReady, std::memory_order_release);
    }
    *existed = ready && (pruneUsers(block) > 0 || block->overflow);
    addUser(block, getpid());
    flock(fd, LOCK_UN);
    auto m = std::make_shared<Mutex>();
    m->shmName = shmName;
    m->block = block;
    m->fd = fd;
    return m;
  }
  *error = ERROR_INVALID_HANDLE;
  return nullptr;
}

HANDLE openNamed(LPCSTR name, bool create, bool* existed) {
  std::string shmName = qelMutexShmName(name);
  Table& t = table();
  std::shared_ptr<Mutex> m;
  {
    std::lock_guard<std::mutex> lock(t.mu);
    auto it = t.byName.find(shmName);
    if (it != t.byName.end()) {
      m = it->second.lock();
      if (m) {
        *existed = true;
        return t.add(std::move(m));
      }
    }
  }
  // Open outside the table lock: the flock may wait for another process.
  DWORD error = ERROR_SUCCESS;
  m = openShared(shmName, create, existed, &error);
  if (!m) {
    SetLastError(error);
    return nullptr;
  }
  std::shared_ptr<Mutex> drop;  // destroyed after the lock is released
  std::lock_guard<std::mutex> lock(t.mu);
  std::shared_ptr<Mutex> raced = t.byName[shmName].lock();
  if (raced) {  // another thread of this process mapped it first: share that one
    drop = std::move(m);
    m = raced;
    *existed = true;
  } else {
    t.byName[shmName] = m;
  }
  return t.add(std::move(m));
}

}  // namespace

std::string qelMutexShmName(LPCSTR name) {
  std::string escaped;
  for (const char* p = name ? name : ""; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
        c == '-') {
      escaped += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      escaped += buf;
    }
  }
  if (escaped.size() > 180) {
    uint64_t h = 1469598103934665603ull;
    for (const char* p = name; *p; ++p) h = (h ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
    char buf[24];
    std::snprintf(buf, sizeof buf, "~%016llx", static_cast<unsigned long long>(h));
    escaped = escaped.substr(0, 160) + buf;
  }
  return "/qel-mutex." + std::to_string(getuid()) + "." + escaped;
}

HANDLE MutexApi::createMutex(void*, BOOL initialOwner, LPCSTR name) {
  bool existed = false;
  HANDLE h;
  if (!name || !*name) {
    auto m = std::make_shared<Mutex>();
    m->block = new (std::nothrow) SharedBlock();
    if (!m->block || !initMutex(&m->block->mutex, false)) {
      delete m->block;
      m->block = nullptr;
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    h = t.add(std::move(m));
  } else {
    h = openNamed(name, true, &existed);
    if (!h) return nullptr;
  }
  if (initialOwner && !existed) MutexApi::waitForSingleObject(h, INFINITE);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

HANDLE MutexApi::openMutex(DWORD, BOOL, LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool existed = false;
  HANDLE h = openNamed(name, false, &existed);
  if (h) SetLastError(ERROR_SUCCESS);
  return h;
}

DWORD MutexApi::waitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<Mutex> m;
  {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    m = t.find(handle);
  }
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  pthread_mutex_t* pm = &m->block->mutex;
  int rc;
  if (milliseconds == INFINITE) {
    rc = pthread_mutex_lock(pm);
  } else if (milliseconds == 0) {
    rc = pthread_mutex_trylock(pm);
  } else {
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    rc = pthread_mutex_clocklock(pm, CLOCK_MONOTONIC, &deadline);
  }
  switch (rc) {
    case 0:
      ++m->held;
      return WAIT_OBJECT_0;
    case EOWNERDEAD:
      // The waiter now owns it; make it usable again for everyone after us.
      pthread_mutex_consistent(pm);
      ++m->held;
      return WAIT_ABANDONED;
    case EBUSY:
    case ETIMEDOUT:
      return WAIT_TIMEOUT;
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
  }
}

BOOL MutexApi::releaseMutex(HANDLE handle) {
  std::shared_ptr<Mutex> m;
  {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mu);
    m = t.find(handle);
  }
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (pthread_mutex_unlock(&m->block->mutex) != 0) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  --m->held;
  return TRUE;
}

BOOL MutexApi::closeHandle(HANDLE handle) {
  std::shared_ptr<Mutex> m;  // released after the table lock: its destructor may flock
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mu);
  auto it = t.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == t.handles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  m = std::move(it->second);
  t.handles.erase(it);
  return TRUE;
}

namespace {
MutexApi g_realApi;
std::atomic<MutexApi*> g_api{&g_realApi};
}  // namespace

MutexApi::~MutexApi() = default;

ScopedMutexApi::ScopedMutexApi(MutexApi* api) : previous_(g_api.exchange(api)) {}

ScopedMutexApi::~ScopedMutexApi() { g_api.store(previous_); }

HANDLE CreateMutexA(void* security, BOOL initialOwner, LPCSTR name) {
  return g_api.load()->createMutex(security, initialOwner, name);
}

HANDLE OpenMutexA(DWORD access, BOOL inherit, LPCSTR name) { return g_api.load()->openMutex(access, inherit, name); }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return g_api.load()->waitForSingleObject(handle, milliseconds);
}

BOOL ReleaseMutex(HANDLE handle) { return g_api.load()->releaseMutex(handle); }

BOOL CloseHandle(HANDLE handle) { return g_api.load()->closeHandle(handle); }
