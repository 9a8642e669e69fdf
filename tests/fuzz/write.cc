// Fuzz target: eight bytes written as a 64-bit integer by __writeint, as a
// character code by __writechr (its bytes, lowest first, up to the first
// zero byte) and as a double by __writedec (every one: NaNs, infinities,
// subnormals, huge values), each against the model. Raw bit patterns
// almost never land where rounding is decided, so a ninth byte also makes
// a value a few units in the last place from a half-way point between
// six-place decimals.
#include "harness.h"
#include "model.h"

#include <bareio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void expect(const char *what, std::string_view input, const std::string &want)
{
    const std::string got = fuzz::take();
    if (got != want)
        fuzz::differ(what, input, fuzz::quoted(got), fuzz::quoted(want));
}

void expect_writedec(double value, std::string_view input)
{
    __writedec(value);
    expect(("__writedec(" + fuzz::hex(model::to_bits(value)) + ")").c_str(), input, model::writedec(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    uint64_t bits = 0;
    std::memcpy(&bits, data, std::min(size, sizeof bits));
    __writeint(static_cast<int64_t>(bits));
    expect("__writeint", input, model::writeint(static_cast<int64_t>(bits)));
    __writechr(bits);
    expect("__writechr", input, model::writechr(bits));
    expect_writedec(model::from_bits(bits), input);

    if (size > sizeof bits) {
        // (n + 0.5) / 10^6 for an n of up to 18 digits, moved by -128..127 units.
        double value = (static_cast<double>(bits % 1000000000000000000ull) + 0.5) / 1e6;
        const int steps = static_cast<int8_t>(data[sizeof bits]);
        for (int i = 0; i < std::abs(steps); ++i)
            value = std::nextafter(value, steps < 0 ? 0.0 : HUGE_VAL);
        expect_writedec(value, input);
        expect_writedec(-value, input);
    }
    return 0;
}
