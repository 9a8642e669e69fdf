// Fuzz target: eight bytes as a double (every one: NaNs, infinities,
// subnormals, huge values), written by __writedec, against the model. Raw
// bit patterns almost never land where rounding is decided, so a ninth
// byte also makes a value a few units in the last place from a half-way
// point between six-place decimals.
#include "harness.h"
#include "model.h"

#include <bareio.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void expect_model(double value, std::string_view input)
{
    __writedec(value);
    const std::string got = fuzz::take(), want = model::writedec(value);
    if (got != want)
        fuzz::differ("__writedec", input, got + " for " + fuzz::hex(model::to_bits(value)), want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    uint64_t bits = 0;
    std::memcpy(&bits, data, std::min(size, sizeof bits));
    expect_model(model::from_bits(bits), input);

    if (size > sizeof bits) {
        // (n + 0.5) / 10^6 for an n of up to 18 digits, moved by -128..127 units.
        const double halfway = (static_cast<double>(bits % 1000000000000000000ull) + 0.5) / 1e6;
        double value = halfway;
        const int steps = static_cast<int8_t>(data[sizeof bits]);
        for (int i = 0; i < std::abs(steps); ++i)
            value = std::nextafter(value, steps < 0 ? 0.0 : HUGE_VAL);
        expect_model(value, input);
        expect_model(-value, input);
    }
    return 0;
}
