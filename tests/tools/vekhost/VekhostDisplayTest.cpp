// What vekhost shows: hex dumps, the identification, the status line and
// the link efficiency it follows from the notifications.
#include "vekhost/HexDump.h"
#include "vekhost/PortNames.h"
#include "vekhost/StatusLine.h"

#include "PortCheck.h"
#include "vek/client.hpp"

#include <gtest/gtest.h>

#include <pty.h>

#include <cstdlib>
#include <sys/file.h>
#include <unistd.h>

namespace vekhost {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(VekhostHexDumpTest, AddressHexAndText)
{
    Bytes bytes;
    for (int i = 0; i < 20; ++i)
        bytes.push_back(static_cast<uint8_t>(0x41 + i));
    bytes[3] = 0x00;
    const auto lines = HexDumpLines(0x0118, bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "0118  41 42 43 00 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  |ABC.EFGHIJKLMNOP|");
    EXPECT_EQ(lines[1], "0128  51 52 53 54                                       |QRST|");
    EXPECT_EQ(lines[1].find('|'), lines[0].find('|'));
    EXPECT_TRUE(HexDumpLines(0, {}).empty());
}

TEST(VekhostHexDumpTest, SpacedHexWithALimit)
{
    const Bytes bytes = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(HexBytes(bytes), "DE AD BE EF");
    EXPECT_EQ(HexBytes(bytes, 2), "DE AD ...");
    EXPECT_EQ(HexBytes({}), "");
    EXPECT_EQ(PrintableText(Bytes{0x41, 0x7F, 0x20, 0x0D}), "A. .");
}

TEST(VekhostIdentificationTest, IncomingBlockFields)
{
    Bytes block(220, 0);
    block[0] = 19;   // type
    block[2] = 2;    // version
    block[4] = 1;    // sub-version
    block[6] = 0x04; // flags
    block[8] = 0x33; // identification byte 3
    block[9] = 0x22;
    block[10] = 0x11;
    block[11] = 0xE1;
    const Bytes reply = {0x02, 0x02, 0x02, 0x13, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x62, 0x78};
    std::copy(reply.begin(), reply.end(), block.begin() + 20);
    const vek::Identification info = vek::decodeIdentification(block, true);
    EXPECT_EQ(info.type, 19);
    EXPECT_EQ(info.version, 2);
    EXPECT_EQ(info.subVersion, 1);
    EXPECT_EQ(info.flags, 4);
    EXPECT_EQ(info.idBytes, (std::array<uint8_t, 3>{0x11, 0x22, 0x33}));
    EXPECT_EQ(info.extra[0], 0xE1);
    EXPECT_EQ(info.reply, reply);
    EXPECT_EQ(info.format, "02 02 02 block");
    EXPECT_TRUE(info.incoming);
}

TEST(VekhostIdentificationTest, ShortBlocksDecodeToNothing)
{
    EXPECT_EQ(vek::decodeIdentification(Bytes(200, 1), true).type, 0);
    // A placed call's 200 bytes: the reply without its zero fill.
    const vek::Identification placed = vek::decodeIdentification(Bytes{1, 0, 2, 0, 0}, false);
    EXPECT_EQ(placed.reply, (Bytes{1, 0, 2}));
    EXPECT_EQ(placed.format, "short reply");
    EXPECT_TRUE(vek::decodeIdentification(Bytes(200, 0), false).reply.empty());
}

struct EfficiencyStep {
    int code;
    int value;
    int retries;
};

TEST(VekhostStatusTest, EfficiencyFollowsTheNotifications)
{
    const EfficiencyStep steps[] = {
        {32, 10, 0}, {91, 9, 1}, {91, 8, 2}, {92, 9, 2}, {6, 9, 2},   {97, 10, 2},
        {92, 10, 2}, {91, 9, 3}, {91, 8, 4}, {91, 7, 5}, {32, 10, 5},
    };
    Efficiency efficiency;
    EXPECT_EQ(efficiency.Value(), 10);
    for (const EfficiencyStep& s : steps) {
        efficiency.Apply(s.code);
        EXPECT_EQ(efficiency.Value(), s.value) << "after " << s.code;
        EXPECT_EQ(efficiency.Retries(), s.retries) << "after " << s.code;
    }
}

TEST(VekhostStatusTest, EfficiencyStaysWithinZeroAndTen)
{
    Efficiency efficiency;
    for (int i = 0; i < 12; ++i)
        efficiency.Apply(91);
    EXPECT_EQ(efficiency.Value(), 0);
    EXPECT_EQ(efficiency.Retries(), 12);
    for (int i = 0; i < 12; ++i)
        efficiency.Apply(92);
    EXPECT_EQ(efficiency.Value(), 10);
}

TEST(VekhostStatusTest, StatusAndProgressTexts)
{
    LinkStatus status{8, 9600, 114, 241, 2, ""};
    EXPECT_EQ(FormatStatus(status), "efficiency 8/10 | 9600 bit/s | sent 114 B, received 241 B | 2 retries");
    status.retries = 1;
    status.activity = FormatProgress("reading 0x0100", 256, 1024);
    EXPECT_EQ(status.activity, "reading 0x0100  256/1024 B [##........]");
    EXPECT_EQ(FormatStatus(status),
              "reading 0x0100  256/1024 B [##........] | efficiency 8/10 | 9600 bit/s | sent 114 B, received 241 B | "
              "1 retry");
    EXPECT_EQ(FormatProgress("writing", 5, 5, 4), "writing  5/5 B [####]");
    EXPECT_EQ(FormatProgress("writing", 0, 0, 4), "writing  0/0 B [####]");
}

TEST(VekhostPortListTest, ComPortsFromTheEnvironment)
{
    const std::vector<std::string> environment = {
        "PATH=/usr/bin", "VEK_COM3=/dev/ttyUSB0", "VEK_COM12=/dev/pts/4",  "VEK_COM0=/dev/x", "VEK_COM=/dev/y",
        "VEK_COM2=",     "VEK_COMX=/dev/z",       "VEK_COM1=/dev/ttyACM0",
    };
    const auto mappings = ComMappingsFromEnvironment(environment);
    ASSERT_EQ(mappings.size(), 3u);
    EXPECT_EQ(mappings[0].port, 1);
    EXPECT_EQ(mappings[0].device, "/dev/ttyACM0");
    EXPECT_EQ(mappings[1].port, 3);
    EXPECT_EQ(mappings[2].port, 12);
    EXPECT_EQ(mappings[2].device, "/dev/pts/4");
}

TEST(VekhostPortListTest, DefaultComNumbers)
{
    EXPECT_EQ(DefaultComPort("/dev/ttyS0"), 1);
    EXPECT_EQ(DefaultComPort("/dev/ttyS31"), 32);
    EXPECT_EQ(DefaultComPort("/dev/ttyUSB0"), 0);
    EXPECT_EQ(DefaultComPort("/dev/ttyS"), 0);
}

TEST(VekhostPortListTest, APortLockedByAnotherProgramIsBusyAndNamesTheHolder)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string path = ::ttyname(slave);
    EXPECT_EQ(vek::checkPort(path).state, vek::PortCheck::State::Free);
    ASSERT_EQ(::flock(slave, LOCK_EX), 0);
    const vek::PortCheck locked = vek::checkPort(path);
    EXPECT_EQ(locked.state, vek::PortCheck::State::Busy);
    EXPECT_EQ(locked.detail, "locked by process " + std::to_string(::getpid()));
    ::close(slave);
    ::close(master);
    EXPECT_EQ(vek::portStateName(vek::PortCheck::State::Busy), "busy");
}

