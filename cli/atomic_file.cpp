#include "cli/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <csignal>

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

// The temporary file being written, for the signal handler: a render
// stopped with Ctrl-C leaves nothing behind either.
char g_pending[4096];

extern "C" void RemovePendingAndStop(int signal_number) {
    if (g_pending[0] != '\0') {
        unlink(g_pending);
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void SetPending(const std::string &path) noexcept {
    static const bool installed = [] {
        for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
            std::signal(signal_number, RemovePendingAndStop);
        }
        return true;
    }();
    (void)installed;
    g_pending[0] = '\0';
    if (path.size() < sizeof g_pending) {
        std::memcpy(g_pending, path.c_str(), path.size() + 1);
    }
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
    SetPending(temp_);
}

AtomicFile::~AtomicFile() {
    SetPending("");
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

void CheckNotInput(const std::string &path, const std::string &input) {
    std::error_code error;
    if (std::filesystem::equivalent(path, input, error)) {
        throw CliError(path, "is the input " + input + "; write the result to another file");
    }
}

}  // namespace tidalhalo::cli
