// Running a program under test as a child process: its arguments, what its
// standard input is, and what it writes, with a deadline on everything.
#pragma once

#include "descriptors.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace support {

struct Result {
    std::string out;
    std::string err;
    int status = -1;        // the exit status, or 128 + the signal that ended it
    bool timed_out = false;
};

using Millis = std::chrono::milliseconds;

// A running child, for tests that hold a dialogue with it. argv[0] is the
// program, looked up in PATH when it names no directory; when it cannot be
// started, the child ends with status 127.
class Process {
public:
    // output, unless -1, is the child's standard output instead of a pipe.
    Process(const std::vector<std::string> &argv, Input how = Input::Pipe,
            const std::string &input = {}, int output = -1);
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    // Sends bytes to the child's input (a pipe or terminal).
    void send(const std::string &bytes);
    // Reads output until it holds text or the time is up; true if found.
    bool expect(const std::string &text, Millis timeout);
    // Closes the input, collects the rest of the output and the status;
    // a child still running after timeout is killed.
    Result finish(Millis timeout);

    const std::string &out() const { return result_.out; }

private:
    bool pump(Millis timeout);  // one round of reading; false when both ends closed
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    bool terminal_ = false;  // the input is kept open until the end
    Result result_;
};

// Whether PATH holds a program of this name, so that it can be run.
bool on_path(const std::string &program);

// Runs argv to the end with input on standard input.
Result run(const std::vector<std::string> &argv, const std::string &input = {},
           Input how = Input::Pipe, Millis timeout = Millis(10000));

// Runs argv under strace, with a fault to inject (strace's -e inject=...),
// or with none (nullptr) tracing every call but execve, write and exit into
// the result's err, a line a call. The input is sent a part at a time (on a
// socket of messages, a message each); a File holds the first part.
Result traced(const char *fault, const std::vector<std::string> &argv, Input how,
              const std::vector<std::string> &parts);

// Standard output of a program (found in PATH), run with these arguments
// as they are: no shell reads them, so a path may hold any character.
inline std::string output_of(const std::vector<std::string> &argv) { return run(argv).out; }

}  // namespace support
