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

// What standard output is.
enum class Output {
    File,             // a file, read back by text()
    Pipe,             // a pipe that a thread drains slowly: writes come back short
    NonBlockingPipe,  // the same, non-blocking: writes would block
    Closed,           // not open: writes fail (EBADF)
    Full,             // /dev/full: every write fails (ENOSPC)
    Null,             // /dev/null: everything is taken and dropped
    TimedSocket,      // a socket nobody reads, with SO_SNDTIMEO of 0.2 s
};

// Descriptor 1 (or 2) as the given kind of output, for the object's
// lifetime: the one way the tests capture and starve the run-time's output.
class Capture {
public:
    explicit Capture(Output to = Output::File, int descriptor = 1);
    ~Capture() { text(); }
    Capture(const Capture &) = delete;
    Capture &operator=(const Capture &) = delete;
    // Puts the descriptor back and returns what reached a file or a pipe
    // (once; "" for the other kinds).
    std::string text();

private:
    int file_ = -1;
    InputEnds ends_;
    std::optional<Swap> swap_;
    std::string received_;
    std::thread drain_;
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

// Descriptor 0 reads the given bytes, as the kind of input says (from a
// file, a pipe already closed at the writing end, a terminal, a socket,
// or a pipe filled slowly), or fails (Closed, Directory).
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
