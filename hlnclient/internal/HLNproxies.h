#pragma once
// The ten controller proxies: one method per SOAP operation of their
// controller, each doing exactly HLNSoapProxy's call (arguments in the
// operation's order and wire types). Constructors throw a message text when
// the proxy cannot be made ready; every proxy but the login manager carries
// a header handler with the text it is constructed with.

#include "internal/HLNSoapProxy.h"

// Controller described by "LoginManagerEJBService.wsdl".
class HLNLoginManager : public HLNSoapProxy {
 public:
  explicit HLNLoginManager(const CString& wsdlUrl);
  CString getDataSourceList();
  CString getEngineVersion();
  CString integrationLogin(const _bstr_t& a1, const _bstr_t& a2, const _bstr_t& a3, const _bstr_t& a4, const _bstr_t& a5);
  CString integrationHostLogin(const _bstr_t& a1, long a2, const _bstr_t& a3, const _bstr_t& a4, const _bstr_t& a5, const _bstr_t& a6);
  CString integrationHostLoginByName(const _bstr_t& a1, const _bstr_t& a2, const _bstr_t& a3, const _bstr_t& a4, const _bstr_t& a5, const _bstr_t& a6);
};

// Controller described by "ClientControllerEJBService.wsdl".
class HLNClientController : public HLNSoapProxy {
 public:
  HLNClientController(const CString& wsdlUrl, const CString& headerText);
  CString getConfigurationControllerAsString();
  CString getComponentDesignControllerAsString();
  CString getDefinitionControllerAsString();
  CString getFilePlanComponentControllerAsString();
  CString getFilePlanDesignControllerAsString();
  CString getLifeCycleDesignControllerAsString();
  CString getToolsControllerAsString();
  CString getUserControllerAsString();
  void logout();
};

// Controller described by "ComponentDesignControllerEJBService.wsdl".
class HLNComponentDesignController : public HLNSoapProxy {
 public:
  HLNComponentDesignController(const CString& wsdlUrl, const CString& headerText);
  CString getPickListEntryListForUser(long a1, long a2);
  CString getPickListEntryList(long a1, int a2, int a3);
  CString getProfileListForUserGroup(long a1, long a2);
  CString getDefaultListForUserGroup(long a1, long a2);
  CString getDefaultImageById(long a1);
  CString getProfileImageById(long a1);
};

// Controller described by "ConfigurationControllerEJBService.wsdl".
class HLNConfigurationController : public HLNSoapProxy {
 public:
  HLNConfigurationController(const CString& wsdlUrl, const CString& headerText);
  CString getHostList();
  CString getHostByID(long a1);
  CString getEngineConfigValueList();
  CString getEngineConfigValue(const _bstr_t& a1, int a2);
  void setEngineConfigValue(const _bstr_t& a1, int a2, const _bstr_t& a3);
  void deleteEngineConfigValue(const _bstr_t& a1, int a2);
  CString getUserConfigValue(long a1, _bstr_t& a2);
  CString getNextBarCode();
};

// Controller described by "DefinitionControllerEJBService.wsdl".
class HLNDefinitionController : public HLNSoapProxy {
 public:
  HLNDefinitionController(const CString& wsdlUrl, const CString& headerText);
  CString getComponentDefinitionList();
  CString getComponentDefinitionById(long a1);
};

// Controller described by "FilePlanComponentControllerEJBService.wsdl".
class HLNFilePlanComponentController : public HLNSoapProxy {
 public:
  HLNFilePlanComponentController(const CString& wsdlUrl, const CString& headerText);
  long addFilePlanComponent(long definitionId, const _bstr_t& filePlanXml, long parentFilePlanCompID);
  void deleteFilePlanComponent(long a1, int a2);
  void addTarget(long a1, const _bstr_t& a2);
  CString getTargetList(long a1, long a2, int a3, int a4);
  CString getSourceList(long a1, long a2, int a3, int a4);
  CString getFilePlanComponentField(long a1, _bstr_t a2, bool a3);
  CString getPermissionList(long a1, long a2, long a3);
  void supercede(_bstr_t a1, double a2);
  long getFilePlanComponentPrimaryViewId(long a1);
  CString getEffectiveUserPermissionsList(long a1);
  CString getFullPathById(long a1, long a2);
  CString getFilePlanComponentById(long a1);
  CString getFilePlanComponentStructure(long a1);
  CString getAutoClassifyString(_bstr_t& a1, _bstr_t& a2);
  CString getFilePlanComponentsWithChangedPermissions(long a1, int a2, int a3);
};

// Controller described by "FilePlanDesignControllerEJBService.wsdl".
class HLNFilePlanDesignController : public HLNSoapProxy {
 public:
  HLNFilePlanDesignController(const CString& wsdlUrl, const CString& headerText);
  CString getRelationshipDefinitionList();
  CString getRelationshipDefinitionListByFPViewID(long a1);
  CString getFilePlanViewList(bool a1);
  CString getFilePlanViewByID(long a1);
};

// Controller described by "LifeCycleDesignControllerEJBService.wsdl".
class HLNLifeCycleDesignController : public HLNSoapProxy {
 public:
  HLNLifeCycleDesignController(const CString& wsdlUrl, const CString& headerText);
  CString getDisposalAuthorityList();
  CString getLifeCycleManagementCodeList(int a1, int a2);
  CString getLifeCyclePhaseDefinitionList(int a1, int a2);
};

// Controller described by "ToolsControllerEJBService.wsdl".
class HLNToolsController : public HLNSoapProxy {
 public:
  HLNToolsController(const CString& wsdlUrl, const CString& headerText);
  void addAuditEntry(long a1, long a2, const _bstr_t& a3);
};

// Controller described by "UserControllerEJBService.wsdl".
class HLNUserController : public HLNSoapProxy {
 public:
  HLNUserController(const CString& wsdlUrl, const CString& headerText);
  long getUserActionMask();
  long getuserid();
};
