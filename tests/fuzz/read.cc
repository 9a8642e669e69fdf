// Fuzz target: the input as standard input, read a line at a time by
// __readint and by __readdec until it runs out, and as one argument text
// to __argvint and __argvdec (which have no length limit): every value and
// verdict against the model, bit for bit; the integer verdict against
// std::from_chars too, and every decimal of up to 24 characters against
// strtod within 8 units in the last place, where the model could share a
// fault with the routine.
#include "harness.h"
#include "model.h"

#include <bareio.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string shown(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g ", value);
    return text + fuzz::hex(model::to_bits(value));
}

template <typename Value>
std::string shown(const model::Number<Value> &number)
{
    if constexpr (std::is_same_v<Value, double>)
        return shown(number.value) + (number.number ? "" : " x");
    else
        return std::to_string(number.value) + (number.number ? "" : " x");
}

template <typename Value>
void expect(const char *what, std::string_view input, model::Number<Value> got, model::Number<Value> want)
{
    if (model::to_bits(static_cast<double>(got.value)) != model::to_bits(static_cast<double>(want.value)) ||
        (std::is_same_v<Value, int64_t> && got.value != want.value) || got.number != want.number)
        fuzz::differ(what, input, shown(got), shown(want));
}

void expect_oracles(const std::string &text, model::Number<int64_t> integer, double decimal)
{
    int64_t parsed;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (integer.number != (!text.empty() && error == std::errc() && end == text.data() + text.size()))
        fuzz::differ("the integer verdict, against from_chars", text, std::to_string(integer.number), "");
    if (text.size() > 24 || !model::is_decimal(text.c_str()))
        return;
    const uint64_t apart = model::ulps_apart(decimal, std::strtod(text.c_str(), nullptr));
    if (apart > 8)
        fuzz::differ("__argvdec, against strtod", text, shown(decimal), std::to_string(apart) + " units away");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    for (bool decimal : {false, true}) {
        fuzz::feed(input);
        for (const std::string_view rest : fuzz::successive_reads(input)) {
            if (decimal) {
                double value;
                const bool number = bareio_readdec_verdict(&value) == BAREIO_NUMBER;
                expect("__readdec", rest, model::Number<double>{value, number}, model::readdec(rest));
            } else {
                int64_t value;
                const bool number = bareio_readint_verdict(&value) == BAREIO_NUMBER;
                expect("__readint", rest, model::Number<int64_t>{value, number}, model::readint(rest));
            }
        }
    }

    const std::string text(input);  // as an argument: up to its first zero byte
    fuzz::set_arguments({text.c_str()});
    int64_t integer;
    double decimal;
    const bool integer_number = bareio_argvint_verdict(0, &integer) == BAREIO_NUMBER;
    const bool decimal_number = bareio_argvdec_verdict(0, &decimal) == BAREIO_NUMBER;
    const char *argument = text.c_str();
    expect("__argvint", text, model::Number<int64_t>{integer, integer_number},
           {model::strtoint(argument), model::is_integer(argument)});
    expect("__argvdec", text, model::Number<double>{decimal, decimal_number},
           {model::strtodec(argument), model::is_decimal(argument)});
    expect_oracles(argument, {integer, integer_number}, decimal);
    if (__argvint(-1) != 1 || __argvint(1) != 0 || model::to_bits(__argvdec(1)) != 0 ||
        model::to_bits(__argvdec(-1)) != 0)
        fuzz::differ("the count or a missing argument", text, "", "count 1, missing 0, 0.0");
    return 0;
}
