// End to end on real pseudo-terminal pairs with the real clock: the termios
// device, the control's reader thread, and a host bringing a modem into
// service through the exported functions. Each test is bounded to a few
// seconds.
#include "host/CComm2App.h"
#include "serial/CCommCtrl.h"
#include "serial/TermiosDevice.h"
#include "serial/TermiosLine.h"
#include "support/LinkTestSupport.h"
#include "vek_comm2.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace vek::test {
namespace {

using namespace std::chrono_literals;

class PtyPair {
public:
    PtyPair()
    {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0)
            m_name = name;
    }
    ~PtyPair()
    {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    bool Ok() const { return m_master >= 0 && !m_name.empty(); }
    int Master() const { return m_master; }
    int SlaveFd() const { return m_slave; }
    const std::string& SlaveName() const { return m_name; }
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    // The slave's settings as anyone opening it sees them.
    termios SlaveSettings() const
    {
        termios tio{};
        EXPECT_EQ(::tcgetattr(m_slave, &tio), 0);
        return tio;
    }
    void CloseOurSlave()
    {
        // The openpty slave descriptor keeps the pair alive; the library
        // opens its own.
        if (m_slave >= 0)
            ::close(m_slave);
        m_slave = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_name;
};

void WriteAll(int fd, std::string_view text) { ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size())); }

// Pumps the calling thread's messages until done() or the deadline.
template <typename Done> bool PumpUntil(Done done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        VekPumpMessages(20);
    }
    return true;
}

TEST(E2ETermiosTest, OpensRawWithTheExactSettings)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TermiosDevice dev;
    ASSERT_TRUE(dev.Open(pty.SlaveName(), "2400,N,8,2")) << dev.LastError();
    const termios tio = pty.SlaveSettings();
    EXPECT_EQ(::cfgetospeed(&tio), B2400); // a standard speed keeps its own code
    EXPECT_EQ(::cfgetispeed(&tio), B2400);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(tio.c_cflag & PARENB);
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_TRUE(tio.c_cflag & HUPCL);
    EXPECT_TRUE(tio.c_cflag & CREAD);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(dev.DsrHolding()); // no modem lines: DSR taken as held
}

