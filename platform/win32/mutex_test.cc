#include "mutex.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace {

// A name no other test run uses.
std::string uniqueName(const char* what) {
  return std::string("QelTest.") + what + "." + std::to_string(getpid());
}

bool shmExists(const std::string& name) {
  return access(("/dev/shm" + qelMutexShmName(name.c_str())).c_str(), F_OK) == 0;
}

// A forked child that takes the named mutex, reports, then waits for one
// command: 'r' release and exit, 'x' exit while still owning it.
class ChildOwner {
 public:
  explicit ChildOwner(const std::string& name) {
    EXPECT_EQ(0, pipe(toChild_));
    EXPECT_EQ(0, pipe(toParent_));
    pid_ = fork();
    if (pid_ == 0) {
      HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
      char c = (h && WaitForSingleObject(h, 0) == WAIT_OBJECT_0) ? 'L' : 'F';
      if (write(toParent_[1], &c, 1) != 1) _exit(2);
      if (read(toChild_[0], &c, 1) != 1) _exit(3);
      if (c == 'r') ReleaseMutex(h);
      _exit(0);  // no destructors: a plain exit, like a crash, for 'x'
    }
    char c = 0;
    EXPECT_EQ(1, read(toParent_[0], &c, 1));
    locked_ = c == 'L';
  }
  bool locked() const { return locked_; }
  void finish(char command) {
    EXPECT_EQ(1, write(toChild_[1], &command, 1));
    int status = 0;
    EXPECT_EQ(pid_, waitpid(pid_, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {toChild_[0], toChild_[1], toParent_[0], toParent_[1]}) close(fd);
  }

 private:
  int toChild_[2];
  int toParent_[2];
  pid_t pid_ = -1;
  bool locked_ = false;
};

TEST(MutexTest, CreateOpensExistingName) {
  std::string name = uniqueName("open");
  HANDLE a = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  HANDLE b = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_NE(a, b) << "each call returns its own handle";
  HANDLE c = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  EXPECT_NE(nullptr, c);
  EXPECT_TRUE(CloseHandle(a));
  EXPECT_TRUE(CloseHandle(b));
  EXPECT_TRUE(CloseHandle(c));
  EXPECT_FALSE(shmExists(name)) << "the object goes away with its last handle";
  EXPECT_EQ(nullptr, OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_FALSE(shmExists(name)) << "a failed open creates nothing";
}

TEST(MutexTest, RecursionAndOwnership) {
  for (const char* name : {static_cast<const char*>(nullptr), "QelTest.recursion"}) {
    SCOPED_TRACE(name ? name : "unnamed");
    std::string n = name ? uniqueName(name) : "";
    HANDLE h = CreateMutexA(nullptr, TRUE, name ? n.c_str() : nullptr);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 0)) << "the owner may wait again";
    std::thread([h] {
      EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 0)) << "another thread cannot take it";
      EXPECT_FALSE(ReleaseMutex(h)) << "release by a non-owner fails";
      EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_OWNER), GetLastError());
    }).join();
    EXPECT_TRUE(ReleaseMutex(h));
    std::thread([h] { EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 0)) << "still owned once"; }).join();
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_FALSE(ReleaseMutex(h)) << "released more often than taken";
    std::thread([h] {
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 0));
      EXPECT_TRUE(ReleaseMutex(h));
    }).join();
    EXPECT_TRUE(CloseHandle(h));
  }
}

TEST(MutexTest, BadHandles) {
  HANDLE bogus = reinterpret_cast<HANDLE>(0x1234);
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(bogus, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  EXPECT_FALSE(ReleaseMutex(bogus));
  EXPECT_FALSE(CloseHandle(bogus));
  EXPECT_FALSE(CloseHandle(nullptr));
  HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(nullptr, h);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h)) << "double close";
  EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(h, 0)) << "use after close";
}

TEST(MutexTest, HeldByAnotherProcessTimesOut) {
  std::string name = uniqueName("crossprocess");
  ChildOwner child(name);
  ASSERT_TRUE(child.locked());
  HANDLE h = CreateMutexA(nullptr, TRUE, name.c_str());
  ASSERT_NE(nullptr, h);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError()) << "the child created it";
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 20)) << "a timed wait gives up too";
  EXPECT_FALSE(ReleaseMutex(h)) << "initialOwner is ignored for an existing mutex";
  child.finish('r');
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 5000)) << "released by the child";
  EXPECT_TRUE(ReleaseMutex(h));
  EXPECT_TRUE(CloseHandle(h));
}

