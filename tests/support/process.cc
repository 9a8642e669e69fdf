#include "process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace support {

Process::Process(const std::vector<std::string> &argv, Input how, const std::string &input, int output)
{
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        fail("pipe");
    const InputEnds ends = open_input(how, input);
    const int child_in = ends.reader;
    in_ = ends.writer;
    terminal_ = how == Input::Terminal;

    std::vector<char *> args;
    for (const auto &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0)
        fail("fork");
    if (pid_ == 0) {
        if (child_in >= 0)
            dup2(child_in, 0);
        else
            close(0);
        dup2(output >= 0 ? output : out[1], 1);
        dup2(err[1], 2);
        signal(SIGPIPE, SIG_DFL);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (child_in >= 0)
        close(child_in);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (in_ >= 0 && how == Input::Pipe)
        fcntl(in_, F_SETFL, O_NONBLOCK);
    if (!input.empty() && how != Input::File)
        send(input);
}

Process::~Process()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, err_})
        if (fd >= 0)
            close(fd);
}

void Process::send(const std::string &bytes)
{
    // Output is drained while writing, so a child that answers as it reads
    // cannot block us both.
    std::size_t done = 0;
    auto deadline = std::chrono::steady_clock::now() + Millis(10000);
    while (done < bytes.size() && in_ >= 0) {
        ssize_t n = write(in_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pump(Millis(10));
        } else if (n < 0 && errno != EINTR) {
            break;  // the child has stopped reading
        }
        if (std::chrono::steady_clock::now() > deadline)
            break;
    }
}

bool Process::pump(Millis timeout)
{
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    int open = (out_ >= 0) + (err_ >= 0);
    if (open == 0)
        return false;
    if (poll(fds, 2, static_cast<int>(timeout.count())) <= 0)
        return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[65536];
        ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            (i == 0 ? result_.out : result_.err).append(buffer, n);
        } else {
            close(fds[i].fd);
            (i == 0 ? out_ : err_) = -1;
        }
    }
    return true;
}

bool Process::expect(const std::string &text, Millis timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (result_.out.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(left))
            return result_.out.find(text) != std::string::npos;
    }
    return true;
}

Result Process::finish(Millis timeout)
{
    // Hanging up a terminal could throw away lines not yet read: it stays
    // open, and the test ends the child's input with ^D instead.
    if (in_ >= 0 && !terminal_) {
        close(in_);
        in_ = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out_ >= 0 || err_ >= 0) {
        auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result_.timed_out = true;
            kill(pid_, SIGKILL);
        }
        pump(left.count() > 0 ? left : Millis(100));
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result_;
}

bool on_path(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (access(((folder.empty() ? "." : folder) + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

Result traced(const char *fault, const std::vector<std::string> &argv, Input how,
              const std::vector<std::string> &parts)
{
    std::vector<std::string> command = {"strace", "-f", "-qq", "-o", fault ? "/dev/null" : "/dev/stderr", "-e",
                                        fault ? fault : "trace=!execve,write,exit,exit_group"};
    command.insert(command.end(), argv.begin(), argv.end());
    Process child(command, how, how == Input::File && !parts.empty() ? parts[0] : "");
    for (std::size_t i = 0; how != Input::File && i < parts.size(); ++i)
        child.send(parts[i]);
    return child.finish(Millis(10000));
}

Result run(const std::vector<std::string> &argv, const std::string &input, Input how, Millis timeout)
{
    Process child(argv, how, input);
    return child.finish(timeout);
}

}  // namespace support
