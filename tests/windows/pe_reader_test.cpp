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

// Images whose tables point many entries at the same bytes: read naively, a
// file of a few hundred kilobytes unfolds into gigabytes of copies or
// minutes of section look-ups. Each is refused with a reason; the same
// tables written honestly, once each, are read.
class HostileTables : public ::testing::Test {
protected:
    static constexpr uint32_t SECTION_RVA = 0x10000000;

    static void Add32(std::vector<uint8_t>& b, uint32_t value) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    static void Add64(std::vector<uint8_t>& b, uint64_t value) {
        for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }

    // A 64-bit image whose last section, at SECTION_RVA, holds `data`; the
    // `empty_sections` before it hold nothing the tables point at.
    static std::vector<uint8_t> Image(const std::vector<uint8_t>& data, int directory, size_t empty_sections = 0) {
        const size_t sections = empty_sections + 1;
        const size_t headers = 0x40 + 4 + 20 + 240 + 40 * sections;
        const size_t raw = (headers + 0x1ff) & ~size_t{0x1ff};
        std::vector<uint8_t> b(raw);
        b[0] = 'M';
        b[1] = 'Z';
        PutU32(b, 0x3c, 0x40);
        PutU32(b, 0x40, 0x00004550);
        b[0x44] = 0x64;  // AMD64
        b[0x45] = 0x86;
        b[0x46] = static_cast<uint8_t>(sections);
        b[0x47] = static_cast<uint8_t>(sections >> 8);
        b[0x54] = 240;  // optional header size
        const size_t optional = 0x58;
        b[optional] = 0x0b;  // PE32+
        b[optional + 1] = 0x02;
        PutU32(b, optional + 60, 0x200);
        PutU32(b, optional + 108, 16);
        PutU32(b, optional + 112 + 8 * static_cast<size_t>(directory), SECTION_RVA);
        for (size_t i = 0; i < sections; ++i) {
            const size_t at = optional + 240 + 40 * i;
            const bool last = i == empty_sections;
            const auto size = static_cast<uint32_t>(last ? data.size() : 16);
            PutU32(b, at + 8, size);
            PutU32(b, at + 12, last ? SECTION_RVA : static_cast<uint32_t>(0x1000 + 16 * i));
            PutU32(b, at + 16, size);
            PutU32(b, at + 20, last ? static_cast<uint32_t>(raw) : 0);
        }
        b.insert(b.end(), data.begin(), data.end());
        return b;
    }

    // `dlls` import descriptors, all reading one table of `functions` ordinals.
    static std::vector<uint8_t> SharedImports(uint32_t dlls, uint32_t functions) {
        std::vector<uint8_t> d;
        const uint32_t name = SECTION_RVA + 20 * (dlls + 1);
        const uint32_t table = name + 8;
        for (uint32_t i = 0; i < dlls; ++i) {
            for (uint32_t field : {table, 0u, 0u, name, table}) Add32(d, field);
        }
        d.resize(d.size() + 20);
        for (char c : std::string("a.dll\0\0\0", 8)) d.push_back(static_cast<uint8_t>(c));
        for (uint32_t i = 0; i < functions; ++i) Add64(d, (uint64_t{1} << 63) | (i & 0xffff));
        Add64(d, 0);
        return d;
    }

    bool Read(const std::vector<uint8_t>& image) { return pe::ReadPe(image, file_, error_); }

    pe::PeFile file_;
    std::string error_;
};

TEST_F(HostileTables, ImportDescriptorsSharingOneTableAreRefused) {
    ASSERT_TRUE(Read(Image(SharedImports(1, 200), 1))) << error_;
    ASSERT_EQ(file_.imports.size(), 1u);
    EXPECT_EQ(file_.imports[0].functions.size(), 200u);

    EXPECT_FALSE(Read(Image(SharedImports(200, 200), 1)));
    EXPECT_NE(error_.find("claim more than the file holds"), std::string::npos) << error_;
}

TEST_F(HostileTables, ExportNamesSharingOneLongNameAreRefused) {
    const auto exports = [](uint32_t names) {
        std::vector<uint8_t> d(40);
        PutU32(d, 20, names);
        PutU32(d, 24, names);
        PutU32(d, 32, SECTION_RVA + 40);
        for (uint32_t i = 0; i < names; ++i) Add32(d, SECTION_RVA + 40 + 4 * names);
        d.insert(d.end(), 4000, 'x');
        d.push_back(0);
        return d;
    };
    ASSERT_TRUE(Read(Image(exports(1), 0))) << error_;
    EXPECT_EQ(file_.exports.at(0).size(), 4000u);

    EXPECT_FALSE(Read(Image(exports(300), 0)));
    EXPECT_NE(error_.find("claim more than the file holds"), std::string::npos) << error_;
}

TEST_F(HostileTables, ResourcesSharingOneDataEntryAreRefused) {
    const auto resources = [](uint32_t languages) {
        std::vector<uint8_t> d;
        const auto table = [&](std::vector<std::pair<uint32_t, uint32_t>> entries) {
            d.resize(d.size() + 14);
            d.push_back(static_cast<uint8_t>(entries.size()));
            d.push_back(static_cast<uint8_t>(entries.size() >> 8));
            for (const auto& [name, target] : entries) {
                Add32(d, name);
                Add32(d, target);
            }
        };
        const uint32_t names_at = 24;
        const uint32_t languages_at = names_at + 24;
        const uint32_t entry_at = languages_at + 16 + 8 * languages;
        table({{10, 0x80000000u | names_at}});
        table({{16000, 0x80000000u | languages_at}});
        std::vector<std::pair<uint32_t, uint32_t>> leaves;
        for (uint32_t i = 0; i < languages; ++i) leaves.emplace_back(i, entry_at);
        table(leaves);
        for (uint32_t field : {SECTION_RVA + entry_at + 16, 100000u, 0u, 0u}) Add32(d, field);
        d.resize(d.size() + 100000);
        return d;
    };
    ASSERT_TRUE(Read(Image(resources(1), 2))) << error_;
    ASSERT_EQ(file_.resources.size(), 1u);
    EXPECT_EQ(file_.resources[0].bytes.size(), 100000u);

    EXPECT_FALSE(Read(Image(resources(4000), 2)));
    EXPECT_NE(error_.find("claim more than the file holds"), std::string::npos) << error_;
}

TEST_F(HostileTables, ManySectionsTimesManyEntriesAreRefused) {
    const std::vector<uint8_t> imports = SharedImports(1, 50000);
    ASSERT_TRUE(Read(Image(imports, 1, 3))) << error_;
    EXPECT_EQ(file_.imports.at(0).functions.size(), 50000u);

    EXPECT_FALSE(Read(Image(imports, 1, 20000)));
    EXPECT_NE(error_.find("too many section look-ups"), std::string::npos) << error_;
}

}  // namespace
