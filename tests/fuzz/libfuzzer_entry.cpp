// The libFuzzer entry point of one fuzz target, chosen when compiling with -DSC_API_FUZZ_TARGET.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::SC_API_FUZZ_TARGET(data, size);
}
