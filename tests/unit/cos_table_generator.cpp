// Prints render/ring_cosine_table.h from the precise path:
//   build/native/tests/unit/cos_table_generator > render/ring_cosine_table.h
#include <cstdio>

#include "render/ring_cosine.h"

int main() {
    std::printf("// The quick cosine's table: cos and sin of i/128 for i = 0..%zu in\n"
                "// double-double, and sin's high part split in halves of 26 bits. Printed by\n"
                "// tests/unit/cos_table_generator from the precise path; do not edit.\n"
                "#pragma once\n\n"
                "inline constexpr std::array<CosTableEntry, COS_TABLE_SIZE> COS_TABLE = {{\n",
                COS_TABLE_SIZE - 1);
    for (const CosTableEntry &e : MakeCosTable()) {
        std::printf("    {%a, %a, %a, %a, %a, %a},\n", e.cos_hi, e.cos_lo, e.sin_hi, e.sin_lo, e.sin_split_hi,
                    e.sin_split_lo);
    }
    std::printf("}};\n");
    return 0;
}
