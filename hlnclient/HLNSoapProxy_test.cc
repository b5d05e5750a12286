// The proxies' shared machinery, through a fake SOAP client.
#include "internal/HLNSoapProxy.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "internal/HLNproxies.h"
#include "internal/hln_message.h"
#include "testing/fake_soap_client.h"

namespace {

using hln_testing::FakeSoap;
using hln_testing::Reply;

class ProxyTest : public ::testing::Test {
 protected:
  ProxyTest() { CoInitialize(nullptr); }
  ~ProxyTest() override { CoUninitialize(); }

  // Runs f and returns the text it threw ("" when it returned).
  template <class F>
  static std::string thrown(F&& f) {
    try {
      f();
    } catch (const char* text) {
      return text;
    }
    return "";
  }

  FakeSoap fake;
};

struct Exposed : HLNSoapProxy {
  using HLNSoapProxy::extractFaultDescription;
};

TEST(ExtractFaultDescription, Table) {
  struct Case { const char* in; const char* out; const char* why; } cases[] = {
      {"before <Description>several words here</Description> after", "several words here",
       "text around the element is dropped"},
      {"no element at all", "no element at all", "no <Description>: whole text"},
      {"x<Description>a</Description>y", "x<Description>a</Description>y", "one character: whole"},
      {"<Description>ab</Description>", "ab", "two characters are enough"},
      {"<Description></Description>", "<Description></Description>", "empty: whole"},
      {"<Description>open only", "<Description>open only", "closing tag missing"},
      {"</Description>x<Description>abc", "</Description>x<Description>abc",
       "closing tag before the opening one"},
      {"r\n<Description>first</Description><Description>second</Description>", "first",
       "first element wins"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Exposed::extractFaultDescription(CString(c.in)).str(), c.out) << c.why;
}

TEST_F(ProxyTest, CreationInitialisesWithUrlAndThreeEmptyStringsAndSetsTimeout) {
  HLNLoginManager lm(CString("http://h/x/LoginManagerEJBService.wsdl"));
  ASSERT_EQ(fake.clients.size(), 1u);
  EXPECT_EQ(fake.clients[0].wsdl, "http://h/x/LoginManagerEJBService.wsdl");
  EXPECT_THAT(fake.clients[0].initExtras, ::testing::ElementsAre("", "", ""));
  ASSERT_EQ(fake.clients[0].properties.size(), 1u);
  EXPECT_EQ(fake.clients[0].properties[0].first, "Timeout");
  EXPECT_EQ(fake.clients[0].properties[0].second.vt, VT_I4);
  EXPECT_EQ(fake.clients[0].properties[0].second.lVal, 300000);
  EXPECT_FALSE(fake.clients[0].headerText) << "the login manager has no header handler";
}

TEST_F(ProxyTest, CreationStepFailuresThrowTheirTextAndReleaseTheClient) {
  struct Case { HRESULT FakeSoap::*step; const char* text; } cases[] = {
      {&FakeSoap::createHr, "Unable to create SOAPClient object"},
      {&FakeSoap::initHr, "Unable to initialize SOAPClient object"},
      {&FakeSoap::timeoutHr, "Unable to change soap timeout"},
      {&FakeSoap::attachHr, "Unable to set SoapClient HeaderHandler: unknown error"},
  };
  for (const auto& c : cases) {
    fake.createHr = fake.initHr = fake.timeoutHr = fake.attachHr = S_OK;
    fake.*(c.step) = E_FAIL;
    EXPECT_EQ(thrown([] { HLNToolsController t(CString("http://h/T.wsdl"), CString("k")); }), c.text);
    EXPECT_EQ(fake.liveClients(), 0) << c.text;
  }
}

TEST_F(ProxyTest, HeaderHandlerAttachResultTable) {
  struct Case { HRESULT hr; const char* text; } cases[] = {
      {E_NOTIMPL, "Unable to set SoapClient HeaderHandler: E_NOTIMPL"},
      {E_OUTOFMEMORY, "Unable to set SoapClient HeaderHandler: E_OUTOFMEMORY"},
      {E_FAIL, "Unable to set SoapClient HeaderHandler: unknown error"},
      {S_FALSE, "Unable to set SoapClient HeaderHandler: unknown error"},
      {S_OK, ""},
  };
  for (const auto& c : cases) {
    fake.attachHr = c.hr;
    EXPECT_EQ(thrown([] { HLNUserController u(CString("http://h/U.wsdl"), CString("k")); }), c.text)
        << std::hex << c.hr;
  }
}

TEST_F(ProxyTest, HeaderTextReachesTheRealHandlerAttachedToTheClient) {
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("handle-Grüße-7"));
  ASSERT_EQ(fake.clients.size(), 1u);
  EXPECT_EQ(fake.clients[0].headerText, std::optional<std::string>("handle-Grüße-7"));
}

// A header handler whose creation or setter is scripted.
struct ScriptedHandler : ComObject<IClsHeaderHandler> {
  static HRESULT setterHr;
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT get_HeaderText(BSTR*) override { return E_NOTIMPL; }
  HRESULT put_HeaderText(BSTR) override { return setterHr; }
};
HRESULT ScriptedHandler::setterHr = S_OK;

TEST_F(ProxyTest, HeaderHandlerCreationTable) {
  struct Case { HRESULT hr; const char* text; } cases[] = {
      {REGDB_E_CLASSNOTREG, "Unable to create SoapHeaderHandler instance: REGDB_E_CLASSNOTREG"},
      {E_NOINTERFACE, "Unable to create SoapHeaderHandler instance: E_NOINTERFACE"},
      {CLASS_E_NOAGGREGATION, "Unable to create SoapHeaderHandler instance: CLASS_E_NOAGGREGATION"},
      {E_FAIL, "Unable to create SoapHeaderHandler instance: unknown error"},
      {E_OUTOFMEMORY, "Unable to create SoapHeaderHandler instance: unknown error"},
  };
  for (const auto& c : cases) {
    HRESULT hr = c.hr;
    ScopedClassOverride handler(kSoapHeaderHandlerProgId, [hr](IUnknown*, REFIID, void** ppv) {
      *ppv = nullptr;
      return hr;
    });
    EXPECT_EQ(thrown([] { HLNDefinitionController d(CString("http://h/D.wsdl"), CString("k")); }),
              c.text);
    EXPECT_EQ(fake.liveClients(), 0) << "client released after a failed construction";
  }
}

TEST_F(ProxyTest, FailingStringSetterBecomesUnknownError) {
  ScriptedHandler::setterHr = E_OUTOFMEMORY;
  ScopedClassOverride handler(kSoapHeaderHandlerProgId, qelFactoryFor<ScriptedHandler>());
  EXPECT_EQ(thrown([] { HLNToolsController t(CString("http://h/T.wsdl"), CString("k")); }),
            "Unknown error");
  ScriptedHandler::setterHr = S_OK;
  EXPECT_EQ(thrown([] { HLNToolsController t(CString("http://h/T.wsdl"), CString("k")); }), "");
}

TEST_F(ProxyTest, UnregisteredHeaderHandlerFailsControllersButNotTheLoginManager) {
  ScopedClassOverride gone(kSoapHeaderHandlerProgId, ComFactory());
  EXPECT_EQ(thrown([] { HLNClientController c(CString("http://h/C.wsdl"), CString("k")); }),
            "Unable to get CLSID for SoapHeaderHandler");
  EXPECT_EQ(thrown([] {
              HLNLoginManager lm(CString("http://h/L.wsdl"));
              lm.getEngineVersion();
            }),
            "");
}

TEST_F(ProxyTest, InvokeHresultTable) {
  struct Case { HRESULT hr; const char* text; } cases[] = {
      {DISP_E_UNKNOWNINTERFACE, "Unable to invoke SoapClient method: DISP_E_UNKNOWNINTERFACE"},
      {DISP_E_MEMBERNOTFOUND, "Unable to invoke SoapClient method: DISP_E_MEMBERNOTFOUND"},
      {DISP_E_PARAMNOTFOUND, "Unable to invoke SoapClient method: DISP_E_PARAMNOTFOUND"},
      {DISP_E_TYPEMISMATCH, "Unable to invoke SoapClient method: DISP_E_TYPEMISMATCH"},
      {DISP_E_NONAMEDARGS, "Unable to invoke SoapClient method: DISP_E_NONAMEDARGS"},
      {DISP_E_BADVARTYPE, "Unable to invoke SoapClient method: DISP_E_BADVARTYPE"},
      {DISP_E_EXCEPTION, "Unable to invoke SoapClient method: DISP_E_EXCEPTION"},
      {DISP_E_OVERFLOW, "Unable to invoke SoapClient method: DISP_E_OVERFLOW"},
      {DISP_E_UNKNOWNLCID, "Unable to invoke SoapClient method: DISP_E_UNKNOWNLCID"},
      {DISP_E_BADPARAMCOUNT, "Unable to invoke SoapClient method: DISP_E_BADPARAMCOUNT"},
      {DISP_E_PARAMNOTOPTIONAL, "Unable to invoke SoapClient method: DISP_E_PARAMNOTOPTIONAL"},
      // Not reported: the result stays empty.
      {static_cast<HRESULT>(0x80020002), ""},
      {DISP_E_UNKNOWNNAME, ""},
      {DISP_E_BADINDEX, ""},
      {DISP_E_ARRAYISLOCKED, ""},
      {E_FAIL, ""},
      {E_OUTOFMEMORY, ""},
      {S_FALSE, ""},
  };
  HLNUserController user(CString("http://h/U.wsdl"), CString("k"));
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("k"));
  for (const auto& c : cases) {
    Reply r;
    r.hr = c.hr;
    r.kind = Reply::kLong;
    r.number = 42;
    fake.replies["getuserid"] = r;
    r.kind = Reply::kString;
    r.text = "text";
    fake.replies["getHostList"] = r;
    long id = -1;
    CString hosts("unset");
    EXPECT_EQ(thrown([&] { id = user.getuserid(); }), c.text) << std::hex << c.hr;
    EXPECT_EQ(thrown([&] { hosts = cfg.getHostList(); }), c.text) << std::hex << c.hr;
    if (!*c.text) {
      bool success = c.hr >= 0;
      EXPECT_EQ(id, success ? 42 : 0) << std::hex << c.hr;
      EXPECT_EQ(hosts.str(), success ? "text" : "") << std::hex << c.hr;
    }
  }
}

