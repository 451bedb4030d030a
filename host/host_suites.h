// Access to the host's named function suites for the length of one handler
// call. A suite is acquired the first time it is asked for and released when
// the object goes, in a fixed order.
#pragma once

#include <cstdint>

#include "host/host_interface.h"

// Raises PF_Err_BAD_CALLBACK_PARAM as an exception holding a PF_Err; the
// entry point turns it back into its result.
[[noreturn]] void MissingSuiteError();

class HostSuites {
public:
    // Raises through MissingSuiteError when the host gave no basic suite.
    explicit HostSuites(SPBasicSuite *basic);
    ~HostSuites();
    HostSuites(const HostSuites &) = delete;
    HostSuites &operator=(const HostSuites &) = delete;

    // Each returns the suite's table, never null, or raises.
    const PF_HandleSuite1 *GetHandleSuite();
    const PF_ColorParamSuite1 *GetColorParamSuite();
    const PF_Iterate8Suite1 *GetIterate8Suite();
    const PF_Iterate16Suite1 *GetIterate16Suite();
    const PF_IterateFloatSuite1 *GetIterateFloatSuite();

private:
    const void *AcquireOrRaise(const char *name, int32_t version);
    // The slot's table, acquiring it on first use.
    template <typename Suite>
    const Suite *Slot(const void *&slot, const char *name, int32_t version);

    SPBasicSuite *basic_;
    // Declared in release order: destruction walks them top to bottom.
    const void *handle_suite_ = nullptr;
    const void *iterate8_suite_ = nullptr;
    const void *iterate16_suite_ = nullptr;
    const void *iterate_float_suite_ = nullptr;
    const void *color_param_suite_ = nullptr;
};

// Acquires one suite into *suite for the caller. On failure shows message
// (or a default) to the user and returns PF_Err_BAD_CALLBACK_PARAM. Never raises.
PF_Err AcquireSuiteOrReport(PF_InData *in_data, PF_OutData *out_data, const char *name, int32_t version,
                            const char *message, const void **suite) noexcept;

// Releases one suite. Returns 0 whatever the host answers; without a basic
// suite shows message (or a default) and returns PF_Err_BAD_CALLBACK_PARAM.
PF_Err ReleaseSuiteOrReport(PF_InData *in_data, PF_OutData *out_data, const char *name, int32_t version,
                            const char *message) noexcept;
