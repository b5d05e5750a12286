// TaVNcache: ordering, eviction, keys, failed construction, the named mutex
// across processes.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "caches.h"
#include "debug_output.h"
#include "mutex.h"
#include "tavn_cache.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Objects are ints; the release function records which ones left the cache.
std::vector<int>* g_released = nullptr;
void releaseInt(void* p) {
  int* v = static_cast<int*>(p);
  if (g_released) g_released->push_back(*v);
  delete v;
}

std::string uniqueName(const char* base) {
  static std::atomic<int> n{0};
  return std::string("QelTest.") + base + "." + std::to_string(getpid()) + "." +
         std::to_string(n++);
}

class TaVNcacheTest : public ::testing::Test {
 protected:
  void SetUp() override { g_released = &released_; }
  void TearDown() override { g_released = nullptr; }
  static int valueOf(void* p) { return p ? *static_cast<int*>(p) : -999; }
  std::vector<int> released_;
};

TEST_F(TaVNcacheTest, EvictsOldestInInsertionOrder) {
  TaVNcache cache(uniqueName("evict").c_str(), releaseInt, 3);
  ASSERT_EQ(3, cache.maxNum());
  EXPECT_EQ(0, cache.Add(new int(1), "A", nullptr));
  EXPECT_EQ(0, cache.Add(new int(2), "B", nullptr));
  EXPECT_EQ(0, cache.Add(new int(3), "C", nullptr));
  EXPECT_THAT(released_, IsEmpty());
  // Reading A does not protect it: eviction follows insertion, not use.
  EXPECT_EQ(1, valueOf(cache.Get("A", nullptr)));
  EXPECT_EQ(0, cache.Add(new int(4), "D", nullptr));
  EXPECT_THAT(released_, ElementsAre(1));
  EXPECT_EQ(nullptr, cache.Get("A", nullptr));
  EXPECT_EQ(2, valueOf(cache.Get("B", nullptr)));
  EXPECT_EQ(3, valueOf(cache.Get("C", nullptr)));
  EXPECT_EQ(4, valueOf(cache.Get("D", nullptr)));
  EXPECT_EQ(3, cache.count());
}

TEST_F(TaVNcacheTest, SameKeysTwiceKeepsBothAndNewerWins) {
  TaVNcache cache(uniqueName("dup").c_str(), releaseInt, 2);
  cache.Add(new int(1), "K", "s");
  cache.Add(new int(2), "K", "s");
  EXPECT_EQ(2, cache.count());
  EXPECT_EQ(2, valueOf(cache.Get("K", "s")));
  // Both count towards the capacity: a third entry evicts the first.
  cache.Add(new int(3), "X", nullptr);
  EXPECT_THAT(released_, ElementsAre(1));
  EXPECT_EQ(2, valueOf(cache.Get("K", "s")));
}

