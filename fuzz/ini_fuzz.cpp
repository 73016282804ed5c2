// Arbitrary file contents, names and values through the INI engine; see
// ini_invariants.h for the input layout and what is checked.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ini_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ini_invariants::checkInput(input, [](bool condition, const char* what) {
        if (!condition) {
            std::fprintf(stderr, "invariant broken: %s\n", what);
            std::abort();
        }
    });
    return 0;
}
