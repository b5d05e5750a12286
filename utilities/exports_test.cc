// The shared library exports exactly the functions of its header.
#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

// Demangled names of the defined dynamic symbols of `path`, up to the "(".
std::set<std::string> exportedNames(const std::string& path) {
  std::set<std::string> names;
  const std::string cmd = "nm -D --defined-only -C '" + path + "' 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, p)) {
    // "<address> <type> <name>"
    std::string s(line);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    const size_t first = s.find(' ');
    if (first == std::string::npos) continue;
    const size_t second = s.find(' ', first + 1);
    if (second == std::string::npos) continue;
    const char type = s[first + 1];
    std::string name = s.substr(second + 1);
    if (type != 'T' && type != 'W' && type != 'D' && type != 'B' && type != 'V' && type != 'R')
      continue;
    const size_t paren = name.find('(');
    if (paren != std::string::npos) name.resize(paren);
    names.insert(name);
  }
  pclose(p);
  return names;
}

TEST(QELUtilitiesExports, ExactlyTheHeaderFunctions) {
  const std::set<std::string> want = {
      // logon, servers, diagnostics
      "DVXlogon", "DVXlogoff", "GetDVXservers", "GetDVXgroup4user", "OutputDebugGxException",
      "PrintDDO",
      // items
      "TaVNCreateNXItem", "TaVNDeleteNXItem", "DVXcheckInAll",
      // encodings
      "EncodeKeyValue", "DecodeKeyValue", "EncodeLongArray2Str", "DecodeStr2LongArray",
      // record attributes
      "GetTaVNattrNamesByDDO", "GetTaVNattrNamesByItemType", "IsDeclarableDDO",
      "IsDeclarableItemType", "IsDeclaredDDO", "GetRecordID", "AddRecordID", "RemoveRecordID",
      "MarkDDOnotDeclared", "GetItemId4eId", "GetTaVNpath",
      // configuration record
      "GetTaVNcfgInfo", "SetTaVNcfgInfo", "CleanTaVNcfgInfo",
      // records-server session and definitions
      "QELsession::QELsession", "QELsession::operator=", "TaVNlogon", "TaVNAdminLogon",
      "TaVNlogoff", "GetTaVNcfgInfo2", "SetTaVNcfgInfo2", "CleanTaVNcfgInfo2",
  };
  const std::set<std::string> got = exportedNames(QEL_UTILITIES_SO);
  ASSERT_FALSE(got.empty()) << "nm gave nothing for " << QEL_UTILITIES_SO;
  EXPECT_EQ(want, got);
}

TEST(QELUtilitiesExports, LoadsAndResolves) {
  // Loading runs the static constructors (the two caches); an export
  // resolves by its C++ name. Internal names are covered by the exact list.
  void* lib = dlopen(QEL_UTILITIES_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, lib) << dlerror();
  EXPECT_NE(nullptr, dlsym(lib, "_Z13IsDeclaredDDOP5GxDDO"));
  EXPECT_NE(nullptr, dlsym(lib, "_Z11GetTaVNpathR8GxString"));
  // Left loaded: unloading would also unload libqelwin, whose process-wide
  // state (named-mutex table) is meant to live until exit.
}

}  // namespace
