// The SOAP client component on the wire, against a small server in the test.
#include "soap_client.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "hollin_wire.h"
#include "testing/soap_test_server.h"

namespace {

using qelsoap_testing::makeAnswer;
using qelsoap_testing::makeFault11;
using qelsoap_testing::makeFault12;
using qelsoap_testing::SoapCall;
using qelsoap_testing::SoapReply;
using qelsoap_testing::SoapTestServer;
using qelsoap_testing::TestOp;
using qelsoap_testing::WsdlStyle;

const std::vector<TestOp> kOps = {
    {"echo", {{"arg0", "string"}}, "string"},
    {"typed", {{"arg0", "long"}, {"arg1", "int"}, {"arg2", "boolean"}, {"arg3", "dateTime"}}, "int"},
    {"logout", {}, ""},
};

_bstr_t b(const char* s) { return _bstr_t(s); }

// Arguments in call order; the DISPPARAMS array holds them reversed.
struct Args {
  std::vector<VARIANT> v;
  Args& str(BSTR s) { return push(VT_BSTR, [&](VARIANT& x) { x.bstrVal = s; }); }
  Args& i4(LONG n) { return push(VT_I4, [&](VARIANT& x) { x.lVal = n; }); }
  Args& integer(INT n) { return push(VT_INT, [&](VARIANT& x) { x.intVal = n; }); }
  Args& boolean(VARIANT_BOOL n) { return push(VT_BOOL, [&](VARIANT& x) { x.boolVal = n; }); }
  Args& date(DATE d) { return push(VT_DATE, [&](VARIANT& x) { x.date = d; }); }
  template <class F>
  Args& push(VARTYPE vt, F set) {
    VARIANT x;
    VariantInit(&x);
    x.vt = vt;
    set(x);
    v.insert(v.begin(), x);
    return *this;
  }
};

struct Outcome {
  HRESULT hr;
  std::string description;
  VARIANT result;
  UINT argErr;
};

class SoapClientTest : public ::testing::TestWithParam<WsdlStyle> {
 protected:
  SoapClientTest() {
    CoInitialize(nullptr);
    qelsoapFlushWsdlCache();
    server.addService("wsdl/Svc.wsdl", "Svc", GetParam(), kOps);
    server.setHandler([this](const SoapCall& c) {
      SoapReply r;
      if (c.op == "echo") r.body = makeAnswer(GetParam(), SoapTestServer::ns("Svc"), "echo",
                                             c.args.at(0) ? c.args[0]->c_str() : nullptr);
      else if (c.op == "typed") r.body = makeAnswer(GetParam(), SoapTestServer::ns("Svc"), "typed", "42");
      else r.body = makeAnswer(GetParam(), SoapTestServer::ns("Svc"), c.op, "");
      return r;
    });
  }
  ~SoapClientTest() override {
    for (VARIANT& v : results_) VariantClear(&v);
    client.Reset();
    qelsoapCloseConnections();  // lets the server stop at once
    CoUninitialize();
  }

  void create(const std::string& url = "") {
    ASSERT_EQ(CoCreateInstance(CLSID_SoapClient30, nullptr, 7, IID_ISoapClient,
                               reinterpret_cast<void**>(client.ReleaseAndGetAddressOf())),
              S_OK);
    _bstr_t empty("");
    ASSERT_EQ(client->MSSoapInit(b((url.empty() ? server.base() + "wsdl/Svc.wsdl" : url).c_str()),
                                 empty, empty, empty),
              S_OK);
  }

