// A reader for Windows PE images (.dll, .exe, .aex): the headers, the named
// exports, the imported DLLs, the resources, and the effect's registration
// record. It trusts nothing in the file: every offset is bounds-checked and a
// damaged file yields false with a message, never a crash.
//
//   using namespace tidalhalo;
//   pe::PeFile file;
//   std::string error;
//   if (!pe::ReadPeFile("Kv_Tidalhalo.aex", file, error)) { report(error); }
//   const pe::Resource* pipl = pe::FindPeResource(file, "PIPL", "#16000");
//   pe::Registration reg;
//   if (pipl && pe::DecodeRegistration(pipl->bytes, reg, error)) { use(reg.name); }
//
// Builds natively and for Windows; it reads files, it never loads them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tidalhalo::pe {

inline constexpr uint16_t MACHINE_I386 = 0x014c;
inline constexpr uint16_t MACHINE_AMD64 = 0x8664;
inline constexpr uint16_t CHARACTERISTIC_DLL = 0x2000;
inline constexpr uint16_t OPTIONAL_MAGIC_PE32 = 0x010b;
inline constexpr uint16_t OPTIONAL_MAGIC_PE32_PLUS = 0x020b;
inline constexpr uint32_t RESOURCE_TYPE_MANIFEST = 24;

struct Section {
    std::string name;  // up to 8 characters
    uint32_t virtual_address = 0;
    uint32_t virtual_size = 0;
    uint32_t raw_offset = 0;
    uint32_t raw_size = 0;
};

struct Import {
    std::string dll;                     // as written in the file, e.g. "KERNEL32.dll"
    std::vector<std::string> functions;  // by name; imports by ordinal appear as "#n"
};

// Resource types and names are written as Windows writes them in text:
// a named entry as its name ("PIPL"), a numbered one as '#' and the number
// ("#16000", "#24"). Names are converted from UTF-16 to UTF-8.
struct Resource {
    std::string type;
    std::string name;
    uint16_t language = 0;
    uint32_t code_page = 0;
    std::vector<uint8_t> bytes;
};

struct PeFile {
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    uint16_t optional_magic = 0;
    uint16_t subsystem = 0;
    uint16_t dll_characteristics = 0;
    uint64_t image_base = 0;
    uint32_t entry_point = 0;  // relative virtual address, 0 when none
    std::vector<Section> sections;
    std::string export_dll_name;       // the name the export directory gives the image
    uint32_t export_function_count = 0;  // every exported address, named or not
    std::vector<std::string> exports;  // the named exports, in the file's order
    std::vector<Import> imports;
    std::vector<Resource> resources;   // ordered by type, name, language as stored
};

bool IsDll(const PeFile& file) noexcept;

// Reads a whole image from memory or from a file. On failure returns false,
// puts the reason into `error`, and leaves `file` partly filled.
bool ReadPe(std::span<const uint8_t> image, PeFile& file, std::string& error) noexcept;
bool ReadPeFile(const std::string& path, PeFile& file, std::string& error) noexcept;

// The first resource of that type and name in any language, or null.
const Resource* FindPeResource(const PeFile& file, std::string_view type,
                               std::string_view name) noexcept;

// "#n" for a numbered resource type or name.
std::string ResourceIdText(uint32_t id);

// Four-character codes as the host writes them: 'kind' is ('k' << 24) | ... | 'd',
// stored little-endian, so its bytes in the file read "dnik".
constexpr uint32_t FourCc(const char (&code)[5]) noexcept {
    return (uint32_t{static_cast<uint8_t>(code[0])} << 24) |
           (uint32_t{static_cast<uint8_t>(code[1])} << 16) |
           (uint32_t{static_cast<uint8_t>(code[2])} << 8) |
           uint32_t{static_cast<uint8_t>(code[3])};
}
std::string FourCcText(uint32_t code);

// One entry of the plug-in property list.
struct Property {
    uint32_t offset = 0;  // of the vendor field, from the start of the record
    uint32_t vendor = 0;
    uint32_t key = 0;
    uint32_t id = 0;
    uint32_t length = 0;        // as stored
    std::vector<uint8_t> data;  // the `length` data bytes, without the fill
    uint32_t padded_length = 0;  // length rounded up to 4: the bytes it occupies
};

// The registration record (resource "PIPL" #16000) with its known properties
// decoded. Properties absent from the record leave their fields at zero/empty.
struct Registration {
    uint16_t reserved = 0;
    uint32_t list_version = 0;
    uint32_t count = 0;  // as stored
    std::vector<Property> properties;
    uint32_t end = 0;  // offset after the last property's fill

    uint32_t kind = 0;                        // 'kind'
    std::string name;                         // 'name', a counted string
    std::string category;                     // 'catg', a counted string
    std::string entry_point;                  // '8664', zero-terminated
    std::array<uint16_t, 2> pipl_version{};   // 'ePVR'
    std::array<uint16_t, 2> spec_version{};   // 'eSVR'
    uint32_t effect_version = 0;              // 'eVER'
    uint16_t info_flags = 0;                  // 'eINF'
    uint32_t out_flags = 0;                   // 'eGLO'
    uint32_t out_flags2 = 0;                  // 'eGL2'
    std::string match_name;                   // 'eMNA', a counted string
    uint32_t reserved_info = 0;               // 'aeFL'
};

// Walks the record's header and every property. Fails on anything that runs
// past the end or a known property too short for its value.
bool DecodeRegistration(std::span<const uint8_t> bytes, Registration& registration,
                        std::string& error) noexcept;

}  // namespace tidalhalo::pe