TEST_F(TaVNcacheTest, SecondKeyMatching) {
  TaVNcache cache(uniqueName("subkey").c_str(), releaseInt, 5);
  cache.Add(new int(1), "SRV", "Doc");
  cache.Add(new int(2), "SRV", nullptr);  // stored with subkey ""
  cache.Add(new int(3), "OTHER", "Doc");
  struct Row { const char* key; const char* sub; int want; const char* why; };
  const Row rows[] = {
      {"SRV", nullptr, 2, "null subkey matches any, newest first"},
      {"SRV", "Doc", 1, "subkey must be equal"},
      {"SRV", "", 2, "an entry added with null subkey has \"\""},
      {"SRV", "Mail", -999, "no such subkey"},
      {"srv", nullptr, -999, "keys compare exactly"},
      {"OTHER", "Doc", 3, "first key selects"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.want, valueOf(cache.Get(r.key, r.sub))) << r.why;
  EXPECT_EQ(nullptr, cache.Get(nullptr, nullptr));
}

TEST_F(TaVNcacheTest, AddRejectsNullKeyOrObject) {
  TaVNcache cache(uniqueName("null").c_str(), releaseInt, 2);
  int local = 5;
  EXPECT_EQ(-1, cache.Add(&local, nullptr, "x"));
  EXPECT_EQ(-1, cache.Add(nullptr, "k", "x"));
  EXPECT_EQ(0, cache.count());
}

TEST_F(TaVNcacheTest, ResetReleasesAllInIndexOrder) {
  TaVNcache cache(uniqueName("reset").c_str(), releaseInt, 4);
  EXPECT_EQ(0, cache.Reset());  // empty cache
  cache.Add(new int(1), "a", nullptr);
  cache.Add(new int(2), "b", nullptr);
  cache.Add(new int(3), "c", nullptr);
  EXPECT_EQ(0, cache.Reset());
  EXPECT_THAT(released_, ElementsAre(3, 2, 1));
  EXPECT_EQ(0, cache.count());
  EXPECT_EQ(nullptr, cache.Get("a", nullptr));
}

TEST_F(TaVNcacheTest, DestructorReleasesEverything) {
  {
    TaVNcache cache(uniqueName("dtor").c_str(), releaseInt, 4);
    cache.Add(new int(1), "a", nullptr);
    cache.Add(new int(2), "b", nullptr);
  }
  EXPECT_THAT(released_, ElementsAre(2, 1));
}

TEST_F(TaVNcacheTest, FailedConstructionMessagesAndBehaviour) {
  struct Row { const char* name; int maxNum; const char* message; };
  const Row rows[] = {
      {nullptr, 3, "ERROR [TaVNcache]: null cache name\n"},
      {"", 3, "ERROR [TaVNcache]: null cache name\n"},
      {"QelTest.zero", 0, "ERROR [TaVNcache]: maxNum less than 1\n"},
      {"QelTest.negative", -2, "ERROR [TaVNcache]: maxNum less than 1\n"},
  };
  for (const Row& r : rows) {
    DebugOutputCapture cap;
    TaVNcache cache(r.name, releaseInt, r.maxNum);
    EXPECT_THAT(cap.texts(), ElementsAre(r.message));
    EXPECT_EQ(0, cache.maxNum());
    int* obj = new int(9);
    EXPECT_EQ(-1, cache.Add(obj, "k", nullptr));
    delete obj;
    EXPECT_EQ(nullptr, cache.Get("k", nullptr));
    EXPECT_EQ(-1, cache.Reset());
    EXPECT_THAT(cap.texts(), ElementsAre(r.message)) << "no further messages";
  }
  EXPECT_THAT(released_, IsEmpty());
}

TEST(TaVNcacheStatics, TheTwoLibraryCaches) {
  EXPECT_EQ("CacheTaVNattrPair", attrPairCache().name().str());
  EXPECT_EQ(20, attrPairCache().maxNum());
  EXPECT_EQ("CacheTaVNcfgInfo", cfgInfoCache().name().str());
  EXPECT_EQ(3, cfgInfoCache().maxNum());
}

// Seeded random operations against a deque model of the same behaviour.
TEST_F(TaVNcacheTest, MatchesModelUnderRandomOperations) {
  struct Entry { std::string key, sub; int value; };
  std::mt19937 rng(4242);
  const int cap = 4;
  TaVNcache cache(uniqueName("model").c_str(), releaseInt, cap);
  std::deque<Entry> model;
  std::vector<int> modelReleased;
  const char* keys[] = {"a", "b", "c"};
  const char* subs[] = {nullptr, "x", "y"};
  int next = 0;
  for (int step = 0; step < 2000; ++step) {
    const int op = static_cast<int>(rng() % 10);
    const char* key = keys[rng() % 3];
    const char* sub = subs[rng() % 3];
    if (op < 5) {
      const int v = next++;
      ASSERT_EQ(0, cache.Add(new int(v), key, sub));
      if (static_cast<int>(model.size()) == cap) {
        modelReleased.push_back(model.back().value);
        model.pop_back();
      }
      model.push_front({key, sub ? sub : "", v});
    } else if (op < 9) {
      int want = -999;
      for (const Entry& e : model) {
        if (e.key == key && (sub == nullptr || e.sub == sub)) {
          want = e.value;
          break;
        }
      }
      ASSERT_EQ(want, valueOf(cache.Get(key, sub))) << "step " << step;
    } else {
      ASSERT_EQ(0, cache.Reset());
      for (const Entry& e : model) modelReleased.push_back(e.value);
      model.clear();
    }
    ASSERT_EQ(static_cast<int>(model.size()), cache.count());
    ASSERT_EQ(modelReleased, released_) << "step " << step;
  }
}


// GetCopy copies under the mutex, so another thread's Add evicting the same
// entry cannot free it in the middle of the copy (the sanitizer build turns
// such a use after free into a failure).
TEST(TaVNcacheThreads, GetCopyIsSafeAgainstConcurrentEviction) {
  auto releaseString = [](void* p) { delete static_cast<std::string*>(p); };
  TaVNcache cache(uniqueName("threads").c_str(), releaseString, 1);
  const std::string payload(200, 'p');
  cache.Add(new std::string(payload), "k", nullptr);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; i < 3000; ++i) cache.Add(new std::string(payload), "k", nullptr);
    stop = true;
  });
  int copies = 0;
  while (!stop) {
    std::string copy;
    if (cache.GetCopy("k", nullptr, [&](const void* o) { copy = *static_cast<const std::string*>(o); })) {
      ASSERT_EQ(payload, copy);
      ++copies;
    }
  }
  writer.join();
  EXPECT_GT(copies, 0);
}