TEST(E2ETermiosTest, RawModeClearsEveryFlagAnEarlierProgramLeft)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    // Everything that can add, drop or change a byte, switched on.
    termios dirty = pty.SlaveSettings();
    dirty.c_iflag |= IXON | IXOFF | IXANY | IUCLC | IMAXBEL | IUTF8 | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | IGNPAR |
                     PARMRK | BRKINT;
    dirty.c_oflag |= OPOST | ONLCR | OCRNL | OLCUC | ONOCR | ONLRET | OFILL;
    dirty.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN | XCASE | ECHOCTL | ECHOKE;
    ASSERT_EQ(::tcsetattr(pty.SlaveFd(), TCSANOW, &dirty), 0);

    struct Collect final : DeviceSink {
        void OnReceived(std::span<const uint8_t> bytes) override
        {
            std::lock_guard lock(mutex);
            got.append(bytes.begin(), bytes.end());
        }
        void OnLineEvent(int16_t) override {}
        void OnSendDrained() override {}
        void OnDeviceGone() override {}
        std::string Got()
        {
            std::lock_guard lock(mutex);
            return got;
        }
        std::mutex mutex;
        std::string got;
    } sink;
    TermiosDevice dev;
    dev.SetSink(&sink);
    ASSERT_TRUE(dev.Open(pty.SlaveName(), "9600,N,8,2")) << dev.LastError();
    const termios tio = pty.SlaveSettings();
    EXPECT_EQ(tio.c_iflag, tcflag_t(IGNBRK)); // a break must not arrive as a byte
    EXPECT_EQ(tio.c_oflag, tcflag_t(0));
    EXPECT_EQ(tio.c_lflag, tcflag_t(0));
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);

    // Bytes go through unchanged both ways.
    const std::string all = [] {
        std::string s;
        for (int b = 0; b < 256; ++b)
            s += static_cast<char>(b);
        return s;
    }();
    WriteAll(pty.Master(), all);
    for (int i = 0; i < 200 && sink.Got().size() < all.size(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(sink.Got(), all);
    ASSERT_TRUE(dev.Write({reinterpret_cast<const uint8_t*>(all.data()), all.size()}));
    std::string sent;
    for (int i = 0; i < 200 && sent.size() < all.size(); ++i) {
        pollfd p{pty.Master(), POLLIN, 0};
        char buffer[512];
        if (::poll(&p, 1, 10) == 1)
            if (const ssize_t n = ::read(pty.Master(), buffer, sizeof buffer); n > 0)
                sent.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(sent, all);
}

TEST(E2ETermiosTest, EverySpeedAModemOrRecordCanNameAppliesExactly)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TermiosDevice dev;
    ASSERT_TRUE(dev.Open(pty.SlaveName(), "9600,N,8,2"));
    for (const int32_t speed : {110,  134,   150,   200,   300,   600,   1200,  1800,   2400,   4800,
                                9600, 14400, 19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000}) {
        ASSERT_TRUE(dev.ApplySettings(std::to_string(speed) + ",N,8,2")) << speed << dev.LastError();
        EXPECT_EQ(ReadLineSpeed(pty.SlaveFd()), speed);
        EXPECT_TRUE(pty.SlaveSettings().c_cflag & CSTOPB);
    }
    for (const char* refused : {"0,N,8,2", "-300,N,8,2", "9600,X,8,2", "garbage"}) {
        EXPECT_FALSE(dev.ApplySettings(refused)) << refused;
        EXPECT_EQ(ReadLineSpeed(pty.SlaveFd()), 256000) << refused; // the line is left as it was
    }
    EXPECT_NE(dev.LastError(), "");
}

TEST(E2ETermiosTest, ProbeIsExclusiveWhileTheDeviceIsOpen)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    EXPECT_TRUE(ProbeDevicePath(pty.SlaveName()));
    TermiosDevice dev;
    ASSERT_TRUE(dev.Open(pty.SlaveName(), "9600,N,8,2"));
    EXPECT_FALSE(ProbeDevicePath(pty.SlaveName()));
    TermiosDevice second;
    EXPECT_FALSE(second.Open(pty.SlaveName(), "9600,N,8,2"));
    dev.Close();
    EXPECT_TRUE(ProbeDevicePath(pty.SlaveName()));
    EXPECT_FALSE(ProbeDevicePath("/dev/vek-no-such-device"));
    EXPECT_FALSE(ProbeDevicePath(""));
}

class E2EControlTest : public ::testing::Test {
protected:
    E2EControlTest()
    {
        ctrl.Create(std::make_unique<TermiosDevice>());
        ctrl.SetRThreshold(1);
        ctrl.SetSThreshold(1);
        ctrl.SetDTREnable(true);
        ctrl.SetEventWindow(window.Handle());
        VekSetPortDevice(7, pty.SlaveName().c_str());
        ctrl.SetCommPort(7);
        ctrl.SetSettings("9600,N,8,2");
    }
    ~E2EControlTest() override { VekSetPortDevice(7, nullptr); }

    std::vector<WPARAM> Pump(std::chrono::milliseconds forHowLong)
    {
        std::vector<WPARAM> codes;
        const auto until = std::chrono::steady_clock::now() + forHowLong;
        while (std::chrono::steady_clock::now() < until) {
            VekPumpMessages(10);
            for (const Message& m : window.Drain(WM_VEK_COMM_EVENT)) {
                codes.push_back(m.wParam);
                ctrl.BeginEvent(static_cast<int16_t>(m.wParam));
            }
        }
        return codes;
    }

    PtyPair pty;
    CaptureWindow window;
    CCommCtrl ctrl;
};

