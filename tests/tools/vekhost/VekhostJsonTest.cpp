// The JSON documents of vekhost, read back as a program would read them.
#include "vekhost/JsonReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace vekhost {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

TEST(VekhostJsonTest, CallReportReadsBack)
{
    CallReport r;
    r.command = "call";
    r.exitCode = 94;
    r.meaning = "the panel refused the open code";
    r.error = "open code refused (panel reason 4) [library: link lost (27)]";
    r.notes = {{9, 5}, {30, 7}, {27, 4830}};
    r.panelType = 19;
    r.panelVersion = 2;
    r.identificationReply = "02 02 02 13 02";
    r.callMs = 4830;
    r.saved = {{"dump \"1\".bin", 64, 128}};
    r.lineSpeed = 9600;
    r.bytesSent = 120;
    r.bytesReceived = 80;
    r.efficiency = 0;
    r.retries = 10;
    const json doc = json::parse(CallReportJson(r));
    EXPECT_EQ(doc["command"], "call");
    EXPECT_EQ(doc["outcome"]["exit"], 94);
    EXPECT_EQ(doc["outcome"]["ok"], false);
    EXPECT_EQ(doc["outcome"]["error"], r.error);
    ASSERT_EQ(doc["notifications"].size(), 3u);
    EXPECT_EQ(doc["notifications"][2]["code"], 27);
    EXPECT_EQ(doc["notifications"][2]["name"], "link lost");
    EXPECT_EQ(doc["notifications"][2]["ms"], 4830);
    EXPECT_EQ(doc["identification"]["type"], 19);
    EXPECT_EQ(doc["identification"]["version"], 2);
    EXPECT_EQ(doc["transfers"]["saved"][0]["to"], "dump \"1\".bin");
    EXPECT_EQ(doc["transfers"]["saved"][0]["asked"], 128);
    EXPECT_EQ(doc["line"]["speed"], 9600);
    EXPECT_EQ(doc["link"]["retries"], 10);

    CallReport none;
    none.exitCode = 20;
    const json empty = json::parse(CallReportJson(none));
    EXPECT_TRUE(empty["line"]["speed"].is_null());
    EXPECT_TRUE(empty["identification"].is_null());
}

TEST(VekhostJsonTest, PortsWithTheUsbAdapterBehindThem)
{
    const fs::path root = fs::path(::testing::TempDir()) / "vekhost-sysfs";
    fs::remove_all(root);
    const fs::path usbDevice = root / "devices" / "usb1" / "1-1";
    const fs::path tty = usbDevice / "1-1:1.0" / "ttyUSB0";
    fs::create_directories(tty);
    fs::create_directories(root / "class" / "tty" / "ttyUSB0");
    fs::create_directory_symlink(tty, root / "class" / "tty" / "ttyUSB0" / "device");
    std::ofstream(usbDevice / "idVendor") << "0403\n";
    std::ofstream(usbDevice / "idProduct") << "6001\n";
    std::ofstream(usbDevice / "serial") << "A10KXYZ\n";
    std::ofstream(usbDevice / "product") << "FT232R USB UART\n";
    const fs::path device = root / "ttyUSB0";
    std::ofstream(device) << "";

    const auto usb = FindUsbIdentity(device.string(), root.string());
    ASSERT_TRUE(usb.has_value());
    EXPECT_EQ(usb->vendorId, "0403");
    EXPECT_EQ(usb->productId, "6001");
    EXPECT_EQ(usb->serial, "A10KXYZ");
    EXPECT_FALSE(FindUsbIdentity((root / "nothing").string(), root.string()).has_value());

    const std::vector<PortRecord> ports{
        {device.string(), 0, {vek::PortCheck::State::Busy, "locked by process 42"}, usb, false},
        {"/dev/ttyS0", 1, {vek::PortCheck::State::Free, "can be opened now"}, std::nullopt, true},
    };
    const json doc = json::parse(PortsJson(ports));
    ASSERT_EQ(doc["ports"].size(), 2u);
    EXPECT_EQ(doc["ports"][0]["can_open"], false);
    EXPECT_EQ(doc["ports"][0]["reason"], "locked by process 42");
    EXPECT_TRUE(doc["ports"][0]["com"].is_null());
    EXPECT_EQ(doc["ports"][0]["usb"]["vendor_id"], "0403");
    EXPECT_EQ(doc["ports"][0]["usb"]["serial"], "A10KXYZ");
    EXPECT_EQ(doc["ports"][1]["com"], 1);
    EXPECT_EQ(doc["ports"][1]["can_open"], true);
    EXPECT_TRUE(doc["ports"][1]["usb"].is_null());
    EXPECT_EQ(doc["ports"][1]["from_environment"], true);
    fs::remove_all(root);
}

} // namespace
} // namespace vekhost
