#include "operations.h"

#include "handlers.h"

namespace hollin {
namespace {

constexpr ArgType S = ArgType::kString;
constexpr ArgType I = ArgType::kInt;
constexpr ArgType L = ArgType::kLong;
constexpr ArgType B = ArgType::kBool;
constexpr ArgType D = ArgType::kDate;
constexpr ResultType RS = ResultType::kString;
constexpr ResultType RL = ResultType::kLong;
constexpr ResultType RN = ResultType::kNone;

std::vector<Operation> buildTable() {
  return {
      {"LoginManager", "getDataSourceList", {}, RS, getDataSourceList},
      {"LoginManager", "getEngineVersion", {}, RS, getEngineVersion},
      {"LoginManager", "integrationLogin", {S, S, S, S, S}, RS, integrationLogin},
      {"LoginManager", "integrationHostLogin", {S, L, S, S, S, S}, RS, integrationHostLogin},
      {"LoginManager", "integrationHostLoginByName", {S, S, S, S, S, S}, RS, integrationHostLoginByName},

      {"ClientController", "getConfigurationControllerAsString", {}, RS, getConfigurationControllerAsString},
      {"ClientController", "getComponentDesignControllerAsString", {}, RS, getComponentDesignControllerAsString},
      {"ClientController", "getDefinitionControllerAsString", {}, RS, getDefinitionControllerAsString},
      {"ClientController", "getFilePlanComponentControllerAsString", {}, RS, getFilePlanComponentControllerAsString},
      {"ClientController", "getFilePlanDesignControllerAsString", {}, RS, getFilePlanDesignControllerAsString},
      {"ClientController", "getLifeCycleDesignControllerAsString", {}, RS, getLifeCycleDesignControllerAsString},
      {"ClientController", "getToolsControllerAsString", {}, RS, getToolsControllerAsString},
      {"ClientController", "getUserControllerAsString", {}, RS, getUserControllerAsString},
      {"ClientController", "logout", {}, RN, logout},

      {"ConfigurationController", "getHostList", {}, RS, getHostList},
      {"ConfigurationController", "getHostByID", {L}, RS, getHostByID},
      {"ConfigurationController", "getEngineConfigValueList", {}, RS, getEngineConfigValueList},
      {"ConfigurationController", "getEngineConfigValue", {S, I}, RS, getEngineConfigValue},
      {"ConfigurationController", "setEngineConfigValue", {S, I, S}, RN, setEngineConfigValue},
      {"ConfigurationController", "deleteEngineConfigValue", {S, I}, RN, deleteEngineConfigValue},
      {"ConfigurationController", "getUserConfigValue", {L, S}, RS, getUserConfigValue},
      {"ConfigurationController", "getNextBarCode", {}, RS, getNextBarCode},

      {"DefinitionController", "getComponentDefinitionList", {}, RS, getComponentDefinitionList},
      {"DefinitionController", "getComponentDefinitionById", {L}, RS, getComponentDefinitionById},

      {"FilePlanComponentController", "addFilePlanComponent", {L, S, L}, RL, addFilePlanComponent},
      {"FilePlanComponentController", "deleteFilePlanComponent", {L, I}, RN, deleteFilePlanComponent},
      {"FilePlanComponentController", "addTarget", {L, S}, RN, addTarget},
      {"FilePlanComponentController", "getTargetList", {L, L, I, I}, RS, getTargetList},
      {"FilePlanComponentController", "getSourceList", {L, L, I, I}, RS, getSourceList},
      {"FilePlanComponentController", "getFilePlanComponentField", {L, S, B}, RS, getFilePlanComponentField},
      {"FilePlanComponentController", "getPermissionList", {L, L, L}, RS, getPermissionList},
      {"FilePlanComponentController", "supercede", {S, D}, RN, supercede},
      {"FilePlanComponentController", "getFilePlanComponentPrimaryViewId", {L}, RL, getFilePlanComponentPrimaryViewId},
      {"FilePlanComponentController", "getEffectiveUserPermissionsList", {L}, RS, getEffectiveUserPermissionsList},
      {"FilePlanComponentController", "getFullPathById", {L, L}, RS, getFullPathById},
      {"FilePlanComponentController", "getFilePlanComponentById", {L}, RS, getFilePlanComponentById},
      {"FilePlanComponentController", "getFilePlanComponentStructure", {L}, RS, getFilePlanComponentStructure},
      {"FilePlanComponentController", "getAutoClassifyString", {S, S}, RS, getAutoClassifyString},
      {"FilePlanComponentController", "getFilePlanComponentsWithChangedPermissions", {L, I, I}, RS,
       getFilePlanComponentsWithChangedPermissions},

      {"FilePlanDesignController", "getRelationshipDefinitionList", {}, RS, getRelationshipDefinitionList},
      {"FilePlanDesignController", "getRelationshipDefinitionListByFPViewID", {L}, RS,
       getRelationshipDefinitionListByFPViewID},
      {"FilePlanDesignController", "getFilePlanViewList", {B}, RS, getFilePlanViewList},
      {"FilePlanDesignController", "getFilePlanViewByID", {L}, RS, getFilePlanViewByID},

      {"LifeCycleDesignController", "getDisposalAuthorityList", {}, RS, getDisposalAuthorityList},
      {"LifeCycleDesignController", "getLifeCycleManagementCodeList", {I, I}, RS, getLifeCycleManagementCodeList},
      {"LifeCycleDesignController", "getLifeCyclePhaseDefinitionList", {I, I}, RS, getLifeCyclePhaseDefinitionList},

      {"ToolsController", "addAuditEntry", {L, L, S}, RN, addAuditEntry},
      {"ToolsController", "getAuditEntryList", {L}, RS, getAuditEntryList},

      {"UserController", "getUserActionMask", {}, RL, getUserActionMask},
      {"UserController", "getuserid", {}, RL, getuserid},

      {"ComponentDesignController", "getPickListEntryListForUser", {L, L}, RS, getPickListEntryListForUser},
      {"ComponentDesignController", "getPickListEntryList", {L, I, I}, RS, getPickListEntryList},
      {"ComponentDesignController", "getProfileListForUserGroup", {L, L}, RS, getProfileListForUserGroup},
      {"ComponentDesignController", "getDefaultListForUserGroup", {L, L}, RS, getDefaultListForUserGroup},
      {"ComponentDesignController", "getDefaultImageById", {L}, RS, getDefaultImageById},
      {"ComponentDesignController", "getProfileImageById", {L}, RS, getProfileImageById},
  };
}

}  // namespace

const char* xsdType(ArgType type) {
  switch (type) {
    case ArgType::kString: return "xsd:string";
    case ArgType::kInt: return "xsd:int";
    case ArgType::kLong: return "xsd:long";
    case ArgType::kBool: return "xsd:boolean";
    case ArgType::kDate: return "xsd:dateTime";
  }
  return "xsd:string";
}

const char* xsdType(ResultType type) {
  return type == ResultType::kLong ? "xsd:long" : "xsd:string";
}

const std::vector<std::string>& controllerNames() {
  static const std::vector<std::string> names = {
      "LoginManager",          "ClientController",         "ComponentDesignController",
      "ConfigurationController", "DefinitionController",   "FilePlanComponentController",
      "FilePlanDesignController", "LifeCycleDesignController", "ToolsController",
      "UserController"};
  return names;
}

const std::vector<Operation>& operationTable() {
  static const std::vector<Operation> table = buildTable();
  return table;
}

const Operation* findOperation(const std::string& controller, const std::string& name) {
  for (const Operation& op : operationTable()) {
    if (controller == op.controller && name == op.name) return &op;
  }
  return nullptr;
}

}  // namespace hollin