TEST_F(E2EControlTest, ReceivedBytesWaitInTheControlAndRaiseReceiveEvents)
{
    ASSERT_TRUE(ctrl.SetPortOpen(true)) << ctrl.LastError();
    WriteAll(pty.Master(), std::string("AB\x00\xFF", 4));
    std::vector<WPARAM> codes;
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (const Message& m : window.Drain(WM_VEK_COMM_EVENT))
                codes.push_back(m.wParam);
            // The bytes are kept before their event is posted: wait for both.
            const bool received = std::find(codes.begin(), codes.end(), WPARAM{2}) != codes.end();
            return received && ctrl.GetInBufferCount() == 4;
        },
        2000ms));
    EXPECT_EQ(ctrl.GetInput(), std::string("AB\x00\xFF", 4));

    const uint8_t out[] = {'X', 0x00};
    ASSERT_TRUE(ctrl.SetOutput(out));
    char got[2] = {};
    pollfd p{pty.Master(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    ASSERT_EQ(::read(pty.Master(), got, 2), 2);
    EXPECT_EQ(std::string(got, 2), std::string("X\x00", 2));
}

TEST_F(E2EControlTest, InBufferCountZeroDiscardsWhatTheLineDelivered)
{
    ASSERT_TRUE(ctrl.SetPortOpen(true));
    WriteAll(pty.Master(), "stale");
    ASSERT_TRUE(PumpUntil([&] { return ctrl.GetInBufferCount() == 5; }, 2000ms));
    ctrl.SetInBufferCount(0);
    EXPECT_EQ(ctrl.GetInBufferCount(), 0);
    EXPECT_EQ(ctrl.GetInput(), "");
}

TEST_F(E2EControlTest, PeerClosingIsOneEventThenSilence)
{
    ASSERT_TRUE(ctrl.SetPortOpen(true));
    pty.CloseOurSlave();
    pty.CloseMaster();
    const auto codes = Pump(300ms);
    EXPECT_EQ(codes, (std::vector<WPARAM>{4})); // DSR fell with the device; no flood
    EXPECT_TRUE(ctrl.IsDeviceGone());
    EXPECT_TRUE(ctrl.GetPortOpen());
    EXPECT_FALSE(ctrl.GetDSRHolding());
    const uint8_t b = 1;
    EXPECT_FALSE(ctrl.SetOutput({&b, 1}));
    EXPECT_FALSE(ctrl.SetSettings("2400,N,8,2"));
    ctrl.SetPortOpen(false); // ends without hanging
    EXPECT_FALSE(ctrl.GetPortOpen());
}

// A Hayes modem stand-in on the master side: answers every command line
// with OK split across two writes.
class FakeModem {
public:
    explicit FakeModem(int master) : m_master(master), m_thread([this] { Run(); }) {}
    ~FakeModem() { Stop(); }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    void Run()
    {
        std::string line;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) != 1 || !(p.revents & POLLIN))
                continue;
            char c;
            if (::read(m_master, &c, 1) != 1)
                return;
            if (c != '\r') {
                line += c;
                continue;
            }
            {
                std::lock_guard lock(m_mutex);
                m_lines.push_back(line);
            }
            line.clear();
            (void)!::write(m_master, "\r\nO", 3);
            std::this_thread::sleep_for(3ms); // a second read on the other side
            (void)!::write(m_master, "K\r\n", 3);
        }
    }

    int m_master;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::thread m_thread;
};

class E2EHostTest : public ::testing::Test {
protected:
    E2EHostTest()
    {
        char dir[] = "/tmp/vek-e2e-XXXXXX";
        if (::mkdtemp(dir) != nullptr)
            m_dataDir = dir;
        VekSetDataFolder(m_dataDir.c_str()); // no database file: the built-in modem
        ResetLinkState();
    }
    ~E2EHostTest() override
    {
        VEKComm2_Uninit();
        VekSetDataFolder(nullptr);
        ::rmdir(m_dataDir.c_str());
        for (int port : {3, 4})
            VekSetPortDevice(port, nullptr);
        ResetLinkState();
    }

