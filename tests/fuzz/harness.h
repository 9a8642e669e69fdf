// What every fuzz target shares: standard input and output redirected
// inside the process, the program's arguments set as if __start had been
// given them, and the one way a target reports a difference.
#pragma once

#include "contract.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The harness defines LLVMFuzzerInitialize: once, before the first input,
// descriptor 0 becomes a memory file and descriptor 1 a pipe, and __start
// is run on a start-up block of ours.

// The bytes the next reads of standard input return, then end of input.
void feed(std::string_view bytes);

// What is left of fed input at each of the calls of __readint or __readdec
// that consume it, a line each, ending with the empty rest that end of
// input leaves.
std::vector<std::string_view> successive_reads(std::string_view input);

// Everything written to standard output since the last call.
std::string take();

// While failing: reads of standard input fail (EISDIR) and writes to
// standard output fail (EBADF); afterwards both go on where they were.
void set_failing(bool failing);

// The arguments after the program name, as __startarg hands them out. The
// texts must stay alive while the routines may look at them.
void set_arguments(const std::vector<const char *> &texts);

// Reports a difference between the run-time and the model on stderr and
// aborts, so the fuzzer keeps the input that caused it.
[[noreturn]] void differ(const char *what, std::string_view input, const std::string &got,
                         const std::string &want);

// Printable forms for differ(): contract.h's hex, and bytes quoted.
using support::hex;
std::string quoted(std::string_view bytes);

}  // namespace fuzz