  Outcome call(const char* op, Args args = Args(), bool wantResult = true) {
    Outcome o{};
    VariantInit(&o.result);
    _bstr_t name(op);
    LPOLESTR n = name;
    DISPID id = 0;
    o.hr = client->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(o.hr)) return o;
    EXCEPINFO info{};
    o.argErr = static_cast<UINT>(-1);
    DISPPARAMS p{args.v.empty() ? nullptr : args.v.data(), nullptr,
                 static_cast<UINT>(args.v.size()), 0};
    o.hr = client->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &p,
                          wantResult ? &o.result : nullptr, &info, &o.argErr);
    if (info.bstrDescription)
      o.description = utf16ToUtf8(info.bstrDescription, SysStringLen(info.bstrDescription));
    qelClearExcepInfo(&info);
    results_.push_back(o.result);  // freed by the fixture
    return o;
  }

  static std::string text(const VARIANT& v) {
    EXPECT_EQ(v.vt, VT_BSTR);
    return v.vt == VT_BSTR && v.bstrVal ? utf16ToUtf8(v.bstrVal, SysStringLen(v.bstrVal)) : "";
  }

  SoapTestServer server;
  ComPtr<ISoapClient> client;
  std::vector<VARIANT> results_;
};

TEST_P(SoapClientTest, NonAsciiTextRoundTrip) {
  create();
  const char* samples[] = {"Grüße – 東京 😀", "a<b>&\"c'", "line\r\nbreak\ttab", ""};
  for (const char* s : samples) {
    _bstr_t arg(s);
    Outcome o = call("echo", Args().str(arg));
    ASSERT_EQ(o.hr, S_OK) << o.description;
    EXPECT_EQ(text(o.result), s);
    EXPECT_EQ(server.calls().back().args.at(0), std::optional<std::string>(s));
  }
}

TEST_P(SoapClientTest, ArgumentsAreEncodedByTheirWsdlTypes) {
  create();
  Outcome o = call("typed", Args().i4(-5).integer(7).boolean(VARIANT_TRUE).date(45658.75));
  ASSERT_EQ(o.hr, S_OK) << o.description;
  EXPECT_EQ(o.result.vt, VT_I4);
  EXPECT_EQ(o.result.lVal, 42);
  SoapCall c = server.calls().back();
  EXPECT_EQ(c.op, "typed");
  ASSERT_EQ(c.args.size(), 4u);
  EXPECT_EQ(*c.args[0], "-5");
  EXPECT_EQ(*c.args[1], "7");
  EXPECT_EQ(*c.args[2], "true");
  EXPECT_EQ(*c.args[3], "2025-01-01T18:00:00");
  EXPECT_EQ(c.soapAction, "\"" + SoapTestServer::ns("Svc") + "#typed\"");
  if (GetParam() == WsdlStyle::kRpcEncoded)
    EXPECT_EQ(c.argTypes, (std::vector<std::string>{"xsd:long", "xsd:int", "xsd:boolean", "xsd:dateTime"}));
  else
    EXPECT_EQ(c.argTypes, (std::vector<std::string>{"", "", "", ""}));
  o = call("typed", Args().i4(1).integer(2).boolean(VARIANT_FALSE).date(0));
  EXPECT_EQ(*server.calls().back().args[2], "false");
}

TEST_P(SoapClientTest, NullBstrTravelsAsNil) {
  create();
  Outcome o = call("echo", Args().str(nullptr));
  ASSERT_EQ(o.hr, S_OK) << o.description;
  EXPECT_EQ(server.calls().back().args.at(0), std::nullopt);
  EXPECT_EQ(o.result.vt, VT_BSTR);
  EXPECT_EQ(o.result.bstrVal, nullptr) << "a nil result is a null BSTR";
}

TEST_P(SoapClientTest, HeaderElementOnEveryRequestOnlyWithAHandler) {
  create();
  call("logout", Args(), false);
  EXPECT_EQ(server.calls().back().sessionHandle, std::nullopt);

  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(_bstr_t(kSoapHeaderHandlerProgId), &clsid), S_OK);
  ComPtr<IClsHeaderHandler> handler;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, 7, IID_IClsHeaderHandler,
                             reinterpret_cast<void**>(handler.ReleaseAndGetAddressOf())),
            S_OK);
  const char* key = "key <&> Grüße";
  ASSERT_EQ(handler->put_HeaderText(_bstr_t(key)), S_OK);
  ASSERT_EQ(client->putref_HeaderHandler(handler.Get()), S_OK);
  for (int i = 0; i < 3; ++i) {
    _bstr_t arg("x");
    call("echo", Args().str(arg));
    call("logout", Args(), false);
  }
  auto calls = server.calls();
  ASSERT_EQ(calls.size(), 7u);
  for (size_t i = 1; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].sessionHandle, std::optional<std::string>(key)) << i;
    EXPECT_NE(calls[i].body.find(std::string("xmlns:h=\"") + hollin_wire::kHeaderNamespace + "\""),
              std::string::npos);
  }
  BSTR back = nullptr;
  ASSERT_EQ(handler->get_HeaderText(&back), S_OK);
  EXPECT_EQ(utf16ToUtf8(back, SysStringLen(back)), key);
  SysFreeString(back);
}

