// What a program under test reads as standard input, whether it runs as a
// child process (process.h) or in-process (redirect.h): one way to make
// each kind of descriptor 0.
#pragma once

#include <string>

namespace support {

// What the standard input is.
enum class Input {
    Pipe,       // a pipe the test writes to (and then closes)
    File,       // a regular file holding the bytes
    Terminal,   // a pseudo-terminal in canonical mode, echo off: one line a read
    Closed,     // descriptor 0 not open: reads fail with EBADF
    Directory,  // a directory: reads fail with EISDIR
    // Pipes that an in-process StdinFeed fills a byte every 2 ms, then
    // closes, so reads wait: the first while a 1 ms timer interrupts them
    // (EINTR), the second with O_NONBLOCK (EAGAIN).
    InterruptedPipe,
    NonBlockingPipe,
    // One end of a socket pair: a stream, or a socket of messages (sequenced
    // packets, datagrams), to which StdinFeed sends the bytes as messages,
    // cut at each '|'.
    StreamSocket,
    PacketSocket,
    DatagramSocket,
    // A stream socket whose reading end has a peek offset (SO_PEEK_OFF 0),
    // and one whose reading end times out after 0.2 s (SO_RCVTIMEO).
    PeekOffsetSocket,
    TimedSocket,
    // A file on tmpfs whose bytes end 11 bytes short of the largest
    // offset, read from where they start: a read of 20 bytes fails there.
    FarFile,
    // A pty's master side, its slave's output raw: the test writes to the
    // slave, and lines come out of the master.
    TerminalMaster,
};

// The kind's name, as a test's name may hold it ("stream_socket").
const char *name_of(Input how);

// The two ends of a standard input: reader becomes descriptor 0 (-1 for
// Closed), writer is the end the test writes to (the pipe's writing end,
// the terminal's master, a socket's other end; -1 for the others). A File
// or FarFile already holds the bytes, read from their start; nothing is
// written to the other kinds.
struct InputEnds {
    int reader = -1;
    int writer = -1;
};
InputEnds open_input(Input how, const std::string &file_bytes = {});

// A regular file holding bytes, already unlinked, positioned at its start.
int file_with(const std::string &bytes);

// How a helper of the tests reports a system call that failed: it throws
// std::runtime_error naming what failed and errno's text.
[[noreturn]] void fail(const char *what);

}  // namespace support
