#include "descriptors.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace support {

void fail(const char *what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

int file_with(const std::string &bytes)
{
    char name[] = "/tmp/bareio-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        fail("mkstemp");
    unlink(name);  // nothing is left behind, however the test ends
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        fail("write");
    lseek(fd, 0, SEEK_SET);
    return fd;
}

const char *name_of(Input how)
{
    const char *const names[] = {"pipe",           "file",          "terminal",       "closed",
                                 "directory",      "interrupted",   "non_blocking",   "stream_socket",
                                 "packet_socket",  "datagrams",     "peek_offset",    "timed_socket",
                                 "far_file",       "terminal_master"};
    return names[static_cast<int>(how)];
}

InputEnds open_input(Input how, const std::string &file_bytes)
{
    InputEnds ends;
    switch (how) {
    case Input::Pipe:
    case Input::InterruptedPipe:
    case Input::NonBlockingPipe: {
        int pipe_ends[2];
        if (pipe2(pipe_ends, O_CLOEXEC) != 0)
            fail("pipe");
        ends = {pipe_ends[0], pipe_ends[1]};
        if (how == Input::NonBlockingPipe)
            fcntl(ends.reader, F_SETFL, O_NONBLOCK);
        break;
    }
    case Input::File:
        ends.reader = file_with(file_bytes);
        break;
    case Input::FarFile: {
        char name[] = "/dev/shm/bareio-XXXXXX";
        ends.reader = mkstemp(name);
        const off_t at = INT64_MAX - 11 - static_cast<off_t>(file_bytes.size());
        if (ends.reader < 0 || unlink(name) != 0 ||
            pwrite(ends.reader, file_bytes.data(), file_bytes.size(), at) != ssize_t(file_bytes.size()) ||
            lseek(ends.reader, at, SEEK_SET) != at)
            fail("a file near the largest offset");
        break;
    }
    case Input::TerminalMaster:
    case Input::Terminal: {
        ends.writer = posix_openpt(O_RDWR | O_NOCTTY);
        if (ends.writer < 0 || grantpt(ends.writer) != 0 || unlockpt(ends.writer) != 0)
            fail("posix_openpt");
        ends.reader = open(ptsname(ends.writer), O_RDWR | O_NOCTTY);
        if (ends.reader < 0)
            fail("open pty");
        termios mode{};
        tcgetattr(ends.reader, &mode);
        mode.c_lflag |= ICANON;
        mode.c_lflag &= ~(ECHO | ECHONL);
        mode.c_oflag &= ~OPOST;  // what a master reads is what was written
        tcsetattr(ends.reader, TCSANOW, &mode);
        if (how == Input::TerminalMaster)
            std::swap(ends.reader, ends.writer);
        break;
    }
    case Input::StreamSocket:
    case Input::PeekOffsetSocket:
    case Input::TimedSocket:
    case Input::PacketSocket:
    case Input::DatagramSocket: {
        const int type = how == Input::PacketSocket     ? SOCK_SEQPACKET
                         : how == Input::DatagramSocket ? SOCK_DGRAM
                                                        : SOCK_STREAM;
        int pair[2];
        if (socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, pair) != 0)
            fail("socketpair");
        ends = {pair[0], pair[1]};
        const int offset = 0;
        const timeval limit{0, 200000};
        if (how == Input::PeekOffsetSocket && setsockopt(ends.reader, SOL_SOCKET, SO_PEEK_OFF, &offset, sizeof offset))
            fail("SO_PEEK_OFF");
        if (how == Input::TimedSocket && setsockopt(ends.reader, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit))
            fail("SO_RCVTIMEO");
        break;
    }
    case Input::Closed:
        break;
    case Input::Directory:
        ends.reader = open("/", O_RDONLY | O_DIRECTORY);
        if (ends.reader < 0)
            fail("open /");
        break;
    }
    return ends;
}

}  // namespace support
