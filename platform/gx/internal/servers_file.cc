#include "platform/gx/internal/servers_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <unistd.h>

#include "platform/gx/internal/gx_throw.h"

namespace gx_internal {
namespace {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string folderOf(const std::string& file) {
  size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace

std::string serversFilePath() {
  const char* s = std::getenv("GXSERVERS");
  if (s && *s) return s;
  const char* root = std::getenv("QELROOT");
  if (root && *root) {
    std::string r = root;
    if (r.back() != '/') r += '/';
    return r + "gxservers.conf";
  }
  return "/gxservers.conf";  // QELROOT unset: the system directory
}

std::vector<ServerEntry> readServersFile(const std::string& file) {
  std::vector<ServerEntry> out;
  if (::access(file.c_str(), F_OK) != 0 && errno == ENOENT) return out;
  std::ifstream in(file);
  if (!in) {
    GX_THROW(GX_EXC_SERVERS_FILE, "cannot read servers file " + file + ": " + std::strerror(errno));
  }
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    // A "#" starts a comment; paths with "#" are not supported.
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line = trim(line);
    if (line.empty()) continue;
    size_t eq = line.find('=');
    std::string name = eq == std::string::npos ? "" : trim(line.substr(0, eq));
    std::string path = eq == std::string::npos ? "" : trim(line.substr(eq + 1));
    if (!validName(name, "_.-") || path.empty())
      GX_THROW(GX_EXC_SERVERS_FILE, "servers file " + file + " line " + std::to_string(lineNo) +
                                        ": expected NAME = PATH");
    if (path[0] != '/') path = folderOf(file) + "/" + path;
    out.push_back({name, path});
  }
  if (in.bad()) GX_THROW(GX_EXC_SERVERS_FILE, "error reading servers file " + file);
  return out;
}

ServerEntry findServer(const std::string& file, const std::string& name) {
  for (const ServerEntry& e : readServersFile(file))
    if (equalsNoCase(e.name, name)) return e;
  GX_THROW(GX_EXC_UNKNOWN_SERVER, "unknown server '" + name + "' (not listed in " + file + ")");
}

bool validName(const std::string& name, const char* extra) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              (c != '\0' && std::strchr(extra, c) != nullptr);
    if (!ok) return false;
  }
  return true;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace gx_internal
