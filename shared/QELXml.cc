#include "QELXml.h"

#include <sstream>

#include "TaVNtrace.h"

namespace {

constexpr const char* kModule = "QELXml";
constexpr const char* kFunction = "loadXMLstring";

// Default options keep elements, attributes, text and CDATA and drop the
// declaration, PIs, comments and the DOCTYPE. Parsing as a fragment makes
// stray top-level text visible so that it can be refused below; pugixml would
// otherwise drop it and also accept several top-level elements.
constexpr unsigned int kParseOptions = pugi::parse_default | pugi::parse_fragment;

bool hasSingleDocumentElement(const pugi::xml_document& doc) {
  int elements = 0;
  for (pugi::xml_node child : doc.children()) {
    if (child.type() == pugi::node_element) {
      ++elements;
    } else {
      return false;  // top-level text
    }
  }
  return elements == 1;
}

void collectText(const pugi::xml_node& node, std::string& out) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
      out += child.value();
    } else if (child.type() == pugi::node_element) {
      collectText(child, out);
    }
  }
}

}  // namespace

bool loadXMLstring(IXMLDOMDocument2Ptr& document, const _bstr_t& xml) {
  try {
    document = std::make_unique<pugi::xml_document>();
    const std::string utf8 = xml.str();
    pugi::xml_parse_result result =
        document->load_buffer(utf8.data(), utf8.size(), kParseOptions, pugi::encoding_utf8);
    if (!result || !hasSingleDocumentElement(*document)) {
      document->reset();
      TaVNOutputTrace(1, kModule, kFunction, "exception = %s",
                      "Unable to load XML to IXMLDOMDocument object");
      return false;
    }
    TaVNOutputTrace(3, kModule, kFunction, "loadXML successful");
    return true;
  } catch (...) {
    if (document) document->reset();
    TaVNOutputTrace(1, kModule, kFunction, "unknown error");
    return false;
  }
}

std::string nodeXml(const pugi::xml_node& node) {
  if (!node) return "";
  std::ostringstream out;
  node.print(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

std::string nodeText(const pugi::xml_node& node) {
  std::string out;
  if (node) collectText(node, out);
  return out;
}

bool setNodeText(pugi::xml_node node, const std::string& text) {
  if (!node || node.type() != pugi::node_element) return false;
  while (node.first_child()) node.remove_child(node.first_child());
  if (!text.empty()) node.append_child(pugi::node_pcdata).set_value(text.c_str());
  return true;
}
