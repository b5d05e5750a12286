#include "internal/HLNproxies.h"

HLNLoginManager::HLNLoginManager(const CString& wsdlUrl) : HLNSoapProxy("HLNLoginManager has not been initialized") {
  createClient(wsdlUrl);
  setReady();
}

CString HLNLoginManager::getDataSourceList() {
  return callString("getDataSourceList");
}

CString HLNLoginManager::getEngineVersion() {
  return callString("getEngineVersion");
}

CString HLNLoginManager::integrationLogin(const _bstr_t& a1, const _bstr_t& a2, const _bstr_t& a3, const _bstr_t& a4, const _bstr_t& a5) {
  return callString("integrationLogin", {HLNArg::Str(a1), HLNArg::Str(a2), HLNArg::Str(a3), HLNArg::Str(a4), HLNArg::Str(a5)});
}

CString HLNLoginManager::integrationHostLogin(const _bstr_t& a1, long a2, const _bstr_t& a3, const _bstr_t& a4, const _bstr_t& a5, const _bstr_t& a6) {
  return callString("integrationHostLogin", {HLNArg::Str(a1), HLNArg::Long(a2), HLNArg::Str(a3), HLNArg::Str(a4), HLNArg::Str(a5), HLNArg::Str(a6)});
}

CString HLNLoginManager::integrationHostLoginByName(const _bstr_t& a1, const _bstr_t& a2, const _bstr_t& a3, const _bstr_t& a4, const _bstr_t& a5, const _bstr_t& a6) {
  return callString("integrationHostLoginByName", {HLNArg::Str(a1), HLNArg::Str(a2), HLNArg::Str(a3), HLNArg::Str(a4), HLNArg::Str(a5), HLNArg::Str(a6)});
}

HLNClientController::HLNClientController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNClientController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

CString HLNClientController::getConfigurationControllerAsString() {
  return callString("getConfigurationControllerAsString");
}

CString HLNClientController::getComponentDesignControllerAsString() {
  return callString("getComponentDesignControllerAsString");
}

CString HLNClientController::getDefinitionControllerAsString() {
  return callString("getDefinitionControllerAsString");
}

CString HLNClientController::getFilePlanComponentControllerAsString() {
  return callString("getFilePlanComponentControllerAsString");
}

CString HLNClientController::getFilePlanDesignControllerAsString() {
  return callString("getFilePlanDesignControllerAsString");
}

CString HLNClientController::getLifeCycleDesignControllerAsString() {
  return callString("getLifeCycleDesignControllerAsString");
}

CString HLNClientController::getToolsControllerAsString() {
  return callString("getToolsControllerAsString");
}

CString HLNClientController::getUserControllerAsString() {
  return callString("getUserControllerAsString");
}

void HLNClientController::logout() {
  callVoid("logout");
}

HLNComponentDesignController::HLNComponentDesignController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNComponentDesignController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

CString HLNComponentDesignController::getPickListEntryListForUser(long a1, long a2) {
  return callString("getPickListEntryListForUser", {HLNArg::Long(a1), HLNArg::Long(a2)});
}

CString HLNComponentDesignController::getPickListEntryList(long a1, int a2, int a3) {
  return callString("getPickListEntryList", {HLNArg::Long(a1), HLNArg::Int(a2), HLNArg::Int(a3)});
}

CString HLNComponentDesignController::getProfileListForUserGroup(long a1, long a2) {
  return callString("getProfileListForUserGroup", {HLNArg::Long(a1), HLNArg::Long(a2)});
}

CString HLNComponentDesignController::getDefaultListForUserGroup(long a1, long a2) {
  return callString("getDefaultListForUserGroup", {HLNArg::Long(a1), HLNArg::Long(a2)});
}

CString HLNComponentDesignController::getDefaultImageById(long a1) {
  return callString("getDefaultImageById", {HLNArg::Long(a1)});
}

CString HLNComponentDesignController::getProfileImageById(long a1) {
  return callString("getProfileImageById", {HLNArg::Long(a1)});
}

HLNConfigurationController::HLNConfigurationController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNConfigurationController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

CString HLNConfigurationController::getHostList() {
  return callString("getHostList");
}

CString HLNConfigurationController::getHostByID(long a1) {
  return callString("getHostByID", {HLNArg::Long(a1)});
}

CString HLNConfigurationController::getEngineConfigValueList() {
  return callString("getEngineConfigValueList");
}

CString HLNConfigurationController::getEngineConfigValue(const _bstr_t& a1, int a2) {
  return callString("getEngineConfigValue", {HLNArg::Str(a1), HLNArg::Int(a2)});
}

void HLNConfigurationController::setEngineConfigValue(const _bstr_t& a1, int a2, const _bstr_t& a3) {
  callVoid("setEngineConfigValue", {HLNArg::Str(a1), HLNArg::Int(a2), HLNArg::Str(a3)});
}

void HLNConfigurationController::deleteEngineConfigValue(const _bstr_t& a1, int a2) {
  callVoid("deleteEngineConfigValue", {HLNArg::Str(a1), HLNArg::Int(a2)});
}

CString HLNConfigurationController::getUserConfigValue(long a1, _bstr_t& a2) {
  return callString("getUserConfigValue", {HLNArg::Long(a1), HLNArg::Str(a2)});
}

CString HLNConfigurationController::getNextBarCode() {
  return callString("getNextBarCode");
}

HLNDefinitionController::HLNDefinitionController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNDefinitionController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

CString HLNDefinitionController::getComponentDefinitionList() {
  return callString("getComponentDefinitionList");
}

