#include "redirect.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

}  // namespace

Swap::Swap(int fd, int replacement) : fd_(fd)
{
    if (fd == 1)
        std::fflush(stdout);  // what stdio holds goes where it was meant to
    saved_ = dup(fd);
    if (saved_ < 0)
        fail("dup");
    if (replacement >= 0) {
        dup2(replacement, fd);
        close(replacement);
    } else {
        close(fd);
    }
}

void Swap::restore()
{
    if (saved_ < 0)
        return;
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
}

StdoutCapture::StdoutCapture() : file_(file_with({})), swap_(1, dup(file_)) {}

std::string StdoutCapture::text()
{
    std::string captured;
    if (file_ < 0)
        return captured;
    swap_.restore();
    lseek(file_, 0, SEEK_SET);
    char buffer[65536];
    for (ssize_t n; (n = read(file_, buffer, sizeof buffer)) > 0;)
        captured.append(buffer, n);
    close(file_);
    file_ = -1;
    return captured;
}

StdoutDiscarded::StdoutDiscarded() : swap_(1, open("/dev/null", O_WRONLY)) {}

StdinFeed::StdinFeed(const std::string &bytes, Input how)
    : ends_(open_input(how, bytes)), swap_(0, ends_.reader)
{
    if (ends_.writer < 0)
        return;
    if (how == Input::Pipe && bytes.size() > 65536)
        fail("pipe: more bytes than it holds");
    if (write(ends_.writer, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        fail("write");
    if (how == Input::Pipe) {  // the reader sees the end of input after the bytes
        close(ends_.writer);
        ends_.writer = -1;
    }
}

StdinFeed::~StdinFeed()
{
    swap_.restore();
    if (ends_.writer >= 0)
        close(ends_.writer);  // a terminal's master
}

}  // namespace support