TEST_P(SoapClientTest, FaultsFillExcepInfoWhateverStatusAndContentType) {
  struct Case { int status; const char* type; std::string body; std::string expect; } cases[] = {
      {500, "text/xml; charset=utf-8",
       makeFault11("No such id", "<Description>No such id 5</Description>"),
       "No such id\n<Description>No such id 5</Description>"},
      {200, "text/html", makeFault11("ok status", ""), "ok status"},
      {400, "application/soap+xml", makeFault12("twelve", "<Description>d12</Description>"),
       "twelve\n<Description>d12</Description>"},
  };
  create();
  for (const auto& c : cases) {
    server.setHandler([&](const SoapCall&) { return SoapReply{c.status, c.type, c.body, 0}; });
    _bstr_t arg("x");
    Outcome o = call("echo", Args().str(arg));
    EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(o.description, c.expect);
  }
}

TEST_P(SoapClientTest, HttpErrorsAndGarbageNameTheirCause) {
  create();
  server.setHandler([](const SoapCall&) { return SoapReply{503, "text/plain", "busy", 0}; });
  Outcome o = call("logout", Args(), false);
  EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
  EXPECT_NE(o.description.find("HTTP status 503"), std::string::npos) << o.description;
  server.setHandler([](const SoapCall&) { return SoapReply{200, "text/html", "<html/>", 0}; });
  o = call("logout", Args(), false);
  EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
  EXPECT_NE(o.description.find("not a SOAP envelope"), std::string::npos) << o.description;
}

TEST_P(SoapClientTest, ShortTimeoutFailsTheCall) {
  create();
  VARIANT ms;
  VariantInit(&ms);
  ms.vt = VT_I4;
  ms.lVal = 150;
  ASSERT_EQ(client->put_ConnectorProperty(b("Timeout"), ms), S_OK);
  server.setHandler([](const SoapCall&) { return SoapReply{200, "text/xml", "", 500}; });
  Outcome o = call("logout", Args(), false);
  EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(o.description.rfind("Timed out after 150 ms", 0), 0u) << o.description;
}

TEST_P(SoapClientTest, OneMegabyteAnswer) {
  create();
  std::string big(1 << 20, 'x');
  for (size_t i = 0; i < big.size(); i += 997) big[i] = 'y';
  server.setHandler([&](const SoapCall&) {
    return SoapReply{200, "text/xml", makeAnswer(GetParam(), SoapTestServer::ns("Svc"), "echo", big.c_str()), 0};
  });
  _bstr_t arg("x");
  Outcome o = call("echo", Args().str(arg));
  ASSERT_EQ(o.hr, S_OK) << o.description;
  EXPECT_EQ(text(o.result), big);
}

TEST_P(SoapClientTest, AnswerCharsetIsHonoured) {
  create();
  server.setHandler([](const SoapCall&) {
    std::string body = makeAnswer(GetParam(), SoapTestServer::ns("Svc"), "echo", "Gr@@e");
    body.replace(body.find("@@"), 2, "\xFC\xDF");  // "üß" in ISO-8859-1
    return SoapReply{200, "text/xml; charset=ISO-8859-1", body, 0};
  });
  _bstr_t arg("x");
  Outcome o = call("echo", Args().str(arg));
  ASSERT_EQ(o.hr, S_OK) << o.description;
  EXPECT_EQ(text(o.result), "Grüße");
}

