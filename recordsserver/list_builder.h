#pragma once
// Builds the server's answers: a <List> document of <Item> entries. Every
// value is escaped by pugixml.
#include <cstdint>
#include <sstream>
#include <string>

#include <pugixml.hpp>

namespace hollin {

class ListBuilder {
 public:
  ListBuilder() : list_(doc_.append_child("List")) {}

  pugi::xml_node list() { return list_; }
  pugi::xml_node item() { return list_.append_child("Item"); }
  // An item whose FlPlnCmpntAttrDefColNm names a column and whose text is its value.
  pugi::xml_node column(const std::string& name, const std::string& value) {
    pugi::xml_node n = item();
    n.append_attribute("FlPlnCmpntAttrDefColNm") = name.c_str();
    n.text().set(value.c_str());
    return n;
  }
  std::string str() const {
    std::ostringstream out;
    doc_.save(out, "", pugi::format_raw | pugi::format_no_declaration);
    return out.str();
  }

 private:
  pugi::xml_document doc_;
  pugi::xml_node list_;
};

inline void setAttr(pugi::xml_node n, const char* name, const std::string& v) {
  n.append_attribute(name) = v.c_str();
}
inline void setAttr(pugi::xml_node n, const char* name, int64_t v) {
  n.append_attribute(name) = std::to_string(v).c_str();
}

}  // namespace hollin
