#include "platform/gx/gx_store_admin_dvx.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

#include "platform/gx/internal/datastore_impl.h"
#include "platform/gx/internal/gx_throw.h"
#include "platform/gx/internal/servers_file.h"
#include "platform/gx/internal/sqlite_util.h"

using namespace gx_internal;

namespace {

std::string folderOf(const std::string& file) {
  size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

void checkName(const std::string& what, const std::string& name, const char* extra) {
  if (!validName(name, extra))
    GX_THROW(GX_EXC_BAD_ARGUMENT, what + " '" + name + "' is not valid (1 to 64 letters, digits or " + extra + ")");
}

void checkAttrs(const std::string& owner, const std::vector<GxAttrSpecDVX>& attrs, std::set<std::string>& names) {
  for (const GxAttrSpecDVX& a : attrs) {
    checkName("attribute name", a.name, "_.-");
    if (a.name == "GxParts") GX_THROW(GX_EXC_BAD_ARGUMENT, "attribute name GxParts is reserved");
    if (!names.insert(a.name).second)
      GX_THROW(GX_EXC_DUPLICATE, owner + ": attribute '" + a.name + "' is defined twice");
    if (!a.integer && (a.maxLength < 1 || a.maxLength > 1048576))
      GX_THROW(GX_EXC_BAD_VALUE, owner + ": attribute '" + a.name + "' needs a maximum length of 1..1048576");
  }
}

int64_t insertType(sqlite3* db, const std::string& name, int64_t parent, short classification,
                   const std::vector<GxAttrSpecDVX>& attrs) {
  Stmt t(db, "INSERT INTO item_types(name, parent_id, classification) VALUES(?, ?, ?)");
  t.bind(1, name).bind(2, parent).bind(3, static_cast<int64_t>(classification)).run();
  int64_t id = sqlite3_last_insert_rowid(db);
  Stmt a(db, "INSERT INTO attributes(type_id, pos, name, is_integer, max_length, nullable) VALUES(?, ?, ?, ?, ?, ?)");
  int64_t pos = 0;
  for (const GxAttrSpecDVX& s : attrs) {
    a.reset();
    a.bind(1, id).bind(2, ++pos).bind(3, s.name).bind(4, s.integer ? 1 : 0);
    a.bind(5, static_cast<int64_t>(s.integer ? 0 : s.maxLength)).bind(6, s.nullable ? 1 : 0).run();
  }
  return id;
}

bool exists(sqlite3* db, const char* sql, const std::string& key) {
  Stmt s(db, sql);
  s.bind(1, key);
  return s.step();
}

}  // namespace

std::string GxStoreAdminDVX::defaultServersFile() { return serversFilePath(); }

void GxStoreAdminDVX::createServer(const std::string& serversFile, const std::string& name,
                                   const std::string& dbPath) {
  const std::string file = serversFile.empty() ? serversFilePath() : serversFile;
  checkName("server name", name, "_.-");
  if (dbPath.empty()) GX_THROW(GX_EXC_BAD_ARGUMENT, "server file path is empty");
  if (dbPath.find('#') != std::string::npos || dbPath.find('\n') != std::string::npos)
    GX_THROW(GX_EXC_BAD_ARGUMENT, "server file path may not contain '#' or a line break");
  for (const ServerEntry& e : readServersFile(file))
    if (equalsNoCase(e.name, name)) GX_THROW(GX_EXC_DUPLICATE, "server " + e.name + " is already listed in " + file);
  const std::string path = dbPath[0] == '/' ? dbPath : folderOf(file) + "/" + dbPath;
  sqlite3* db = openStore(path, true);
  try {
    createSchema(db);
  } catch (...) {
    sqlite3_close_v2(db);
    ::unlink(path.c_str());
    throw;
  }
  sqlite3_close_v2(db);
  // Appending one short line with O_APPEND keeps concurrent writers' lines whole.
  int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  std::string line = name + " = " + dbPath + "\n";
  if (fd < 0 || ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    int err = errno;
    if (fd >= 0) ::close(fd);
    ::unlink(path.c_str());
    GX_THROW(GX_EXC_SERVERS_FILE, "cannot write servers file " + file + ": " + std::strerror(err));
  }
  ::close(fd);
}

GxStoreAdminDVX::GxStoreAdminDVX(const std::string& serversFile, const std::string& name)
    : impl_(new GxDatastoreDVXImpl) {
  try {
    impl_->open(serversFile, name);
  } catch (...) {
    delete impl_;
    throw;
  }
}

GxStoreAdminDVX::~GxStoreAdminDVX() { delete impl_; }

void GxStoreAdminDVX::addUser(const std::string& userId, const std::string& password) {
  checkName("user id", userId, "_.-@");
  WriteScope w(impl_->db, false);
  if (exists(impl_->db, "SELECT 1 FROM users WHERE name = ?", userId))
    GX_THROW(GX_EXC_DUPLICATE, "user '" + userId + "' exists already");
  storePassword(impl_->db, userId, password, true);
  w.commit();
}

void GxStoreAdminDVX::setPassword(const std::string& userId, const std::string& password) {
  WriteScope w(impl_->db, false);
  storePassword(impl_->db, userId, password, false);
  w.commit();
}

void GxStoreAdminDVX::addGroup(const std::string& group) {
  checkName("group name", group, "_.-@");
  WriteScope w(impl_->db, false);
  if (exists(impl_->db, "SELECT 1 FROM user_groups WHERE name = ?", group))
    GX_THROW(GX_EXC_DUPLICATE, "group '" + group + "' exists already");
  Stmt s(impl_->db, "INSERT INTO user_groups(name) VALUES(?)");
  s.bind(1, group).run();
  w.commit();
}

void GxStoreAdminDVX::addMember(const std::string& group, const std::string& userId) {
  WriteScope w(impl_->db, false);
  if (!exists(impl_->db, "SELECT 1 FROM user_groups WHERE name = ?", group))
    GX_THROW(GX_EXC_UNKNOWN_USER, "unknown group '" + group + "'");
  if (!exists(impl_->db, "SELECT 1 FROM users WHERE name = ?", userId))
    GX_THROW(GX_EXC_UNKNOWN_USER, "unknown user '" + userId + "'");
  Stmt s(impl_->db, "INSERT OR IGNORE INTO members(grp, usr) VALUES(?, ?)");
  s.bind(1, group).bind(2, userId).run();
  w.commit();
}

void GxStoreAdminDVX::defineItemType(const GxItemTypeSpecDVX& spec) {
  checkName("item type name", spec.name, "_-");
  if (spec.name == "DVXBASE") GX_THROW(GX_EXC_BAD_ARGUMENT, "item type name DVXBASE is reserved for content parts");
  if (spec.classification != 1 && spec.classification != 2)
    GX_THROW(GX_EXC_BAD_VALUE, "classification must be 1 (item) or 2 (document)");
  std::set<std::string> names;
  checkAttrs(spec.name, spec.attributes, names);
  for (const GxComponentSpecDVX& c : spec.components) {
    checkName("child component name", c.name, "_-");
    if (!names.insert(c.name).second)
      GX_THROW(GX_EXC_DUPLICATE, spec.name + ": name '" + c.name + "' is used twice");
    std::set<std::string> childNames;
    checkAttrs(spec.name + "/" + c.name, c.attributes, childNames);
  }
  WriteScope w(impl_->db, false);
  Stmt e(impl_->db, "SELECT 1 FROM item_types WHERE parent_id = 0 AND name = ?");
  e.bind(1, spec.name);
  if (e.step()) GX_THROW(GX_EXC_DUPLICATE, "item type '" + spec.name + "' exists already");
  int64_t id = insertType(impl_->db, spec.name, 0, spec.classification, spec.attributes);
  for (const GxComponentSpecDVX& c : spec.components) insertType(impl_->db, c.name, id, 1, c.attributes);
  w.commit();
  impl_->catalog.clear();
}

void GxStoreAdminDVX::addMimeType(const std::string& mimeType, const std::string& suffixes) {
  if (mimeType.empty() || mimeType.find('/') == std::string::npos)
    GX_THROW(GX_EXC_BAD_ARGUMENT, "MIME type '" + mimeType + "' is not of the form type/subtype");
  WriteScope w(impl_->db, false);
  if (exists(impl_->db, "SELECT 1 FROM mime_types WHERE mime = ?", mimeType))
    GX_THROW(GX_EXC_DUPLICATE, "MIME type '" + mimeType + "' exists already");
  Stmt s(impl_->db, "INSERT INTO mime_types(mime, suffixes) VALUES(?, ?)");
  s.bind(1, mimeType).bind(2, suffixes).run();
  w.commit();
}

void GxStoreAdminDVX::initQel(const std::string& qeladminPassword) {
  auto text = [](const char* n, long len) {
    GxAttrSpecDVX a;
    a.name = n;
    a.maxLength = len;
    return a;
  };
  GxItemTypeSpecDVX config;
  config.name = "QELconfig";
  config.attributes = {text("QELkey", 64)};
  config.components = {{"QELvalue", {text("QELvalue", 4000)}}};
  GxItemTypeSpecDVX doc;
  doc.name = "QELDocument";
  doc.classification = 2;
  doc.attributes = {text("Title", 254), text("Author", 128), text("eRecord", 8), text("eRecordID", 4000)};
  GxItemTypeSpecDVX mail;
  mail.name = "QELMail";
  mail.classification = 2;
  mail.attributes = {text("Subject", 254), text("Sender", 254), text("Mail.eRecord", 8),
                     text("Mail.eRecordID", 4000)};
  const std::pair<const char*, const char*> mimes[] = {
      {"text/plain", "txt,text,log"},
      {"application/pdf", "pdf"},
      // Callers take the first definition whose list contains the suffix as a
      // substring, so "doc" must come before "docx" (and so on) or .doc files
      // would get the docx type.
      {"application/msword", "doc,dot"},
      {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", "docx,docm"},
      {"application/vnd.ms-excel", "xls,xlt"},
      {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", "xlsx,xlsm"},
      {"application/vnd.ms-powerpoint", "ppt,pps"},
      {"application/vnd.openxmlformats-officedocument.presentationml.presentation", "pptx"},
      {"application/vnd.ms-outlook", "msg"},
      {"message/rfc822", "eml"},
      {"text/html", "html,htm"},
      {"application/xml", "xml"},
      {"application/rtf", "rtf"},
      {"image/jpeg", "jpg,jpeg"},
      {"image/png", "png"},
      {"image/tiff", "tif,tiff"},
      {"application/zip", "zip"},
  };

  // One transaction: define what is missing, keep what is there.
  WriteScope w(impl_->db, false);
  for (const GxItemTypeSpecDVX* spec : {&config, &doc, &mail}) {
    Stmt e(impl_->db, "SELECT 1 FROM item_types WHERE parent_id = 0 AND name = ?");
    e.bind(1, spec->name);
    if (e.step()) continue;
    int64_t id = insertType(impl_->db, spec->name, 0, spec->classification, spec->attributes);
    for (const GxComponentSpecDVX& c : spec->components) insertType(impl_->db, c.name, id, 1, c.attributes);
  }
  bool known = exists(impl_->db, "SELECT 1 FROM users WHERE name = ?", "qeladmin");
  storePassword(impl_->db, "qeladmin", qeladminPassword, !known);
  for (const auto& m : mimes) {
    Stmt s(impl_->db, "INSERT OR IGNORE INTO mime_types(mime, suffixes) VALUES(?, ?)");
    s.bind(1, m.first).bind(2, m.second).run();
  }
  w.commit();
  impl_->catalog.clear();
}

std::vector<std::string> GxStoreAdminDVX::listUsers() const {
  std::vector<std::string> out;
  Stmt s(impl_->db,
         "SELECT u.name, COALESCE((SELECT group_concat(grp, ', ') FROM (SELECT grp FROM members m "
         "WHERE m.usr = u.name ORDER BY grp)), '') FROM users u ORDER BY u.name");
  while (s.step()) out.push_back(s.text(0) + ": " + s.text(1));
  return out;
}

std::vector<std::string> GxStoreAdminDVX::listGroups() const {
  std::vector<std::string> out;
  Stmt s(impl_->db,
         "SELECT g.name, COALESCE((SELECT group_concat(usr, ', ') FROM (SELECT usr FROM members m "
         "WHERE m.grp = g.name ORDER BY usr)), '') FROM user_groups g ORDER BY g.name");
  while (s.step()) out.push_back(s.text(0) + ": " + s.text(1));
  return out;
}

std::vector<std::string> GxStoreAdminDVX::listItemTypes() const {
  std::vector<std::string> out;
  auto attrLine = [](const AttrDef& a, const char* indent) {
    return std::string(indent) + a.name + " " +
           (a.integer ? std::string("integer") : "string(" + std::to_string(a.maxLength) + ")") +
           (a.nullable ? "" : " not null");
  };
  for (const TypeRef& t : impl_->catalog.roots(impl_->db)) {
    out.push_back(t->name + " (classification " + std::to_string(t->classification) + ")");
    for (const AttrDef& a : t->attrs) out.push_back(attrLine(a, "  "));
    for (const auto& c : t->components) {
      out.push_back("  child " + c.first);
      for (const AttrDef& a : impl_->catalog.byId(impl_->db, c.second)->attrs) out.push_back(attrLine(a, "    "));
    }
  }
  return out;
}

std::vector<std::string> GxStoreAdminDVX::listMimeTypes() const {
  std::vector<std::string> out;
  Stmt s(impl_->db, "SELECT mime, suffixes FROM mime_types ORDER BY seq");
  while (s.step()) out.push_back(s.text(0) + ": " + s.text(1));
  return out;
}

std::vector<std::string> GxStoreAdminDVX::listItems(const std::string& itemType) const {
  TypeRef t = impl_->catalog.root(impl_->db, itemType);
  if (!t) GX_THROW(GX_EXC_UNKNOWN_ITEM_TYPE, "unknown item type '" + itemType + "'");
  std::vector<std::string> out;
  Stmt s(impl_->db, "SELECT id, checked_out_by FROM items WHERE type_id = ? ORDER BY id");
  s.bind(1, t->id);
  Stmt v(impl_->db, "SELECT attr, val FROM item_values WHERE item_id = ? ORDER BY attr");
  while (s.step()) {
    std::string line = std::to_string(s.i64(0)) + ":";
    v.reset();
    v.bind(1, s.i64(0));
    while (v.step()) line += " " + v.text(0) + "=" + v.text(1);
    if (!s.isNull(1)) line += " (checked out by " + s.text(1) + ")";
    out.push_back(line);
  }
  return out;
}
