#include "sim/pe/pe_file.h"

#include <algorithm>
#include <fstream>
#include <new>

namespace tidalhalo::pe {
namespace {

// Files larger than this are not modules we care about; refusing them keeps
// a hostile size from turning into one huge allocation.
constexpr uint64_t MAX_FILE_SIZE = 512u * 1024u * 1024u;
// A resource tree can point many entries at one subdirectory; this caps the
// number of leaves so such a tree cannot multiply into millions of copies.
constexpr size_t MAX_RESOURCES = 4096;
constexpr size_t MAX_NAME_LENGTH = 4096;
// Likewise for tables whose entries all lead to empty subtables.
constexpr uint32_t MAX_RESOURCE_ENTRIES = 65536;

// Bounds-checked little-endian reads from a byte range.
class Bytes {
public:
    explicit Bytes(std::span<const uint8_t> bytes) noexcept : bytes_(bytes) {}

    bool Has(uint64_t offset, uint64_t size) const noexcept {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    bool U16(uint64_t offset, uint16_t& value) const noexcept {
        if (!Has(offset, 2)) return false;
        value = static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
        return true;
    }
    bool U32(uint64_t offset, uint32_t& value) const noexcept {
        if (!Has(offset, 4)) return false;
        value = 0;
        for (uint64_t i = 4; i-- > 0;) value = (value << 8) | bytes_[offset + i];
        return true;
    }
    bool U64(uint64_t offset, uint64_t& value) const noexcept {
        if (!Has(offset, 8)) return false;
        value = 0;
        for (uint64_t i = 8; i-- > 0;) value = (value << 8) | bytes_[offset + i];
        return true;
    }
    std::span<const uint8_t> Slice(uint64_t offset, uint64_t size) const noexcept {
        return bytes_.subspan(static_cast<size_t>(offset), static_cast<size_t>(size));
    }
    size_t size() const noexcept { return bytes_.size(); }

private:
    std::span<const uint8_t> bytes_;
};

struct DataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

class Reader {
public:
    Reader(std::span<const uint8_t> image, PeFile& file, std::string& error)
        : bytes_(image),
          file_(file),
          error_(error),
          copy_budget_(2 * uint64_t{image.size()}),
          lookup_budget_(16 * uint64_t{image.size()} + (uint64_t{1} << 20)) {}

    bool Read() {
        const bool read = ReadHeaders() && ReadExports() && ReadImports() && ReadResources();
        // Found deep inside a table, these say more than the table that gave up.
        if (overclaimed_) return Fail("the image's tables claim more than the file holds (entries share their bytes)");
        if (tangled_) return Fail("the image's tables need too many section look-ups (sections and entries multiply)");
        return read;
    }

private:
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    // An honest image stores every name, table entry and resource once, so
    // what the reader copies out stays within the file's size. A hostile one
    // can point thousands of entries at the same bytes; charging each copy
    // to a budget of twice the file keeps a small file from becoming
    // gigabytes of names and copies. On failure Read() gives the reason.
    bool Charge(uint64_t bytes) {
        if (bytes > copy_budget_) {
            overclaimed_ = true;
            return false;
        }
        copy_budget_ -= bytes;
        return true;
    }

