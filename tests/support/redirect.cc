#include "redirect.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
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
// The handler's own stack: a signal frame on the caller's would overwrite
// the junk that the contract check paints below rsp.
alignas(16) char signal_stack[1 << 16];

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

Capture::Capture(Output to, int descriptor)
{
    int fd = -1;
    switch (to) {
    case Output::File:
        file_ = file_with({});
        fd = dup(file_);
        break;
    case Output::Pipe:
    case Output::NonBlockingPipe:
        ends_ = open_input(Input::Pipe);
        fd = ends_.writer;
        if (to == Output::NonBlockingPipe)
            fcntl(fd, F_SETFL, O_NONBLOCK);
        drain_ = quiet_thread([this] {
            char buffer[16384];
            for (ssize_t n; (n = read(ends_.reader, buffer, sizeof buffer)) != 0; usleep(50))
                if (n > 0)
                    received_.append(buffer, n);
            close(ends_.reader);
        });
        break;
    case Output::Closed:
        break;
    case Output::Full:
    case Output::Null:
        fd = open(to == Output::Full ? "/dev/full" : "/dev/null", O_WRONLY | O_CLOEXEC);
        break;
    case Output::TimedSocket: {
        ends_ = open_input(Input::StreamSocket);
        const timeval limit{0, 200000};
        setsockopt(ends_.writer, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        fd = ends_.writer;
        break;
    }
    }
    swap_.emplace(descriptor, fd);
}

std::string Capture::text()
{
    if (!swap_)
        return {};
    swap_.reset();  // the descriptor back: a pipe's last writing end closes
    if (drain_.joinable())
        drain_.join();  // (the drain closes its end)
    else if (ends_.reader >= 0)
        close(ends_.reader);  // a socket's other end
    if (file_ >= 0) {
        lseek(file_, 0, SEEK_SET);
        char buffer[65536];
        for (ssize_t n; (n = read(file_, buffer, sizeof buffer)) > 0;)
            received_.append(buffer, n);
        close(file_);
    }
    return std::move(received_);
}

StdinFeed::StdinFeed(const std::string &bytes, Input how)
    : ends_(open_input(how, bytes)), swap_(0, ends_.reader)
{
    if (ends_.writer < 0)
        return;
    if (how == Input::InterruptedPipe || how == Input::NonBlockingPipe) {
        feed_ = quiet_thread([bytes, to = ends_.writer] {
            for (char byte : bytes) {
                usleep(2000);
                if (write(to, &byte, 1) != 1)
                    std::abort();
            }
            close(to);
        });
        ends_.writer = -1;  // the thread's now
        if (how == Input::InterruptedPipe)
            interrupter_.emplace();
        return;
    }
    if (how == Input::Pipe && bytes.size() > 65536)
        fail("pipe: more bytes than it holds");
    // One write, or for a socket of messages one a '|'-separated piece.
    const bool messages = how == Input::PacketSocket || how == Input::DatagramSocket;
    for (std::size_t from = 0;;) {
        const std::size_t to = messages ? std::min(bytes.find('|', from), bytes.size()) : bytes.size();
        if (write(ends_.writer, bytes.data() + from, to - from) != static_cast<ssize_t>(to - from))
            fail("write");
        if (to == bytes.size())
            break;
        from = to + 1;
    }
    if (how != Input::Terminal && how != Input::TimedSocket) {  // the end of input, after the bytes
        close(ends_.writer);
        ends_.writer = -1;
    }
}

StdinFeed::~StdinFeed()
{
    interrupter_.reset();
    if (feed_.joinable())
        feed_.join();
    swap_.restore();
    if (ends_.writer >= 0)
        close(ends_.writer);  // a terminal's master
}

Interrupter::Interrupter()
{
    interruptions = 0;
    struct sigaction action {};
    action.sa_handler = count_interruption;  // no SA_RESTART
    action.sa_flags = SA_ONSTACK;
    const stack_t own{signal_stack, 0, sizeof signal_stack};
    sigaltstack(&own, &saved_stack_);
    sigaction(SIGALRM, &action, &saved_);
    itimerval every_ms{{0, 1000}, {0, 1000}};
    setitimer(ITIMER_REAL, &every_ms, nullptr);
}

Interrupter::~Interrupter()
{
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    signal(SIGALRM, SIG_IGN);  // drops a signal still pending
    sigaction(SIGALRM, &saved_, nullptr);
    sigaltstack(&saved_stack_, nullptr);
}

int Interrupter::count() const { return interruptions; }

NoDescriptorsAllowed::NoDescriptorsAllowed()
{
    getrlimit(RLIMIT_NOFILE, &saved_);
    const rlimit none{0, saved_.rlim_max};
    setrlimit(RLIMIT_NOFILE, &none);
}

NoDescriptorsAllowed::~NoDescriptorsAllowed() { setrlimit(RLIMIT_NOFILE, &saved_); }

}  // namespace support
