#include "QELXml.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TaVNtraceCapture.h"

namespace {

using ::testing::ElementsAre;

const TraceLine kLoaded{3, "QELXml", "loadXMLstring", "loadXML successful"};
const TraceLine kNotLoaded{1, "QELXml", "loadXMLstring",
                           "exception = Unable to load XML to IXMLDOMDocument object"};

std::vector<std::string> elementNames(const pugi::xml_node& parent) {
  std::vector<std::string> out;
  for (pugi::xml_node child : parent.children()) out.push_back(child.name());
  return out;
}

size_t childCount(const pugi::xml_node& node) {
  return static_cast<size_t>(std::distance(node.children().begin(), node.children().end()));
}

TEST(LoadXmlString, RootOnlyDocumentHasOneChild) {
  TraceCapture cap;
  IXMLDOMDocument2Ptr doc;
  ASSERT_TRUE(loadXMLstring(doc, _bstr_t("<List/>")));
  ASSERT_NE(nullptr, doc);
  EXPECT_EQ(1u, childCount(*doc));
  EXPECT_STREQ("List", doc->last_child().name());
  EXPECT_EQ(0u, childCount(doc->last_child()));
  EXPECT_THAT(cap.lines(), ElementsAre(kLoaded));
}

TEST(LoadXmlString, EntriesAreChildrenOfTheDocumentElementWithReadableAttributes) {
  // The shape of a records-server answer and of a cross-reference document.
  const char* xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!-- answer -->\n"
      "<List>\n"
      "  <Item FlPlnCmpntID=\"7\" FlPlnViewID=\"12\"/>\n"
      "  <Item FlPlnCmpntID=\"8\" FlPlnViewID=\"12\"/>\n"
      "  <Entry FlPlnCmpntAttrDefColNm=\"XtRecID\">old &amp; &lt;value&gt;</Entry>\n"
      "</List>\n";
  IXMLDOMDocument2Ptr doc;
  ASSERT_TRUE(loadXMLstring(doc, _bstr_t(xml)));
  // Declaration and comment are not nodes: first and last child agree.
  ASSERT_EQ(1u, childCount(*doc));
  pugi::xml_node list = doc->last_child();
  EXPECT_EQ(list, doc->first_child());
  EXPECT_THAT(elementNames(list), ElementsAre("Item", "Item", "Entry"))
      << "whitespace between entries is not a node";
  pugi::xml_node first = list.first_child();
  EXPECT_STREQ("7", first.attribute("FlPlnCmpntID").value());
  EXPECT_EQ(12, first.attribute("FlPlnViewID").as_int());
  EXPECT_FALSE(first.attribute("JNDIName")) << "a missing attribute is distinguishable";
  EXPECT_EQ("old & <value>", nodeText(list.last_child()));
}

TEST(LoadXmlString, MalformedTextFailsWithTheExactTraceLine) {
  const struct {
    const char* why;
    _bstr_t xml;
  } rows[] = {
      {"no string at all", _bstr_t()},
      {"empty text", _bstr_t("")},
      {"only blanks", _bstr_t("  \n ")},
      {"unclosed start tag", _bstr_t("<List")},
      {"mismatched end tag", _bstr_t("<List></Lsit>")},
      {"unquoted attribute", _bstr_t("<List><Item a=1/></List>")},
      {"two document elements", _bstr_t("<List/><List/>")},
      {"text before the element", _bstr_t("junk<List/>")},
      {"text after the element", _bstr_t("<List/>junk")},
      {"only a comment", _bstr_t("<!-- x -->")},
      {"plain text", _bstr_t("HLNinterfaces has not been logged in")},
  };
  for (const auto& row : rows) {
    TraceCapture cap;
    IXMLDOMDocument2Ptr doc;
    EXPECT_FALSE(loadXMLstring(doc, row.xml)) << row.why;
    EXPECT_THAT(cap.lines(), ElementsAre(kNotLoaded)) << row.why;
    ASSERT_NE(nullptr, doc) << row.why;
    EXPECT_EQ(0u, childCount(*doc)) << row.why << ": a failed load leaves an empty document";
  }
}

TEST(LoadXmlString, ReplacesThePreviousDocument) {
  IXMLDOMDocument2Ptr doc;
  ASSERT_TRUE(loadXMLstring(doc, _bstr_t("<A><x/></A>")));
  ASSERT_TRUE(loadXMLstring(doc, _bstr_t("<B/>")));
  EXPECT_STREQ("B", doc->last_child().name());
  EXPECT_EQ(1u, childCount(*doc));
  EXPECT_FALSE(loadXMLstring(doc, _bstr_t("<C>")));
  EXPECT_EQ(0u, childCount(*doc)) << "nothing of B survives a failed load";
}

TEST(LoadXmlString, NonAsciiTextRoundTrips) {
  // U+00E4, U+00DF, U+20AC and U+1F600 (a surrogate pair in UTF-16).
  const std::u16string wide =
      u"<List><Item name=\"Gr\u00e4\u00dfe \u20ac\"><![CDATA[<raw>]]>\U0001F600</Item></List>";
  IXMLDOMDocument2Ptr doc;
  ASSERT_TRUE(loadXMLstring(doc, _bstr_t(wide)));
  pugi::xml_node item = doc->last_child().first_child();
  EXPECT_STREQ("Gr\xc3\xa4\xc3\x9f" "e \xe2\x82\xac", item.attribute("name").value());
  EXPECT_EQ("<raw>\xf0\x9f\x98\x80", nodeText(item));
  // And back through the serializer into a COM string.
  EXPECT_EQ(wide, _bstr_t(nodeXml(*doc)).u16str());
}

TEST(LoadXmlString, ByteOrderMarkIsAccepted) {
  IXMLDOMDocument2Ptr doc;
  EXPECT_TRUE(loadXMLstring(doc, _bstr_t(u"\uFEFF<List/>")));
  EXPECT_STREQ("List", doc->last_child().name());
}

TEST(LoadXmlString, NeverReadsExternalEntities) {
  std::string templ = (std::filesystem::temp_directory_path() / "qelxml.XXXXXX").string();
  ASSERT_NE(nullptr, mkdtemp(templ.data()));
  const std::filesystem::path dir = templ;
  const std::filesystem::path secret = dir / "secret.txt";
  std::ofstream(secret) << "TOPSECRET";
  const std::string xml = "<!DOCTYPE List [<!ENTITY ext SYSTEM \"file://" + secret.string() +
                          "\"><!ENTITY int \"INTERNAL\">]><List><Item>&ext;|&int;</Item></List>";
  IXMLDOMDocument2Ptr doc;
  const bool loaded = loadXMLstring(doc, _bstr_t(xml));
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(loaded) << "the DOCTYPE is skipped, not an error";
  EXPECT_EQ(1u, childCount(*doc)) << "the DOCTYPE is not a node";
  const std::string all = nodeXml(*doc);
  EXPECT_EQ(std::string::npos, all.find("TOPSECRET")) << all;
  EXPECT_EQ(std::string::npos, all.find("INTERNAL")) << all;
  EXPECT_EQ("&ext;|&int;", nodeText(doc->last_child().first_child()));
}

TEST(NodeHelpers, TextAndXmlOfNodes) {
  IXMLDOMDocument2Ptr doc;
  ASSERT_TRUE(loadXMLstring(doc, _bstr_t("<L><E c=\"XtRecID\">a<b>b</b>c</E><E c=\"RecHsID\"/></L>")));
  pugi::xml_node list = doc->last_child();
  EXPECT_EQ("abc", nodeText(list.first_child())) << "texts of all descendants";
  EXPECT_EQ("", nodeText(list.last_child()));
  EXPECT_EQ("", nodeText(pugi::xml_node()));
  EXPECT_EQ("", nodeXml(pugi::xml_node()));
  EXPECT_EQ("<E c=\"RecHsID\"/>", nodeXml(list.last_child()));

  // Filling in the record key and host id the way the attribute document is completed.
  EXPECT_TRUE(setNodeText(list.first_child(), "LIB::@%@::rec & <1>"));
  EXPECT_TRUE(setNodeText(list.last_child(), "42"));
  EXPECT_EQ("<L><E c=\"XtRecID\">LIB::@%@::rec &amp; &lt;1&gt;</E><E c=\"RecHsID\">42</E></L>",
            nodeXml(*doc));
  EXPECT_TRUE(setNodeText(list.first_child(), ""));
  EXPECT_EQ(0u, childCount(list.first_child()));
  EXPECT_FALSE(setNodeText(pugi::xml_node(), "x"));
  EXPECT_FALSE(setNodeText(*doc, "x")) << "the document node is not an element";

  // What nodeXml writes loads again to the same tree.
  IXMLDOMDocument2Ptr again;
  ASSERT_TRUE(loadXMLstring(again, _bstr_t(nodeXml(*doc))));
  EXPECT_EQ(nodeXml(*doc), nodeXml(*again));
}

}  // namespace
