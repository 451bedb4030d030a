// A one-line progress bar on stderr, drawn only when stderr is a terminal,
// so logs and pipes stay clean.
#pragma once

#include <cstdint>

namespace tidalhalo::cli {

class Progress {
public:
    explicit Progress(int64_t total);
    // Ends the line the bar was drawn on.
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // Called after each finished frame.
    void Done(int32_t frame);

private:
    int64_t total_;  // up to 2^31 frames
    int64_t done_ = 0;
    bool enabled_;
};

}  // namespace tidalhalo::cli
