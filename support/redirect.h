// In-process console redirection: the run-time writes and reads with system
// calls on descriptors 0 and 1, so these swap the descriptors themselves.
#pragma once

#include "process.h"

#include <csignal>
#include <string>
#include <thread>

namespace support {

// Captures everything written to descriptor 1 until text() is called.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;
    // Puts descriptor 1 back and returns what was written (once).
    std::string text();

private:
    int saved_ = -1, file_ = -1;
};

// Descriptor 1 closed for the lifetime of the object (writes fail: EBADF).
class StdoutClosed {
public:
    StdoutClosed();
    ~StdoutClosed();
    StdoutClosed(const StdoutClosed &) = delete;
    StdoutClosed &operator=(const StdoutClosed &) = delete;

private:
    int saved_ = -1;
};

// Descriptor 1 a pipe, blocking or not, that a thread drains slowly, so
// writes come back short or would block; text() waits for the last byte.
class StdoutDrain {
public:
    explicit StdoutDrain(bool nonblocking);
    ~StdoutDrain();
    StdoutDrain(const StdoutDrain &) = delete;
    StdoutDrain &operator=(const StdoutDrain &) = delete;
    // Puts descriptor 1 back and returns what was written (once).
    std::string text();

private:
    int saved_ = -1;
    std::string received_;
    std::thread drain_;
};

// Descriptor 0 reads the given bytes (from a file, a pipe already closed at
// the writing end, a terminal, or a pipe filled slowly), or fails (Closed,
// Directory), for the lifetime of the object.
class StdinFeed {
public:
    explicit StdinFeed(const std::string &bytes, Input how = Input::File);
    ~StdinFeed();
    StdinFeed(const StdinFeed &) = delete;
    StdinFeed &operator=(const StdinFeed &) = delete;

private:
    int saved_ = -1, master_ = -1;
    std::thread feed_;
};

// SIGALRM every millisecond, with a handler installed without SA_RESTART,
// while the object lives: system calls that wait end early with EINTR.
class Interrupter {
public:
    Interrupter();
    ~Interrupter();
    Interrupter(const Interrupter &) = delete;
    Interrupter &operator=(const Interrupter &) = delete;
    // How many signals have arrived so far.
    int count() const;

private:
    struct sigaction saved_ {};
};

}  // namespace support