TEST_F(ProxyTest, FaultDescriptionWinsWhateverTheHresult) {
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("k"));
  for (HRESULT hr : {S_OK, DISP_E_EXCEPTION, E_FAIL, DISP_E_BADPARAMCOUNT}) {
    Reply r;
    r.hr = hr;
    r.description = "Server said\n<Description>No host with id 9</Description>";
    fake.replies["getHostByID"] = r;
    EXPECT_EQ(thrown([&] { cfg.getHostByID(9); }), "No host with id 9") << std::hex << hr;
  }
}

TEST_F(ProxyTest, LongFaultDescriptionIsCutToTheBufferAtACharacterBoundary) {
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("k"));
  Reply r;
  r.hr = DISP_E_EXCEPTION;
  std::string big;
  while (big.size() < 600) big += "ü";  // two bytes each
  r.description = big;  // byte 511 is the second byte of a character
  fake.replies["getHostList"] = r;
  std::string text = thrown([&] { cfg.getHostList(); });
  EXPECT_EQ(text.size(), 510u) << "511 bytes would split a character";
  EXPECT_EQ(text, r.description->substr(0, 510));
}

TEST_F(ProxyTest, ThrownFaultTextsStayValidAndAreShared) {
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("k"));
  Reply r;
  r.hr = DISP_E_EXCEPTION;
  const char* first = nullptr;
  const char* again = nullptr;
  r.description = "fault one";
  fake.replies["getHostList"] = r;
  try { cfg.getHostList(); } catch (const char* t) { first = t; }
  r.description = "fault two";
  fake.replies["getHostList"] = r;
  try { cfg.getHostList(); } catch (const char*) {}
  r.description = "fault one";
  fake.replies["getHostList"] = r;
  try { cfg.getHostList(); } catch (const char* t) { again = t; }
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "fault one");
  EXPECT_EQ(first, again);
}