TEST(VekhostPortListTest, WhatIsNoSerialDeviceSaysWhatItIs)
{
    char path[] = "/tmp/vekhost-port-test-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    struct Case {
        std::string device;
        vek::PortCheck::State state;
        const char* detail;
    };
    const Case cases[] = {
        {path, vek::PortCheck::State::NotATerminal, "a regular file, not a serial device"},
        {"/tmp", vek::PortCheck::State::NotATerminal, "a directory, not a serial device"},
        {"/dev/null", vek::PortCheck::State::NotATerminal, "not a terminal device (Inappropriate ioctl for device)"},
        {"/nonexistent/ttyX", vek::PortCheck::State::Missing, "No such file or directory (no such device)"},
    };
    for (const Case& c : cases) {
        const vek::PortCheck check = vek::checkPort(c.device);
        EXPECT_EQ(check.state, c.state) << c.device;
        EXPECT_EQ(check.detail, c.detail) << c.device;
    }
    ::unlink(path);
    EXPECT_EQ(vek::portStateName(vek::PortCheck::State::NotATerminal), "not a tty");
}

TEST(VekhostPortListTest, UucpLockFilesOfLiveProcessesAreHonoured)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string path = ::ttyname(slave);
    char folder[] = "/tmp/vekhost-locks-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string name = vek::internal::LockFileName(path);
    EXPECT_EQ(name, "LCK.." + path.substr(5, 3) + "_" + path.substr(9)); // /dev/pts/N: LCK..pts_N
    EXPECT_EQ(vek::internal::LockFileName("/dev/ttyS0"), "LCK..ttyS0");
    const std::string file = std::string(folder) + "/" + name;
    struct Case {
        std::string content;
        bool busy;
    };
    const long parent = ::getppid(); // alive while this test runs
    const Case cases[] = {
        {"", false},                                         // no lock file
        {std::string(6, ' ') + std::to_string(parent) + "\n", true}, // ten digits, as minicom writes them
        {"2147483000\n", false},                             // a process that is gone
        {std::to_string(::getpid()) + "\n", false},           // this process's own lock
    };
    for (const Case& c : cases) {
        std::remove(file.c_str());
        if (!c.content.empty()) {
            std::FILE* f = std::fopen(file.c_str(), "w");
            ASSERT_NE(f, nullptr);
            std::fputs(c.content.c_str(), f);
            std::fclose(f);
        }
        const vek::PortCheck check = vek::checkPort(path, folder);
        EXPECT_EQ(check.state == vek::PortCheck::State::Busy, c.busy) << c.content << check.detail;
        if (c.busy) {
            EXPECT_EQ(check.detail, "locked by process " + std::to_string(parent) + " (" + file + ")");
        }
    }
    // Binary form: four bytes of the process number.
    const int32_t binary = static_cast<int32_t>(parent);
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(&binary, sizeof binary, 1, f);
    std::fclose(f);
    EXPECT_EQ(vek::checkPort(path, folder).state, vek::PortCheck::State::Busy);
    std::remove(file.c_str());
    ::rmdir(folder);
    ::close(slave);
    ::close(master);
}

