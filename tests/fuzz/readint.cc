// Fuzz target: the input as standard input, read 20 bytes at a time by
// __readint until it runs out, and as one argument text to __argvint
// (which has no length limit); every value against the model.
#include "harness.h"
#include "model.h"

#include <bareio.h>

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    fuzz::feed(input);
    for (const std::string_view rest : fuzz::successive_reads(input)) {
        const int64_t got = __readint(), want = model::readint(rest);
        if (got != want)
            fuzz::differ("__readint", rest, std::to_string(got), std::to_string(want));
    }

    const std::string text(input);  // as an argument: up to its first zero byte
    fuzz::set_arguments({text.c_str()});
    const int64_t got = __argvint(0), want = model::strtoint(text.c_str());
    if (got != want)
        fuzz::differ("__argvint", text, std::to_string(got), std::to_string(want));
    if (__argvint(-1) != 1 || __argvint(1) != 0)
        fuzz::differ("__argvint's count or a missing argument", text, "", "count 1, missing 0");
    return 0;
}
