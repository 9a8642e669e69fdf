// lintrel: the same dialogue as corvane, but prints only the simple interest,
// computed by GetSimpleInterest. For the same input its result line is byte
// for byte the first result line of corvane. As in corvane, nothing is
// validated, and output that could not be written is reported on standard
// error with exit status 1.

#include <cerrno>
#include <cstdio>
#include <cstring>

// ((principal * rate) * period) / 100 in double precision, in that order.
extern "C" double GetSimpleInterest(double principal, float rate, short period)
{
    return principal * static_cast<double>(rate) * static_cast<double>(period) / 100.0;
}

int main()
{
    double principal = 0.0;
    float rate = 0.0f;
    short period = 0;
    int lost = 0;  // errno of the first write that failed, kept before scanf

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

    std::printf("Calculated Interest is %lf\n", GetSimpleInterest(principal, rate, period));
    std::fflush(stdout);
    if (std::ferror(stdout)) {
        std::fprintf(stderr, "lintrel: write error: %s\n", std::strerror(lost != 0 ? lost : errno));
        return 1;
    }
    return 0;
}
