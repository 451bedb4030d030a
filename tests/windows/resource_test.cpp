// The registration record and manifest as the resource compiler builds them
// from the module's script, read back from its output.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "compiled_resources.h"
#include "params/identity.h"
#include "sim/pe/pe_file.h"

namespace {

namespace pe = tidalhalo::pe;

class ResourceScript : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ResourceCompilerAvailable()) GTEST_SKIP() << "no x86_64-w64-mingw32-windres";
        std::string error;
        ASSERT_TRUE(CompileModuleResources(resources_, error)) << error;
    }

    const CompiledResource* Find(std::string_view type, std::string_view name) const {
        for (const auto& r : resources_)
            if (r.type == type && r.name == name) return &r;
        return nullptr;
    }

    uint32_t U32(size_t at) const {
        const auto& b = Record();
        return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
    }
    uint16_t U16(size_t at) const { return static_cast<uint16_t>(Record()[at] | Record()[at + 1] << 8); }
    std::string Text(size_t at, size_t size) const {
        return std::string(reinterpret_cast<const char*>(Record().data() + at), size);
    }
    const std::vector<uint8_t>& Record() const { return Find("PIPL", "#16000")->bytes; }

    std::vector<CompiledResource> resources_;
};

TEST_F(ResourceScript, HoldsTheRecordAndTheManifestOnly) {
    ASSERT_EQ(resources_.size(), 2u);
    const CompiledResource* record = Find("PIPL", "#16000");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->language, 0x0004);
    EXPECT_EQ(record->bytes.size(), 310u);

    const CompiledResource* manifest = Find("#24", "#2");
    ASSERT_NE(manifest, nullptr);
    const std::string xml(manifest->bytes.begin(), manifest->bytes.end());
    EXPECT_NE(xml.find("urn:schemas-microsoft-com:asm.v1"), std::string::npos);
    EXPECT_NE(xml.find("asInvoker"), std::string::npos);
}

TEST_F(ResourceScript, RecordHeaderAndPropertyFrames) {
    ASSERT_NE(Find("PIPL", "#16000"), nullptr);
    ASSERT_EQ(Record().size(), 310u);
    EXPECT_EQ(U16(0), 1);
    EXPECT_EQ(U32(2), 0u);
    EXPECT_EQ(U32(6), 12u);

    struct Frame {
        size_t offset;
        const char* stored_key;
        uint32_t length;
    };
    const Frame frames[] = {
        {0x00A, "dnik", 4},  {0x01E, "eman", 16}, {0x03E, "gtac", 12}, {0x05A, "4668", 16},
        {0x07A, "RVPe", 4},  {0x08E, "RVSe", 4},  {0x0A2, "REVe", 4},  {0x0B6, "FNIe", 2},
        {0x0CA, "OLGe", 4},  {0x0DE, "2LGe", 4},  {0x0F2, "ANMe", 32}, {0x122, "LFea", 4},
    };
    size_t next = 10;
    for (const Frame& f : frames) {
        SCOPED_TRACE(f.stored_key);
        EXPECT_EQ(f.offset, next) << "properties follow one another without gaps";
        EXPECT_EQ(Text(f.offset, 4), "MIB8");
        EXPECT_EQ(Text(f.offset + 4, 4), f.stored_key);
        EXPECT_EQ(U32(f.offset + 8), 0u);
        EXPECT_EQ(U32(f.offset + 12), f.length);
        next = f.offset + 16 + ((f.length + 3) & ~3u);
    }
    EXPECT_EQ(next, 310u);
}

TEST_F(ResourceScript, RecordData) {
    ASSERT_NE(Find("PIPL", "#16000"), nullptr);
    ASSERT_EQ(Record().size(), 310u);
    EXPECT_EQ(Text(0x00A + 16, 4), "TKFe");

    // Counted strings: a length byte, the characters, zeros up to the frame's end.
    auto expect_counted = [&](size_t data, std::string_view text, size_t area) {
        SCOPED_TRACE(std::string(text));
        EXPECT_EQ(Record()[data], text.size());
        EXPECT_EQ(Text(data + 1, text.size()), text);
        for (size_t i = 1 + text.size(); i < area; ++i) EXPECT_EQ(Record()[data + i], 0) << i;
    };
    expect_counted(0x01E + 16, "Kv_Tidalhalo", 16);
    expect_counted(0x03E + 16, "Mertvekv", 12);
    expect_counted(0x0F2 + 16, "Kv_Tidalhalo/1/Mertvek_678FCDA", 32);
    EXPECT_EQ(Record()[0x0F2 + 16], 0x1e);

    EXPECT_EQ(Text(0x05A + 16, 16), std::string("EntryPointFunc\0\0", 16));
    EXPECT_EQ(U16(0x07A + 16), 2);
    EXPECT_EQ(U16(0x07A + 18), 6);
    EXPECT_EQ(U16(0x08E + 16), 13);
    EXPECT_EQ(U16(0x08E + 18), 0);
    EXPECT_EQ(U32(0x0A2 + 16), 0x00100601u);
    EXPECT_EQ(U32(0x0B6 + 16), 0u) << "the 16-bit info flags and their two bytes of fill";
    EXPECT_EQ(U32(0x0CA + 16), 0x02000400u);
    EXPECT_EQ(U32(0x0DE + 16), 0x00001400u);
    EXPECT_EQ(U32(0x122 + 16), 0u);
}

TEST_F(ResourceScript, RecordAgreesWithTheIdentityGlobalSetupReports) {
    ASSERT_NE(Find("PIPL", "#16000"), nullptr);
    pe::Registration reg;
    std::string error;
    ASSERT_TRUE(pe::DecodeRegistration(Record(), reg, error)) << error;
    EXPECT_EQ(reg.name, TIDALHALO_NAME);
    EXPECT_EQ(reg.category, TIDALHALO_CATEGORY);
    EXPECT_EQ(reg.match_name, TIDALHALO_MATCH_NAME);
    EXPECT_EQ(reg.effect_version, uint32_t{TIDALHALO_VERSION});
    EXPECT_EQ(reg.out_flags, uint32_t{TIDALHALO_OUT_FLAGS});
    EXPECT_EQ(reg.out_flags2, uint32_t{TIDALHALO_OUT_FLAGS2});
    // major 2, minor 0, fix 0, stage release (3), build 1
    EXPECT_EQ((reg.effect_version >> 19) & 7u, uint32_t{TIDALHALO_MAJOR_VERSION});
    EXPECT_EQ((reg.effect_version >> 15) & 15u, uint32_t{TIDALHALO_MINOR_VERSION});
    EXPECT_EQ((reg.effect_version >> 11) & 15u, 0u);
    EXPECT_EQ((reg.effect_version >> 9) & 3u, 3u);
    EXPECT_EQ(reg.effect_version & 511u, 1u);
}

}  // namespace
