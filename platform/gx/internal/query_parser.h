#pragma once
// Parser of the query subset (language 7):
//   /Type[@attr="value"]  /Type[@attr LIKE "pattern"]  /*[...]  /Type[...]/Child
#include <string>

namespace gx_internal {

struct ParsedQuery {
  bool anyType = false;  // "/*"
  std::string type;
  std::string attr;
  bool like = false;     // LIKE rather than =
  std::string value;
  std::string child;     // empty: the items themselves
};

// Throws GxException 10 with the position and what was expected.
ParsedQuery parseQuery(const std::string& text);

}  // namespace gx_internal
