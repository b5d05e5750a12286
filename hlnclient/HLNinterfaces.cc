#include "HLNinterfaces.h"

#include "TaVNtrace.h"
#include "hollin_wire.h"
#include "internal/HLNproxies.h"
#include "soap_client.h"

namespace {

constexpr char kModule[] = "QELHLN";
constexpr char kFacadePath[] = "wsdl/com/halvor/gre/engine/ejb/facade/";

// libqelsoap registers the SOAP client and header handler classes when it
// loads; referencing it here keeps it linked and loaded with QELHLN.
const HRESULT gSoapRegistered = qelsoapRegister();

// The frame of every server operation: a thrown text is traced under the
// member's name, then thrown on unchanged.
template <class F>
auto guarded(const char* function, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const char* text) {
    TaVNOutputTrace(1, kModule, function, "exception = %s", text);
    throw;
  }
}

CString defaultBaseUrl() {
  return CString("http://localhost:" + std::to_string(hollin_wire::kDefaultPort) + "/");
}

}  // namespace

HLNinterfaces::HLNinterfaces() { setup(); }

HLNinterfaces::HLNinterfaces(const CString& url) {
  setup();
  try {
    initialize(url);
  } catch (const char* text) {
    TaVNOutputTrace(1, kModule, "HLNinterfaces", "exception = %s", text);
  }
}

HLNinterfaces::HLNinterfaces(const HLNinterfaces& other)
    : baseUrl(other.baseUrl),
      initialized(other.initialized),
      loggedIn(other.loggedIn),
      clientKey(other.clientKey),
      componentDesignHandle(other.componentDesignHandle),
      configurationHandle(other.configurationHandle),
      definitionHandle(other.definitionHandle),
      filePlanComponentHandle(other.filePlanComponentHandle),
      filePlanDesignHandle(other.filePlanDesignHandle),
      lifeCycleDesignHandle(other.lifeCycleDesignHandle),
      toolsHandle(other.toolsHandle),
      userHandle(other.userHandle),
      loginManager(other.loginManager),
      clientController(other.clientController),
      componentDesignController(other.componentDesignController),
      configurationController(other.configurationController),
      definitionController(other.definitionController),
      filePlanComponentController(other.filePlanComponentController),
      filePlanDesignController(other.filePlanDesignController),
      lifeCycleDesignController(other.lifeCycleDesignController),
      toolsController(other.toolsController),
      userController(other.userController) {
  // Balanced by the destructor's CoUninitialize.
  CoInitialize(nullptr);
}

HLNinterfaces& HLNinterfaces::operator=(const HLNinterfaces& other) {
  if (this == &other) return *this;
  baseUrl = other.baseUrl;
  initialized = other.initialized;
  loggedIn = other.loggedIn;
  clientKey = other.clientKey;
  componentDesignHandle = other.componentDesignHandle;
  configurationHandle = other.configurationHandle;
  definitionHandle = other.definitionHandle;
  filePlanComponentHandle = other.filePlanComponentHandle;
  filePlanDesignHandle = other.filePlanDesignHandle;
  lifeCycleDesignHandle = other.lifeCycleDesignHandle;
  toolsHandle = other.toolsHandle;
  userHandle = other.userHandle;
  loginManager = other.loginManager;
  clientController = other.clientController;
  componentDesignController = other.componentDesignController;
  configurationController = other.configurationController;
  definitionController = other.definitionController;
  filePlanComponentController = other.filePlanComponentController;
  filePlanDesignController = other.filePlanDesignController;
  lifeCycleDesignController = other.lifeCycleDesignController;
  toolsController = other.toolsController;
  userController = other.userController;
  return *this;
}

HLNinterfaces::~HLNinterfaces() {
  loginManager.reset();
  releaseProxies();
  CoUninitialize();
}

void HLNinterfaces::setup() {
  initialized = false;
  loggedIn = false;
  loginManager.reset();
  releaseProxies();
  CoInitialize(nullptr);
}

