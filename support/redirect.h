// In-process console redirection: the run-time writes and reads with system
// calls on descriptors 0 and 1, so these swap the descriptors themselves.
// Each holds for the lifetime of the object.
#pragma once

#include "descriptors.h"

#include <string>

namespace support {

// Descriptor fd becomes replacement, which the object takes over (fd is
// closed when replacement is -1), until restore() or the end of the object.
class Swap {
public:
    Swap(int fd, int replacement);
    ~Swap() { restore(); }
    Swap(const Swap &) = delete;
    Swap &operator=(const Swap &) = delete;
    void restore();  // puts the original back; once

private:
    int fd_, saved_;
};

// Captures everything written to descriptor 1 until text() is called.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture() { text(); }
    // Puts descriptor 1 back and returns what was written (once).
    std::string text();

private:
    int file_;
    Swap swap_;
};

// Descriptor 1 closed (writes fail: EBADF).
class StdoutClosed {
    Swap swap_{1, -1};
};

// Descriptor 1 on /dev/null: everything written is taken and dropped.
class StdoutDiscarded {
public:
    StdoutDiscarded();

private:
    Swap swap_;
};

// Descriptor 0 reads the given bytes (from a file, a pipe already closed at
// the writing end, or a terminal), or fails (Closed, Directory).
class StdinFeed {
public:
    explicit StdinFeed(const std::string &bytes, Input how = Input::File);
    ~StdinFeed();

private:
    InputEnds ends_;
    Swap swap_;
};

}  // namespace support