TEST_P(SoapClientTest, DispatchErrors) {
  create();
  Outcome o = call("noSuchOperation");
  EXPECT_EQ(o.hr, DISP_E_UNKNOWNNAME);
  o = call("ECHO", Args().str(nullptr));
  EXPECT_EQ(o.hr, S_OK) << "names ignore case";
  o = call("echo");
  EXPECT_EQ(o.hr, DISP_E_BADPARAMCOUNT);
  _bstr_t notNumber("abc");
  o = call("typed", Args().i4(1).str(notNumber).boolean(0).date(0));
  EXPECT_EQ(o.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(o.argErr, 2u) << "slot of the second argument in the reversed array";
  o = call("typed", Args().i4(1).integer(2).boolean(0).date(1e9));
  EXPECT_EQ(o.hr, DISP_E_OVERFLOW);
  EXPECT_EQ(o.argErr, 0u);
}

INSTANTIATE_TEST_SUITE_P(Styles, SoapClientTest,
                         ::testing::Values(WsdlStyle::kDocumentWrapped, WsdlStyle::kRpcLiteral,
                                           WsdlStyle::kRpcEncoded),
                         [](const auto& info) { return qelsoap_testing::styleName(info.param); });

class SoapClientPlain : public ::testing::Test {
 protected:
  SoapClientPlain() {
    CoInitialize(nullptr);
    qelsoapFlushWsdlCache();
  }
  ~SoapClientPlain() override {
    qelsoapCloseConnections();
    CoUninitialize();
  }
  static ComPtr<ISoapClient> make() {
    ComPtr<ISoapClient> c;
    EXPECT_EQ(CoCreateInstance(CLSID_SoapClient30, nullptr, 7, IID_ISoapClient,
                               reinterpret_cast<void**>(c.ReleaseAndGetAddressOf())),
              S_OK);
    return c;
  }
};

TEST_F(SoapClientPlain, ConnectionRefusedNamesTheCause) {
  ComPtr<ISoapClient> c = make();
  {
    SoapTestServer server;
    server.addService("wsdl/Svc.wsdl", "Svc", WsdlStyle::kDocumentWrapped, kOps);
    _bstr_t e("");
    ASSERT_EQ(c->MSSoapInit(b((server.base() + "wsdl/Svc.wsdl").c_str()), e, e, e), S_OK);
    qelsoapCloseConnections();
  }  // server gone; the parsed WSDL stays
  _bstr_t name("logout");
  LPOLESTR n = name;
  DISPID id;
  ASSERT_EQ(c->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_SYSTEM_DEFAULT, &id), S_OK);
  EXCEPINFO info{};
  UINT err = static_cast<UINT>(-1);
  DISPPARAMS p{nullptr, nullptr, 0, 0};
  EXPECT_EQ(c->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &p, nullptr, &info, &err),
            DISP_E_EXCEPTION);
  ASSERT_NE(info.bstrDescription, nullptr);
  std::string d = utf16ToUtf8(info.bstrDescription, SysStringLen(info.bstrDescription));
  EXPECT_EQ(d.rfind("Connection refused", 0), 0u) << d;
  qelClearExcepInfo(&info);
}

TEST_F(SoapClientPlain, InitFailuresAndWsdlCache) {
  SoapTestServer server;
  server.addService("wsdl/Svc.wsdl", "Svc", WsdlStyle::kRpcLiteral, kOps);
  server.addDocument("wsdl/Broken.wsdl", "<definitions");
  _bstr_t e("");
  ComPtr<ISoapClient> c = make();
  EXPECT_EQ(c->MSSoapInit(nullptr, e, e, e), E_INVALIDARG);
  {
    DebugOutputCapture debug;
    EXPECT_EQ(c->MSSoapInit(b((server.base() + "wsdl/Missing.wsdl").c_str()), e, e, e), E_FAIL);
    EXPECT_EQ(debug.joined(), "ERROR [MSSoapInit]: HTTP status 404 fetching " + server.base() +
                                  "wsdl/Missing.wsdl\n");
  }
  EXPECT_EQ(c->MSSoapInit(b((server.base() + "wsdl/Broken.wsdl").c_str()), e, e, e), E_FAIL);
  EXPECT_EQ(c->MSSoapInit(b("file:///etc/hostname"), e, e, e), E_FAIL);
  int before = server.wsdlGets();
  _bstr_t url((server.base() + "wsdl/Svc.wsdl").c_str());
  EXPECT_EQ(c->MSSoapInit(url, e, e, e), S_OK);
  EXPECT_EQ(make()->MSSoapInit(url, e, e, e), S_OK);
  EXPECT_EQ(server.wsdlGets(), before + 1) << "the second client uses the cached WSDL";
  qelsoapCloseConnections();
}

