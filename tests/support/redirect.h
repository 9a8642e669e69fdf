// In-process console redirection: the run-time writes and reads with system
// calls on descriptors 0 and 1, so these swap the descriptors themselves.
// Each holds for the lifetime of the object.
#pragma once

#include "descriptors.h"

#include <csignal>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <thread>

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

// Descriptor 1 on /dev/null: everything written is taken and dropped; or
// on another device, such as /dev/full, where every write fails (ENOSPC).
class StdoutDiscarded {
public:
    explicit StdoutDiscarded(const char *device = "/dev/null");

private:
    Swap swap_;
};

// SIGALRM every millisecond, with a handler installed without SA_RESTART,
// on a stack of its own: system calls that wait end early with EINTR.
class Interrupter {
public:
    Interrupter();
    ~Interrupter();
    Interrupter(const Interrupter &) = delete;
    Interrupter &operator=(const Interrupter &) = delete;
    int count() const;  // signals so far

private:
    struct sigaction saved_ {};
    stack_t saved_stack_{};
};

// RLIMIT_NOFILE at 0 while it lives: poll, even of one descriptor, then
// fails with EINVAL, and no descriptor can be opened or duplicated.
class NoDescriptorsAllowed {
public:
    NoDescriptorsAllowed();
    ~NoDescriptorsAllowed();
    NoDescriptorsAllowed(const NoDescriptorsAllowed &) = delete;
    NoDescriptorsAllowed &operator=(const NoDescriptorsAllowed &) = delete;

private:
    rlimit saved_{};
};

// Descriptor 1 a pipe, blocking or not, that a thread drains slowly, so
// writes come back short or would block; text() waits for the last byte.
class StdoutDrain {
public:
    explicit StdoutDrain(bool nonblocking);
    ~StdoutDrain() { text(); }
    // Puts descriptor 1 back and returns what was written (once).
    std::string text();

private:
    InputEnds ends_;
    Swap swap_;
    std::string received_;
    std::thread drain_;
};

// Descriptor 0 reads the given bytes (from a file, a pipe already closed at
// the writing end, a terminal, or a pipe filled slowly), or fails (Closed,
// Directory).
class StdinFeed {
public:
    explicit StdinFeed(const std::string &bytes, Input how = Input::File);
    ~StdinFeed();
    // Signals that have interrupted the reader so far (InterruptedPipe).
    int interruptions() const { return interrupter_ ? interrupter_->count() : 0; }

private:
    InputEnds ends_;
    Swap swap_;
    std::thread feed_;
    std::optional<Interrupter> interrupter_;
};

}  // namespace support
