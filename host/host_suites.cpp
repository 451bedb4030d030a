#include "host/host_suites.h"

namespace {

struct SuiteSlotName {
    const char *name;
    int32_t version;
};

// Shows message to the user: the flag, the text through the host's
// formatter (the text holds no format directives), and the code.
PF_Err ReportToUser(PF_InData *in_data, PF_OutData *out_data, const char *message) noexcept {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    in_data->utils->ansi.sprintf(out_data->return_msg, message);
    return PF_Err_BAD_CALLBACK_PARAM;
}

} // namespace

void MissingSuiteError() { throw PF_Err{PF_Err_BAD_CALLBACK_PARAM}; }

HostSuites::HostSuites(SPBasicSuite *basic) : basic_(basic) {
    if (basic_ == nullptr) {
        MissingSuiteError();
    }
}

HostSuites::~HostSuites() {
    const struct {
        const void *slot;
        SuiteSlotName id;
    } release_list[] = {
        {handle_suite_, {kPFHandleSuite, kPFHandleSuiteVersion1}},
        {iterate8_suite_, {kPFIterate8Suite, kPFIterate8SuiteVersion1}},
        {iterate16_suite_, {kPFIterate16Suite, kPFIterate16SuiteVersion1}},
        {iterate_float_suite_, {kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1}},
        {color_param_suite_, {kPFColorParamSuite, kPFColorParamSuiteVersion1}},
    };
    for (const auto &entry : release_list) {
        if (entry.slot != nullptr) {
            basic_->ReleaseSuite(entry.id.name, entry.id.version);
        }
    }
}

const void *HostSuites::AcquireOrRaise(const char *name, int32_t version) {
    const void *suite = nullptr;
    const int32_t err = basic_->AcquireSuite(name, version, &suite);
    if (err != 0 || suite == nullptr) {
        MissingSuiteError();
    }
    return suite;
}

template <typename Suite>
const Suite *HostSuites::Slot(const void *&slot, const char *name, int32_t version) {
    if (slot == nullptr) {
        slot = AcquireOrRaise(name, version);
    }
    return static_cast<const Suite *>(slot);
}

const PF_HandleSuite1 *HostSuites::GetHandleSuite() {
    return Slot<PF_HandleSuite1>(handle_suite_, kPFHandleSuite, kPFHandleSuiteVersion1);
}

const PF_ColorParamSuite1 *HostSuites::GetColorParamSuite() {
    return Slot<PF_ColorParamSuite1>(color_param_suite_, kPFColorParamSuite, kPFColorParamSuiteVersion1);
}

const PF_Iterate8Suite1 *HostSuites::GetIterate8Suite() {
    return Slot<PF_Iterate8Suite1>(iterate8_suite_, kPFIterate8Suite, kPFIterate8SuiteVersion1);
}

const PF_Iterate16Suite1 *HostSuites::GetIterate16Suite() {
    return Slot<PF_Iterate16Suite1>(iterate16_suite_, kPFIterate16Suite, kPFIterate16SuiteVersion1);
}

const PF_IterateFloatSuite1 *HostSuites::GetIterateFloatSuite() {
    return Slot<PF_IterateFloatSuite1>(iterate_float_suite_, kPFIterateFloatSuite, kPFIterateFloatSuiteVersion1);
}

PF_Err AcquireSuiteOrReport(PF_InData *in_data, PF_OutData *out_data, const char *name, int32_t version,
                            const char *message, const void **suite) noexcept {
    if (in_data->pica_basicP != nullptr) {
        // The host's code is not consulted: a table is what counts.
        in_data->pica_basicP->AcquireSuite(name, version, suite);
        if (*suite != nullptr) {
            return PF_Err_NONE;
        }
    }
    return ReportToUser(in_data, out_data, message != nullptr ? message : "Not able to acquire AEFX Suite.");
}

PF_Err ReleaseSuiteOrReport(PF_InData *in_data, PF_OutData *out_data, const char *name, int32_t version,
                            const char *message) noexcept {
    if (in_data->pica_basicP != nullptr) {
        in_data->pica_basicP->ReleaseSuite(name, version);
        return PF_Err_NONE;
    }
    return ReportToUser(in_data, out_data, message != nullptr ? message : "Not able to release AEFX Suite.");
}
