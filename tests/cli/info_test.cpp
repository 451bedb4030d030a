// tidalhalo info, as text for people and as JSON for scripts.
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/cli/tool_runner.h"

namespace tidalhalo::test {
namespace {

TEST(ToolInfo, TextShowsTheModulesDeclarationsInUtf8) {
    Scratch scratch;
    const ToolResult run = scratch.Run("info");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char *part :
         {"Kv_Tidalhalo, v2.0", "一个简单的插件，产生环形冲击波等。  KWTRO 汉化", "2.0.0 release, build 1 (0x00100601)",
          "DEEP_COLOR_AWARE", "PIX_INDEPENDENT", "SUPPORTS_SMART_RENDER", "FLOAT_COLOR_AWARE", "中心", "半径",
          "羽化", "扩张", "透明度", "离散", "颜色 1", "颜色 2", "平滑", "混合模式", "0 to 10000", "0 to 600",
          "0% to 100%", "0 to 512", "#007FFF", "1556", "3454", "(模版)相乘+Alpha"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << "missing: " << part << "\n" << run.out;
    }
    EXPECT_EQ(run.out.find('\r'), std::string::npos);
}

TEST(ToolInfo, JsonParsesAndHoldsTheTenParameters) {
    if (std::system("python3 -c pass >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3 is not available to parse the JSON";
    }
    Scratch scratch;
    const ToolResult run = scratch.Run("info --json --module '" TIDALHALO_MODULE "'");
    ASSERT_EQ(run.status, 0) << run.err;
    WriteFile(scratch.Path("info.json"), run.out);
    const std::string check =
        "python3 -c \"import json,sys; d=json.load(open(sys.argv[1], encoding='utf-8')); "
        "p=d['parameters']; "
        "assert len(p)==10, len(p); "
        "assert [q['id'] for q in p]==[1556,1764,3205,3092,4108,1,261,258,802,3454]; "
        "assert p[1]['name']=='半径' and p[1]['valid']==[0,10000] and p[1]['slider']==[0,600]; "
        "assert p[9]['choices'][4]=='(模版)相乘+Alpha'; "
        "assert d['version']['major']==2 and d['version']['stage']=='release'; "
        "assert d['about'].startswith('Kv_Tidalhalo, v2.0\\r'); "
        "assert 'DEEP_COLOR_AWARE' in d['out_flags']['names']\" '" +
        scratch.Path("info.json") + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << run.out;
}

TEST(ToolInfo, WindowsModuleShowsItsRegistrationResource) {
    const char *from_environment = std::getenv("TIDALHALO_AEX");
    const std::string aex = from_environment ? from_environment : TIDALHALO_SOURCE_DIR "/build/windows/Kv_Tidalhalo.aex";
    if (!std::filesystem::exists(aex)) {
        GTEST_SKIP() << "no cross-built module at " << aex;
    }
    Scratch scratch;
    const ToolResult run = scratch.Run("info '" + aex + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char *part : {"Kv_Tidalhalo", "Mertvekv", "Kv_Tidalhalo/1/Mertvek_678FCDA", "EntryPointFunc",
                             "2.0.0 release, build 1", "SUPPORTS_SMART_RENDER", "12 properties, 310 bytes"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << "missing: " << part << "\n" << run.out;
    }
    const ToolResult json = scratch.Run("info --json '" + aex + "'");
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"category\": \"Mertvekv\""), std::string::npos) << json.out;
}

}  // namespace
}  // namespace tidalhalo::test