    bool ReadHeaders() {
        uint16_t mz = 0;
        uint32_t pe_offset = 0;
        if (!bytes_.U16(0, mz) || mz != 0x5a4d) return Fail("not a PE image: no MZ signature");
        if (!bytes_.U32(0x3c, pe_offset)) return Fail("truncated DOS header");
        uint32_t signature = 0;
        if (!bytes_.U32(pe_offset, signature) || signature != 0x00004550)
            return Fail("not a PE image: no PE signature at the offset the DOS header gives");

        const uint64_t coff = uint64_t{pe_offset} + 4;
        uint16_t section_count = 0;
        uint16_t optional_size = 0;
        if (!bytes_.U16(coff, file_.machine) || !bytes_.U16(coff + 2, section_count) ||
            !bytes_.U16(coff + 16, optional_size) || !bytes_.U16(coff + 18, file_.characteristics))
            return Fail("truncated file header");

        const uint64_t optional = coff + 20;
        if (!bytes_.Has(optional, optional_size)) return Fail("truncated optional header");
        if (!bytes_.U16(optional, file_.optional_magic)) return Fail("truncated optional header");
        const bool plus = file_.optional_magic == OPTIONAL_MAGIC_PE32_PLUS;
        if (!plus && file_.optional_magic != OPTIONAL_MAGIC_PE32)
            return Fail("unknown optional header magic");
        const uint64_t directories_at = plus ? 112 : 96;
        if (optional_size < directories_at) return Fail("optional header too small");
        uint32_t image_base32 = 0;
        uint32_t directory_count = 0;
        bool ok = bytes_.U32(optional + 16, file_.entry_point) &&
                  bytes_.U32(optional + 60, size_of_headers_) &&
                  bytes_.U16(optional + 68, file_.subsystem) &&
                  bytes_.U16(optional + 70, file_.dll_characteristics) &&
                  bytes_.U32(optional + directories_at - 4, directory_count);
        if (plus) {
            ok = ok && bytes_.U64(optional + 24, file_.image_base);
        } else {
            ok = ok && bytes_.U32(optional + 28, image_base32);
            file_.image_base = image_base32;
        }
        if (!ok) return Fail("truncated optional header");
        for (uint32_t i = 0; i < directory_count && i < 16; ++i) {
            const uint64_t at = optional + directories_at + 8u * i;
            if (at + 8 > optional + optional_size) break;
            if (!bytes_.U32(at, directories_[i].rva) || !bytes_.U32(at + 4, directories_[i].size))
                return Fail("truncated data directories");
        }

        const uint64_t sections_at = optional + optional_size;
        if (!bytes_.Has(sections_at, 40u * uint64_t{section_count}))
            return Fail("section table runs past the end of the file");
        for (uint16_t i = 0; i < section_count; ++i) {
            const uint64_t at = sections_at + 40u * i;
            Section section;
            const auto name = bytes_.Slice(at, 8);
            for (uint8_t c : name) {
                if (c == 0) break;
                section.name.push_back(static_cast<char>(c));
            }
            bytes_.U32(at + 8, section.virtual_size);
            bytes_.U32(at + 12, section.virtual_address);
            bytes_.U32(at + 16, section.raw_size);
            bytes_.U32(at + 20, section.raw_offset);
            file_.sections.push_back(std::move(section));
        }
        return true;
    }

    // The file offset of `size` bytes at `rva`, if they all lie in the file,
    // and how many bytes from there on lie in the same part of it (the
    // headers or one section). Each look-up walks the section table, which a
    // hostile image makes 65535 entries long; the look-up budget keeps many
    // entries times many sections from running for minutes.
    bool Locate(uint32_t rva, uint64_t size, uint64_t& offset, uint64_t& available) {
        const uint64_t cost = 1 + file_.sections.size();
        if (cost > lookup_budget_) {
            tangled_ = true;
            return false;
        }
        lookup_budget_ -= cost;
        if (rva < size_of_headers_ && uint64_t{rva} + size <= size_of_headers_) {
            offset = rva;
            available = size_of_headers_ - rva;
        } else {
            const Section* found = nullptr;
            for (const Section& section : file_.sections) {
                if (rva >= section.virtual_address && rva - section.virtual_address + size <= section.raw_size) {
                    found = &section;
                    break;
                }
            }
            if (found == nullptr) return false;
            const uint64_t inside = rva - found->virtual_address;
            offset = found->raw_offset + inside;
            available = found->raw_size - inside;
        }
        if (!bytes_.Has(offset, size)) return false;
        available = std::min<uint64_t>(available, bytes_.size() - offset);
        return true;
    }
    bool Offset(uint32_t rva, uint64_t size, uint64_t& offset) {
        uint64_t available = 0;
        return Locate(rva, size, offset, available);
    }

    bool U16At(uint32_t rva, uint16_t& value) {
        uint64_t offset = 0;
        return Offset(rva, 2, offset) && bytes_.U16(offset, value);
    }
    bool U32At(uint32_t rva, uint32_t& value) {
        uint64_t offset = 0;
        return Offset(rva, 4, offset) && bytes_.U32(offset, value);
    }
    bool U64At(uint32_t rva, uint64_t& value) {
        uint64_t offset = 0;
        return Offset(rva, 8, offset) && bytes_.U64(offset, value);
    }

    // A zero-terminated ASCII string at `rva`, which may end exactly at the
    // end of its section.
    bool StringAt(uint32_t rva, std::string& text) {
        text.clear();
        uint64_t offset = 0;
        uint64_t available = 0;
        if (!Locate(rva, 1, offset, available)) return false;
        for (const uint8_t c : bytes_.Slice(offset, std::min<uint64_t>(available, MAX_NAME_LENGTH))) {
            if (c == 0) return true;
            text.push_back(static_cast<char>(c));
        }
        return false;
    }

