// The cross-built Windows module, read as a file: what the host's loader
// and the host itself will see in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "built_module.h"
#include "compiled_resources.h"
#include "params/identity.h"
#include "sim/pe/pe_file.h"

namespace {

namespace pe = tidalhalo::pe;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// DLLs that every Windows installation has.
bool IsWindowsOwnDll(const std::string& dll) {
    const std::string name = Lower(dll);
    return name == "kernel32.dll" || name == "msvcrt.dll" || name == "ucrtbase.dll" ||
           name == "ntdll.dll" || name.starts_with("api-ms-win-");
}

class BuiltModule : public ::testing::Test {
protected:
    void SetUp() override {
        if (!BuiltModuleExists()) GTEST_SKIP() << "no module at " << BuiltModulePath();
        std::string error;
        ASSERT_TRUE(pe::ReadPeFile(BuiltModulePath(), file_, error)) << error;
    }
    pe::PeFile file_;
};

TEST_F(BuiltModule, IsA64BitDll) {
    EXPECT_EQ(file_.machine, pe::MACHINE_AMD64);
    EXPECT_EQ(file_.optional_magic, pe::OPTIONAL_MAGIC_PE32_PLUS);
    EXPECT_TRUE(pe::IsDll(file_));
}

TEST_F(BuiltModule, ExportsOnlyTheEntryPoint) {
    ASSERT_EQ(file_.exports.size(), 1u);
    EXPECT_EQ(file_.exports[0], "EntryPointFunc");
    EXPECT_EQ(file_.export_function_count, 1u) << "no exports by ordinal alone";
}

TEST_F(BuiltModule, ImportsOnlyFromWindowsItself) {
    ASSERT_FALSE(file_.imports.empty());
    bool kernel32 = false;
    for (const pe::Import& import : file_.imports) {
        EXPECT_TRUE(IsWindowsOwnDll(import.dll)) << import.dll;
        const std::string name = Lower(import.dll);
        EXPECT_EQ(name.find("libstdc++"), std::string::npos);
        EXPECT_EQ(name.find("libgcc"), std::string::npos);
        EXPECT_EQ(name.find("winpthread"), std::string::npos);
        kernel32 = kernel32 || name == "kernel32.dll";
    }
    EXPECT_TRUE(kernel32);
}

TEST_F(BuiltModule, CarriesTheRecordAndTheManifestOnly) {
    ASSERT_EQ(file_.resources.size(), 2u);
    const pe::Resource* record = pe::FindPeResource(file_, "PIPL", "#16000");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->language, 0x0004);
    EXPECT_EQ(record->bytes.size(), 310u);

    const pe::Resource* manifest =
        pe::FindPeResource(file_, pe::ResourceIdText(pe::RESOURCE_TYPE_MANIFEST), "#2");
    ASSERT_NE(manifest, nullptr);
    const std::string xml(manifest->bytes.begin(), manifest->bytes.end());
    EXPECT_NE(xml.find("<assembly"), std::string::npos);

    pe::Registration reg;
    std::string error;
    ASSERT_TRUE(pe::DecodeRegistration(record->bytes, reg, error)) << error;
    EXPECT_EQ(reg.properties.size(), 12u);
    EXPECT_EQ(reg.end, 310u);
    EXPECT_EQ(reg.kind, pe::FourCc("eFKT"));
    EXPECT_EQ(reg.name, TIDALHALO_NAME);
    EXPECT_EQ(reg.category, TIDALHALO_CATEGORY);
    EXPECT_EQ(reg.entry_point, file_.exports.at(0)) << "the host calls the function the record names";
    EXPECT_EQ(reg.match_name, TIDALHALO_MATCH_NAME);
    EXPECT_EQ(reg.effect_version, uint32_t{TIDALHALO_VERSION});
    EXPECT_EQ(reg.out_flags, uint32_t{TIDALHALO_OUT_FLAGS});
    EXPECT_EQ(reg.out_flags2, uint32_t{TIDALHALO_OUT_FLAGS2});
}

TEST_F(BuiltModule, RecordIsWhatTheResourceCompilerMade) {
    if (!ResourceCompilerAvailable()) GTEST_SKIP() << "no x86_64-w64-mingw32-windres";
    std::vector<CompiledResource> compiled;
    std::string error;
    ASSERT_TRUE(CompileModuleResources(compiled, error)) << error;
    for (const CompiledResource& c : compiled) {
        SCOPED_TRACE(c.type + " " + c.name);
        const pe::Resource* linked = pe::FindPeResource(file_, c.type, c.name);
        ASSERT_NE(linked, nullptr);
        EXPECT_EQ(linked->language, c.language);
        EXPECT_EQ(linked->bytes, c.bytes);
    }
}

}  // namespace
