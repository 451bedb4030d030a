/* host/ compiled as C: a C host includes the same declarations. */
#include <stddef.h>

#include "host/host_interface.h"

size_t HostBlockSizeInC(int which);

size_t HostBlockSizeInC(int which) {
    switch (which) {
    case 0:
        return sizeof(PF_InData);
    case 1:
        return sizeof(PF_OutData);
    case 2:
        return sizeof(PF_ParamDef);
    default:
        return sizeof(PF_UtilCallbacks);
    }
}