TEST(VekhostPortListTest, LockHoldersFromProcLocks)
{
    const std::string locks = "1: POSIX  ADVISORY  WRITE 812 00:1a:1234 0 EOF\n"
                              "2: FLOCK  ADVISORY  WRITE 4321 00:18:7 0 EOF\n"
                              "2: -> FLOCK  ADVISORY  WRITE 99 00:18:7 0 EOF\n"
                              "3: FLOCK  ADVISORY  WRITE 555 fd:01:7 0 EOF\n";
    EXPECT_EQ(vek::internal::LockHolder(locks, 0x00, 0x18, 7), 4321);
    EXPECT_EQ(vek::internal::LockHolder(locks, 0x00, 0x1a, 1234), 812);
    EXPECT_EQ(vek::internal::LockHolder(locks, 0xfd, 0x01, 7), 555);
    EXPECT_FALSE(vek::internal::LockHolder(locks, 0x00, 0x18, 8).has_value());
    EXPECT_FALSE(vek::internal::LockHolder("garbage\n\n", 0, 0, 0).has_value());
}

TEST(VekhostPortListTest, CommandLineDeviceWinsOverTheEnvironment)
{
    ::setenv("VEK_COM77", "/dev/from-env", 1);
    EXPECT_EQ(vek::portDevice(77, "/dev/given"), "/dev/given");
    EXPECT_EQ(vek::portDevice(77, ""), "/dev/from-env");
    ::unsetenv("VEK_COM77");
    EXPECT_EQ(vek::portDevice(77, ""), "/dev/ttyS76");
}

} // namespace
} // namespace vekhost