    bool ReadExports() {
        const DataDirectory dir = directories_[0];
        if (dir.rva == 0) return true;
        uint32_t name_rva = 0;
        uint32_t name_count = 0;
        uint32_t names_rva = 0;
        if (!U32At(dir.rva + 12, name_rva) || !U32At(dir.rva + 20, file_.export_function_count) ||
            !U32At(dir.rva + 24, name_count) || !U32At(dir.rva + 32, names_rva))
            return Fail("export directory lies outside the file");
        if (name_rva != 0 && !StringAt(name_rva, file_.export_dll_name))
            return Fail("export directory's image name lies outside the file");
        if (!Charge(file_.export_dll_name.size() + 1)) return false;
        for (uint32_t i = 0; i < name_count; ++i) {
            uint32_t rva = 0;
            std::string name;
            if (uint64_t{names_rva} + 4u * uint64_t{i} > UINT32_MAX || !U32At(names_rva + 4 * i, rva) ||
                !StringAt(rva, name))
                return Fail("export name " + std::to_string(i) + " lies outside the file");
            if (!Charge(4 + name.size() + 1)) return false;
            file_.exports.push_back(std::move(name));
        }
        return true;
    }

    bool ReadImports() {
        const DataDirectory dir = directories_[1];
        if (dir.rva == 0) return true;
        const bool plus = file_.optional_magic == OPTIONAL_MAGIC_PE32_PLUS;
        for (uint64_t at = dir.rva;; at += 20) {
            if (at + 20 > UINT32_MAX) return Fail("import directory runs past the address space");
            const auto rva = static_cast<uint32_t>(at);
            uint32_t lookup = 0;
            uint32_t name_rva = 0;
            uint32_t thunks = 0;
            if (!U32At(rva, lookup) || !U32At(rva + 12, name_rva) || !U32At(rva + 16, thunks))
                return Fail("import directory lies outside the file");
            if (lookup == 0 && name_rva == 0 && thunks == 0) return true;
            Import import;
            if (!StringAt(name_rva, import.dll)) return Fail("imported DLL name lies outside the file");
            if (!Charge(20 + import.dll.size() + 1)) return false;
            if (!ReadImportedFunctions(lookup != 0 ? lookup : thunks, plus, import))
                return Fail("function list of " + import.dll + " lies outside the file");
            file_.imports.push_back(std::move(import));
        }
    }

    bool ReadImportedFunctions(uint32_t table, bool plus, Import& import) {
        const uint64_t width = plus ? 8 : 4;
        for (uint64_t at = table;; at += width) {
            if (at + width > UINT32_MAX) return false;
            const auto rva = static_cast<uint32_t>(at);
            uint64_t entry = 0;
            uint32_t entry32 = 0;
            if (plus ? !U64At(rva, entry) : !U32At(rva, entry32)) return false;
            if (!plus) entry = entry32;
            if (entry == 0) return true;
            if (!Charge(width)) return false;
            const uint64_t by_ordinal = plus ? uint64_t{1} << 63 : uint64_t{1} << 31;
            if (entry & by_ordinal) {
                import.functions.push_back(ResourceIdText(static_cast<uint32_t>(entry & 0xffff)));
                continue;
            }
            std::string name;
            if (entry > UINT32_MAX - 2 || !StringAt(static_cast<uint32_t>(entry) + 2, name)) return false;
            if (!Charge(2 + name.size() + 1)) return false;
            import.functions.push_back(std::move(name));
        }
    }

    bool ReadResources() {
        const DataDirectory dir = directories_[2];
        if (dir.rva == 0) return true;
        if (!Offset(dir.rva, 16, resource_base_)) return Fail("resource directory lies outside the file");
        return ReadResourceLevel(0, 0, {});
    }

    // Level 0 names the type, level 1 the resource, level 2 its language.
    bool ReadResourceLevel(uint64_t table, int level, Resource path) {
        uint16_t named = 0;
        uint16_t numbered = 0;
        if (!bytes_.U16(resource_base_ + table + 12, named) ||
            !bytes_.U16(resource_base_ + table + 14, numbered))
            return Fail("resource table lies outside the file");
        const uint32_t count = uint32_t{named} + numbered;
        for (uint32_t i = 0; i < count; ++i) {
            if (++resource_entries_ > MAX_RESOURCE_ENTRIES) return Fail("too many resource entries");
            const uint64_t entry = resource_base_ + table + 16 + 8u * i;
            uint32_t name = 0;
            uint32_t target = 0;
            if (!bytes_.U32(entry, name) || !bytes_.U32(entry + 4, target))
                return Fail("resource entry lies outside the file");
            std::string text;
            if (name & 0x80000000u) {
                if (!ResourceName(name & 0x7fffffffu, text)) return Fail("resource name lies outside the file");
            } else {
                text = ResourceIdText(name);
            }
            // Each entry copies the names above it.
            if (!Charge(8 + text.size() + path.type.size() + path.name.size())) return false;
            Resource next = path;
            if (level == 0) next.type = text;
            if (level == 1) next.name = text;
            if (level == 2) next.language = static_cast<uint16_t>(name & 0xffff);
            const bool is_table = (target & 0x80000000u) != 0;
            if (level < 2 && is_table) {
                if (!ReadResourceLevel(target & 0x7fffffffu, level + 1, next)) return false;
            } else if (level == 2 && !is_table) {
                if (!ReadResourceData(target, next)) return false;
            } else {
                return Fail("resource tree is not three levels deep");
            }
        }
        return true;
    }

