#include "registry.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "debug_output.h"
#include "environment.h"

namespace {

struct Value {
  DWORD type = REG_SZ;
  std::string data;  // REG_SZ: the text without its NUL; REG_DWORD: 4 bytes
};

// Registry entries every installation has. The HTML help control is served
// by our own library.
struct DefaultValue {
  const char* key;
  const char* name;
  const char* text;
};
const DefaultValue kDefaults[] = {
    {"HKEY_CLASSES_ROOT\\CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", nullptr,
     "libqelhhctrl.so"},
};

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
const char* const kRootShort[] = {"HKCR", "HKCU", "HKLM", "HKU"};
constexpr uintptr_t kRootBase = 0x80000000u;
constexpr uintptr_t kFirstHandle = 0x1000;

std::string fold(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::vector<std::string> splitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

// Index of a root name (long or short form), or -1.
int rootIndex(const std::string& name) {
  std::string f = fold(name);
  for (int i = 0; i < 4; ++i) {
    if (f == fold(kRootNames[i]) || f == fold(kRootShort[i])) return i;
  }
  return -1;
}

struct Store {
  std::mutex mu;
  bool loaded = false;
  // Folded full path ("hkey_classes_root\clsid\...") -> folded value name -> value.
  std::map<std::string, std::map<std::string, Value>> keys;
  std::unordered_map<uintptr_t, std::string> handles;  // open handle -> folded full path
  uintptr_t nextHandle = kFirstHandle;

  // Canonical folded path from a full path with a root, or "" when invalid.
  static std::string canonical(const std::string& fullPath) {
    std::vector<std::string> parts = splitPath(fullPath);
    if (parts.empty()) return "";
    int root = rootIndex(parts[0]);
    if (root < 0) return "";
    std::string out = fold(kRootNames[root]);
    for (size_t i = 1; i < parts.size(); ++i) out += "\\" + fold(parts[i]);
    return out;
  }

  void createKey(const std::string& path) {
    std::string prefix;
    for (const std::string& part : splitPath(path)) {
      prefix += prefix.empty() ? part : "\\" + part;
      keys[prefix];
    }
  }

  void deleteKey(const std::string& path) {
    keys.erase(path);
    const std::string prefix = path + "\\";
    auto it = keys.lower_bound(prefix);
    while (it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0) it = keys.erase(it);
  }

  void reset() {
    keys.clear();
    for (const char* r : kRootNames) keys[fold(r)];
    for (const DefaultValue& d : kDefaults) {
      std::string path = canonical(d.key);
      createKey(path);
      keys[path][fold(d.name ? d.name : "")] = Value{REG_SZ, d.text};
    }
    loadOverlay();
    loaded = true;
  }

  void ensureLoaded() {
    if (!loaded) reset();
  }

  void loadOverlay();
  bool parseLine(const std::string& line, std::string* currentKey, std::string* error);

  // Folded full path of an open key, or "" for an invalid handle.
  std::string pathOf(HKEY key) const {
    auto v = reinterpret_cast<uintptr_t>(key);
    if (v >= kRootBase && v < kRootBase + 4) return fold(kRootNames[v - kRootBase]);
    auto it = handles.find(v);
    return it == handles.end() ? "" : it->second;
  }
};

Store& store() {
  static Store* s = new Store;  // never destroyed: handles may be closed during exit
  return *s;
}

void reportOverlay(const std::string& file, int line, const std::string& what) {
  std::string text = file + ":" + std::to_string(line) + ": " + what + "\n";
  OutputDebugStringA(text.c_str());
}

// Reads a quoted string starting at s[*pos] == '"'; advances past the closing quote.
bool readQuoted(const std::string& s, size_t* pos, std::string* out) {
  if (*pos >= s.size() || s[*pos] != '"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      *out += s[++i];
    } else if (c == '"') {
      *pos = i + 1;
      return true;
    } else {
      *out += c;
    }
  }
  return false;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool Store::parseLine(const std::string& raw, std::string* currentKey, std::string* error) {
  std::string line = trim(raw);
  if (line.empty() || line[0] == '#' || line[0] == ';') return true;
  if (line[0] == '[' || (line.find('=') == std::string::npos && line[0] != '"' && line[0] != '@')) {
    std::string inner = line;
    if (line[0] == '[') {
      if (line.back() != ']') {
        *error = "missing ']'";
        return false;
      }
      inner = trim(line.substr(1, line.size() - 2));
    }
    bool remove = !inner.empty() && inner[0] == '-';
    if (remove) inner = trim(inner.substr(1));
    std::string path = canonical(inner);
    if (path.empty()) {
      *error = "unknown root key";
      return false;
    }
    if (remove) {
      deleteKey(path);
      currentKey->clear();
    } else {
      createKey(path);
      *currentKey = path;
    }
    return true;
  }
  if (currentKey->empty()) {
    *error = "value outside a key";
    return false;
  }
  std::string name;
  size_t pos = 0;
  if (line[0] == '@') {
    pos = 1;
  } else if (!readQuoted(line, &pos, &name)) {
    *error = "bad value name";
    return false;
  }
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size() || line[pos] != '=') {
    *error = "missing '='";
    return false;
  }
  std::string rest = trim(line.substr(pos + 1));
  std::map<std::string, Value>& values = keys[*currentKey];
  if (rest == "-") {
    values.erase(fold(name));
    return true;
  }
  if (!rest.empty() && rest[0] == '"') {
    std::string text;
    size_t p = 0;
    if (!readQuoted(rest, &p, &text) || trim(rest.substr(p)) != "") {
      *error = "bad string value";
      return false;
    }
    values[fold(name)] = Value{REG_SZ, text};
    return true;
  }
  if (fold(rest.substr(0, 6)) == "dword:") {
    std::string hex = rest.substr(6);
    char* end = nullptr;
    unsigned long v = std::strtoul(hex.c_str(), &end, 16);
    if (hex.empty() || hex.size() > 8 || *end != '\0') {
      *error = "bad dword value";
      return false;
    }
    DWORD d = static_cast<DWORD>(v);
    values[fold(name)] = Value{REG_DWORD, std::string(reinterpret_cast<const char*>(&d), sizeof d)};
    return true;
  }
  *error = "unsupported value";
  return false;
}

void Store::loadOverlay() {
  std::optional<std::string> root = qelGetEnv("QELROOT");
  if (!root || root->empty()) return;
  std::string file = *root;
  if (file.back() != '/') file += '/';
  file += "registry.conf";
  std::ifstream in(file);
  if (!in) return;
  std::string line, currentKey, error;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!parseLine(line, &currentKey, &error)) reportOverlay(file, lineNo, error);
  }
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  s.ensureLoaded();
  std::string path = s.pathOf(key);
  if (path.empty()) return ERROR_INVALID_HANDLE;
  for (const std::string& part : splitPath(subKey ? subKey : "")) path += "\\" + fold(part);
  if (s.keys.find(path) == s.keys.end()) return ERROR_FILE_NOT_FOUND;
  uintptr_t h = s.nextHandle++;
  s.handles[h] = path;
  *result = reinterpret_cast<HKEY>(h);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD cbData) {
  if (reserved || (data && !cbData)) return ERROR_INVALID_PARAMETER;
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  s.ensureLoaded();
  std::string path = s.pathOf(key);
  if (path.empty()) return ERROR_INVALID_HANDLE;
  auto k = s.keys.find(path);
  if (k == s.keys.end()) return ERROR_FILE_NOT_FOUND;
  auto v = k->second.find(fold(valueName ? valueName : ""));
  if (v == k->second.end()) return ERROR_FILE_NOT_FOUND;
  const Value& val = v->second;
  bool text = val.type == REG_SZ || val.type == REG_EXPAND_SZ;
  DWORD needed = static_cast<DWORD>(val.data.size() + (text ? 1 : 0));
  if (type) *type = val.type;
  if (!data) {
    if (cbData) *cbData = needed;
    return ERROR_SUCCESS;
  }
  if (*cbData < needed) {
    *cbData = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, val.data.data(), val.data.size());
  if (text) data[val.data.size()] = 0;
  *cbData = needed;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  auto v = reinterpret_cast<uintptr_t>(key);
  if (v >= kRootBase && v < kRootBase + 4) return ERROR_SUCCESS;
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  return s.handles.erase(v) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

namespace {
bool setValue(const std::string& keyPath, const char* valueName, Value value) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  s.ensureLoaded();
  std::string path = Store::canonical(keyPath);
  if (path.empty()) return false;
  s.createKey(path);
  s.keys[path][fold(valueName ? valueName : "")] = std::move(value);
  return true;
}
}  // namespace

