#pragma once
// HLNinterfaces: the records-server facade. One object stands for one
// connection: initialize() derives every controller's WSDL URL from the
// server base URL, a login creates the controller proxies, and the server's
// operations are offered as member functions.
//
// Failure: every member reports failure only by throwing a message text,
// caught as a C string:
//
//     try { hln->getHostList(); } catch (const char* text) { ... }
//
// The pointer stays valid for the rest of the process: fixed texts are
// string literals, and texts built at run time (server fault descriptions,
// transport causes) are interned in a process-wide, never-shrinking set of
// immutable strings, so equal texts share one copy. Each such text is at
// most 511 bytes (fault descriptions are cut, at a character boundary, to
// the 512-byte conversion buffer). After 65536 distinct run-time texts, a
// further new text is thrown as "Unable to invoke SoapClient method:
// DISP_E_EXCEPTION" instead, so the set stays bounded (about 32 MiB).
// COM errors from string allocation below (_com_error) are not caught here
// and reach the caller as such.
//
// State: not initialised -> initialize() -> initialised -> login ->
// logged in -> logout() -> initialised. Operations check the state first and
// throw "HLNinterfaces has not been initialized", "HLNinterfaces has not been
// logged in" or "HLNinterfaces has been logged in already". Every server
// operation and login traces a thrown text at level 1 (module "QELHLN", the
// member's name, "exception = %s") before throwing it on; logout() does not.
//
// Threading: an object, its copies and its proxies are used on the thread
// that constructed them; the constructors start COM on that thread
// (CoInitialize) and the destructor ends it (CoUninitialize). No locks.
//
// Copies: the copy constructor and assignment copy the URL, flags, key and
// handles and share the proxies (reference-counted); a proxy is destroyed
// when the last facade holding it lets go, so a copy and its source never
// destroy the same proxy twice. A copy starts COM for its thread like any
// constructor. Destruction never contacts the server.

#include "cstring.h"
#include "qel_export.h"
#include "qelwin.h"

#include <memory>

#define QELHLN_API QEL_EXPORT

class HLNLoginManager;
class HLNClientController;
class HLNComponentDesignController;
class HLNConfigurationController;
class HLNDefinitionController;
class HLNFilePlanComponentController;
class HLNFilePlanDesignController;
class HLNLifeCycleDesignController;
class HLNToolsController;
class HLNUserController;

class QELHLN_API HLNinterfaces {
 public:
  // Not initialised; COM started on this thread.
  HLNinterfaces();
  // As the default constructor, then initialize(url). Never throws a message
  // text: a failure is traced (function "HLNinterfaces") and the object
  // stays uninitialised; test IsInitialized().
  explicit HLNinterfaces(const CString& url);
  HLNinterfaces(const HLNinterfaces& other);
  HLNinterfaces& operator=(const HLNinterfaces& other);
  // Releases the proxies this object holds (no SOAP logout), ends COM.
  ~HLNinterfaces();

  bool IsInitialized();
  bool IsLoggedIn();

  // Sets the base URL ("" = "http://localhost:18080/"; a missing final "/"
  // is added) plus "wsdl/com/halvor/gre/engine/ejb/facade/", and creates
  // the login manager proxy. On failure baseUrl holds the new URL while the
  // state and the old login manager stay as they were.
  void initialize(const CString& url);
  // Creates the nine controller proxies for a client key. REQUIRES
  // initialised and not logged in. On failure stays not logged in.
  void loginWithClientKey(const CString& clientKey);
  // Logs out on the server and destroys the controller proxies. REQUIRES
  // logged in. On failure nothing changes.
  void logout();

  // Login manager (REQUIRES initialised).
  CString getDataSourceList();
  CString getEngineVersion();
  // Logins (REQUIRES initialised, not logged in): return the client key.
  CString integrationLogin(const _bstr_t& user, const _bstr_t& password, const _bstr_t& database,
                           const _bstr_t& groups, const _bstr_t& language);
  CString integrationHostLogin(const _bstr_t& userKey, long hostId, const _bstr_t& hostPassword,
                               const _bstr_t& database, const _bstr_t& groups,
                               const _bstr_t& language);
  CString integrationHostLoginByName(const _bstr_t& a1, const _bstr_t& a2, const _bstr_t& a3,
                                     const _bstr_t& a4, const _bstr_t& a5, const _bstr_t& a6);

