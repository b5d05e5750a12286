#pragma once
// Message catalog parsing and language selection, free of any process state
// (the environment and file lookup live in qel_resource.cc).

#include <istream>
#include <map>
#include <string>
#include <vector>

namespace qel::resource {

struct Catalog {
  std::map<unsigned int, std::string> texts;
  // One entry per rejected line: "line <n>: <reason>". Rejected lines are
  // skipped; a duplicate id keeps its first text.
  std::vector<std::string> errors;
};

// Parses the catalog format of catalogs/README.md. Never fails as a whole.
Catalog parseCatalog(std::istream& in);

// The primary language code of a setting such as "de", "de_DE.UTF-8",
// "de-AT" or "EN": lower-case letters before the first '_', '-', '.' or '@'.
// "" for a null or empty setting, "C", "POSIX" or anything not made of 2 or 3
// letters.
std::string languageCode(const char* setting);

// The language a process asks for: QELLANG when it gives a code, else the
// first set (non-empty) of LC_ALL, LC_MESSAGES, LANG; "" when none gives one.
// Pointers may be null (unset).
std::string requestedLanguage(const char* qellang, const char* lcAll, const char* lcMessages,
                              const char* lang);

}  // namespace qel::resource
