#include "wsdl.h"

#include <gtest/gtest.h>

#include <map>

#include "soap_error.h"
#include "testing/test_wsdl.h"

namespace qelsoap {
namespace {

using qelsoap_testing::TestOp;
using qelsoap_testing::WsdlStyle;

const std::vector<TestOp> kOps = {
    {"echo", {{"arg0", "string"}, {"arg1", "int"}}, "string"},
    {"count", {{"arg0", "long"}, {"arg1", "boolean"}, {"arg2", "dateTime"}}, "int"},
    {"logout", {}, ""},
};

struct MapFetcher {
  std::map<std::string, std::string> docs;
  std::vector<std::string> fetched;
  std::string operator()(const std::string& url) {
    fetched.push_back(url);
    auto it = docs.find(url);
    if (it == docs.end()) throw SoapError(SoapError::Kind::kHttp, "404 " + url);
    return it->second;
  }
};

class WsdlStyles : public ::testing::TestWithParam<WsdlStyle> {};

TEST_P(WsdlStyles, OperationsCarryNamesTypesActionAndEndpoint) {
  const std::string url = "http://127.0.0.1:8000/wsdl/Svc.wsdl";
  MapFetcher f;
  f.docs[url] = qelsoap_testing::makeWsdl(GetParam(), "Svc", "urn:t:Svc",
                                          "http://127.0.0.1:8000/services/Svc", kOps);
  auto m = parseWsdl(url, std::ref(f));
  ASSERT_EQ(m->operations.size(), 3u);
  const WsdlOperation& echo = m->operations[0];
  EXPECT_EQ(echo.name, "echo");
  EXPECT_EQ(echo.endpoint, "http://127.0.0.1:8000/services/Svc");
  EXPECT_EQ(echo.soapAction, "urn:t:Svc#echo");
  EXPECT_EQ(echo.rpc, GetParam() != WsdlStyle::kDocumentWrapped);
  EXPECT_EQ(echo.encoded, GetParam() == WsdlStyle::kRpcEncoded);
  EXPECT_TRUE(echo.wrapped);
  EXPECT_EQ(echo.wrapperName, "echo");
  EXPECT_EQ(echo.wrapperNs, "urn:t:Svc");
  ASSERT_EQ(echo.inputs.size(), 2u);
  EXPECT_EQ(echo.inputs[0].name, "arg0");
  EXPECT_EQ(echo.inputs[0].type, XsdType::kString);
  EXPECT_EQ(echo.inputs[1].type, XsdType::kInt);
  EXPECT_TRUE(echo.inputs[0].ns.empty()) << "children are unqualified";
  EXPECT_TRUE(echo.hasOutput);
  EXPECT_EQ(echo.outputName, "return");

  const WsdlOperation& count = m->operations[1];
  ASSERT_EQ(count.inputs.size(), 3u);
  EXPECT_EQ(count.inputs[0].type, XsdType::kLong);
  EXPECT_EQ(count.inputs[1].type, XsdType::kBoolean);
  EXPECT_EQ(count.inputs[2].type, XsdType::kDateTime);
  EXPECT_EQ(count.outputType, XsdType::kInt);

  EXPECT_FALSE(m->operations[2].hasOutput);
  EXPECT_TRUE(m->operations[2].inputs.empty());
}

TEST_P(WsdlStyles, ImportFromTheSameServerIsFollowed) {
  const std::string url = "http://h:1/a/Svc.wsdl";
  MapFetcher f;
  f.docs[url] = qelsoap_testing::makeWsdl(GetParam(), "Svc", "urn:t", "/services/Svc", kOps,
                                          "parts/Types.wsdl");
  f.docs["http://h:1/a/parts/Types.wsdl"] =
      qelsoap_testing::makeWsdlImportPart(GetParam(), "urn:t", kOps);
  auto m = parseWsdl(url, std::ref(f));
  ASSERT_EQ(m->operations.size(), 3u);
  EXPECT_EQ(m->operations[1].inputs.size(), 3u);
  EXPECT_EQ(m->operations[0].endpoint, "http://h:1/services/Svc") << "relative address resolved";
}

INSTANTIATE_TEST_SUITE_P(All, WsdlStyles,
                         ::testing::Values(WsdlStyle::kDocumentWrapped, WsdlStyle::kRpcLiteral,
                                           WsdlStyle::kRpcEncoded),
                         [](const auto& info) { return qelsoap_testing::styleName(info.param); });

TEST(Wsdl, ImportFromAnotherServerIsRefusedWithoutFetching) {
  MapFetcher f;
  f.docs["http://h:1/S.wsdl"] = qelsoap_testing::makeWsdl(
      WsdlStyle::kRpcLiteral, "S", "urn:t", "http://h:1/s", kOps, "http://evil:1/T.wsdl");
  f.docs["http://evil:1/T.wsdl"] = qelsoap_testing::makeWsdlImportPart(WsdlStyle::kRpcLiteral,
                                                                       "urn:t", kOps);
  try {
    parseWsdl("http://h:1/S.wsdl", std::ref(f));
    FAIL() << "expected a refusal";
  } catch (const SoapError& e) {
    EXPECT_EQ(e.kind(), SoapError::Kind::kWsdl);
    EXPECT_NE(std::string(e.what()).find("another server"), std::string::npos) << e.what();
  }
  EXPECT_EQ(f.fetched, std::vector<std::string>{"http://h:1/S.wsdl"});
}

TEST(Wsdl, BrokenDocumentsFailWithAReason) {
  struct Case { const char* doc; const char* expect; } cases[] = {
      {"<not xml", "Invalid WSDL"},
      {"<a/>", "Not a WSDL"},
      {"<wsdl:definitions xmlns:wsdl=\"http://schemas.xmlsoap.org/wsdl/\"/>", "no SOAP 1.1 port"},
  };
  for (const auto& c : cases) {
    MapFetcher f;
    f.docs["http://h/x"] = c.doc;
    try {
      parseWsdl("http://h/x", std::ref(f));
      ADD_FAILURE() << c.doc;
    } catch (const SoapError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expect), std::string::npos) << e.what();
    }
  }
}

