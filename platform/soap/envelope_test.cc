#include "envelope.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>

#include "soap_error.h"
#include "testing/test_wsdl.h"

namespace qelsoap {
namespace {

WsdlOperation echoOp(bool rpc, bool encoded) {
  WsdlOperation op;
  op.name = "echo";
  op.rpc = rpc;
  op.encoded = encoded;
  op.wrapperName = "echo";
  op.wrapperNs = "urn:t";
  op.inputs = {{"arg0", "", XsdType::kString}, {"arg1", "", XsdType::kInt}};
  op.hasOutput = true;
  op.outputName = "return";
  return op;
}

TEST(Envelope, RequestCarriesHeaderWrapperArgumentsAndNil) {
  for (bool encoded : {false, true}) {
    std::string xml = buildEnvelope(echoOp(encoded, encoded), {std::nullopt, std::string("7")},
                                    "<h:S xmlns:h=\"urn:h\">key</h:S>");
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str())) << xml;
    pugi::xml_node env = doc.child("soap:Envelope");
    EXPECT_STREQ(env.child("soap:Header").child("h:S").text().get(), "key");
    pugi::xml_node w = env.child("soap:Body").child("m:echo");
    ASSERT_TRUE(w) << xml;
    EXPECT_STREQ(w.attribute("xmlns:m").value(), "urn:t");
    EXPECT_STREQ(w.child("arg0").attribute("xsi:nil").value(), "true");
    EXPECT_STREQ(w.child("arg1").text().get(), "7");
    EXPECT_EQ(std::string(w.child("arg1").attribute("xsi:type").value()),
              encoded ? "xsd:int" : "") << xml;
    EXPECT_EQ(!w.attribute("soap:encodingStyle").empty(), encoded);
  }
}

TEST(Envelope, NoHeaderElementWithoutHeaderText) {
  std::string xml = buildEnvelope(echoOp(false, false), {std::string("a"), std::string("1")}, "");
  EXPECT_EQ(xml.find("Header"), std::string::npos);
}

TEST(Envelope, TextSurvivesEscapingIncludingCarriageReturns) {
  const std::string text = "a<b>&\"c' \r\n\t\x01 Grüße 東京";
  std::string xml = buildEnvelope(echoOp(false, false), {text, std::string("1")}, "");
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(xml.c_str()));
  EXPECT_EQ(std::string(doc.first_element_by_path("soap:Envelope/soap:Body/m:echo/arg0")
                            .text()
                            .get()),
            text);
}

TEST(Envelope, FaultTextTable) {
  struct Case { const char* why; std::string body; std::string expect; } cases[] = {
      {"1.1 with Description detail",
       qelsoap_testing::makeFault11("bad id", "<Description>No such id 5</Description>"),
       "bad id\n<Description>No such id 5</Description>"},
      {"1.1 nested and qualified detail keeps the Description markup",
       qelsoap_testing::makeFault11("r", "<e:Err xmlns:e=\"urn:e\"><e:Description>x &amp; y</e:Description></e:Err>"),
       "r\n<Err><Description>x & y</Description></Err>"},
      {"1.1 without detail", qelsoap_testing::makeFault11("only reason", ""), "only reason"},
      {"1.2 Reason/Text", qelsoap_testing::makeFault12("why 1.2", "<Description>d</Description>"),
       "why 1.2\n<Description>d</Description>"},
      {"empty fault", qelsoap_testing::makeFault11("", ""), "SOAP fault without a reason"},
  };
  for (const auto& c : cases) {
    SoapAnswer a = parseAnswer(echoOp(false, false), c.body, "text/html");
    EXPECT_TRUE(a.fault) << c.why;
    EXPECT_EQ(a.faultText, c.expect) << c.why;
  }
}