    bool ResourceName(uint32_t at, std::string& text) const {
        uint16_t length = 0;
        if (!bytes_.U16(resource_base_ + at, length)) return false;
        if (!bytes_.Has(resource_base_ + at + 2, 2u * uint64_t{length})) return false;
        text.clear();
        for (uint16_t i = 0; i < length; ++i) {
            uint16_t unit = 0;
            bytes_.U16(resource_base_ + at + 2 + 2u * i, unit);
            if (unit < 0x80) {
                text.push_back(static_cast<char>(unit));
            } else if (unit < 0x800) {
                text.push_back(static_cast<char>(0xc0 | (unit >> 6)));
                text.push_back(static_cast<char>(0x80 | (unit & 0x3f)));
            } else if (unit >= 0xd800 && unit < 0xe000) {
                text.push_back('?');  // a surrogate half: names here are never that exotic
            } else {
                text.push_back(static_cast<char>(0xe0 | (unit >> 12)));
                text.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3f)));
                text.push_back(static_cast<char>(0x80 | (unit & 0x3f)));
            }
        }
        return true;
    }

    bool ReadResourceData(uint32_t at, Resource& resource) {
        if (file_.resources.size() >= MAX_RESOURCES) return Fail("too many resources");
        uint32_t rva = 0;
        uint32_t size = 0;
        if (!bytes_.U32(resource_base_ + at, rva) || !bytes_.U32(resource_base_ + at + 4, size) ||
            !bytes_.U32(resource_base_ + at + 8, resource.code_page))
            return Fail("resource data entry lies outside the file");
        uint64_t offset = 0;
        if (!Offset(rva, size, offset))
            return Fail("data of resource " + resource.type + " " + resource.name + " lies outside the file");
        if (!Charge(16 + uint64_t{size})) return false;
        const auto data = bytes_.Slice(offset, size);
        resource.bytes.assign(data.begin(), data.end());
        file_.resources.push_back(std::move(resource));
        return true;
    }

    Bytes bytes_;
    PeFile& file_;
    std::string& error_;
    uint32_t size_of_headers_ = 0;
    std::array<DataDirectory, 16> directories_{};
    uint64_t resource_base_ = 0;
    uint32_t resource_entries_ = 0;
    uint64_t copy_budget_;
    uint64_t lookup_budget_;
    bool overclaimed_ = false;
    bool tangled_ = false;
};

struct PropertyCursor {
    const Property& property;
    std::string& error;

    bool Need(uint32_t size) const {
        if (property.length >= size) return true;
        error = "property '" + FourCcText(property.key) + "' holds " + std::to_string(property.length) +
                " bytes, fewer than " + std::to_string(size);
        return false;
    }
    uint16_t U16(size_t at) const {
        return static_cast<uint16_t>(property.data[at] | (property.data[at + 1] << 8));
    }
    uint32_t U32() const {
        return uint32_t{property.data[0]} | uint32_t{property.data[1]} << 8 |
               uint32_t{property.data[2]} << 16 | uint32_t{property.data[3]} << 24;
    }
    // A length byte and that many characters.
    bool Counted(std::string& text) const {
        if (!Need(1)) return false;
        const uint8_t count = property.data[0];
        if (count > property.length - 1) {
            error = "counted string of property '" + FourCcText(property.key) + "' runs past its data";
            return false;
        }
        text.assign(property.data.begin() + 1, property.data.begin() + 1 + count);
        return true;
    }
    void Terminated(std::string& text) const {
        text.clear();
        for (uint8_t c : property.data) {
            if (c == 0) break;
            text.push_back(static_cast<char>(c));
        }
    }
};