// Fails chosen mutex calls while doing the real work underneath, so that
// ownership stays balanced.
class FailingMutexApi : public MutexApi {
 public:
  bool failCreate = false, failWait = false, failRelease = false, failClose = false;
  HANDLE createMutex(void* sec, BOOL owner, LPCSTR name) override {
    return failCreate ? nullptr : MutexApi::createMutex(sec, owner, name);
  }
  DWORD waitForSingleObject(HANDLE h, DWORD ms) override {
    return failWait ? WAIT_TIMEOUT : MutexApi::waitForSingleObject(h, ms);
  }
  BOOL releaseMutex(HANDLE h) override {
    const BOOL ok = MutexApi::releaseMutex(h);
    return failRelease ? FALSE : ok;
  }
  BOOL closeHandle(HANDLE h) override {
    const BOOL ok = MutexApi::closeHandle(h);
    return failClose ? FALSE : ok;
  }
};

TEST_F(TaVNcacheTest, CannotCreateMutex) {
  FailingMutexApi api;
  api.failCreate = true;
  ScopedMutexApi scope(&api);
  DebugOutputCapture cap;
  TaVNcache cache(uniqueName("nocreate").c_str(), releaseInt, 3);
  EXPECT_EQ(0, cache.maxNum());
  EXPECT_THAT(cap.texts(), ElementsAre("ERROR [TaVNcache]: cannot create mutex\n"));
  EXPECT_EQ(-1, cache.Reset());
}

TEST_F(TaVNcacheTest, MutexFailureMessagesPerOperation) {
  enum Op { kAdd, kGet, kReset };
  struct Row { Op op; bool failWait; int rc; const char* message; };
  const Row rows[] = {
      {kAdd, true, -1, "ERROR [TaVNcacheAdd]: cannot get mutex handle\n"},
      {kAdd, false, 0, "ERROR [TaVNcacheAdd]: cannot release mutex\n"},
      {kGet, true, -1, "ERROR [TaVNcacheGet]: cannot get mutex handle\n"},
      {kGet, false, 0, "ERROR [TaVNcacheGet]: cannot release mutex\n"},
      {kReset, true, -1, "ERROR [TaVNcacheReset]: cannot get mutex handle\n"},
      {kReset, false, 0, "ERROR [TaVNcacheReset]: cannot release mutex\n"},
  };
  for (const Row& r : rows) {
    TaVNcache cache(uniqueName("fail").c_str(), releaseInt, 3);
    cache.Add(new int(1), "k", nullptr);
    FailingMutexApi api;
    api.failWait = r.failWait;
    api.failRelease = !r.failWait;
    DebugOutputCapture cap;
    {
      ScopedMutexApi scope(&api);
      int rc = 0;
      if (r.op == kAdd) {
        int* obj = new int(2);
        rc = cache.Add(obj, "k2", nullptr);
        if (rc != 0) delete obj;
      } else if (r.op == kGet) {
        rc = cache.Get("k", nullptr) != nullptr ? 0 : -1;
      } else {
        rc = cache.Reset();
      }
      EXPECT_EQ(r.rc, rc) << r.message;
    }
    EXPECT_THAT(cap.texts(), ElementsAre(r.message));
  }
}

