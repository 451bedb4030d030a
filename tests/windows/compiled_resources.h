// Runs the resource compiler on the module's resource script and reads back
// what it wrote, so tests check the compiler's real output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CompiledResource {
    std::string type;  // "PIPL", or "#24" for a numbered type
    std::string name;  // "#16000"
    uint16_t language = 0;
    std::vector<uint8_t> bytes;
};

// False when no resource compiler was found at configure time.
bool ResourceCompilerAvailable();

// Compiles entry/Kv_Tidalhalo.rc into a .res file and parses it. On failure
// returns false with the reason in `error`.
bool CompileModuleResources(std::vector<CompiledResource>& resources, std::string& error);

// Parses the contents of a .res file.
bool ParseResFile(const std::vector<uint8_t>& bytes, std::vector<CompiledResource>& resources,
                  std::string& error);
