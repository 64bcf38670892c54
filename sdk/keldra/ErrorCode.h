// Result codes of the library. Nearly every operation returns an orva::ErrorCode;
// 0 is success. The named values are shared with the plug-ins and the sync peers.
#pragma once

namespace orva {

typedef int ErrorCode;

}  // namespace orva

#define ORVA_ERROR_NONE 0
#define ORVA_ERROR_UNKNOWN 1            // general failure
#define ORVA_ERROR_OUT_OF_MEMORY 2
#define ORVA_ERROR_INVALID_PARAMETERS 3
#define ORVA_ERROR_NOT_SUPPORTED 4
#define ORVA_ERROR_NETWORK_CONFIGURATION 5  // network configuration not valid
#define ORVA_ERROR_FILE_OPERATION 6
#define ORVA_ERROR_NOT_READY 7          // already running
#define ORVA_ERROR_NOT_FOUND 8

#define ORVA_ERROR_KELDRA_IN_PROGRESS 0x6001
#define ORVA_ERROR_KELDRA_WRONG_TYPE 0x6002  // field read as a type it does not hold
#define ORVA_ERROR_KELDRA_LOGIN_FAILED 0x6004
#define ORVA_ERROR_KELDRA_NETWORK_PROBLEM 0x6005
#define ORVA_ERROR_KELDRA_CANCELLED 0x6006
#define ORVA_ERROR_KELDRA_DATABASE_BUSY 0x6007
#define ORVA_ERROR_KELDRA_OBJECT_STATUS_10 0x6009  // a direct-transfer reply gave status 10
