// The optional byte and step trace.
#include "platform/Trace.h"
#include "support/Environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vek {
namespace {

TEST(TraceTest, WritesHexBytesAndLinesOnlyWhileOn)
{
    const auto path = std::filesystem::temp_directory_path() / ("vek_trace_" + std::to_string(vek::test::ProcessId()));
    std::filesystem::remove(path);
    TraceBytes("TX", std::vector<uint8_t>{0x00}); // off: nothing, no file
    EXPECT_FALSE(std::filesystem::exists(path));

    SetTracePath(path.string().c_str());
    EXPECT_TRUE(TraceEnabled());
    TraceBytes("TX", std::vector<uint8_t>{0x01, 0xAB, 0xFF});
    TraceLine("step end");
    SetTracePath(nullptr);
    EXPECT_FALSE(TraceEnabled());
    TraceLine("after");

    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    const std::string s = text.str();
    EXPECT_NE(s.find("TX 01 AB FF\n"), std::string::npos);
    EXPECT_NE(s.find("step end\n"), std::string::npos);
    EXPECT_EQ(s.find("after"), std::string::npos);
    std::filesystem::remove(path);
}

} // namespace
} // namespace vek
