#pragma once
// GxStoreAdminDVX: defines what a server holds (the back end of gxadmin,
// also used by tests and set-up code). It works on the server's file
// directly, without a logon: whoever may write the file administers it.
//
// Failure: every operation throws GxException and is one transaction, so a
// failed one changes nothing. 19 for a duplicate definition, 17 for an
// unknown user or group, 4 for an empty or badly formed name, 7 for a bad
// length or classification, 14/16 as for GxDatastoreDVX::connect.
// Threading: one thread at a time; other processes may use the server at
// the same time.
#include <string>
#include <vector>

#include "platform/gx/gx_export.h"

struct GxDatastoreDVXImpl;

struct GXDVX_EXPORT GxAttrSpecDVX {
  std::string name;       // letters, digits, '_', '.', '-'; 1..64 bytes
  bool integer = false;   // false: text
  long maxLength = 254;   // text: 1..1048576 bytes; ignored for integers
  bool nullable = true;
};

struct GXDVX_EXPORT GxComponentSpecDVX {
  std::string name;  // as an item type name
  std::vector<GxAttrSpecDVX> attributes;
};

struct GXDVX_EXPORT GxItemTypeSpecDVX {
  std::string name;         // letters, digits, '_', '-'; 1..64 bytes; not "DVXBASE"
  short classification = 1; // 1 item, 2 document
  std::vector<GxAttrSpecDVX> attributes;     // names distinct
  std::vector<GxComponentSpecDVX> components;  // names distinct from attributes
};

class GXDVX_EXPORT GxStoreAdminDVX {
 public:
  // The servers file in effect: $GXSERVERS, else $QELROOT/gxservers.conf,
  // else "/gxservers.conf" (the system directory, as QELROOT defaults to "/").
  static std::string defaultServersFile();

  // Creates server `name` backed by a new SQLite file at `dbPath` (mode 0600;
  // relative paths are taken relative to the servers file's folder) and
  // appends "name = dbPath" to `serversFile` (created when missing).
  // Throws 19 when the name is listed already or the file exists, 14 when
  // the servers file cannot be written.
  static void createServer(const std::string& serversFile, const std::string& name,
                           const std::string& dbPath);

  // Opens server `name` of `serversFile` (empty: defaultServersFile()).
  GxStoreAdminDVX(const std::string& serversFile, const std::string& name);
  ~GxStoreAdminDVX();
  GxStoreAdminDVX(const GxStoreAdminDVX&) = delete;
  GxStoreAdminDVX& operator=(const GxStoreAdminDVX&) = delete;

  // Users: the password is kept only as a salted PBKDF2-HMAC-SHA256 hash.
  // User ids match in any letter case and keep the case they were made with.
  void addUser(const std::string& userId, const std::string& password);
  void setPassword(const std::string& userId, const std::string& password);
  void addGroup(const std::string& group);
  void addMember(const std::string& group, const std::string& userId);
  void defineItemType(const GxItemTypeSpecDVX& spec);
  // Suffixes as one text, e.g. "doc,dot". Throws 19 for a known MIME type.
  void addMimeType(const std::string& mimeType, const std::string& suffixes);

  // Defines in one transaction what the integration needs; parts already
  // present are kept (so it can run twice):
  //  - item type "QELconfig" (attribute "QELkey", text 64) with child
  //    component "QELvalue" (attribute "QELvalue", text 4000);
  //  - user "qeladmin" with `qeladminPassword` (password reset when present);
  //  - document item types "QELDocument" (Title, Author, eRecord, eRecordID)
  //    and "QELMail" (Subject, Sender, Mail.eRecord, Mail.eRecordID);
  //  - MIME types for txt, pdf, doc(x), xls(x), ppt(x), msg, eml, html, xml,
  //    rtf, jpg, png, tif, zip.
  void initQel(const std::string& qeladminPassword);

  // Listings for the tool, each line a readable text.
  std::vector<std::string> listUsers() const;    // "user: group, group"
  std::vector<std::string> listGroups() const;   // "group: user, user"
  std::vector<std::string> listItemTypes() const;  // one line per type, attribute, component
  std::vector<std::string> listMimeTypes() const;  // "mime: suffixes"
  std::vector<std::string> listItems(const std::string& itemType) const;  // "id: attr=value ..."

 private:
  GxDatastoreDVXImpl* impl_;
};