void HLNinterfaces::releaseProxies() {
  clientController.reset();
  configurationController.reset();
  componentDesignController.reset();
  definitionController.reset();
  filePlanComponentController.reset();
  filePlanDesignController.reset();
  lifeCycleDesignController.reset();
  toolsController.reset();
  userController.reset();
}

void HLNinterfaces::requireInitialized() const {
  if (!initialized) throw "HLNinterfaces has not been initialized";
}

void HLNinterfaces::requireLoggedIn() const {
  if (!loggedIn) throw "HLNinterfaces has not been logged in";
}

void HLNinterfaces::requireNotLoggedIn() const {
  if (loggedIn) throw "HLNinterfaces has been logged in already";
}

bool HLNinterfaces::IsInitialized() { return initialized; }

bool HLNinterfaces::IsLoggedIn() { return loggedIn; }

void HLNinterfaces::initialize(const CString& url) {
  if (url.IsEmpty()) baseUrl = defaultBaseUrl();
  else if (url[url.GetLength() - 1] != '/') baseUrl = url + "/";
  else baseUrl = url;
  baseUrl += kFacadePath;
  try {
    CString wsdl = baseUrl + "LoginManagerEJBService.wsdl";
    TaVNOutputTrace(2, kModule, "initialize", "wsdl = %s", wsdl.GetString());
    loginManager = std::make_shared<HLNLoginManager>(wsdl);
    initialized = true;
  } catch (const char* text) {
    TaVNOutputTrace(1, kModule, "initialize", "exception = %s", text);
    throw;
  }
}

void HLNinterfaces::loginWithClientKey(const CString& key) {
  guarded("loginWithClientKey", [&] {
    requireInitialized();
    requireNotLoggedIn();
    clientKey = key;
    clientController = std::make_shared<HLNClientController>(
        baseUrl + "ClientControllerEJBService.wsdl", clientKey);

    componentDesignHandle = clientController->getComponentDesignControllerAsString();
    componentDesignController = std::make_shared<HLNComponentDesignController>(
        baseUrl + "ComponentDesignControllerEJBService.wsdl", componentDesignHandle);
    configurationHandle = clientController->getConfigurationControllerAsString();
    configurationController = std::make_shared<HLNConfigurationController>(
        baseUrl + "ConfigurationControllerEJBService.wsdl", configurationHandle);
    definitionHandle = clientController->getDefinitionControllerAsString();
    definitionController = std::make_shared<HLNDefinitionController>(
        baseUrl + "DefinitionControllerEJBService.wsdl", definitionHandle);
    filePlanComponentHandle = clientController->getFilePlanComponentControllerAsString();
    filePlanComponentController = std::make_shared<HLNFilePlanComponentController>(
        baseUrl + "FilePlanComponentControllerEJBService.wsdl", filePlanComponentHandle);
    filePlanDesignHandle = clientController->getFilePlanDesignControllerAsString();
    filePlanDesignController = std::make_shared<HLNFilePlanDesignController>(
        baseUrl + "FilePlanDesignControllerEJBService.wsdl", filePlanDesignHandle);
    lifeCycleDesignHandle = clientController->getLifeCycleDesignControllerAsString();
    lifeCycleDesignController = std::make_shared<HLNLifeCycleDesignController>(
        baseUrl + "LifeCycleDesignControllerEJBService.wsdl", lifeCycleDesignHandle);
    toolsHandle = clientController->getToolsControllerAsString();
    toolsController = std::make_shared<HLNToolsController>(
        baseUrl + "ToolsControllerEJBService.wsdl", toolsHandle);
    userHandle = clientController->getUserControllerAsString();
    userController = std::make_shared<HLNUserController>(
        baseUrl + "UserControllerEJBService.wsdl", userHandle);
    loggedIn = true;
  });
}

void HLNinterfaces::logout() {
  requireLoggedIn();
  clientController->logout();
  releaseProxies();
  loggedIn = false;
}

