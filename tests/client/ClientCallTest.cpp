// vek_client against panelsim in this process: whole calls through the C++
// API, what a call that ends does to the operations still waiting, a
// cancel that keeps the bytes on their way, and every misuse refused with
// its reason.
#include "support/QuickPanel.h"
#include "vek/client.hpp"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <random>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using vek::Bytes;
using vek::Cause;

panelsim::Options QuickPanel(int linkMode = 2, bool pcLink = false)
{
    panelsim::Options options = vektest::QuickPanel(linkMode);
    options.panel.pcLinkPeriodMs = 300;
    options.panel.twoByteAddress = linkMode == 3; // as the panel's option 0x0080 below
    options.pcLink = pcLink;
    return options;
}

// A panel on a pseudo-terminal and a Library whose modem drives it.
struct Line {
    explicit Line(panelsim::Options options, vek::LibraryOptions libraryOptions = {}) : sim(std::move(options))
    {
        started = sim.Start();
        if (!started)
            return;
        library = std::make_unique<vek::Library>(std::move(libraryOptions));
    }
    vek::Modem Modem(bool pcLink = false) const
    {
        vek::Modem modem;
        modem.port = 7;
        modem.device = sim.SlavePath();
        modem.pcLink = pcLink;
        return modem;
    }
    panelsim::Simulator sim;
    bool started = false;
    std::unique_ptr<vek::Library> library;
};

vek::Panel PanelFor(int linkMode)
{
    vek::Panel panel;
    panel.phone = "5551234";
    panel.linkMode = linkMode;
    panel.secondSpeed = 9600;
    panel.directSpeed = 9600;
    if (linkMode == 3)
        panel.options = 0x0080; // addresses above 0xFF
    return panel;
}