TEST(MutexTest, DeadOwnerProcessIsReportedAsAbandonedOnce) {
  std::string name = uniqueName("abandoned");
  HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(nullptr, h);
  ChildOwner child(name);
  ASSERT_TRUE(child.locked());
  child.finish('x');
  EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(h, 5000));
  std::thread([h] { EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(h, 0)) << "the waiter owns it now"; }).join();
  EXPECT_TRUE(ReleaseMutex(h));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 0)) << "abandonment is reported only once";
  EXPECT_TRUE(ReleaseMutex(h));
  EXPECT_TRUE(CloseHandle(h));
}

TEST(MutexTest, DeadOwnerThreadIsReportedAsAbandoned) {
  HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(nullptr, h);
  std::thread([h] { EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, INFINITE)); }).join();
  EXPECT_EQ(WAIT_ABANDONED, WaitForSingleObject(h, 5000));
  EXPECT_TRUE(ReleaseMutex(h));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 0));
  EXPECT_TRUE(ReleaseMutex(h));
  EXPECT_TRUE(CloseHandle(h));
}

TEST(MutexTest, ShmNameCarriesUserAndEscapesName) {
  std::string uid = std::to_string(getuid());
  EXPECT_EQ("/qel-mutex." + uid + ".CacheTaVNcfgInfo", qelMutexShmName("CacheTaVNcfgInfo"));
  EXPECT_EQ("/qel-mutex." + uid + ".Global%5Ca%2Fb%20c", qelMutexShmName("Global\\a/b c"));
  std::string longName(400, 'n');
  std::string shm = qelMutexShmName(longName.c_str());
  EXPECT_LT(shm.size(), 255u);
  EXPECT_NE(shm, qelMutexShmName((longName + "x").c_str())) << "shortened names stay distinct";
  HANDLE h = CreateMutexA(nullptr, FALSE, longName.c_str());
  EXPECT_NE(nullptr, h) << "a long name still works";
  CloseHandle(h);
}

}  // namespace

namespace {

// Fails the Nth wait with a chosen result and counts calls; everything else is real.
class FailingWaits : public MutexApi {
 public:
  FailingWaits(int failAt, DWORD result) : failAt_(failAt), result_(result) {}
  DWORD waitForSingleObject(HANDLE h, DWORD ms) override {
    return ++waits_ == failAt_ ? result_ : MutexApi::waitForSingleObject(h, ms);
  }
  BOOL releaseMutex(HANDLE h) override {
    ++releases_;
    return MutexApi::releaseMutex(h);
  }
  int waits_ = 0;
  int releases_ = 0;

 private:
  int failAt_;
  DWORD result_;
};

TEST(MutexApiTest, InstalledApiSeesEveryCallAndIsRemovedAgain) {
  HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(nullptr, h);
  for (int n = 1; n <= 3; ++n) {
    FailingWaits fake(n, WAIT_TIMEOUT);
    {
      ScopedMutexApi install(&fake);
      for (int call = 1; call <= 3; ++call) {
        DWORD r = WaitForSingleObject(h, 0);
        EXPECT_EQ(call == n ? WAIT_TIMEOUT : WAIT_OBJECT_0, r) << "fail at " << n << ", call " << call;
        if (r == WAIT_OBJECT_0) {
          EXPECT_TRUE(ReleaseMutex(h));
        }
      }
    }
    EXPECT_EQ(3, fake.waits_);
    EXPECT_EQ(2, fake.releases_);
  }
  FailingWaits unused(1, WAIT_FAILED);
  {
    ScopedMutexApi install(&unused);
  }
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 0)) << "the real api is back";
  EXPECT_EQ(0, unused.waits_);
  EXPECT_TRUE(ReleaseMutex(h));
  EXPECT_TRUE(CloseHandle(h));
}

}  // namespace

namespace {

// Regression (LeakSanitizer): a mutex whose owner thread died was never
// freed, because this process's ownership count stayed above zero.
TEST(MutexRegressionTest, MutexOfDeadOwnerThreadIsFreedOnCloseRegression) {
  HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(nullptr, h);
  std::thread([h] { EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 0)); }).join();
  EXPECT_TRUE(CloseHandle(h));  // the sanitizer build reports the block if it leaks
}

}  // namespace
