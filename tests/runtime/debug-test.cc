// debug: the register dump, which keeps everything, flags included.
#include "cases.h"
#include "contract.h"
#include "object-check.h"

#include <bareio.h>

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace support;

// Entered with every status flag and DF set, then clear, at both
// alignments: everything comes back as it was.
BAREIO_TABLE(Dumpregs, std::vector<Contract>{Contract("keeps_everything", __dumpregs).to(Output::Null)});

std::string line(const char *name, uint64_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%-7s%016llx\n", name, static_cast<unsigned long long>(value));
    return text;
}

// One write to standard error, nothing to standard output: each register's
// value as the call found it, rsp as the caller had it, the return
// address, and the flags.
TEST(Dumpregs, WritesEveryRegisterOnStandardError)
{
    Capture out, err(Output::File, 2);
    const Outcome outcome = check_contract(Contract("", __dumpregs), false, 7);
    const std::string dump = err.text();
    EXPECT_EQ(outcome.violations, "");
    EXPECT_EQ(out.text(), "");
    std::string expected;
    for (int reg = 0; reg < 16; ++reg)
        expected += line(gpr_names[reg], reg == RSP ? outcome.rsp : outcome.out.gpr[reg]);
    ASSERT_EQ(dump.substr(0, expected.size()), expected);
    uint64_t rip = 0;
    EXPECT_EQ(std::sscanf(dump.c_str() + expected.size(), "rip    %llx", reinterpret_cast<unsigned long long *>(&rip)), 1);
    const auto call = reinterpret_cast<uint64_t>(bareio_checked_call);
    EXPECT_TRUE(rip > call && rip < call + 512) << "the return address, in the trampoline: " << dump;
    const uint64_t flags = outcome.out.rflags;
    char last[80];
    std::snprintf(last, sizeof last, "rflags %016llx CF=%d PF=%d AF=%d ZF=%d SF=%d DF=%d OF=%d\n",
                  static_cast<unsigned long long>(flags), int(flags & 1), int(flags >> 2 & 1), int(flags >> 4 & 1),
                  int(flags >> 6 & 1), int(flags >> 7 & 1), int(flags >> 10 & 1), int(flags >> 11 & 1));
    EXPECT_EQ(dump.substr(dump.find("rflags")), last);
    EXPECT_EQ(flags & REGS_ENTRY_FLAGS, uint64_t{REGS_ENTRY_FLAGS}) << "entered with every flag set";
}

TEST(Object, ExportsItsRoutineOnlyAndLinksAnywhere)
{
    EXPECT_EQ(check_object(STAGE_LIBDIR "/bareio/debug.o", {"__dumpregs"}, {}, {}), "");
}

}  // namespace
