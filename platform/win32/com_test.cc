#include "com.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct IFoo : IUnknown {
  virtual int foo() = 0;
};
struct IBar : IDispatch {
  virtual int bar() = 0;
};

}  // namespace

QEL_DECLARE_INTERFACE(IFoo, IUnknown, 0x11111111, 0x1111, 0x1111, 1, 2, 3, 4, 5, 6, 7, 8);
QEL_DECLARE_INTERFACE(IBar, IDispatch, 0x22222222, 0x2222, 0x2222, 1, 2, 3, 4, 5, 6, 7, 8);

namespace {

std::atomic<int> g_live{0};

class FooBar : public ComObject<IFoo, IBar> {
 public:
  explicit FooBar(int value = 1) : value_(value) { ++g_live; }
  ~FooBar() override { --g_live; }
  int foo() override { return value_; }
  int bar() override { return value_ * 10; }
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  int value_;
};

const CLSID kRealClsid = {0xA0A0A0A0, 0x1, 0x2, {1, 1, 1, 1, 1, 1, 1, 1}};

// Registers FooBar as a "real" library component for the whole test program.
const bool g_registered =
    SUCCEEDED(QelRegisterClass(kRealClsid, "QelTest.FooBar", qelFactoryFor<FooBar>()));

ComFactory valueFactory(int value) {
  return [value](IUnknown* outer, REFIID riid, void** ppv) -> HRESULT {
    if (outer) return CLASS_E_NOAGGREGATION;
    return qelCreateInstance<FooBar>(riid, ppv, value);
  };
}

class ComTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override {
    CoUninitialize();
    EXPECT_EQ(0, g_live.load()) << "an object leaked";
  }

  // Creates kRealClsid-or-override by prog id and returns foo(), or the HRESULT.
  static int fooOf(const char16_t* progId) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return hr;
    ComPtr<IFoo> foo;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, QEL_IIDOF(IFoo), foo.ReleaseAndGetVoidAddress());
    if (FAILED(hr)) return hr;
    return foo->foo();
  }
};

TEST(ComApartmentTest, CountsPerThread) {
  EXPECT_FALSE(qelComIsInitialized());
  EXPECT_EQ(S_OK, CoInitialize(nullptr));
  EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
  EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  std::thread([] {
    EXPECT_FALSE(qelComIsInitialized()) << "another thread has its own count";
    EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();
  }).join();
  CoUninitialize();
  EXPECT_TRUE(qelComIsInitialized()) << "one CoUninitialize per successful CoInitialize";
  CoUninitialize();
  EXPECT_FALSE(qelComIsInitialized());
  CoUninitialize();  // an extra call is harmless
  EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED)) << "model may change after full uninit";
  CoUninitialize();
  EXPECT_EQ(E_INVALIDARG, CoInitialize(reinterpret_cast<void*>(1)));
  EXPECT_FALSE(qelComIsInitialized());
}