TEST(Wsdl, QualifiedChildrenAndNamedComplexTypes) {
  const char* doc = R"(<definitions xmlns="http://schemas.xmlsoap.org/wsdl/"
      xmlns:s="http://schemas.xmlsoap.org/wsdl/soap/" xmlns:x="http://www.w3.org/2001/XMLSchema"
      xmlns:t="urn:q" targetNamespace="urn:q">
    <types><x:schema targetNamespace="urn:q" elementFormDefault="qualified">
      <x:complexType name="OpType"><x:sequence><x:element name="id" type="x:long"/></x:sequence></x:complexType>
      <x:element name="op" type="t:OpType"/>
      <x:element name="opResponse"><x:complexType><x:sequence><x:element name="opResult" type="x:int"/></x:sequence></x:complexType></x:element>
    </x:schema></types>
    <message name="in"><part name="p" element="t:op"/></message>
    <message name="out"><part name="p" element="t:opResponse"/></message>
    <portType name="P"><operation name="op"><input message="t:in"/><output message="t:out"/></operation></portType>
    <binding name="B" type="t:P"><s:binding style="document" transport="http://schemas.xmlsoap.org/soap/http"/>
      <operation name="op"><s:operation soapAction=""/><input><s:body use="literal"/></input><output><s:body use="literal"/></output></operation></binding>
    <service name="S"><port name="SP" binding="t:B"><s:address location="https://h/svc"/></port></service>
  </definitions>)";
  MapFetcher f;
  f.docs["https://h/x.wsdl"] = doc;
  auto m = parseWsdl("https://h/x.wsdl", std::ref(f));
  ASSERT_EQ(m->operations.size(), 1u);
  const auto& op = m->operations[0];
  ASSERT_EQ(op.inputs.size(), 1u);
  EXPECT_EQ(op.inputs[0].ns, "urn:q");
  EXPECT_EQ(op.inputs[0].type, XsdType::kLong);
  EXPECT_EQ(op.outputName, "opResult");
  EXPECT_EQ(op.outputType, XsdType::kInt);
  EXPECT_EQ(op.endpoint, "https://h/svc");
}

TEST(Wsdl, ResolveUrlAndOrigin) {
  struct Case { const char* base; const char* ref; const char* expect; } cases[] = {
      {"http://h:1/a/b/c.wsdl", "d.wsdl", "http://h:1/a/b/d.wsdl"},
      {"http://h:1/a/b/c.wsdl", "../d.wsdl", "http://h:1/a/d.wsdl"},
      {"http://h:1/a/b/c.wsdl", "./x/d.wsdl", "http://h:1/a/b/x/d.wsdl"},
      {"http://h:1/a/b/c.wsdl", "/root.wsdl", "http://h:1/root.wsdl"},
      {"http://h:1/a/b/c.wsdl", "http://o/x", "http://o/x"},
      {"http://h:1", "x", "http://h:1/x"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolveUrl(c.base, c.ref), c.expect) << c.base << " + " << c.ref;
  EXPECT_EQ(urlOrigin("HTTP://Host/x"), "http://host:80");
  EXPECT_EQ(urlOrigin("https://u:p@host/x"), "https://host:443");
  EXPECT_EQ(urlOrigin("http://[::1]:8080/x"), "http://[::1]:8080");
  EXPECT_EQ(urlOrigin("file:///etc/passwd"), "") << "only http and https";
  EXPECT_EQ(urlOrigin("no-scheme"), "");
}

}  // namespace
}  // namespace qelsoap