TEST(Envelope, ResultMatchedByLocalName) {
  struct Case { const char* why; const char* body; bool present; bool nil; const char* result; } cases[] = {
      {"unqualified", "<e:Envelope xmlns:e=\"x\"><e:Body><r:echoResponse xmlns:r=\"u\"><return>v</return></r:echoResponse></e:Body></e:Envelope>", true, false, "v"},
      {"qualified", "<Envelope><Body><echoResponse><q:return xmlns:q=\"u\">v2</q:return></echoResponse></Body></Envelope>", true, false, "v2"},
      {"rpc free part name", "<Envelope><Body><echoResponse><result>v3</result></echoResponse></Body></Envelope>", true, false, "v3"},
      {"nil", "<Envelope><Body><echoResponse><return xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\" i:nil=\"true\"/></echoResponse></Body></Envelope>", true, true, ""},
      {"missing", "<Envelope><Body><echoResponse/></Body></Envelope>", false, false, ""},
      {"bare element", "<Envelope><Body><return>b</return></Body></Envelope>", true, false, "b"},
  };
  for (const auto& c : cases) {
    SoapAnswer a = parseAnswer(echoOp(false, false), c.body, "");
    EXPECT_FALSE(a.fault) << c.why;
    EXPECT_EQ(a.present, c.present) << c.why;
    EXPECT_EQ(a.nil, c.nil) << c.why;
    EXPECT_EQ(a.result, c.result) << c.why;
  }
}

TEST(Envelope, CharsetOfTheAnswerIsHonoured) {
  // "Grüße" in ISO-8859-1.
  std::string latin = "<Envelope><Body><echoResponse><return>Gr\xFC\xDF" "e</return></echoResponse></Body></Envelope>";
  EXPECT_EQ(parseAnswer(echoOp(false, false), latin, "text/xml; charset=ISO-8859-1").result,
            "Grüße");
  std::string declared = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>" + latin;
  EXPECT_EQ(parseAnswer(echoOp(false, false), declared, "text/xml").result, "Grüße");
  EXPECT_EQ(parseAnswer(echoOp(false, false), "<Envelope><Body><echoResponse><return>Grüße</return></echoResponse></Body></Envelope>",
                        "text/xml;charset=\"utf-8\"").result, "Grüße");
  EXPECT_THROW(parseAnswer(echoOp(false, false), latin, "text/xml; charset=no-such-set"), SoapError);
}

TEST(Envelope, NonEnvelopeAnswersThrow) {
  for (const char* body : {"", "<html>oops</html>", "not xml", "<Envelope/>"}) {
    try {
      parseAnswer(echoOp(false, false), body, "text/html");
      ADD_FAILURE() << body;
    } catch (const SoapError& e) {
      EXPECT_EQ(e.kind(), SoapError::Kind::kBadAnswer) << body;
    }
  }
}

TEST(Envelope, OleDateTable) {
  struct Case { double date; const char* expect; const char* why; } cases[] = {
      {0.0, "1899-12-30T00:00:00", "the epoch"},
      {2.5, "1900-01-01T12:00:00", "noon"},
      {-1.25, "1899-12-29T06:00:00", "negative dates keep the fraction as time of day"},
      {36526.0, "2000-01-01T00:00:00", "Y2K"},
      {45658.75, "2025-01-01T18:00:00", ""},
      {43890.0, "2020-02-29T00:00:00", "leap day"},
      {1.99999999, "1900-01-01T00:00:00", "rounding to midnight carries into the next day"},
      {2958465.0, "9999-12-31T00:00:00", "last valid day"},
  };
  for (const auto& c : cases) {
    std::string out;
    ASSERT_TRUE(oleDateToXsd(c.date, &out)) << c.date;
    EXPECT_EQ(out, c.expect) << c.date << " " << c.why;
  }
  std::string out;
  EXPECT_FALSE(oleDateToXsd(std::nan(""), &out));
  EXPECT_FALSE(oleDateToXsd(3e6, &out));
  EXPECT_FALSE(oleDateToXsd(-7e5, &out));
}

}  // namespace
}  // namespace qelsoap
