#include "internal/catalog.h"

#include <cctype>
#include <cstring>

namespace qel::resource {
namespace {

bool unescape(const std::string& raw, std::string& out, std::string& why) {
  out.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      out.push_back(raw[i]);
      continue;
    }
    if (++i == raw.size()) {
      why = "backslash at end of line";
      return false;
    }
    switch (raw[i]) {
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 's': out.push_back(' '); break;
      case '\\': out.push_back('\\'); break;
      default:
        why = std::string("unknown escape \\") + raw[i];
        return false;
    }
  }
  return true;
}

}  // namespace

Catalog parseCatalog(std::istream& in) {
  Catalog catalog;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab > 10) {
      catalog.errors.push_back(where + "expected <id><TAB><text>");
      continue;
    }
    unsigned long id = 0;
    bool digits = true;
    for (size_t i = 0; i < tab; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(line[i]))) digits = false;
      else id = id * 10 + static_cast<unsigned long>(line[i] - '0');
    }
    if (!digits) {
      catalog.errors.push_back(where + "id is not a number");
      continue;
    }
    if (id > 0xFFFFFFFFul) {
      catalog.errors.push_back(where + "id out of range");
      continue;
    }
    std::string text, why;
    if (!unescape(line.substr(tab + 1), text, why)) {
      catalog.errors.push_back(where + why);
      continue;
    }
    if (text.empty()) {
      catalog.errors.push_back(where + "empty text");
      continue;
    }
    if (!catalog.texts.emplace(static_cast<unsigned int>(id), std::move(text)).second) {
      catalog.errors.push_back(where + "duplicate id " + std::to_string(id));
    }
  }
  return catalog;
}

std::string languageCode(const char* setting) {
  if (setting == nullptr) return "";
  std::string code;
  for (const char* p = setting; *p != '\0' && std::strchr("_-.@", *p) == nullptr; ++p) {
    if (!std::isalpha(static_cast<unsigned char>(*p))) return "";
    code.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
  }
  if (code.size() < 2 || code.size() > 3) return "";  // also drops "C"
  return code;
}

std::string requestedLanguage(const char* qellang, const char* lcAll, const char* lcMessages,
                              const char* lang) {
  if (qellang != nullptr && *qellang != '\0') return languageCode(qellang);
  for (const char* setting : {lcAll, lcMessages, lang}) {
    if (setting != nullptr && *setting != '\0') return languageCode(setting);
  }
  return "";
}

}  // namespace qel::resource