TEST_F(ComTest, ObjectIdentityAndInterfaces) {
  ComPtr<IFoo> foo;
  ASSERT_EQ(S_OK, qelCreateInstance<FooBar>(QEL_IIDOF(IFoo), foo.ReleaseAndGetVoidAddress(), 7));
  EXPECT_EQ(7, foo->foo());
  ComPtr<IBar> bar;
  ASSERT_EQ(S_OK, foo.As(&bar));
  EXPECT_EQ(70, bar->bar());
  ComPtr<IDispatch> disp;
  EXPECT_EQ(S_OK, foo.As(&disp)) << "base interface of a listed interface";
  ComPtr<IUnknown> u1, u2;
  ASSERT_EQ(S_OK, foo.As(&u1));
  ASSERT_EQ(S_OK, bar.As(&u2));
  EXPECT_EQ(u1.Get(), u2.Get()) << "IUnknown is the identity of the object";
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, foo->QueryInterface(IID_NULL, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(E_POINTER, foo->QueryInterface(IID_IUnknown, nullptr));

  ComPtr<IFoo> copy = foo;
  foo.Reset();
  EXPECT_EQ(1, g_live.load()) << "the copy keeps the object alive";
  ComPtr<IFoo> moved = std::move(copy);
  EXPECT_FALSE(copy);
  IFoo* raw = moved.Detach();
  EXPECT_EQ(1, g_live.load());
  moved.Attach(raw);
  bar.Reset();
  disp.Reset();
  u1.Reset();
  u2.Reset();
  moved.Reset();
  EXPECT_EQ(0, g_live.load());
}

TEST_F(ComTest, ProgIdResolution) {
  ASSERT_TRUE(g_registered);
  CLSID clsid;
  EXPECT_EQ(S_OK, CLSIDFromProgID(u"QelTest.FooBar", &clsid));
  EXPECT_EQ(kRealClsid, clsid);
  EXPECT_EQ(S_OK, CLSIDFromProgID(u"qeltest.FOOBAR", &clsid)) << "prog ids ignore case";

  struct Row {
    const char16_t* progId;
    HRESULT hr;
    const char* why;
  };
  const Row rows[] = {
      {u"QelTest.Unregistered", CO_E_CLASSSTRING, "unknown prog id fails"},
      {u"", CO_E_CLASSSTRING, "empty prog id"},
      {u"{A0A0A0A0-0001-0002-0101-010101010101}", S_OK, "class id text is taken as is"},
      {u"{12345678-0000-0000-0000-000000000000}", S_OK, "even when no class is registered"},
      {u"{not-a-guid}", CO_E_CLASSSTRING, "malformed class id text"},
  };
  for (const Row& r : rows) {
    clsid = kRealClsid;
    EXPECT_EQ(r.hr, CLSIDFromProgID(r.progId, &clsid)) << r.why;
    if (FAILED(r.hr)) {
      EXPECT_EQ(CLSID_NULL, clsid) << r.why;
      EXPECT_NE(0, r.hr) << r.why << ": callers test for a non-zero result";
    }
  }
  EXPECT_EQ(E_INVALIDARG, CLSIDFromProgID(nullptr, &clsid));
  EXPECT_EQ(E_INVALIDARG, CLSIDFromProgID(u"QelTest.FooBar", nullptr));
}

TEST_F(ComTest, CoCreateInstanceResultTable) {
  const CLSID unknown = {0xDEADBEEF, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  const CLSID throwing = {0xDEADBEEF, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
  const CLSID oom = {0xDEADBEEF, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};
  const CLSID liar = {0xDEADBEEF, 0, 0, {0, 0, 0, 0, 0, 0, 0, 4}};
  ScopedClassOverride t(throwing, nullptr, [](IUnknown*, REFIID, void**) -> HRESULT {
    throw std::runtime_error("factory bug");
  });
  ScopedClassOverride o(oom, nullptr, [](IUnknown*, REFIID, void**) -> HRESULT { throw std::bad_alloc(); });
  ScopedClassOverride l(liar, nullptr, [](IUnknown*, REFIID, void**) -> HRESULT { return S_OK; });
  FooBar* outerObj = new FooBar;
  outerObj->AddRef();

  struct Row {
    CLSID clsid;
    IUnknown* outer;
    DWORD ctx;
    IID iid;
    HRESULT hr;
    const char* why;
  };
  const Row rows[] = {
      {kRealClsid, nullptr, CLSCTX_ALL, QEL_IIDOF(IFoo), S_OK, "registered class, offered interface"},
      {kRealClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, S_OK, "in-process context alone"},
      {unknown, nullptr, CLSCTX_ALL, IID_IUnknown, REGDB_E_CLASSNOTREG, "class not registered"},
      {kRealClsid, static_cast<IFoo*>(outerObj), CLSCTX_ALL, IID_IUnknown, CLASS_E_NOAGGREGATION,
       "outer object given to a class that refuses aggregation"},
      {kRealClsid, nullptr, CLSCTX_ALL, IID_NULL, E_NOINTERFACE, "interface not offered"},
      {kRealClsid, nullptr, 0, IID_IUnknown, E_INVALIDARG, "no server context"},
      {throwing, nullptr, CLSCTX_ALL, IID_IUnknown, E_FAIL, "exception in a factory stays inside"},
      {oom, nullptr, CLSCTX_ALL, IID_IUnknown, E_OUTOFMEMORY, "bad_alloc in a factory"},
      {liar, nullptr, CLSCTX_ALL, IID_IUnknown, E_UNEXPECTED, "success without an object"},
  };
  for (const Row& r : rows) {
    void* p = reinterpret_cast<void*>(1);
    HRESULT hr = CoCreateInstance(r.clsid, r.outer, r.ctx, r.iid, &p);
    EXPECT_EQ(r.hr, hr) << r.why;
    if (SUCCEEDED(hr)) {
      ASSERT_NE(nullptr, p) << r.why;
      static_cast<IUnknown*>(p)->Release();
    } else {
      EXPECT_EQ(nullptr, p) << r.why << ": out pointer must be null on failure";
    }
  }
  EXPECT_EQ(E_POINTER, CoCreateInstance(kRealClsid, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr));
  outerObj->Release();

  CoUninitialize();
  void* p = nullptr;
  EXPECT_EQ(CO_E_NOTINITIALIZED, CoCreateInstance(kRealClsid, nullptr, CLSCTX_ALL, IID_IUnknown, &p));
  EXPECT_EQ(nullptr, p);
  CoInitialize(nullptr);
}

TEST_F(ComTest, OverrideReplacesAndRestores) {
  EXPECT_EQ(1, fooOf(u"QelTest.FooBar"));
  {
    ScopedClassOverride fake(kRealClsid, "QelTest.FooBar", valueFactory(2));
    EXPECT_EQ(2, fooOf(u"QelTest.FooBar"));
    {
      ScopedClassOverride hidden("QelTest.FooBar", ComFactory());
      EXPECT_EQ(CO_E_CLASSSTRING, fooOf(u"QelTest.FooBar")) << "empty factory hides the prog id";
      void* p = nullptr;
      EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(kRealClsid, nullptr, CLSCTX_ALL, IID_IUnknown, &p));
    }
    EXPECT_EQ(2, fooOf(u"QelTest.FooBar")) << "inner override restored the outer one";
  }
  EXPECT_EQ(1, fooOf(u"QelTest.FooBar")) << "the real class is back";

  EXPECT_EQ(CO_E_CLASSSTRING, fooOf(u"QelTest.NewFake"));
  {
    ScopedClassOverride fresh("QelTest.NewFake", valueFactory(3));
    EXPECT_EQ(3, fooOf(u"QelTest.NewFake")) << "a prog id that did not exist gets a class";
    EXPECT_NE(kRealClsid, fresh.clsid());
  }
  EXPECT_EQ(CO_E_CLASSSTRING, fooOf(u"QelTest.NewFake")) << "and loses it again";
}

TEST_F(ComTest, RegisterAndUnregister) {
  const CLSID c = {0xBEEF0000, 1, 1, {9, 9, 9, 9, 9, 9, 9, 9}};
  EXPECT_EQ(E_INVALIDARG, QelRegisterClass(c, "QelTest.Temp", ComFactory()));
  EXPECT_EQ(S_OK, QelRegisterClass(c, "QelTest.Temp", valueFactory(5)));
  EXPECT_EQ(5, fooOf(u"QelTest.Temp"));
  EXPECT_EQ(S_FALSE, QelRegisterClass(c, "QelTest.Temp2", valueFactory(6))) << "replacement";
  EXPECT_EQ(6, fooOf(u"QelTest.Temp"));
  EXPECT_EQ(6, fooOf(u"QelTest.Temp2"));
  QelUnregisterClass(c);
  EXPECT_EQ(CO_E_CLASSSTRING, fooOf(u"QelTest.Temp"));
  EXPECT_EQ(CO_E_CLASSSTRING, fooOf(u"QelTest.Temp2"));
  void* p = nullptr;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(c, nullptr, CLSCTX_ALL, IID_IUnknown, &p));
}

TEST_F(ComTest, RegistryIsThreadSafe) {
  // Threads register, create and unregister their own classes concurrently
  // with creations of the shared one; the sanitizer build checks the locking.
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      CoInitialize(nullptr);
      CLSID mine = {0xC0C00000u + static_cast<uint32_t>(t), 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
      for (int i = 0; i < 200; ++i) {
        QelRegisterClass(mine, nullptr, valueFactory(t));
        ComPtr<IFoo> a, b;
        if (CoCreateInstance(mine, nullptr, CLSCTX_ALL, QEL_IIDOF(IFoo), a.ReleaseAndGetVoidAddress()) != S_OK ||
            a->foo() != t) {
          ++failures;
        }
        if (CoCreateInstance(kRealClsid, nullptr, CLSCTX_ALL, QEL_IIDOF(IFoo), b.ReleaseAndGetVoidAddress()) !=
            S_OK) {
          ++failures;
        }
        QelUnregisterClass(mine);
      }
      CoUninitialize();
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(0, failures.load());
}

TEST(ExcepInfoTest, ClearFreesStrings) {
  EXCEPINFO info{};
  info.bstrSource = SysAllocString(u"src");
  info.bstrDescription = SysAllocString(u"desc");
  info.scode = E_FAIL;
  qelClearExcepInfo(&info);
  EXPECT_EQ(nullptr, info.bstrSource);
  EXPECT_EQ(nullptr, info.bstrDescription);
  EXPECT_EQ(0, info.scode);
  qelClearExcepInfo(nullptr);
}

}  // namespace
