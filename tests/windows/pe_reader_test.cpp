// The PE reader and the record decoder against damaged input: every failure
// must come back as false with a message. Built with the address and
// undefined-behaviour sanitizers, so a stray read fails the test.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "built_module.h"
#include "compiled_resources.h"
#include "sim/pe/pe_file.h"

// Leak checking needs ptrace, which containers often refuse; leaks are not
// what these tests look for.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

namespace {

namespace pe = tidalhalo::pe;

std::vector<uint8_t> CompiledRecord() {
    std::vector<CompiledResource> resources;
    std::string error;
    if (!CompileModuleResources(resources, error)) return {};
    for (const auto& r : resources)
        if (r.type == "PIPL") return r.bytes;
    return {};
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(FourCc, ReadsAsTheHostWritesIt) {
    EXPECT_EQ(pe::FourCc("kind"), 0x6b696e64u);
    EXPECT_EQ(pe::FourCcText(pe::FourCc("eGL2")), "eGL2");
    EXPECT_EQ(pe::FourCcText(0x41000142u), "A??B");
}

class RecordDecoder : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ResourceCompilerAvailable()) GTEST_SKIP() << "no x86_64-w64-mingw32-windres";
        record_ = CompiledRecord();
        ASSERT_EQ(record_.size(), 310u);
    }
    std::vector<uint8_t> record_;
    pe::Registration reg_;
    std::string error_;
};

TEST_F(RecordDecoder, KeepsEveryPropertyRaw) {
    ASSERT_TRUE(pe::DecodeRegistration(record_, reg_, error_)) << error_;
    ASSERT_EQ(reg_.properties.size(), 12u);
    const pe::Property& info = reg_.properties[7];
    EXPECT_EQ(info.key, pe::FourCc("eINF"));
    EXPECT_EQ(info.offset, 0xB6u);
    EXPECT_EQ(info.length, 2u);
    EXPECT_EQ(info.padded_length, 4u);
    EXPECT_EQ(info.data.size(), 2u);
    EXPECT_EQ(reg_.properties[11].offset, 0x122u);
    for (const pe::Property& p : reg_.properties) EXPECT_EQ(pe::FourCcText(p.vendor), "8BIM");
    EXPECT_EQ(reg_.pipl_version, (std::array<uint16_t, 2>{2, 6}));
    EXPECT_EQ(reg_.spec_version, (std::array<uint16_t, 2>{13, 0}));
    EXPECT_EQ(reg_.entry_point, "EntryPointFunc");
}

TEST_F(RecordDecoder, RefusesEveryTruncation) {
    for (size_t size = 0; size < record_.size(); ++size) {
        const std::vector<uint8_t> cut(record_.begin(), record_.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(pe::DecodeRegistration(cut, reg_, error_)) << size;
        EXPECT_FALSE(error_.empty());
    }
}

TEST_F(RecordDecoder, RefusesLengthsPastTheEnd) {
    PutU32(record_, 0x1E + 12, 0xfffffffeu);  // the name's length field
    EXPECT_FALSE(pe::DecodeRegistration(record_, reg_, error_));
    EXPECT_NE(error_.find("name"), std::string::npos) << error_;
}

TEST_F(RecordDecoder, RefusesACountedStringLongerThanItsData) {
    record_[0x3E + 16] = 12;  // the category's count byte, its data area holding 11 after it
    EXPECT_FALSE(pe::DecodeRegistration(record_, reg_, error_));
    EXPECT_NE(error_.find("catg"), std::string::npos) << error_;
}

TEST_F(RecordDecoder, RefusesAValueShorterThanItsType) {
    PutU32(record_, 0xA2 + 12, 3);  // the version's length
    EXPECT_FALSE(pe::DecodeRegistration(record_, reg_, error_));
    EXPECT_NE(error_.find("eVER"), std::string::npos) << error_;
}

TEST(PeReader, RefusesWhatIsNotAnImage) {
    pe::PeFile file;
    std::string error;
    EXPECT_FALSE(pe::ReadPe({}, file, error));
    const std::vector<uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(pe::ReadPe(text, file, error));
    EXPECT_NE(error.find("MZ"), std::string::npos);
    EXPECT_FALSE(pe::ReadPeFile("/nonexistent/Kv_Tidalhalo.aex", file, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

class DamagedModule : public ::testing::Test {
protected:
    void SetUp() override {
        if (!BuiltModuleExists()) GTEST_SKIP() << "no module at " << BuiltModulePath();
        std::ifstream in(BuiltModulePath(), std::ios::binary);
        image_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::string error;
        ASSERT_TRUE(pe::ReadPe(image_, intact_, error)) << error;
    }
    std::vector<uint8_t> image_;
    pe::PeFile intact_;
};

TEST_F(DamagedModule, TruncatedAnywhereItFailsOrReadsLess) {
    std::vector<size_t> sizes;
    for (size_t size = 0; size < 4096 && size < image_.size(); ++size) sizes.push_back(size);
    for (const pe::Section& s : intact_.sections)
        for (size_t step = 0; step < s.raw_size; step += 509) sizes.push_back(s.raw_offset + step);
    for (size_t size : sizes) {
        if (size >= image_.size()) continue;
        pe::PeFile file;
        std::string error;
        const bool ok = pe::ReadPe(std::span(image_).first(size), file, error);
        EXPECT_TRUE(ok || !error.empty()) << size;
    }
}

TEST_F(DamagedModule, CorruptedDirectoriesNeverCrashTheReader) {
    // Damage the headers and the sections holding the three directories.
    std::vector<std::pair<size_t, size_t>> ranges{{0, 1024}};
    for (const pe::Section& s : intact_.sections)
        if (s.name == ".edata" || s.name == ".idata" || s.name == ".rsrc")
            ranges.emplace_back(s.raw_offset, std::min<size_t>(s.raw_size, 4096));
    std::mt19937 random(20240611);
    size_t failures = 0;
    for (int round = 0; round < 3000; ++round) {
        const auto& [start, length] = ranges[random() % ranges.size()];
        std::vector<std::pair<size_t, uint8_t>> saved;
        for (int hit = 0; hit < 4; ++hit) {
            const size_t at = start + random() % length;
            saved.emplace_back(at, image_[at]);
            image_[at] = static_cast<uint8_t>(random());
        }
        pe::PeFile file;
        std::string error;
        if (!pe::ReadPe(image_, file, error)) {
            ++failures;
            EXPECT_FALSE(error.empty());
        }
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) image_[it->first] = it->second;
    }
    EXPECT_GT(failures, 0u) << "damage that the reader never notices tests nothing";
}

}  // namespace
