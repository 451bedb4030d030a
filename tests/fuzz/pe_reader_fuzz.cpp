// The PE reader behind `tidalhalo info`, fed any file: reading must end in
// true or in false with a reason, never in a crash, a stray read or undefined
// behaviour. Every resource it finds goes through the registration decoder,
// and so do the input bytes themselves, as if they were a record.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "sim/pe/pe_file.h"

namespace {

namespace pe = tidalhalo::pe;

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// What the tool prints of a record, so that every decoded field is read.
size_t Touch(const pe::Registration &r) {
    size_t n = pe::FourCcText(r.kind).size() + r.name.size() + r.category.size() + r.entry_point.size() +
               r.match_name.size();
    for (const pe::Property &p : r.properties) {
        n += pe::FourCcText(p.vendor).size() + pe::FourCcText(p.key).size() + p.data.size();
    }
    return n;
}

void Decode(std::span<const uint8_t> bytes) {
    pe::Registration registration;
    std::string error;
    if (!pe::DecodeRegistration(bytes, registration, error)) {
        if (error.empty()) Fail("DecodeRegistration failed without a reason");
        return;
    }
    uint64_t end = 10;
    for (const pe::Property &p : registration.properties) {
        if (p.data.size() != p.length) Fail("a property's data is not as long as its length says");
        if (p.offset != end) Fail("properties are not back to back");
        end = uint64_t{p.offset} + 16 + p.padded_length;
    }
    if (registration.end != end || registration.end > bytes.size()) Fail("the record ends past its bytes");
    if (Touch(registration) == SIZE_MAX) Fail("unreachable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const std::span<const uint8_t> image(bytes, size);
    pe::PeFile file;
    std::string error;
    if (pe::ReadPe(image, file, error)) {
        // Entries sharing their bytes must not multiply the file.
        uint64_t copied = 0;
        for (const pe::Resource &resource : file.resources) {
            copied += resource.bytes.size();
            Decode(resource.bytes);
        }
        for (const std::string &name : file.exports) copied += name.size();
        for (const pe::Import &import : file.imports) {
            for (const std::string &function : import.functions) copied += function.size();
        }
        if (copied > 2 * uint64_t{size}) Fail("the reader copied out more than twice the file");
        const pe::Resource *pipl = pe::FindPeResource(file, "PIPL", "#16000");
        if (pipl != nullptr && pipl->type != "PIPL") Fail("FindPeResource returned another type");
        if (pe::IsDll(file) != ((file.characteristics & pe::CHARACTERISTIC_DLL) != 0)) Fail("IsDll");
    } else if (error.empty()) {
        Fail("ReadPe failed without a reason");
    }
    Decode(image);
    return 0;
}
