#include "cli/size_limit.h"

#include "cli/cli_error.h"

namespace tidalhalo::cli {

void CheckPictureSize(const std::string &name, int64_t width, int64_t height, const SizeLimit &limit) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width < 1 || height < 1) {
        throw CliError(name, "image size " + size + " is empty");
    }
    // Both sides are checked before their product, which then cannot overflow.
    if (width > limit.side || height > limit.side || width * height > limit.pixels) {
        throw CliError(name, "image size " + size + " is beyond the limit of " + std::to_string(limit.side) +
                                 " pixels a side and " + std::to_string(limit.pixels) + " pixels in all");
    }
}

}  // namespace tidalhalo::cli
