// A one-line progress bar on stderr, drawn only when stderr is a terminal,
// so logs and pipes stay clean.
#pragma once

#include <cstdint>

namespace tidalhalo::cli {

class Progress {
public:
    explicit Progress(int32_t total);
    // Ends the line the bar was drawn on.
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // Called after each finished frame.
    void Done(int32_t frame);

private:
    int32_t total_;
    int32_t done_ = 0;
    bool enabled_;
};

}  // namespace tidalhalo::cli
