// The host's blocks as host/ declares them, held against the host's own
// figures: every offset, size and alignment, every callback shape and every
// constant. Runs in the native build and in the Windows build under Wine.
#include <gtest/gtest.h>

#include <cstdio>

#include "layout_checks.h"

extern "C" std::size_t HostBlockSizeInC(int which);

namespace tidalhalo::layout {
namespace {

TEST(HostLayout, EveryOffsetSizeAndAlignmentIsTheHosts) {
    std::size_t lines = 0;
    for (const LayoutCheck &check : LayoutChecks()) {
        EXPECT_EQ(check.declared, check.expected) << check.what;
        lines += check.first_of_its_line ? 1 : 0;
    }
    EXPECT_EQ(lines, EXPECTED_TABLE_LINES);
    std::printf("layout: %zu table lines, %zu figures checked\n", lines, LayoutChecks().size());
}

TEST(HostLayout, EveryCallbackHasTheHostsShape) {
    for (const ShapeCheck &check : ShapeChecks()) {
        EXPECT_EQ(check.declared, check.expected) << check.what;
    }
    std::printf("layout: %zu callback shapes checked\n", ShapeChecks().size());
}

TEST(HostLayout, EveryConstantHasTheHostsValue) {
    for (const NumberCheck &check : NumberChecks()) {
        EXPECT_EQ(check.declared, check.expected) << check.what;
    }
    for (const StringCheck &check : StringChecks()) {
        EXPECT_STREQ(check.declared, check.expected) << check.what;
    }
    std::printf("layout: %zu constants and %zu suite names checked\n", NumberChecks().size(), StringChecks().size());
}

// The blocks a C host would compile are the same blocks: host/ compiles as C.
TEST(HostLayout, TheDeclarationsAreCompiledAsCToo) {
    EXPECT_EQ(HostBlockSizeInC(0), sizeof(PF_InData));
    EXPECT_EQ(HostBlockSizeInC(1), sizeof(PF_OutData));
    EXPECT_EQ(HostBlockSizeInC(2), sizeof(PF_ParamDef));
    EXPECT_EQ(HostBlockSizeInC(3), sizeof(PF_UtilCallbacks));
}

}  // namespace
}  // namespace tidalhalo::layout
