#include "cli/progress.h"

#include <cstdio>
#include <string>

#include <unistd.h>

namespace tidalhalo::cli {
namespace {

constexpr int32_t kBarWidth = 30;

}  // namespace

Progress::Progress(int64_t total) : total_(total), enabled_(isatty(STDERR_FILENO) == 1 && total > 1) {}

Progress::~Progress() {
    if (enabled_ && done_ > 0) {
        std::fputc('\n', stderr);
    }
}

void Progress::Done(int32_t frame) {
    ++done_;
    if (!enabled_) {
        return;
    }
    const int32_t filled = static_cast<int32_t>(kBarWidth * done_ / total_);
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %lld/%lld  frame %d ", bar.c_str(), static_cast<long long>(done_),
                 static_cast<long long>(total_), frame);
    std::fflush(stderr);
}

}  // namespace tidalhalo::cli
