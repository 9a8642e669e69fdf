// How a helper of the tests reports a system call that failed.
#pragma once

namespace support {

// Throws std::runtime_error naming what failed and errno's text.
[[noreturn]] void fail(const char *what);

}  // namespace support