TEST_F(SoapClientPlain, ConnectorPropertiesAndHandlerChecks) {
  ComPtr<ISoapClient> c = make();
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 300000;
  EXPECT_EQ(c->put_ConnectorProperty(b("Timeout"), v), S_OK);
  v.lVal = 0;
  EXPECT_EQ(c->put_ConnectorProperty(b("Timeout"), v), E_INVALIDARG);
  EXPECT_EQ(c->put_ConnectorProperty(b("NoSuchProperty"), v), E_INVALIDARG);
  // A foreign dispatch object cannot write headers.
  ComPtr<ISoapClient> other = make();
  EXPECT_EQ(c->putref_HeaderHandler(other.Get()), E_NOINTERFACE);
  EXPECT_EQ(c->putref_HeaderHandler(nullptr), S_OK);
  ComPtr<IUnknown> agg;
  EXPECT_EQ(CoCreateInstance(CLSID_SoapClient30, c.Get(), 7, IID_IUnknown,
                             reinterpret_cast<void**>(agg.ReleaseAndGetAddressOf())),
            CLASS_E_NOAGGREGATION);
}

TEST_F(SoapClientPlain, HttpsVerifiedAgainstTheConfiguredAuthority) {
  const std::string dir = QELSOAP_TEST_TLS_DIR;
  SoapTestServer server(dir + "/test_cert.pem", dir + "/test_key.pem");
  server.addService("wsdl/Svc.wsdl", "Svc", WsdlStyle::kDocumentWrapped, kOps);
  server.setHandler([](const SoapCall& c) {
    return SoapReply{200, "text/xml",
                     makeAnswer(WsdlStyle::kDocumentWrapped, SoapTestServer::ns("Svc"), "echo",
                                c.args.at(0)->c_str()), 0};
  });
  _bstr_t e("");
  _bstr_t url((server.base() + "wsdl/Svc.wsdl").c_str());
  ASSERT_EQ(server.base().rfind("https://", 0), 0u);

  unsetenv("QELSOAP_CAINFO");
  EXPECT_EQ(make()->MSSoapInit(url, e, e, e), E_FAIL) << "an unknown authority is refused";

  setenv("QELSOAP_CAINFO", (dir + "/test_cert.pem").c_str(), 1);
  ComPtr<ISoapClient> c = make();
  ASSERT_EQ(c->MSSoapInit(url, e, e, e), S_OK);
  _bstr_t name("echo"), arg("über TLS");
  LPOLESTR n = name;
  DISPID id;
  ASSERT_EQ(c->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_SYSTEM_DEFAULT, &id), S_OK);
  VARIANT a;
  VariantInit(&a);
  a.vt = VT_BSTR;
  a.bstrVal = arg;
  DISPPARAMS p{&a, nullptr, 1, 0};
  VARIANT r;
  VariantInit(&r);
  EXCEPINFO info{};
  UINT err = static_cast<UINT>(-1);
  EXPECT_EQ(c->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &p, &r, &info, &err), S_OK);
  ASSERT_EQ(r.vt, VT_BSTR);
  EXPECT_EQ(utf16ToUtf8(r.bstrVal, SysStringLen(r.bstrVal)), "über TLS");
  VariantClear(&r);
  qelClearExcepInfo(&info);
  unsetenv("QELSOAP_CAINFO");
  qelsoapCloseConnections();
}

}  // namespace