  // Server operations (REQUIRES logged in). Arguments travel as the proxy
  // declares (long as VT_I4, int as VT_INT, bool as VARIANT_TRUE/FALSE,
  // strings as the caller's BSTR, a null one for a _bstr_t without string).
  // A long outside the 32-bit range is refused with "Unable to invoke
  // SoapClient method: DISP_E_OVERFLOW" rather than sent cut.
  CString getHostList();
  CString getHostByID(long hostId);
  CString getEngineConfigValueList();
  CString getEngineConfigValue(const _bstr_t& key, int scope);
  void setEngineConfigValue(const _bstr_t& key, int scope, const _bstr_t& value);
  void deleteEngineConfigValue(const _bstr_t& key, int scope);
  CString getUserConfigValue(long userId, _bstr_t& key);
  CString getNextBarCode();
  long addFilePlanComponent(long definitionId, const _bstr_t& filePlanXml,
                            long parentFilePlanCompID);
  void deleteFilePlanComponent(long id, int flags);
  void addTarget(long id, const _bstr_t& targetXml);
  CString getTargetList(long id, long viewId, int a, int b);
  CString getSourceList(long id, long viewId, int a, int b);
  CString getFilePlanComponentField(long id, _bstr_t field, bool flag);
  CString getPermissionList(long a, long b, long c);
  void supercede(_bstr_t xml, double date);
  long getFilePlanComponentPrimaryViewId(long id);
  CString getEffectiveUserPermissionsList(long id);
  CString getFullPathById(long id, long viewId);
  CString getFilePlanComponentById(long id);
  CString getFilePlanComponentStructure(long id);
  CString getAutoClassifyString(_bstr_t& a, _bstr_t& b);
  CString getFilePlanComponentsWithChangedPermissions(long id, int a, int b);
  CString getRelationshipDefinitionList();
  CString getRelationshipDefinitionListByFPViewID(long viewId);
  CString getFilePlanViewList(bool flag);
  CString getFilePlanViewByID(long viewId);
  void addAuditEntry(long a, long b, const _bstr_t& text);
  long getUserActionMask();
  long getuserid();
  CString getDisposalAuthorityList();
  CString getLifeCycleManagementCodeList(int a, int b);
  CString getLifeCyclePhaseDefinitionList(int a, int b);
  CString getPickListEntryListForUser(long a, long b);
  CString getPickListEntryList(long a, int b, int c);
  CString getProfileListForUserGroup(long a, long b);
  CString getDefaultListForUserGroup(long a, long b);
  CString getDefaultImageById(long id);
  CString getProfileImageById(long id);
  CString getComponentDefinitionList();
  CString getComponentDefinitionById(long id);

 private:
  void setup();
  void requireInitialized() const;
  void requireLoggedIn() const;
  void requireNotLoggedIn() const;
  void releaseProxies();

  CString baseUrl;
  bool initialized;
  bool loggedIn;
  CString clientKey;
  CString componentDesignHandle;
  CString configurationHandle;
  CString definitionHandle;
  CString filePlanComponentHandle;
  CString filePlanDesignHandle;
  CString lifeCycleDesignHandle;
  CString toolsHandle;
  CString userHandle;
  std::shared_ptr<HLNLoginManager> loginManager;
  std::shared_ptr<HLNClientController> clientController;
  std::shared_ptr<HLNComponentDesignController> componentDesignController;
  std::shared_ptr<HLNConfigurationController> configurationController;
  std::shared_ptr<HLNDefinitionController> definitionController;
  std::shared_ptr<HLNFilePlanComponentController> filePlanComponentController;
  std::shared_ptr<HLNFilePlanDesignController> filePlanDesignController;
  std::shared_ptr<HLNLifeCycleDesignController> lifeCycleDesignController;
  std::shared_ptr<HLNToolsController> toolsController;
  std::shared_ptr<HLNUserController> userController;
};
