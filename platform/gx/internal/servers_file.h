#pragma once
// The servers file: "NAME = path" lines naming each server's SQLite file.
#include <string>
#include <vector>

namespace gx_internal {

struct ServerEntry {
  std::string name;
  std::string path;  // absolute
};

// $GXSERVERS, else $QELROOT/gxservers.conf, else "/gxservers.conf".
std::string serversFilePath();
// The entries in file order; an absent file gives none. Throws GxException
// 14 for an unreadable or malformed file.
std::vector<ServerEntry> readServersFile(const std::string& file);
// The entry named `name` (any letter case). Throws 16 when there is none.
ServerEntry findServer(const std::string& file, const std::string& name);
// Server, user and item type names: letters, digits and `extra`, 1..64 bytes.
bool validName(const std::string& name, const char* extra);
bool equalsNoCase(const std::string& a, const std::string& b);

}  // namespace gx_internal
