// openfx/ held against the interface's tables: every line of structs.tsv,
// suites.tsv and typedefs.tsv (offsets, sizes, alignments and types), and
// every constant openfx/ declares. Natively and under Wine.
#include <cstdio>

#include <gtest/gtest.h>

#include "ofx_layout_checks.h"

namespace tidalhalo::ofxlayout {
namespace {

TEST(OfxLayout, EveryRecordAndSuiteIsLaidOutAsTheInterfaceSays) {
    for (const LayoutCheck &check : LayoutChecks()) {
        EXPECT_EQ(check.declared, check.expected) << check.what;
    }
    std::printf("ofx layout: %zu struct lines, %zu suite lines, %zu typedef lines: %zu figures checked\n",
                TABLE_STRUCTS, TABLE_SUITES, TABLE_TYPEDEFS, LayoutChecks().size());
}

TEST(OfxLayout, EveryMemberAndTypedefHasTheInterfacesType) {
    for (const TypeCheck &check : TypeChecks()) {
        EXPECT_TRUE(check.same) << check.what;
    }
    std::printf("ofx layout: %zu types checked\n", TypeChecks().size());
}

TEST(OfxLayout, EveryDeclaredConstantHasTheInterfacesValue) {
    for (const NumberCheck &check : NumberChecks()) {
        EXPECT_EQ(check.declared, check.expected) << check.what;
    }
    for (const StringCheck &check : StringChecks()) {
        EXPECT_STREQ(check.declared, check.expected) << check.what;
    }
    // A constant declared but not in the table would go unchecked.
    EXPECT_EQ(TABLE_CONSTANTS, TABLE_DECLARED_CONSTANTS);
    std::printf("ofx layout: %zu constants checked\n", TABLE_CONSTANTS);
}

}  // namespace
}  // namespace tidalhalo::ofxlayout
