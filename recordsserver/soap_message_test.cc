#include "soap_message.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace hollin {
namespace {

std::string envelope(const std::string& inner, const std::string& header = "") {
  return "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">" +
         header + "<e:Body>" + inner + "</e:Body></e:Envelope>";
}

std::string faultOf(const std::string& controller, const std::string& body) {
  try {
    parseSoapRequest(controller, body);
  } catch (const SoapFault& f) {
    return f.what();
  }
  return "";
}

TEST(SoapMessage, ReadsArgumentsHeaderAndNil) {
  SoapRequest r = parseSoapRequest(
      "ConfigurationController",
      envelope("<setEngineConfigValue xmlns=\"urn:halvor:gre:facade:ConfigurationController\">"
               "<arg0 xmlns=\"\">K&amp;1</arg0><arg1 xmlns=\"\"> 7 </arg1><arg2 xmlns=\"\" xsi:nil=\"true\"/>"
               "</setEngineConfigValue>",
               "<e:Header><x:SessionHandle xmlns:x=\"urn:halvor:gre:session\">abc</x:SessionHandle></e:Header>"));
  ASSERT_NE(r.operation, nullptr);
  EXPECT_STREQ(r.operation->name, "setEngineConfigValue");
  EXPECT_TRUE(r.hasSessionHandle);
  EXPECT_EQ(r.sessionHandle, "abc");
  EXPECT_EQ(r.args, (std::vector<std::string>{"K&1", "7", ""}));
}

TEST(SoapMessage, RefusesBadRequestsWithAReason) {
  const std::string ns = "xmlns:m=\"urn:halvor:gre:facade:ConfigurationController\"";
  struct Row {
    std::string body, expected;
  } rows[] = {
      {"<e:Envelope", "malformed XML in request: "},
      {"<Envelope/>", "request is not a SOAP 1.1 Envelope"},
      {"<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"/>", "request has no SOAP Body"},
      {envelope(""), "request Body holds no operation element"},
      {envelope("<m:nope " + ns + "/>"), "unknown operation nope for ConfigurationController"},
      {envelope("<m:getHostByID xmlns:m=\"urn:other\"><arg0>1</arg0></m:getHostByID>"),
       "operation element getHostByID is not in namespace urn:halvor:gre:facade:ConfigurationController"},
      {envelope("<m:getHostByID " + ns + "/>"), "missing argument arg0 of getHostByID"},
      {envelope("<m:getHostByID " + ns + "><arg0>1x</arg0></m:getHostByID>"),
       "argument arg0 of getHostByID is not a valid xsd:long: \"1x\""},
      {envelope("<m:getEngineConfigValue " + ns + "><arg0>k</arg0><arg1>4294967296</arg1></m:getEngineConfigValue>"),
       "argument arg1 of getEngineConfigValue is not a valid xsd:int: \"4294967296\""},
  };
  for (const Row& r : rows) {
    std::string got = faultOf("ConfigurationController", r.body);
    EXPECT_EQ(got.substr(0, r.expected.size()), r.expected) << r.body << "\n got: " << got;
    EXPECT_FALSE(got.empty());
  }
}

TEST(SoapMessage, NoEntityExpansion) {
  std::string body =
      "<!DOCTYPE e:Envelope [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
      envelope("<m:getEngineConfigValue xmlns:m=\"urn:halvor:gre:facade:ConfigurationController\">"
               "<arg0>&x;</arg0><arg1>0</arg1></m:getEngineConfigValue>");
  std::string fault = faultOf("ConfigurationController", body);
  if (fault.empty()) {
    SoapRequest r = parseSoapRequest("ConfigurationController", body);
    EXPECT_EQ(r.args[0].find("root"), std::string::npos);
  }
}

TEST(SoapMessage, WireDateTime) {
  struct Row {
    const char* text;
    bool ok;
  } rows[] = {
      {"2026-12-11T10:20:30", true},     {"2026-12-11T10:20:30.125", true},
      {"2026-12-11T10:20:30Z", true},    {"2026-12-11T10:20:30+01:00", true},
      {"2026-12-11 10:20:30", false},    {"2026-13-11T10:20:30", false},
      {"2026-12-11T24:00:00", false},    {"2026-12-11", false},
      {"2026-12-11T10:20:30.", false},   {"2026-12-11T10:20:30+0100", false},
  };
  for (const Row& r : rows) EXPECT_EQ(isWireDateTime(r.text), r.ok) << r.text;
}

TEST(SoapMessage, FaultCarriesReasonInDescription) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(buildSoapFault("bad <thing> & more", true).c_str()));
  pugi::xml_node fault = doc.document_element().child("soap:Body").child("soap:Fault");
  EXPECT_STREQ(fault.child_value("faultcode"), "soap:Client");
  EXPECT_STREQ(fault.child_value("faultstring"), "bad <thing> & more");
  EXPECT_STREQ(fault.child("detail").child_value("Description"), "bad <thing> & more");
  ASSERT_TRUE(doc.load_string(buildSoapFault("x", false).c_str()));
  EXPECT_STREQ(doc.document_element().child("soap:Body").child("soap:Fault").child_value("faultcode"),
               "soap:Server");
}

}  // namespace
}  // namespace hollin