CString HLNinterfaces::integrationLogin(const _bstr_t& user, const _bstr_t& password,
                                        const _bstr_t& database, const _bstr_t& groups,
                                        const _bstr_t& language) {
  return guarded("integrationLogin", [&] {
    requireInitialized();
    requireNotLoggedIn();
    CString key = loginManager->integrationLogin(user, password, database, groups, language);
    loginWithClientKey(key);
    return key;
  });
}

CString HLNinterfaces::integrationHostLogin(const _bstr_t& userKey, long hostId,
                                            const _bstr_t& hostPassword, const _bstr_t& database,
                                            const _bstr_t& groups, const _bstr_t& language) {
  return guarded("integrationHostLogin", [&] {
    requireInitialized();
    requireNotLoggedIn();
    CString key = loginManager->integrationHostLogin(userKey, hostId, hostPassword, database,
                                                     groups, language);
    loginWithClientKey(key);
    return key;
  });
}

CString HLNinterfaces::integrationHostLoginByName(const _bstr_t& a1, const _bstr_t& a2,
                                                  const _bstr_t& a3, const _bstr_t& a4,
                                                  const _bstr_t& a5, const _bstr_t& a6) {
  return guarded("integrationHostLoginByName", [&] {
    requireInitialized();
    requireNotLoggedIn();
    CString key = loginManager->integrationHostLoginByName(a1, a2, a3, a4, a5, a6);
    loginWithClientKey(key);
    return key;
  });
}

long HLNinterfaces::addFilePlanComponent(long definitionId, const _bstr_t& filePlanXml,
                                         long parentFilePlanCompID) {
  return guarded("addFilePlanComponent", [&] {
    requireLoggedIn();
    TaVNOutputTrace(2, kModule, "addFilePlanComponent", "definitionId = %d",
                    static_cast<int>(definitionId));
    TaVNOutputTrace(2, kModule, "addFilePlanComponent", "filePlanXml = %s",
                    static_cast<const char*>(filePlanXml));
    TaVNOutputTrace(2, kModule, "addFilePlanComponent", "parentFilePlanCompID = %d",
                    static_cast<int>(parentFilePlanCompID));
    return filePlanComponentController->addFilePlanComponent(definitionId, filePlanXml,
                                                             parentFilePlanCompID);
  });
}

CString HLNinterfaces::getDataSourceList() {
  return guarded("getDataSourceList", [&] {
    requireInitialized();
    return loginManager->getDataSourceList();
  });
}

CString HLNinterfaces::getEngineVersion() {
  return guarded("getEngineVersion", [&] {
    requireInitialized();
    return loginManager->getEngineVersion();
  });
}

CString HLNinterfaces::getHostList() {
  return guarded("getHostList", [&] {
    requireLoggedIn();
    return configurationController->getHostList();
  });
}

CString HLNinterfaces::getHostByID(long hostId) {
  return guarded("getHostByID", [&] {
    requireLoggedIn();
    return configurationController->getHostByID(hostId);
  });
}

CString HLNinterfaces::getEngineConfigValueList() {
  return guarded("getEngineConfigValueList", [&] {
    requireLoggedIn();
    return configurationController->getEngineConfigValueList();
  });
}

CString HLNinterfaces::getEngineConfigValue(const _bstr_t& key, int scope) {
  return guarded("getEngineConfigValue", [&] {
    requireLoggedIn();
    return configurationController->getEngineConfigValue(key, scope);
  });
}

void HLNinterfaces::setEngineConfigValue(const _bstr_t& key, int scope, const _bstr_t& value) {
  return guarded("setEngineConfigValue", [&] {
    requireLoggedIn();
    return configurationController->setEngineConfigValue(key, scope, value);
  });
}

void HLNinterfaces::deleteEngineConfigValue(const _bstr_t& key, int scope) {
  return guarded("deleteEngineConfigValue", [&] {
    requireLoggedIn();
    return configurationController->deleteEngineConfigValue(key, scope);
  });
}

