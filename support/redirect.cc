#include "redirect.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/time.h>
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

// A helper thread that never takes a signal meant for the code under test.
template <typename Body>
std::thread quiet_thread(Body body)
{
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    std::thread thread(body);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return thread;
}

volatile sig_atomic_t interruptions = 0;
void count_interruption(int) { interruptions = interruptions + 1; }

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

StdoutDrain::StdoutDrain(bool nonblocking)
{
    std::fflush(stdout);
    int ends[2];
    if (pipe(ends) != 0)
        throw std::runtime_error("pipe");
    if (nonblocking)
        fcntl(ends[1], F_SETFL, O_NONBLOCK);
    saved_ = dup(1);
    dup2(ends[1], 1);
    close(ends[1]);
    drain_ = quiet_thread([this, from = ends[0]] {
        char buffer[16384];
        for (ssize_t n; (n = read(from, buffer, sizeof buffer)) != 0; usleep(50))
            if (n > 0)
                received_.append(buffer, n);
        close(from);
    });
}

std::string StdoutDrain::text()
{
    if (saved_ < 0)
        return {};
    dup2(saved_, 1);  // the last writing end closes: the drain sees the end
    close(saved_);
    saved_ = -1;
    drain_.join();
    return std::move(received_);
}

StdoutDrain::~StdoutDrain() { text(); }

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
    case Input::SlowPipe:
    case Input::NonBlockingPipe: {
        int ends[2];
        if (pipe(ends) != 0)
            throw std::runtime_error("pipe");
        if (how == Input::NonBlockingPipe)
            fcntl(ends[0], F_SETFL, O_NONBLOCK);
        fd = ends[0];
        feed_ = quiet_thread([bytes, to = ends[1]] {
            for (char byte : bytes) {
                usleep(2000);
                if (write(to, &byte, 1) != 1)
                    std::abort();
            }
            close(to);
        });
        break;
    }
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
    if (feed_.joinable())
        feed_.join();
    dup2(saved_, 0);
    close(saved_);
    if (master_ >= 0)
        close(master_);
}

Interrupter::Interrupter()
{
    interruptions = 0;
    struct sigaction action {};
    action.sa_handler = count_interruption;  // no SA_RESTART
    sigaction(SIGALRM, &action, &saved_);
    itimerval every_ms{{0, 1000}, {0, 1000}};
    setitimer(ITIMER_REAL, &every_ms, nullptr);
}

Interrupter::~Interrupter()
{
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &saved_, nullptr);
}

int Interrupter::count() const { return interruptions; }

}  // namespace support