    static void SetupModem(int port, int speed)
    {
        const HGLOBAL block = GlobalAlloc(0x0002 | 0x0040, VEK_MODEM_SETUP_MIN_SIZE);
        auto* p = static_cast<uint8_t*>(GlobalLock(block));
        const auto put32 = [&](size_t off, int32_t v) { std::memcpy(p + off, &v, 4); };
        const auto text = [&](size_t off, const char* s) { std::memcpy(p + off, s, std::strlen(s)); };
        put32(VEK_SETUP_COM_PORT, port);
        put32(VEK_SETUP_BAUD_RATE, speed);
        text(VEK_SETUP_INIT, "ATE0");
        text(VEK_SETUP_RESET, "ATZ");
        text(VEK_SETUP_ESCAPE, "+++");
        text(VEK_SETUP_HANGUP_STEM, "ATH");
        GlobalUnlock(block);
        ASSERT_EQ(VEKComm2_SetupModem(block), 1);
    }

    bool HostGot(WPARAM code)
    {
        for (const Message& m : host.Drain(VEK_WM_COMM_HOST_NOTIFY))
            m_codes.push_back(m.wParam);
        return std::find(m_codes.begin(), m_codes.end(), code) != m_codes.end();
    }

    MessageBoxCapture boxes;
    CaptureWindow host;
    std::string m_dataDir;
    std::vector<WPARAM> m_codes;
};

TEST_F(E2EHostTest, ModemIsResetAndInitialisedAndTheHostHearsCode9)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    VekSetPortDevice(3, pty.SlaveName().c_str());
    FakeModem modem(pty.Master());
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    SetupModem(3, 9600);
    ASSERT_EQ(VEKComm2_CommInit(), 1);

    ASSERT_TRUE(PumpUntil([&] { return HostGot(VEK_NOTIFY_MODEM_READY); }, 6000ms));
    const termios tio = pty.SlaveSettings();
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    // The bare AT after the reset, and again after the last initialisation.
    ASSERT_TRUE(PumpUntil([&] { return modem.Lines().size() >= 4; }, 3000ms));
    PumpUntil([] { return false; }, 100ms); // the last OK is taken
    EXPECT_EQ(modem.Lines(), (std::vector<std::string>{"ATZ", "AT", "ATE0", "AT"}));
    EXPECT_EQ(VEKComm2_GetCurrentBaudRate(), 9600);
    EXPECT_EQ(m_codes, (std::vector<WPARAM>{VEK_NOTIFY_MODEM_READY}));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(E2EHostTest, PortZeroGivesNotification20)
{
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    SetupModem(0, 9600);
    EXPECT_EQ(VEKComm2_CommInit(), 0);
    EXPECT_TRUE(PumpUntil([&] { return HostGot(VEK_NOTIFY_PORT_UNAVAILABLE); }, 2000ms));
}

TEST_F(E2EHostTest, MissingDeviceGivesNotification20)
{
    VekSetPortDevice(4, "/dev/vek-no-such-device");
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    SetupModem(4, 9600);
    EXPECT_EQ(VEKComm2_CommInit(), 0);
    EXPECT_TRUE(PumpUntil([&] { return HostGot(VEK_NOTIFY_PORT_UNAVAILABLE); }, 2000ms));
}

TEST_F(E2EHostTest, DeviceThatDisappearsIsReportedByTheNextCommInit)
{
    auto pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty->Ok());
    VekSetPortDevice(3, pty->SlaveName().c_str());
    auto modem = std::make_unique<FakeModem>(pty->Master());
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
    SetupModem(3, 9600);
    ASSERT_EQ(VEKComm2_CommInit(), 1);
    ASSERT_TRUE(PumpUntil([&] { return HostGot(VEK_NOTIFY_MODEM_READY); }, 6000ms));
    ASSERT_TRUE(PumpUntil([&] { return modem->Lines().size() >= 4; }, 3000ms));
    PumpUntil([] { return false; }, 100ms); // the last OK is taken

    modem->Stop();
    pty.reset(); // the peer goes away; the slave's name goes with it
    PumpUntil([] { return false; }, 100ms);
    EXPECT_EQ(VEKComm2_CommInit(), 0);
    EXPECT_TRUE(PumpUntil([&] { return HostGot(VEK_NOTIFY_PORT_UNAVAILABLE); }, 2000ms));
    EXPECT_TRUE(boxes.Texts().empty());
}

} // namespace
} // namespace vek::test
