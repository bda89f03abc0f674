// Where reads are saved: checked before dialling, standard output once.
#include "vekhost/TransferArgument.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace vekhost {
namespace {

TransferArgument ReadTo(std::string file) { return {TransferKind::Read, 0, 4, {}, std::move(file)}; }

TEST(VekhostReadTargetTest, EachTargetIsCheckedBeforeTheCall)
{
    struct Case {
        std::vector<TransferArgument> items;
        const char* error;
    };
    const std::string fresh = ::testing::TempDir() + "vekhost-fresh-never-created.bin";
    const Case cases[] = {
        {{ReadTo(fresh)}, ""},
        {{ReadTo("-"), ReadTo("")}, ""},
        {{ReadTo("/tmp")}, "--read: /tmp is a directory"},
        {{ReadTo("/nonexistent/x.bin")}, "--read: cannot create /nonexistent/x.bin: No such file or directory"},
        {{ReadTo("-"), ReadTo("-")}, "--read: only one read can go to standard output (=-)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckReadTargets(c.items), c.error);
    // The check creates nothing.
    EXPECT_NE(::access(fresh.c_str(), F_OK), 0);
    EXPECT_TRUE(ReadsToStandardOutput({ReadTo("a"), ReadTo("-")}));
    EXPECT_FALSE(ReadsToStandardOutput({ReadTo("a"), ReadTo("")}));
}

} // namespace
} // namespace vekhost