TEST(HlnMessage, StoreIsBoundedAndFallsBackToAFixedText) {
  hln::TextStore store(3);
  const char* a = store.intern("first");
  EXPECT_STREQ(a, "first");
  EXPECT_EQ(store.intern("first"), a) << "equal texts share one copy";
  store.intern("second");
  store.intern("third");
  EXPECT_EQ(store.size(), 3u);
  EXPECT_STREQ(store.intern("fourth"), hln::kStoreFullText);
  EXPECT_EQ(store.intern("first"), a) << "known texts are still found";
  EXPECT_STREQ(a, "first") << "earlier pointers stay valid";
}

TEST_F(ProxyTest, LookupAndInvokeFailures) {
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("k"));
  fake.idsHr = DISP_E_UNKNOWNNAME;
  EXPECT_EQ(thrown([&] { cfg.getHostList(); }), "Unable to get SoapClient method ID");
  fake.idsHr = S_OK;
  fake.throwInIds = true;
  EXPECT_EQ(thrown([&] { cfg.getHostList(); }), "Unable to get SoapClient method ID");
  fake.throwInIds = false;
  Reply r;
  r.throwInInvoke = true;
  fake.replies["getHostList"] = r;
  EXPECT_EQ(thrown([&] { cfg.getHostList(); }), "Unable to invoke SoapClient method");
  fake.replies.clear();
  EXPECT_EQ(thrown([&] { cfg.getHostList(); }), "") << "the proxy stays usable";
}

TEST_F(ProxyTest, ResultConversion) {
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("k"));
  Reply r;
  r.kind = Reply::kNullString;
  fake.replies["getHostList"] = r;
  EXPECT_EQ(cfg.getHostList().str(), "") << "a null string member gives an empty string";
  r.kind = Reply::kString;
  r.text = "Grüße – 東京";
  fake.replies["getHostList"] = r;
  EXPECT_EQ(cfg.getHostList().str(), "Grüße – 東京");
  r.kind = Reply::kLong;
  r.number = 77;
  fake.replies["getHostList"] = r;
  EXPECT_EQ(cfg.getHostList().str(), "77") << "a number under a string operation is not a pointer";
}

TEST_F(ProxyTest, LongOutsideThirtyTwoBitsIsRefusedBeforeAnyCall) {
  if (sizeof(long) <= 4) GTEST_SKIP() << "long is 32 bits here";
  HLNConfigurationController cfg(CString("http://h/C.wsdl"), CString("k"));
  EXPECT_EQ(thrown([&] { cfg.getHostByID(0x100000000L); }),
            "Unable to invoke SoapClient method: DISP_E_OVERFLOW");
  EXPECT_TRUE(fake.calls.empty());
}

}  // namespace
