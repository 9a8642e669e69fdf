#include "redirect.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace support {
namespace {

// The tests may be started with a standard descriptor closed (CI gives no
// standard input). A file opened later would then take its number, and
// swapping it in and out would close it: park /dev/null there first.
[[maybe_unused]] const bool standard_descriptors_open = [] {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != fd)
            std::abort();
    return true;
}();

int temp_file()
{
    char name[] = "/tmp/bareio-capture-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        throw std::runtime_error("mkstemp");
    unlink(name);
    return fd;
}

}  // namespace

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    saved_ = dup(1);
    file_ = temp_file();
    dup2(file_, 1);
}

std::string StdoutCapture::text()
{
    std::string captured;
    if (saved_ < 0)
        return captured;
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
    lseek(file_, 0, SEEK_SET);
    char buffer[65536];
    for (ssize_t n; (n = read(file_, buffer, sizeof buffer)) > 0;)
        captured.append(buffer, n);
    close(file_);
    return captured;
}

StdoutCapture::~StdoutCapture() { text(); }

StdoutClosed::StdoutClosed()
{
    std::fflush(stdout);
    saved_ = dup(1);
    close(1);
}

StdoutClosed::~StdoutClosed()
{
    dup2(saved_, 1);
    close(saved_);
}

StdinFeed::StdinFeed(const std::string &bytes, Input how)
{
    saved_ = dup(0);
    int fd = -1;
    switch (how) {
    case Input::File:
        fd = temp_file();
        if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("write");
        lseek(fd, 0, SEEK_SET);
        break;
    case Input::Pipe: {
        int ends[2];
        if (pipe(ends) != 0 || bytes.size() > 65536)
            throw std::runtime_error("pipe");
        if (write(ends[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("write");
        close(ends[1]);
        fd = ends[0];
        break;
    }
    case Input::Terminal: {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("posix_openpt");
        fd = open(ptsname(master_), O_RDWR | O_NOCTTY);
        termios mode{};
        tcgetattr(fd, &mode);
        mode.c_lflag |= ICANON;
        mode.c_lflag &= ~(ECHO | ECHONL);
        tcsetattr(fd, TCSANOW, &mode);
        if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("write");
        break;
    }
    case Input::Closed:
        break;
    case Input::Directory:
        fd = open("/", O_RDONLY | O_DIRECTORY);
        break;
    }
    if (fd >= 0) {
        dup2(fd, 0);
        close(fd);
    } else {
        close(0);
    }
}

StdinFeed::~StdinFeed()
{
    dup2(saved_, 0);
    close(saved_);
    if (master_ >= 0)
        close(master_);
}

}  // namespace support
