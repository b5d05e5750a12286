#pragma once
// The operation handlers, one per row of the operation table
// (operations.cc). Each runs in one store transaction and throws SoapFault
// to refuse a call; the transaction is then rolled back.
#include <string>

#include "args.h"
#include "call_context.h"

namespace hollin {

#define HOLLIN_HANDLER(name) std::string name(CallContext& ctx, const Args& args)

// LoginManager
HOLLIN_HANDLER(getDataSourceList);
HOLLIN_HANDLER(getEngineVersion);
HOLLIN_HANDLER(integrationLogin);
HOLLIN_HANDLER(integrationHostLogin);
HOLLIN_HANDLER(integrationHostLoginByName);
// ClientController
HOLLIN_HANDLER(getConfigurationControllerAsString);
HOLLIN_HANDLER(getComponentDesignControllerAsString);
HOLLIN_HANDLER(getDefinitionControllerAsString);
HOLLIN_HANDLER(getFilePlanComponentControllerAsString);
HOLLIN_HANDLER(getFilePlanDesignControllerAsString);
HOLLIN_HANDLER(getLifeCycleDesignControllerAsString);
HOLLIN_HANDLER(getToolsControllerAsString);
HOLLIN_HANDLER(getUserControllerAsString);
HOLLIN_HANDLER(logout);
// ConfigurationController
HOLLIN_HANDLER(getHostList);
HOLLIN_HANDLER(getHostByID);
HOLLIN_HANDLER(getEngineConfigValueList);
HOLLIN_HANDLER(getEngineConfigValue);
HOLLIN_HANDLER(setEngineConfigValue);
HOLLIN_HANDLER(deleteEngineConfigValue);
HOLLIN_HANDLER(getUserConfigValue);
HOLLIN_HANDLER(getNextBarCode);
// DefinitionController
HOLLIN_HANDLER(getComponentDefinitionList);
HOLLIN_HANDLER(getComponentDefinitionById);
// FilePlanComponentController
HOLLIN_HANDLER(addFilePlanComponent);
HOLLIN_HANDLER(deleteFilePlanComponent);
HOLLIN_HANDLER(addTarget);
HOLLIN_HANDLER(getTargetList);
HOLLIN_HANDLER(getSourceList);
HOLLIN_HANDLER(getFilePlanComponentField);
HOLLIN_HANDLER(getPermissionList);
HOLLIN_HANDLER(supercede);
HOLLIN_HANDLER(getFilePlanComponentPrimaryViewId);
HOLLIN_HANDLER(getEffectiveUserPermissionsList);
HOLLIN_HANDLER(getFullPathById);
HOLLIN_HANDLER(getFilePlanComponentById);
HOLLIN_HANDLER(getFilePlanComponentStructure);
HOLLIN_HANDLER(getAutoClassifyString);
HOLLIN_HANDLER(getFilePlanComponentsWithChangedPermissions);
// FilePlanDesignController
HOLLIN_HANDLER(getRelationshipDefinitionList);
HOLLIN_HANDLER(getRelationshipDefinitionListByFPViewID);
HOLLIN_HANDLER(getFilePlanViewList);
HOLLIN_HANDLER(getFilePlanViewByID);
// LifeCycleDesignController
HOLLIN_HANDLER(getDisposalAuthorityList);
HOLLIN_HANDLER(getLifeCycleManagementCodeList);
HOLLIN_HANDLER(getLifeCyclePhaseDefinitionList);
// ToolsController
HOLLIN_HANDLER(addAuditEntry);
HOLLIN_HANDLER(getAuditEntryList);  // this server's addition: reads the audit trail back
// UserController
HOLLIN_HANDLER(getUserActionMask);
HOLLIN_HANDLER(getuserid);
// ComponentDesignController
HOLLIN_HANDLER(getPickListEntryListForUser);
HOLLIN_HANDLER(getPickListEntryList);
HOLLIN_HANDLER(getProfileListForUserGroup);
HOLLIN_HANDLER(getDefaultListForUserGroup);
HOLLIN_HANDLER(getDefaultImageById);
HOLLIN_HANDLER(getProfileImageById);

#undef HOLLIN_HANDLER

// The version text that getEngineVersion answers.
extern const char kEngineVersion[];

}  // namespace hollin
