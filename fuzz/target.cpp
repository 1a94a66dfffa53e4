// The libFuzzer program of one fuzz target (ZN_FUZZ_TARGET, fuzz/entries.h). A Finding thrown
// by the entry is printed and aborts, so libFuzzer keeps the input like a crash.
#include <cstdio>
#include <cstdlib>

#include "fuzz/entries.h"

namespace {
const znfuzz::Target* target = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    znfuzz::initialize();
    target = znfuzz::findTarget(ZN_FUZZ_TARGET);
    if (!target) {
        std::fprintf(stderr, "no fuzz target %s in this build\n", ZN_FUZZ_TARGET);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        target->entry(data, size);
    } catch (const znfuzz::Finding& f) {
        std::fprintf(stderr, "\n==fuzz target %s: %s\n", target->name, f.what());
        std::abort();
    }
    return 0;
}
