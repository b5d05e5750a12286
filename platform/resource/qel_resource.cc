#include "QELResource.h"

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "internal/catalog.h"

namespace {

using qel::resource::Catalog;

// Folder of the shipped catalogs: "qelresource" beside this library, found
// from the library's own address so that no setting is needed.
const std::string& libraryCatalogDir() {
  static const std::string* dir = [] {
    Dl_info info{};
    std::string path;
    if (dladdr(reinterpret_cast<void*>(&libraryCatalogDir), &info) != 0 &&
        info.dli_fname != nullptr) {
      path = info.dli_fname;
    }
    size_t slash = path.rfind('/');
    std::string libDir = slash == std::string::npos ? "." : path.substr(0, slash);
    return new std::string(libDir + "/qelresource");
  }();
  return *dir;
}

std::string catalogDir() {
  const char* overrideDir = std::getenv("QELRESOURCEDIR");
  if (overrideDir != nullptr && *overrideDir != '\0') return overrideDir;
  return libraryCatalogDir();
}

// Loaded catalogs by file path; a missing file is remembered as null.
// Never destroyed: texts may be asked for from static destructors.
struct Cache {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const Catalog>> byPath;
};

Cache& cache() {
  static Cache* c = new Cache;
  return *c;
}

std::shared_ptr<const Catalog> catalogFor(const std::string& dir, const std::string& lang) {
  const std::string path = dir + "/" + lang + ".txt";
  Cache& c = cache();
  std::lock_guard<std::mutex> lock(c.mutex);
  auto it = c.byPath.find(path);
  if (it != c.byPath.end()) return it->second;
  std::shared_ptr<const Catalog> loaded;
  std::ifstream in(path);
  if (in) loaded = std::make_shared<const Catalog>(qel::resource::parseCatalog(in));
  c.byPath.emplace(path, loaded);
  return loaded;
}

struct Selection {
  std::string lang;
  std::shared_ptr<const Catalog> catalog;   // of `lang`, may be null
  std::shared_ptr<const Catalog> fallback;  // English, may be null
};

Selection select() {
  Selection s;
  const std::string dir = catalogDir();
  const std::string wanted = qel::resource::requestedLanguage(
      std::getenv("QELLANG"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
      std::getenv("LANG"));
  s.fallback = catalogFor(dir, "en");
  if (!wanted.empty() && wanted != "en") s.catalog = catalogFor(dir, wanted);
  if (s.catalog) {
    s.lang = wanted;
  } else {
    s.lang = "en";
    s.catalog = s.fallback;
  }
  return s;
}

}  // namespace

CString QELLoadString(unsigned int id) {
  try {
    const Selection s = select();
    for (const auto& catalog : {s.catalog, s.fallback}) {
      if (!catalog) continue;
      auto it = catalog->texts.find(id);
      if (it != catalog->texts.end()) return CString(it->second);
    }
    return CString("[missing text " + std::to_string(id) + "]");
  } catch (...) {
    return CString();
  }
}

CString QELGetLang() {
  try {
    return CString(select().lang);
  } catch (...) {
    return CString();
  }
}
