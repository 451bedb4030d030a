#include "cli/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_error.h"

namespace tidalhalo::cli {
namespace {

std::string DirectoryOf(const std::string &path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? std::string(".") : parent;
}

// mkstemp creates files readable by the owner only; an output should get
// the permissions any newly created file would get.
mode_t CreationMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
    CheckWritable(target_);
    const std::string name = std::filesystem::path(target_).filename().string();
    std::string pattern = DirectoryOf(target_) + "/." + name + ".tmp-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
        throw CliError(target_, std::strerror(errno));
    }
    fchmod(fd, CreationMode());
    close(fd);
    temp_ = buffer.data();
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        std::remove(temp_.c_str());
    }
}

void AtomicFile::Commit() {
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        throw CliError(target_, std::strerror(errno));
    }
    committed_ = true;
}

void CheckWritable(const std::string &path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw CliError(path, "is a directory");
    }
    const std::string directory = DirectoryOf(path);
    if (stat(directory.c_str(), &info) != 0) {
        throw CliError(path, "directory " + directory + " does not exist");
    }
    if (!S_ISDIR(info.st_mode)) {
        throw CliError(path, directory + " is not a directory");
    }
    if (access(directory.c_str(), W_OK) != 0) {
        throw CliError(path, "directory " + directory + " is not writable");
    }
}

}  // namespace tidalhalo::cli
