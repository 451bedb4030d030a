// Runs the built tidalhalo in a scratch folder of its own and collects its
// exit status, standard output and standard error.
#pragma once

#include <set>
#include <string>

namespace tidalhalo::test {

struct ToolResult {
    int status = -1;  // the exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

class Scratch {
public:
    Scratch();   // a new empty folder
    ~Scratch();  // removed with everything in it
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    const std::string &Dir() const noexcept { return dir_; }
    std::string Path(const std::string &name) const { return dir_ + "/" + name; }

    // Runs "tidalhalo ARGS" with this folder as the working directory; ARGS
    // go through the shell, so quote where needed.
    ToolResult Run(const std::string &args) const;

    // The names of the files in the folder, hidden ones included.
    std::set<std::string> Files() const;

private:
    std::string dir_;
};

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &bytes);

}  // namespace tidalhalo::test
