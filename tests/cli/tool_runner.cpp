#include "tests/cli/tool_runner.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <sys/wait.h>

namespace tidalhalo::test {

Scratch::Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tidalhalo-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    dir_ = buffer.data();
}

Scratch::~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

ToolResult Scratch::Run(const std::string &args) const {
    // The outputs go to files outside the scratch folder's listing.
    const std::string out = dir_ + ".out", err = dir_ + ".err";
    const std::string command = "cd '" + dir_ + "' && '" TIDALHALO_TOOL "' " + args + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    ToolResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

std::set<std::string> Scratch::Files() const {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir_)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tidalhalo::test