Bytes Pattern(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

// Reads and writes of sizes beyond one request, in the link modes that
// frame them differently and on a direct cable; the bytes that come back
// are the panel's, progress reaches the whole.
TEST(ClientCallTest, WholeCallsReadAndWriteAnySize)
{
    struct Case {
        int linkMode;
        bool pcLink;
        uint32_t address;
        uint32_t size;
    };
    const Case cases[] = {{2, false, 0x0100, 1100}, {3, false, 0x00FC, 8}, {1, true, 0x0200, 260}};
    for (const Case& c : cases) {
        Line line(QuickPanel(c.linkMode, c.pcLink));
        ASSERT_TRUE(line.started) << line.sim.Error();
        line.library->setModem(line.Modem(c.pcLink));
        const Bytes memory = Pattern(c.size, c.address);
        line.sim.WriteMemory(static_cast<uint16_t>(c.address), memory);
        vek::Call call = line.library->dial(PanelFor(c.linkMode));
        ASSERT_TRUE(call.isOpen());
        EXPECT_EQ(call.identification().type, 19);
        EXPECT_EQ(call.identification().version, 2);
        std::vector<uint32_t> progress;
        vek::TransferOptions options;
        options.progress = [&progress, &c](uint32_t done, uint32_t total) {
            EXPECT_EQ(total, c.size);
            progress.push_back(done);
        };
        EXPECT_EQ(call.read(c.address, c.size, options), memory) << c.linkMode;
        const uint32_t largest = vek::linkLimits(c.linkMode).largestRequest;
        EXPECT_EQ(progress.size(), (c.size + largest - 1) / largest) << c.linkMode;
        EXPECT_EQ(progress.back(), c.size);
        const Bytes written = Pattern(c.size, c.size);
        call.write(c.address, written);
        EXPECT_EQ(line.sim.ReadMemory(static_cast<uint16_t>(c.address), c.size), written) << c.linkMode;
        // Asynchronous forms, both kinds, in order.
        std::future<void> write = call.writeAsync(c.address, Bytes{1, 2, 3});
        std::future<Bytes> read = call.readAsync(c.address, 3);
        write.get();
        EXPECT_EQ(read.get(), (Bytes{1, 2, 3}));
        const vek::LineStatus status = call.status();
        EXPECT_EQ(status.efficiency, 10);
        EXPECT_GT(status.bytesReceived, c.size);
        call.hangUp();
        EXPECT_FALSE(call.isOpen());
        call.hangUp(); // once more: nothing to do
    }
}

// An answered call: the panel rings in, identifies itself, and the session
// opens with the panel's codes.
TEST(ClientCallTest, AnAnsweredCallOpensWithTheIncomingIdentification)
{
    panelsim::Options sim = QuickPanel();
    sim.modem.ringIntervalMs = 200;
    std::promise<void> ready;
    std::atomic<bool> once{false};
    vek::LibraryOptions options;
    options.onEvent = [&](const vek::Notification& n) {
        if (n.code == 9 && !once.exchange(true))
            ready.set_value(); // the modem is set up to answer: a ring may come
    };
    Line line(sim, options);
    ASSERT_TRUE(line.started);
    line.library->setModem(line.Modem());
    std::future<vek::Call> answered = line.library->answerAsync(PanelFor(2), {.timeout = 60s});
    ASSERT_EQ(ready.get_future().wait_for(30s), std::future_status::ready);
    // The worker must be waiting for the RING: one read in a piece with the
    // auto-answer's OK would be neither.
    std::this_thread::sleep_for(500ms);
    line.sim.Ring(3);
    vek::Call call = answered.get();
    EXPECT_TRUE(call.identification().incoming);
    EXPECT_EQ(call.identification().type, 19);
    EXPECT_EQ(call.identification().version, 2);
    EXPECT_EQ(call.read(0x0100, 8), line.sim.ReadMemory(0x0100, 8));
    call.hangUp();
}

// A hang-up while a transfer is queued: what was in the library ends with
// its outcome, what was not yet sent fails with the hang-up.
TEST(ClientCallTest, AHangUpEndsTheTransfersNotYetSent)
{
    Line line(QuickPanel());
    ASSERT_TRUE(line.started);
    line.library->setModem(line.Modem());
    vek::Call call = line.library->dial(PanelFor(2));
    vek::TransferOptions small;
    small.chunk = 8;
    std::future<Bytes> long_read = call.readAsync(0, 800, small);
    std::future<Bytes> queued = call.readAsync(0x1000, 4);
    call.hangUp();
    EXPECT_FALSE(call.isOpen());
    for (std::future<Bytes>* f : {&long_read, &queued}) {
        try {
            f->get();
            ADD_FAILURE() << "a transfer outlived the hang-up";
        } catch (const vek::CallError& e) {
            EXPECT_EQ(e.cause(), Cause::CallEnded) << e.what();
        }
    }
    EXPECT_TRUE(line.library->waitIdle(0ms)); // the hang-up has finished
}

TEST(ClientCallTest, EveryNotificationReachesTheEventCallbackByNameInOrder)
{
    std::mutex mutex;
    std::vector<std::pair<int, std::string>> events;
    vek::LibraryOptions options;
    options.onEvent = [&](const vek::Notification& n) {
        std::lock_guard lock(mutex);
        events.emplace_back(n.code, n.name);
    };
    std::atomic<int> traced{0};
    options.onTrace = [&traced](const vek::TraceEntry&) { ++traced; };
    Line line(QuickPanel(), options);
    ASSERT_TRUE(line.started);
    line.library->setModem(line.Modem());
    {
        vek::Call call = line.library->dial(PanelFor(2));
        call.read(0x10, 4);
    } // the destructor hangs up
    std::lock_guard lock(mutex);
    std::vector<int> codes;
    for (const auto& [code, name] : events)
        if (code != 91 && code != 92)
            codes.push_back(code);
    EXPECT_EQ(codes, (std::vector<int>{9, 30, 23, 32, 90, 3, 6, 8, 9}));
    EXPECT_EQ(events.front().second, "modem ready");
    EXPECT_GT(traced.load(), 10);
}

// A call the line ends turns every operation still waiting into an error
// at once, with the cause, and the bytes read so far.
TEST(ClientCallTest, ALostLineFailsEveryWaitingOperationAtOnce)
{
    struct Case {
        const char* name;
        void (*lose)(panelsim::Simulator&);
        Cause cause;
    };
    const Case cases[] = {
        {"the modem's NO CARRIER", [](panelsim::Simulator& sim) { sim.DropLine(); }, Cause::LineDropped},
        {"the device closed", [](panelsim::Simulator& sim) { sim.Stop(); }, Cause::DeviceGone},
    };
    for (const Case& c : cases) {
        // The panel thinks a while before each reply: the line is lost while
        // a request waits for its answer, never in the middle of one.
        panelsim::Options options = QuickPanel();
        options.panel.replyDelayMs = 1000;
        Line line(options);
        ASSERT_TRUE(line.started);
        line.library->setModem(line.Modem());
        line.sim.WriteMemory(0, Pattern(64, 5));
        vek::Call call = line.library->dial(PanelFor(2));
        vek::TransferOptions small;
        small.chunk = 16;
        const size_t framesBefore = line.sim.Observe().frames.size();
        std::future<Bytes> first = call.readAsync(0, 64, small);
        std::future<void> second = call.writeAsync(0x1000, Bytes(64, 7));
        // The second request of the read has reached the panel.
        ASSERT_TRUE(line.sim.WaitForFrames(framesBefore + 2, panelsim::Millis(20000))) << c.name;
        const Bytes before = line.sim.ReadMemory(0, 64);
        const auto lost = std::chrono::steady_clock::now();
        c.lose(line.sim);
        try {
            second.get();
            ADD_FAILURE() << c.name << ": the write went through a lost line";
        } catch (const vek::CallError& e) {
            EXPECT_EQ(e.cause(), c.cause) << c.name << ": " << e.what();
            EXPECT_EQ(e.code(), 27) << c.name;
        }
        try {
            first.get();
            ADD_FAILURE() << c.name << ": the read went through a lost line";
        } catch (const vek::TransferError& e) {
            EXPECT_EQ(e.cause(), c.cause) << c.name << ": " << e.what();
            EXPECT_EQ(e.data().size(), 16u) << c.name; // what came before the loss
            EXPECT_EQ(e.data(), Bytes(before.begin(), before.begin() + static_cast<ptrdiff_t>(e.data().size())));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - lost, 5s) << c.name;
        EXPECT_FALSE(call.isOpen());
        EXPECT_TRUE(line.library->waitIdle(30s)) << c.name; // the library puts the line back on hook
        EXPECT_THROW(call.read(0, 4), vek::UsageError);
    }
}

// A cancel stops the transfer but keeps the bytes of the request already
// on its way; the call stays up and hangs up normally.
TEST(ClientCallTest, ACancelledReadKeepsTheBytesOnTheirWay)
{
    panelsim::Options options = QuickPanel(2);
    options.lineRate = true; // 1024 bytes take about 1.2 s at 9600 bit/s
    Line line(options);
    ASSERT_TRUE(line.started);
    line.library->setModem(line.Modem());
    line.sim.WriteMemory(0, Pattern(4096, 3));
    vek::Call call = line.library->dial(PanelFor(2));
    std::promise<void> firstDone;
    std::atomic<bool> once{false};
    vek::TransferOptions transfer;
    transfer.progress = [&](uint32_t, uint32_t) {
        if (!once.exchange(true))
            firstDone.set_value();
    };
    std::future<Bytes> read = call.readAsync(0, 4096, transfer);
    firstDone.get_future().wait();
    call.cancel(); // the second request is on its way now
    try {
        read.get();
        ADD_FAILURE() << "a cancelled read succeeded";
    } catch (const vek::TransferError& e) {
        EXPECT_EQ(e.cause(), Cause::Cancelled);
        EXPECT_EQ(e.data().size(), 2048u) << e.what(); // both requests' bytes, not one
        EXPECT_EQ(e.data(), line.sim.ReadMemory(0, 2048));
    }
    EXPECT_TRUE(call.isOpen());
    call.hangUp();
}

TEST(ClientCallTest, DestroyingTheLibraryWithACallUpHangsUpAndReturns)
{
    Line line(QuickPanel());
    ASSERT_TRUE(line.started);
    line.library->setModem(line.Modem());
    vek::Call call = line.library->dial(PanelFor(2));
    std::future<Bytes> waiting = call.readAsync(0, 64);
    const auto start = std::chrono::steady_clock::now();
    line.library.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
    const auto commands = line.sim.Observe().modemCommands;
    EXPECT_NE(std::find(commands.begin(), commands.end(), "ATH0"), commands.end()); // on hook, not just dropped
    EXPECT_FALSE(call.isOpen());
    try {
        waiting.get(); // it may have finished first; if not, it failed with the stop
    } catch (const vek::Error& e) {
        EXPECT_TRUE(e.cause() == Cause::Stopped || e.cause() == Cause::CallEnded) << e.what();
    }
    EXPECT_THROW(call.read(0, 4), vek::UsageError);
}

// Every misuse is refused before anything reaches the line, with its reason.
TEST(ClientCallTest, MisuseIsRefusedWithItsReason)
{
    Line line(QuickPanel(3));
    ASSERT_TRUE(line.started);
    vek::Library& lib = *line.library;
    struct Case {
        const char* name;
        std::function<void()> run;
        Cause cause;
        const char* words;
    };
    vek::Modem longInit = line.Modem();
    longInit.init = std::string(70, 'A');
    vek::Panel badCode = PanelFor(3);
    badCode.openCode = "12G4";
    vek::Panel longPhone = PanelFor(3);
    longPhone.phone = std::string(88, '5');
    vek::Panel noPhone = PanelFor(3);
    noPhone.phone.clear();
    vek::Panel badMode = PanelFor(3);
    badMode.linkMode = 6;
    const std::vector<Case> before = {
        {"second library", [] { vek::Library another; }, Cause::WrongState, "already runs in this process"},
        {"modem port",
         [&] {
             vek::Modem m = line.Modem();
             m.port = 0;
             lib.setModem(m);
         },
         Cause::InvalidArgument, "port 0 is not 1 to 255"},
        {"init length", [&] { lib.setModem(longInit); }, Cause::InvalidArgument, "longer than 69 characters"},
        {"open code", [&] { lib.dial(badCode); }, Cause::InvalidArgument, "\"12G4\" is not hexadecimal"},
        {"phone length", [&] { lib.dial(longPhone); }, Cause::InvalidArgument, "longer than 87 characters"},
        {"no number", [&] { lib.dial(noPhone); }, Cause::InvalidArgument, "no number to dial"},
        {"link mode", [&] { lib.dial(badMode); }, Cause::InvalidArgument, "link mode 6 is not 1 to 5"},
        {"timeout", [&] { lib.dial(PanelFor(3), {.timeout = 0ms}); }, Cause::InvalidArgument, "must be positive"},
    };
    const auto check = [](const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            try {
                c.run();
                ADD_FAILURE() << c.name << ": no error";
            } catch (const vek::UsageError& e) {
                EXPECT_EQ(e.cause(), c.cause) << c.name << ": " << e.what();
                EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << c.name << ": " << e.what();
            }
        }
    };
    check(before);
    EXPECT_TRUE(line.sim.Observe().modemCommands.empty()); // nothing reached the line

    lib.setModem(line.Modem());
    vek::Call call = lib.dial(PanelFor(3));
    vek::TransferOptions command52;
    command52.command = 0x52;
    vek::TransferOptions bigChunk;
    bigChunk.chunk = 256;
    vek::Panel lowOnly = PanelFor(3);
    std::promise<std::string> inside;
    const std::vector<Case> during = {
        {"count 0", [&] { call.read(0x10, 0); }, Cause::InvalidArgument, "nothing to read (count 0)"},
        {"address", [&] { call.read(0x10000, 1); }, Cause::InvalidArgument, "beyond the panel's 64 KiB"},
        {"past the end", [&] { call.read(0xFFF0, 32); }, Cause::InvalidArgument, "run past the end"},
        {"write past",
         [&] {
             call.write(0xFFFF, Bytes{1, 2});
         },
         Cause::InvalidArgument, "run past the end"},
        {"chunk", [&] { call.read(0x10, 4, bigChunk); }, Cause::InvalidArgument, "more than link mode 3 carries"},
        {"keep-alive code", [&] { call.read(0x10, 4, command52); }, Cause::InvalidArgument, "keep-alive code"},
        {"second call", [&] { lib.dial(PanelFor(3)); }, Cause::WrongState, "a call is already up"},
        {"inside a callback",
         [&] {
             call.readAsync(0x10, 1, {}, [&](std::exception_ptr, Bytes) {
                 try {
                     call.read(0x10, 1);
                     inside.set_value("");
                 } catch (const vek::UsageError& e) {
                     inside.set_value(e.what());
                 }
             });
             throw vek::UsageError(Cause::WrongState, inside.get_future().get());
         },
         Cause::WrongState, "inside a callback would wait for itself"},
    };
    check(during);
    EXPECT_EQ(call.read(0x10, 2), line.sim.ReadMemory(0x10, 2)); // the call is still fine
    call.hangUp();
    const std::vector<Case> after = {
        {"closed call", [&] { call.read(0x10, 4); }, Cause::WrongState, "no longer open"},
    };
    check(after);
    line.library.reset();
    const std::vector<Case> stopped = {
        {"stopped library", [&] { call.write(0x10, Bytes{1}); }, Cause::Stopped, "the library has stopped"},
    };
    check(stopped);
    vek::Call moved = std::move(call);
    const std::vector<Case> gone = {
        {"moved from", [&] { call.read(0, 1); }, Cause::WrongState, "moved from"},
    };
    check(gone);
}

} // namespace
