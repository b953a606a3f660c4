// A hub library with one device and only the listing call, so that the loader's handling of
// missing calls can be tried against a real library.
#include "pthub/PtHub.h"

namespace {

const char* serialCodesOfTheHub[] = {"PARTIAL-1", nullptr};

} // namespace

extern "C" int32_t PT_ListDevices(const char*** serialCodes, uint32_t* count)
{
    if (!serialCodes || !count) {
        return PT_ERR_INVALID_PARAMETER;
    }
    *serialCodes = serialCodesOfTheHub;
    *count = 1;
    return PT_OK;
}
