#include "harness.h"
#include "model.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

// Runs __start on the given block and comes back (tests/support/trampoline.S).
extern "C" void bareio_adopt(uint64_t *block);

namespace fuzz {
namespace {

constexpr std::size_t max_arguments = 64;

int output_pipe = -1;  // the reading end of descriptor 1's pipe
int input_file = -1, output_end = -1;  // what descriptors 0 and 1 normally are
int directory = -1, read_only = -1;    // what they are while failing

// The start-up block with room beneath it for the two return addresses
// __start's calls push: argc, argv[0..argc-1], 0, then an empty environment.
uint64_t frame[4 + 1 + 1 + max_arguments + 2];
uint64_t *const block = frame + 4;
const char program_name[] = "fuzz";

void check(bool ok, const char *what)
{
    if (!ok) {
        std::perror(what);
        std::abort();
    }
}

void setup()
{
    input_file = memfd_create("stdin", 0);
    int ends[2];
    check(input_file >= 0 && pipe(ends) == 0, "memfd_create or pipe");
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);  // room for the longest output of one call
    output_pipe = ends[0];
    output_end = ends[1];
    directory = open("/", O_RDONLY | O_DIRECTORY);
    read_only = open("/dev/null", O_RDONLY);
    check(directory >= 0 && read_only >= 0, "open");
    set_failing(false);

    set_arguments({});
    bareio_adopt(block);
}

}  // namespace

void feed(std::string_view bytes)
{
    check(ftruncate(0, 0) == 0, "ftruncate");
    check(pwrite(0, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()), "pwrite");
    check(lseek(0, 0, SEEK_SET) == 0, "lseek");
}

void set_failing(bool failing)
{
    // A duplicate shares the file position, so input resumes where it was.
    check(dup2(failing ? directory : input_file, 0) == 0, "standard input");
    check(dup2(failing ? read_only : output_end, 1) == 1, "standard output");
}

std::vector<std::string_view> successive_reads(std::string_view input)
{
    std::vector<std::string_view> rests;
    for (std::size_t at = 0; at < input.size(); at += model::line_length(input.substr(at)))
        rests.push_back(input.substr(at));
    rests.push_back({});
    return rests;
}

std::string take()
{
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = read(output_pipe, buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            check(errno == EAGAIN, "read of the output");
            break;
        }
        text.append(buffer, n);
    }
    return text;
}

void set_arguments(const std::vector<const char *> &texts)
{
    check(texts.size() <= max_arguments, "too many arguments");
    uint64_t *p = block;
    *p++ = texts.size() + 1;
    *p++ = reinterpret_cast<uint64_t>(program_name);
    for (const char *text : texts)
        *p++ = reinterpret_cast<uint64_t>(text);
    *p++ = 0;  // end of argv
    *p = 0;    // end of the environment
}

std::string quoted(std::string_view bytes)
{
    std::string text = "\"";
    for (unsigned char ch : bytes) {
        if (ch >= 0x20 && ch < 0x7f && ch != '"' && ch != '\\') {
            text += static_cast<char>(ch);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", ch);
            text += escape;
        }
    }
    return text + "\"";
}

void differ(const char *what, std::string_view input, const std::string &got, const std::string &want)
{
    std::fprintf(stderr, "\n%s differs from the model\n  input: %s\n  got:   %s\n  want:  %s\n", what,
                 quoted(input).c_str(), got.c_str(), want.c_str());
    std::abort();
}

}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setup();
    return 0;
}