CString HLNinterfaces::getUserConfigValue(long userId, _bstr_t& key) {
  return guarded("getUserConfigValue", [&] {
    requireLoggedIn();
    return configurationController->getUserConfigValue(userId, key);
  });
}

CString HLNinterfaces::getNextBarCode() {
  return guarded("getNextBarCode", [&] {
    requireLoggedIn();
    return configurationController->getNextBarCode();
  });
}

void HLNinterfaces::deleteFilePlanComponent(long id, int flags) {
  return guarded("deleteFilePlanComponent", [&] {
    requireLoggedIn();
    return filePlanComponentController->deleteFilePlanComponent(id, flags);
  });
}

void HLNinterfaces::addTarget(long id, const _bstr_t& targetXml) {
  return guarded("addTarget", [&] {
    requireLoggedIn();
    return filePlanComponentController->addTarget(id, targetXml);
  });
}

CString HLNinterfaces::getTargetList(long id, long viewId, int a, int b) {
  return guarded("getTargetList", [&] {
    requireLoggedIn();
    return filePlanComponentController->getTargetList(id, viewId, a, b);
  });
}

CString HLNinterfaces::getSourceList(long id, long viewId, int a, int b) {
  return guarded("getSourceList", [&] {
    requireLoggedIn();
    return filePlanComponentController->getSourceList(id, viewId, a, b);
  });
}

CString HLNinterfaces::getFilePlanComponentField(long id, _bstr_t field, bool flag) {
  return guarded("getFilePlanComponentField", [&] {
    requireLoggedIn();
    return filePlanComponentController->getFilePlanComponentField(id, field, flag);
  });
}

CString HLNinterfaces::getPermissionList(long a, long b, long c) {
  return guarded("getPermissionList", [&] {
    requireLoggedIn();
    return filePlanComponentController->getPermissionList(a, b, c);
  });
}

void HLNinterfaces::supercede(_bstr_t xml, double date) {
  return guarded("supercede", [&] {
    requireLoggedIn();
    return filePlanComponentController->supercede(xml, date);
  });
}

long HLNinterfaces::getFilePlanComponentPrimaryViewId(long id) {
  return guarded("getFilePlanComponentPrimaryViewId", [&] {
    requireLoggedIn();
    return filePlanComponentController->getFilePlanComponentPrimaryViewId(id);
  });
}

CString HLNinterfaces::getEffectiveUserPermissionsList(long id) {
  return guarded("getEffectiveUserPermissionsList", [&] {
    requireLoggedIn();
    return filePlanComponentController->getEffectiveUserPermissionsList(id);
  });
}

CString HLNinterfaces::getFullPathById(long id, long viewId) {
  return guarded("getFullPathById", [&] {
    requireLoggedIn();
    return filePlanComponentController->getFullPathById(id, viewId);
  });
}

CString HLNinterfaces::getFilePlanComponentById(long id) {
  return guarded("getFilePlanComponentById", [&] {
    requireLoggedIn();
    return filePlanComponentController->getFilePlanComponentById(id);
  });
}

CString HLNinterfaces::getFilePlanComponentStructure(long id) {
  return guarded("getFilePlanComponentStructure", [&] {
    requireLoggedIn();
    return filePlanComponentController->getFilePlanComponentStructure(id);
  });
}

CString HLNinterfaces::getAutoClassifyString(_bstr_t& a, _bstr_t& b) {
  return guarded("getAutoClassifyString", [&] {
    requireLoggedIn();
    return filePlanComponentController->getAutoClassifyString(a, b);
  });
}

CString HLNinterfaces::getFilePlanComponentsWithChangedPermissions(long id, int a, int b) {
  return guarded("getFilePlanComponentsWithChangedPermissions", [&] {
    requireLoggedIn();
    return filePlanComponentController->getFilePlanComponentsWithChangedPermissions(id, a, b);
  });
}

CString HLNinterfaces::getRelationshipDefinitionList() {
  return guarded("getRelationshipDefinitionList", [&] {
    requireLoggedIn();
    return filePlanDesignController->getRelationshipDefinitionList();
  });
}

