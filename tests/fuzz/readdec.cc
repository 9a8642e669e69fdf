// Fuzz target: the input as standard input, read 20 bytes at a time by
// __readdec until it runs out, and as one argument text to __argvdec
// (which has no length limit); every value bit for bit against the model.
#include "harness.h"
#include "model.h"

#include <bareio.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

std::string shown(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g ", value);
    return text + fuzz::hex(model::to_bits(value));
}

void expect_same(const char *what, std::string_view input, double got, double want)
{
    if (model::to_bits(got) != model::to_bits(want))
        fuzz::differ(what, input, shown(got), shown(want));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    fuzz::feed(input);
    for (const std::string_view rest : fuzz::successive_reads(input))
        expect_same("__readdec", rest, __readdec(), model::readdec(rest));

    const std::string text(input);  // as an argument: up to its first zero byte
    fuzz::set_arguments({text.c_str()});
    expect_same("__argvdec", text, __argvdec(0), model::strtodec(text.c_str()));
    expect_same("__argvdec of a missing argument", text, __argvdec(1), 0.0);
    expect_same("__argvdec of a negative index", text, __argvdec(-1), 0.0);
    return 0;
}
