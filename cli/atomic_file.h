// Writing a file so that readers see either the old file or the complete
// new one: the data goes to a temporary file beside the target, which is
// renamed over the target only when it is complete.
#pragma once

#include <string>

namespace tidalhalo::cli {

class AtomicFile {
public:
    // Creates the temporary file in the target's directory; throws CliError
    // naming the target when that directory cannot be written.
    explicit AtomicFile(std::string target);
    // Removes the temporary file unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Where the writer should put the data.
    const std::string &TempPath() const noexcept { return temp_; }
    const std::string &Target() const noexcept { return target_; }

    // Moves the finished temporary file onto the target.
    void Commit();

private:
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

// Throws CliError when path cannot become an output file: its directory is
// missing or not writable, or the path names a directory.
void CheckWritable(const std::string &path);

// Throws CliError when writing path would replace the file input names,
// however either is spelled (other folders, links).
void CheckNotInput(const std::string &path, const std::string &input);

}  // namespace tidalhalo::cli