CString HLNDefinitionController::getComponentDefinitionById(long a1) {
  return callString("getComponentDefinitionById", {HLNArg::Long(a1)});
}

HLNFilePlanComponentController::HLNFilePlanComponentController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNFilePlanComponentController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

long HLNFilePlanComponentController::addFilePlanComponent(long definitionId, const _bstr_t& filePlanXml, long parentFilePlanCompID) {
  return callLong("addFilePlanComponent", {HLNArg::Long(definitionId), HLNArg::Str(filePlanXml), HLNArg::Long(parentFilePlanCompID)});
}

void HLNFilePlanComponentController::deleteFilePlanComponent(long a1, int a2) {
  callVoid("deleteFilePlanComponent", {HLNArg::Long(a1), HLNArg::Int(a2)});
}

void HLNFilePlanComponentController::addTarget(long a1, const _bstr_t& a2) {
  callVoid("addTarget", {HLNArg::Long(a1), HLNArg::Str(a2)});
}

CString HLNFilePlanComponentController::getTargetList(long a1, long a2, int a3, int a4) {
  return callString("getTargetList", {HLNArg::Long(a1), HLNArg::Long(a2), HLNArg::Int(a3), HLNArg::Int(a4)});
}

CString HLNFilePlanComponentController::getSourceList(long a1, long a2, int a3, int a4) {
  return callString("getSourceList", {HLNArg::Long(a1), HLNArg::Long(a2), HLNArg::Int(a3), HLNArg::Int(a4)});
}

CString HLNFilePlanComponentController::getFilePlanComponentField(long a1, _bstr_t a2, bool a3) {
  return callString("getFilePlanComponentField", {HLNArg::Long(a1), HLNArg::Str(a2), HLNArg::Bool(a3)});
}

CString HLNFilePlanComponentController::getPermissionList(long a1, long a2, long a3) {
  return callString("getPermissionList", {HLNArg::Long(a1), HLNArg::Long(a2), HLNArg::Long(a3)});
}

void HLNFilePlanComponentController::supercede(_bstr_t a1, double a2) {
  callVoid("supercede", {HLNArg::Str(a1), HLNArg::Date(a2)});
}

long HLNFilePlanComponentController::getFilePlanComponentPrimaryViewId(long a1) {
  return callLong("getFilePlanComponentPrimaryViewId", {HLNArg::Long(a1)});
}

CString HLNFilePlanComponentController::getEffectiveUserPermissionsList(long a1) {
  return callString("getEffectiveUserPermissionsList", {HLNArg::Long(a1)});
}

CString HLNFilePlanComponentController::getFullPathById(long a1, long a2) {
  return callString("getFullPathById", {HLNArg::Long(a1), HLNArg::Long(a2)});
}

CString HLNFilePlanComponentController::getFilePlanComponentById(long a1) {
  return callString("getFilePlanComponentById", {HLNArg::Long(a1)});
}

CString HLNFilePlanComponentController::getFilePlanComponentStructure(long a1) {
  return callString("getFilePlanComponentStructure", {HLNArg::Long(a1)});
}

CString HLNFilePlanComponentController::getAutoClassifyString(_bstr_t& a1, _bstr_t& a2) {
  return callString("getAutoClassifyString", {HLNArg::Str(a1), HLNArg::Str(a2)});
}

CString HLNFilePlanComponentController::getFilePlanComponentsWithChangedPermissions(long a1, int a2, int a3) {
  return callString("getFilePlanComponentsWithChangedPermissions", {HLNArg::Long(a1), HLNArg::Int(a2), HLNArg::Int(a3)});
}

HLNFilePlanDesignController::HLNFilePlanDesignController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNFilePlanDesignController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

CString HLNFilePlanDesignController::getRelationshipDefinitionList() {
  return callString("getRelationshipDefinitionList");
}

CString HLNFilePlanDesignController::getRelationshipDefinitionListByFPViewID(long a1) {
  return callString("getRelationshipDefinitionListByFPViewID", {HLNArg::Long(a1)});
}

CString HLNFilePlanDesignController::getFilePlanViewList(bool a1) {
  return callString("getFilePlanViewList", {HLNArg::Bool(a1)});
}

CString HLNFilePlanDesignController::getFilePlanViewByID(long a1) {
  return callString("getFilePlanViewByID", {HLNArg::Long(a1)});
}

HLNLifeCycleDesignController::HLNLifeCycleDesignController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNLifeCycleDesignController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

CString HLNLifeCycleDesignController::getDisposalAuthorityList() {
  return callString("getDisposalAuthorityList");
}

CString HLNLifeCycleDesignController::getLifeCycleManagementCodeList(int a1, int a2) {
  return callString("getLifeCycleManagementCodeList", {HLNArg::Int(a1), HLNArg::Int(a2)});
}

CString HLNLifeCycleDesignController::getLifeCyclePhaseDefinitionList(int a1, int a2) {
  return callString("getLifeCyclePhaseDefinitionList", {HLNArg::Int(a1), HLNArg::Int(a2)});
}

HLNToolsController::HLNToolsController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNToolsController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

void HLNToolsController::addAuditEntry(long a1, long a2, const _bstr_t& a3) {
  callVoid("addAuditEntry", {HLNArg::Long(a1), HLNArg::Long(a2), HLNArg::Str(a3)});
}

HLNUserController::HLNUserController(const CString& wsdlUrl, const CString& headerText)
    : HLNSoapProxy("HLNUserController has not been initialized") {
  createWithHeader(wsdlUrl, headerText);
}

long HLNUserController::getUserActionMask() {
  return callLong("getUserActionMask");
}

long HLNUserController::getuserid() {
  return callLong("getuserid");
}
