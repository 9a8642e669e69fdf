// corvane: asks for a principal, a rate per period (in percent) and a number
// of periods, then prints the simple and the compound interest.
//
// The rate is read in single precision and the period as a 16-bit integer.
// The growth factor of the compound interest is formed in single precision
// and only then widened, so 1000 at 5 % over 2 periods gives 102.499900,
// not 102.500000. Nothing is validated: a value that cannot be read stays 0.
// Output that could not be written is the one failure reported: a message on
// standard error and exit status 1.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

int main()
{
    double principal = 0.0;
    float rate = 0.0f;
    short period = 0;
    int lost = 0;  // errno of the first write that failed

    // Each prompt is flushed, so a process that drives the dialogue through
    // pipes sees it before it has to answer. A failed write sets the
    // stream's error flag; its errno is kept before scanf can change it.
    std::puts("Enter Principle");
    std::fflush(stdout);
    if (std::ferror(stdout))
        lost = errno;
    if (std::scanf("%lf", &principal) != 1) {
        // not validated: the principal stays 0
    }

    std::puts("Enter Rate / Period");
    std::fflush(stdout);
    if (lost == 0 && std::ferror(stdout))
        lost = errno;
    if (std::scanf("%f %hd", &rate, &period) != 2) {
        // not validated: what was not read stays 0
    }

    const double simple = principal * static_cast<double>(rate) * static_cast<double>(period) / 100.0;

    const float growth = rate / 100.0f + 1.0f;
    const double amount = std::pow(static_cast<double>(growth), static_cast<double>(period)) * principal;
    const double compound = amount - principal;

    std::printf("Calculated Interest is %lf\n", simple);
    std::printf("Calculated Compound Interest is %lf\n", compound);
    std::fflush(stdout);
    if (std::ferror(stdout)) {
        std::fprintf(stderr, "corvane: write error: %s\n", std::strerror(lost != 0 ? lost : errno));
        return 1;
    }
    return 0;
}