CString HLNinterfaces::getRelationshipDefinitionListByFPViewID(long viewId) {
  return guarded("getRelationshipDefinitionListByFPViewID", [&] {
    requireLoggedIn();
    return filePlanDesignController->getRelationshipDefinitionListByFPViewID(viewId);
  });
}

CString HLNinterfaces::getFilePlanViewList(bool flag) {
  return guarded("getFilePlanViewList", [&] {
    requireLoggedIn();
    return filePlanDesignController->getFilePlanViewList(flag);
  });
}

CString HLNinterfaces::getFilePlanViewByID(long viewId) {
  return guarded("getFilePlanViewByID", [&] {
    requireLoggedIn();
    return filePlanDesignController->getFilePlanViewByID(viewId);
  });
}

void HLNinterfaces::addAuditEntry(long a, long b, const _bstr_t& text) {
  return guarded("addAuditEntry", [&] {
    requireLoggedIn();
    return toolsController->addAuditEntry(a, b, text);
  });
}

long HLNinterfaces::getUserActionMask() {
  return guarded("getUserActionMask", [&] {
    requireLoggedIn();
    return userController->getUserActionMask();
  });
}

long HLNinterfaces::getuserid() {
  return guarded("getuserid", [&] {
    requireLoggedIn();
    return userController->getuserid();
  });
}

CString HLNinterfaces::getDisposalAuthorityList() {
  return guarded("getDisposalAuthorityList", [&] {
    requireLoggedIn();
    return lifeCycleDesignController->getDisposalAuthorityList();
  });
}

CString HLNinterfaces::getLifeCycleManagementCodeList(int a, int b) {
  return guarded("getLifeCycleManagementCodeList", [&] {
    requireLoggedIn();
    return lifeCycleDesignController->getLifeCycleManagementCodeList(a, b);
  });
}

CString HLNinterfaces::getLifeCyclePhaseDefinitionList(int a, int b) {
  return guarded("getLifeCyclePhaseDefinitionList", [&] {
    requireLoggedIn();
    return lifeCycleDesignController->getLifeCyclePhaseDefinitionList(a, b);
  });
}

CString HLNinterfaces::getPickListEntryListForUser(long a, long b) {
  return guarded("getPickListEntryListForUser", [&] {
    requireLoggedIn();
    return componentDesignController->getPickListEntryListForUser(a, b);
  });
}

CString HLNinterfaces::getPickListEntryList(long a, int b, int c) {
  return guarded("getPickListEntryList", [&] {
    requireLoggedIn();
    return componentDesignController->getPickListEntryList(a, b, c);
  });
}

CString HLNinterfaces::getProfileListForUserGroup(long a, long b) {
  return guarded("getProfileListForUserGroup", [&] {
    requireLoggedIn();
    return componentDesignController->getProfileListForUserGroup(a, b);
  });
}

CString HLNinterfaces::getDefaultListForUserGroup(long a, long b) {
  return guarded("getDefaultListForUserGroup", [&] {
    requireLoggedIn();
    return componentDesignController->getDefaultListForUserGroup(a, b);
  });
}

CString HLNinterfaces::getDefaultImageById(long id) {
  return guarded("getDefaultImageById", [&] {
    requireLoggedIn();
    return componentDesignController->getDefaultImageById(id);
  });
}

CString HLNinterfaces::getProfileImageById(long id) {
  return guarded("getProfileImageById", [&] {
    requireLoggedIn();
    return componentDesignController->getProfileImageById(id);
  });
}

CString HLNinterfaces::getComponentDefinitionList() {
  return guarded("getComponentDefinitionList", [&] {
    requireLoggedIn();
    return definitionController->getComponentDefinitionList();
  });
}

CString HLNinterfaces::getComponentDefinitionById(long id) {
  return guarded("getComponentDefinitionById", [&] {
    requireLoggedIn();
    return definitionController->getComponentDefinitionById(id);
  });
}
