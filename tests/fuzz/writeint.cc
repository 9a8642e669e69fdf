// Fuzz target: eight bytes as a 64-bit integer, written by __writeint
// (against std::to_chars) and as a character code by __writechr (its bytes,
// lowest first, up to the first zero byte).
#include "harness.h"
#include "model.h"

#include <bareio.h>

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint64_t bits = 0;
    std::memcpy(&bits, data, std::min(size, sizeof bits));
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    __writeint(static_cast<int64_t>(bits));
    std::string got = fuzz::take(), want = model::writeint(static_cast<int64_t>(bits));
    if (got != want)
        fuzz::differ("__writeint", input, got, want);

    __writechr(bits);
    got = fuzz::take();
    want = model::writechr(bits);
    if (got != want)
        fuzz::differ("__writechr", input, fuzz::quoted(got), fuzz::quoted(want));
    return 0;
}
