// Any text through Val; see val_invariants.h.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "val_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    val_invariants::checkInput(input, [](bool condition, const char* what) {
        if (!condition) {
            std::fprintf(stderr, "invariant broken: %s\n", what);
            std::abort();
        }
    });
    return 0;
}