bool DecodeProperty(const Property& property, Registration& r, std::string& error) {
    const PropertyCursor p{property, error};
    switch (property.key) {
    case FourCc("kind"): if (!p.Need(4)) return false; r.kind = p.U32(); return true;
    case FourCc("name"): return p.Counted(r.name);
    case FourCc("catg"): return p.Counted(r.category);
    case FourCc("8664"): p.Terminated(r.entry_point); return true;
    case FourCc("ePVR"): if (!p.Need(4)) return false; r.pipl_version = {p.U16(0), p.U16(2)}; return true;
    case FourCc("eSVR"): if (!p.Need(4)) return false; r.spec_version = {p.U16(0), p.U16(2)}; return true;
    case FourCc("eVER"): if (!p.Need(4)) return false; r.effect_version = p.U32(); return true;
    case FourCc("eINF"): if (!p.Need(2)) return false; r.info_flags = p.U16(0); return true;
    case FourCc("eGLO"): if (!p.Need(4)) return false; r.out_flags = p.U32(); return true;
    case FourCc("eGL2"): if (!p.Need(4)) return false; r.out_flags2 = p.U32(); return true;
    case FourCc("eMNA"): return p.Counted(r.match_name);
    case FourCc("aeFL"): if (!p.Need(4)) return false; r.reserved_info = p.U32(); return true;
    default: return true;  // properties this reader does not know are kept only raw
    }
}

}  // namespace

bool IsDll(const PeFile& file) noexcept {
    return (file.characteristics & CHARACTERISTIC_DLL) != 0;
}

bool ReadPe(std::span<const uint8_t> image, PeFile& file, std::string& error) noexcept {
    try {
        file = PeFile{};
        error.clear();
        return Reader(image, file, error).Read();
    } catch (const std::bad_alloc&) {
        error = "out of memory while reading the image";
        return false;
    } catch (...) {
        error = "unexpected failure while reading the image";
        return false;
    }
}

bool ReadPeFile(const std::string& path, PeFile& file, std::string& error) noexcept {
    try {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) {
            error = "cannot open " + path;
            return false;
        }
        const std::streamoff size = in.tellg();
        if (size < 0 || static_cast<uint64_t>(size) > MAX_FILE_SIZE) {
            error = "cannot read " + path + ": size unknown or too large";
            return false;
        }
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        in.seekg(0);
        if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
            error = "cannot read " + path;
            return false;
        }
        if (!ReadPe(bytes, file, error)) {
            error = path + ": " + error;
            return false;
        }
        return true;
    } catch (...) {
        error = "cannot read " + path;
        return false;
    }
}

const Resource* FindPeResource(const PeFile& file, std::string_view type,
                               std::string_view name) noexcept {
    for (const Resource& resource : file.resources) {
        if (resource.type == type && resource.name == name) return &resource;
    }
    return nullptr;
}

std::string ResourceIdText(uint32_t id) {
    std::string text(1, '#');
    text += std::to_string(id);
    return text;
}

std::string FourCcText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>((code >> shift) & 0xff);
        text.push_back(c >= 0x20 && c < 0x7f ? c : '?');
    }
    return text;
}

bool DecodeRegistration(std::span<const uint8_t> bytes, Registration& registration,
                        std::string& error) noexcept {
    try {
        registration = Registration{};
        error.clear();
        const Bytes record(bytes);
        if (!record.U16(0, registration.reserved) || !record.U32(2, registration.list_version) ||
            !record.U32(6, registration.count)) {
            error = "registration record shorter than its 10-byte header";
            return false;
        }
        uint64_t at = 10;
        for (uint32_t i = 0; i < registration.count; ++i) {
            Property property;
            property.offset = static_cast<uint32_t>(at);
            if (!record.U32(at, property.vendor) || !record.U32(at + 4, property.key) ||
                !record.U32(at + 8, property.id) || !record.U32(at + 12, property.length)) {
                error = "property " + std::to_string(i + 1) + " runs past the end of the record";
                return false;
            }
            property.padded_length = static_cast<uint32_t>((uint64_t{property.length} + 3) & ~uint64_t{3});
            if (property.length > UINT32_MAX - 3 || !record.Has(at + 16, property.padded_length)) {
                error = "data of property " + std::to_string(i + 1) + " ('" + FourCcText(property.key) +
                        "') runs past the end of the record";
                return false;
            }
            const auto data = record.Slice(at + 16, property.length);
            property.data.assign(data.begin(), data.end());
            at += 16 + uint64_t{property.padded_length};
            if (!DecodeProperty(property, registration, error)) return false;
            registration.properties.push_back(std::move(property));
        }
        registration.end = static_cast<uint32_t>(at);
        return true;
    } catch (...) {
        error = "out of memory while decoding the registration record";
        return false;
    }
}

}  // namespace tidalhalo::pe