TEST_F(TaVNcacheTest, DestructorMessagesGoOnRegardless) {
  auto* cache = new TaVNcache(uniqueName("dtorfail").c_str(), releaseInt, 3);
  cache->Add(new int(1), "k", nullptr);
  FailingMutexApi api;
  api.failWait = api.failRelease = api.failClose = true;
  DebugOutputCapture cap;
  {
    ScopedMutexApi scope(&api);
    delete cache;
  }
  EXPECT_THAT(released_, ElementsAre(1));
  EXPECT_THAT(cap.texts(), ElementsAre("ERROR [~TaVNcache]: cannot get mutex handle\n",
                                       "ERROR [~TaVNcache]: cannot release mutex handle\n",
                                       "ERROR [~TaVNcache]: cannot close mutex handle\n"));
}

// A child process that takes the named mutex and reports back.
class MutexHolder {
 public:
  // When `dieHolding`, the child exits while holding the mutex.
  MutexHolder(const std::string& name, bool dieHolding) {
    int up[2], down[2];
    if (pipe(up) != 0 || pipe(down) != 0) ADD_FAILURE() << "pipe";
    pid_ = fork();
    if (pid_ == 0) {
      close(up[0]);
      close(down[1]);
      HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
      char ok = (h != nullptr && WaitForSingleObject(h, 5000) == WAIT_OBJECT_0) ? 'y' : 'n';
      if (write(up[1], &ok, 1) != 1) _exit(2);
      if (dieHolding) _exit(0);
      char c;
      while (read(down[0], &c, 1) < 0) {
      }
      ReleaseMutex(h);
      CloseHandle(h);
      _exit(0);
    }
    close(up[1]);
    close(down[0]);
    release_ = down[1];
    char ok = 0;
    if (read(up[0], &ok, 1) != 1 || ok != 'y') ADD_FAILURE() << "child did not take the mutex";
    close(up[0]);
  }
  ~MutexHolder() { finish(); }
  void finish() {
    if (pid_ <= 0) return;
    close(release_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
};

TEST_F(TaVNcacheTest, MutexHeldByAnotherProcessMakesAddTimeOut) {
  const std::string name = uniqueName("held");
  TaVNcache cache(name.c_str(), releaseInt, 3);
  ASSERT_EQ(3, cache.maxNum());
  MutexHolder holder(name, false);
  DebugOutputCapture cap;
  int* obj = new int(1);
  EXPECT_EQ(-1, cache.Add(obj, "k", nullptr));
  delete obj;  // not stored: still the caller's
  EXPECT_THAT(cap.texts(), ElementsAre("ERROR [TaVNcacheAdd]: cannot get mutex handle\n"));
  EXPECT_EQ(0, cache.count());
  holder.finish();
  EXPECT_EQ(0, cache.Add(new int(2), "k", nullptr));
  EXPECT_EQ(2, valueOf(cache.Get("k", nullptr)));
}

// An owner that died leaves an abandoned mutex: that one operation fails,
// and the mutex must not stay owned by us afterwards.
TEST_F(TaVNcacheTest, AbandonedMutexFailsOnceThenRecovers) {
  const std::string name = uniqueName("abandoned");
  TaVNcache cache(name.c_str(), releaseInt, 3);
  { MutexHolder holder(name, true); }
  DebugOutputCapture cap;
  EXPECT_EQ(nullptr, cache.Get("k", nullptr));
  EXPECT_THAT(cap.texts(), ElementsAre("ERROR [TaVNcacheGet]: cannot get mutex handle\n"));
  EXPECT_EQ(0, cache.Add(new int(3), "k", nullptr));
  // Another process can take the mutex again: we did not keep it.
  MutexHolder again(name, false);
  again.finish();
}

}  // namespace
