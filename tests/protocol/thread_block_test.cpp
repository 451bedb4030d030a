// The module's thread-local block read from its ELF program headers. Its
// per-pixel state is reached in one load from a fixed offset, which puts
// the whole block in the static TLS area. A library loaded at run time gets
// that room from a small reserve the C library shares among all such
// libraries (glibc keeps 512 bytes by default), so the block must stay well
// inside it, or loading fails once another library has taken its part.
#include <elf.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Leaves a quarter of the reserve to other libraries.
constexpr uint64_t THREAD_BLOCK_MOST = 384;

// The thread-local block's size in memory; 0 without one.
uint64_t ThreadBlockSize(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    Elf64_Ehdr header{};
    file.read(reinterpret_cast<char *>(&header), sizeof header);
    EXPECT_TRUE(file && header.e_ident[EI_CLASS] == ELFCLASS64) << path;
    for (uint16_t i = 0; file && i < header.e_phnum; ++i) {
        Elf64_Phdr program{};
        file.seekg(static_cast<std::streamoff>(header.e_phoff + uint64_t{i} * header.e_phentsize));
        file.read(reinterpret_cast<char *>(&program), sizeof program);
        if (file && program.p_type == PT_TLS) {
            return program.p_memsz;
        }
    }
    return 0;
}

TEST(ThreadBlock, EachBuiltLibraryLeavesRoomInTheStaticReserve) {
    const std::vector<std::string> paths = {TIDALHALO_MODULE_PATH, TIDALHALO_THREAD_BLOCK_OTHERS};
    for (const std::string &path : paths) {
        if (path.empty()) {
            continue;
        }
        const uint64_t size = ThreadBlockSize(path);
        EXPECT_GT(size, 0u) << path;
        EXPECT_LE(size, THREAD_BLOCK_MOST) << path;
    }
}

}  // namespace