bool qelRegistrySetString(const std::string& keyPath, const char* valueName, const std::string& value) {
  return setValue(keyPath, valueName, Value{REG_SZ, value});
}

bool qelRegistrySetDword(const std::string& keyPath, const char* valueName, DWORD value) {
  return setValue(keyPath, valueName, Value{REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4)});
}

bool qelRegistryDeleteValue(const std::string& keyPath, const char* valueName) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  s.ensureLoaded();
  auto k = s.keys.find(Store::canonical(keyPath));
  return k != s.keys.end() && k->second.erase(fold(valueName ? valueName : "")) > 0;
}

bool qelRegistryDeleteKey(const std::string& keyPath) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  s.ensureLoaded();
  std::string path = Store::canonical(keyPath);
  if (path.empty() || path.find('\\') == std::string::npos) return false;  // roots stay
  if (s.keys.find(path) == s.keys.end()) return false;
  s.deleteKey(path);
  return true;
}

std::optional<std::string> qelRegistryGetString(const std::string& keyPath, const char* valueName) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  s.ensureLoaded();
  auto k = s.keys.find(Store::canonical(keyPath));
  if (k == s.keys.end()) return std::nullopt;
  auto v = k->second.find(fold(valueName ? valueName : ""));
  if (v == k->second.end() || (v->second.type != REG_SZ && v->second.type != REG_EXPAND_SZ)) return std::nullopt;
  return v->second.data;
}

void qelRegistryReload() {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mu);
  s.reset();
}
