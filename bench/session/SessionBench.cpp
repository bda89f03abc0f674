// Whole calls in real time for the published figures: the library through
// its exports on one side of a pseudo-terminal, panelsim with line-rate
// emulation on the other, in a forked child so that this process's CPU and
// memory are the host's and the library's alone.
//
//   vek_session session --mode 2 --speed 115200 --read 65536 --write 4096 --chunk 1024
//   vek_session idle --seconds 60
//   vek_session idle --from EPOCH_S --to EPOCH_S   (many lines: a common window)
#include "vek_comm2.h"
#include "vek_host.h"

#include "panelsim/Simulator.h"
#include "ModemRecord.h"
#include "PoolRecord.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPort = 7;
constexpr const char* kNumber = "5551234";
constexpr int kBitsPerByte = 11; // start, 8 data, 2 stop
// Panel type 19 in link mode 3: the library pauses this long after each byte.
constexpr double kMode3BytePauseMs = 150;

struct Settings {
    std::string what = "session";
    int mode = 2;
    int speed = 9600;
    uint32_t readBytes = 0;
    uint32_t writeBytes = 0;
    uint32_t chunk = 1024;
    int replyMs = 20;
    int idleSeconds = 60;
    long idleFrom = 0;
    long idleTo = 0;
    bool breakdown = false;
};

std::deque<std::pair<WPARAM, HGLOBAL>> g_notes;
// With --breakdown 1: when the library read and wrote, from its trace hook.
struct LineEvent {
    Clock::time_point at;
    bool sent;
};
std::mutex g_eventsMutex;
std::vector<LineEvent> g_events;

void OnTrace(const char* line, void*)
{
    const auto now = Clock::now();
    const char* tx = std::strstr(line, " TX ");
    const char* rx = std::strstr(line, " RX ");
    if (tx == nullptr && rx == nullptr)
        return;
    std::lock_guard lock(g_eventsMutex);
    g_events.push_back({now, tx != nullptr});
}

// Where a session's time went, from runs of writes and of reads: the
// library's turnaround (last read to next write), its writing (first to last
// write of a request), the panel's side (last write to first read: the line,
// the think time, panelsim's own latency) and the reply's reading.
struct Breakdown {
    double turnaroundMs = 0;
    double writingMs = 0;
    double panelMs = 0;
    double readingMs = 0;
};

Breakdown Analyse(Clock::time_point start, Clock::time_point end)
{
    std::lock_guard lock(g_eventsMutex);
    Breakdown b;
    auto ms = [](Clock::time_point a, Clock::time_point z) {
        return std::chrono::duration<double, std::milli>(z - a).count();
    };
    std::optional<LineEvent> runStart, previous;
    for (const LineEvent& e : g_events) {
        if (e.at < start || e.at > end)
            continue;
        if (previous && previous->sent != e.sent) {
            (previous->sent ? b.writingMs : b.readingMs) += ms(runStart->at, previous->at);
            (previous->sent ? b.panelMs : b.turnaroundMs) += ms(previous->at, e.at);
            runStart = e;
        }
        if (!runStart)
            runStart = e;
        previous = e;
    }
    if (previous && !previous->sent) {
        b.readingMs += ms(runStart->at, previous->at);
        b.turnaroundMs += ms(previous->at, end);
    }
    return b;
}

// Link mode 3's floor, summed one request at a time.
double g_pacedFloorMs = 0;

LRESULT HostProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == VEK_WM_COMM_HOST_NOTIFY)
        g_notes.emplace_back(wParam, static_cast<HGLOBAL>(lParam));
    return 0;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "vek_session: %s\n", what);
    std::exit(1);
}

// Waits for code; another end-of-transfer or end-of-call code fails.
bool WaitFor(WPARAM code, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    for (;;) {
        while (!g_notes.empty()) {
            const auto [c, block] = g_notes.front();
            g_notes.pop_front();
            if (block != 0)
                GlobalFree(block);
            if (c == code)
                return true;
            if (c == VEK_NOTIFY_TRANSFER_REFUSED || c == VEK_NOTIFY_LINK_LOST || c == VEK_NOTIFY_NO_CARRIER ||
                c == VEK_NOTIFY_PANEL_ENDED_CALL || c == VEK_NOTIFY_EXCHANGE_FAILED) {
                std::fprintf(stderr, "vek_session: notification %lu while waiting for %lu\n",
                             static_cast<unsigned long>(c), static_cast<unsigned long>(code));
                return false;
            }
        }
        if (Clock::now() > deadline)
            return false;
        VekPumpMessages(50);
    }
}

void Put16(std::vector<uint8_t>& r, size_t at, uint16_t v)
{
    r[at] = static_cast<uint8_t>(v);
    r[at + 1] = static_cast<uint8_t>(v >> 8);
}

HGLOBAL HostBlock(const std::vector<uint8_t>& bytes)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.empty() ? 1 : bytes.size());
    if (!bytes.empty())
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

void SetupModem(int speed)
{
    vek::Modem modem; // "ATE0S12=10": a short escape guard time
    modem.port = kPort;
    modem.speed = speed;
    if (VEKComm2_SetupModem(HostBlock(vek::internal::BuildModemRecord(modem))) != 1)
        Fail("SetupModem refused the modem");
}

void AddPool(uint32_t operation, uint8_t command, uint16_t address, const std::vector<uint8_t>& data, uint32_t count)
{
    const auto kind = operation == 'u' ? vek::internal::TransferKind::Read : vek::internal::TransferKind::Write;
    if (VEKComm2_AddPool(HostBlock(vek::internal::BuildPoolRecord({kind, address, count, command}, HostBlock(data)))) != 1)
        Fail("AddPool refused a request");
}

// The panel runs in a child so that its CPU is not the library's.
struct PanelChild {
    pid_t pid = -1;
    int keepAlive = -1; // closing it tells the child to stop
    std::string device;
};

PanelChild StartPanel(const Settings& s)
{
    int pathPipe[2], stopPipe[2];
    if (::pipe(pathPipe) != 0 || ::pipe(stopPipe) != 0)
        Fail("pipe");
    PanelChild child;
    child.pid = ::fork();
    if (child.pid < 0)
        Fail("fork");
    if (child.pid == 0) {
        ::close(pathPipe[0]);
        ::close(stopPipe[1]);
        panelsim::Options o;
        o.modem.numbers[kNumber] = {panelsim::DialOutcome::Connect, s.speed, 300};
        o.lineRate = true;
        o.lineSpeed = s.speed;
        o.panel.linkMode = s.mode;
        o.panel.replyDelayMs = s.replyMs;
        o.panel.twoByteAddress = s.mode == 3;
        o.panel.identRepeatMs = 1 << 30; // idle lines stay quiet but for keep-alives
        panelsim::Simulator sim(o);
        std::string path = sim.Start() ? sim.SlavePath() : std::string();
        path += '\n';
        if (::write(pathPipe[1], path.data(), path.size()) < 0)
            ::_exit(2);
        char c;
        while (::read(stopPipe[0], &c, 1) > 0) {
        }
        sim.Stop();
        ::_exit(0);
    }
    ::close(pathPipe[1]);
    ::close(stopPipe[0]);
    child.keepAlive = stopPipe[1];
    char buf[256];
    ssize_t n = 0, got;
    while (n < static_cast<ssize_t>(sizeof buf) - 1 && (got = ::read(pathPipe[0], buf + n, 1)) == 1 && buf[n] != '\n')
        ++n;
    ::close(pathPipe[0]);
    child.device.assign(buf, static_cast<size_t>(n));
    if (child.device.empty())
        Fail("panelsim did not start");
    return child;
}

// CPU seconds the child used, once it has ended.
double StopPanel(PanelChild& child)
{
    ::close(child.keepAlive);
    int status = 0;
    rusage ru{};
    ::wait4(child.pid, &status, 0, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double CpuSeconds(const rusage& ru)
{
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

std::vector<uint8_t> BuildRecord(const Settings& s)
{
    std::vector<uint8_t> r(VEK_PANEL_RECORD_MIN_SIZE, 0);
    Put16(r, VEK_PANEL_LINK_MODE, static_cast<uint16_t>(s.mode));
    Put16(r, VEK_PANEL_EXPECTED_TYPE, 19);
    Put16(r, VEK_PANEL_EXPECTED_VERSION, 2);
    Put16(r, VEK_PANEL_SECOND_SPEED, static_cast<uint16_t>(s.speed));
    Put16(r, VEK_PANEL_DIRECT_SPEED, static_cast<uint16_t>(s.speed));
    // No pause between requests; mode 3 addresses all of memory.
    uint16_t options = VEK_PANEL_OPT_REQUEST_DELAY;
    if (s.mode == 3)
        options |= VEK_PANEL_OPT_ADDRESS;
    Put16(r, VEK_PANEL_OPTIONS, options);
    std::memcpy(r.data() + VEK_PANEL_PHONE_NUMBER, kNumber, std::strlen(kNumber) + 1);
    return r;
}

double LineMs(const Settings& s, double bytes) { return bytes * kBitsPerByte * 1000.0 / s.speed; }

// panelsim paces a byte in whole microseconds, rounded down: at 115200 bit/s
// its line is 0.5 % faster than the true one, which would hide overhead.
double EmulatedLineMs(const Settings& s, double bytes)
{
    return bytes * static_cast<double>(static_cast<long>(kBitsPerByte * 1000000L / s.speed)) / 1000.0;
}

// A paced request: a pause after every byte sent; the reply (panel's think
// time and its bytes on the line) overlaps the pause after the last byte.
double PacedRequestFloorMs(const Settings& s, double sent, double received)
{
    if (sent < 1)
        return s.replyMs + LineMs(s, received);
    const double afterLast = LineMs(s, 1) + s.replyMs + LineMs(s, received);
    return (sent - 1) * kMode3BytePauseMs + std::max(kMode3BytePauseMs, afterLast);
}

// Sends every request of one transfer, a few ahead so that the host's own
// turnaround is not on the line's critical path.
bool Transfer(bool write, const Settings& s, uint32_t total, int& requests)
{
    const uint8_t command = s.mode == 3 ? (write ? 2 : 1) : (write ? 0x57 : 0x52);
    const WPARAM done = write ? VEK_NOTIFY_WRITE_DONE : VEK_NOTIFY_READ_DONE;
    // Mode 3 goes one request at a time to see each request's bytes.
    const int ahead = s.mode == 3 ? 1 : 2;
    int outstanding = 0;
    VekLineFigures last{};
    VekGetLineFigures(&last);
    for (uint32_t at = 0; at < total || outstanding > 0;) {
        if (at < total && outstanding < ahead) {
            const uint32_t n = std::min(s.chunk, total - at);
            std::vector<uint8_t> data;
            if (write)
                data.assign(n, static_cast<uint8_t>(at));
            AddPool(write ? '-' : 'u', command, static_cast<uint16_t>(at), data, n);
            at += n;
            ++outstanding;
            ++requests;
            continue;
        }
        if (!WaitFor(done, std::chrono::minutes(2)))
            return false;
        --outstanding;
        if (s.mode == 3) {
            VekLineFigures now{};
            VekGetLineFigures(&now);
            g_pacedFloorMs += PacedRequestFloorMs(s, static_cast<double>(now.bytesSent - last.bytesSent),
                                                  static_cast<double>(now.bytesReceived - last.bytesReceived));
            last = now;
        }
    }
    return true;
}

bool PlaceCall(const Settings& s, std::vector<uint8_t>& record)
{
    SetupModem(s.speed);
    if (VEKComm2_CommInit() != 1 || !WaitFor(VEK_NOTIFY_MODEM_READY, std::chrono::seconds(20)))
        return false;
    return VEKComm2_PanelInit(record.data(), "1234", "", 1) == 1 &&
           WaitFor(VEK_NOTIFY_SESSION_OPENED, std::chrono::seconds(60));
}

void HangUp()
{
    if (VEKComm2_HangUp(0, 0) == 1)
        WaitFor(VEK_NOTIFY_MODEM_READY, std::chrono::seconds(30));
}

int RunSession(const Settings& s, std::vector<uint8_t>& record)
{
    VekLineFigures before{}, after{};
    VekGetLineFigures(&before);
    int requests = 0;
    const auto start = Clock::now();
    const bool ok = Transfer(false, s, s.readBytes, requests) && Transfer(true, s, s.writeBytes, requests);
    const auto end = Clock::now();
    const double measuredMs = std::chrono::duration<double, std::milli>(end - start).count();
    VekGetLineFigures(&after);
    (void)record;
    if (!ok)
        Fail("a transfer failed");
    const double sent = static_cast<double>(after.bytesSent - before.bytesSent);
    const double received = static_cast<double>(after.bytesReceived - before.bytesReceived);
    const double lineMs = LineMs(s, sent + received);
    const double pausesMs = requests * static_cast<double>(s.replyMs);
    const double floorMs = s.mode == 3 ? g_pacedFloorMs : lineMs + pausesMs;
    // Mode 3's floor is the pauses; the line hides in them.
    const double emulatedMs = s.mode == 3 ? g_pacedFloorMs : EmulatedLineMs(s, sent + received) + pausesMs;
    std::printf("mode=%d speed=%d read=%u write=%u chunk=%u requests=%d sent=%.0f received=%.0f line_ms=%.1f "
                "pauses_ms=%.1f floor_ms=%.1f emulated_floor_ms=%.1f measured_ms=%.1f overhead_pct=%.2f "
                "overhead_vs_emulated_pct=%.2f\n",
                s.mode, s.speed, s.readBytes, s.writeBytes, s.chunk, requests, sent, received, lineMs, pausesMs,
                floorMs, emulatedMs, measuredMs, 100.0 * (measuredMs - floorMs) / floorMs,
                100.0 * (measuredMs - emulatedMs) / emulatedMs);
    if (s.breakdown) {
        const Breakdown b = Analyse(start, end);
        std::printf("breakdown: turnaround_ms=%.1f writing_ms=%.1f panel_side_ms=%.1f reading_ms=%.1f "
                    "sent_line_ms=%.1f turnaround_per_request_ms=%.3f\n",
                    b.turnaroundMs, b.writingMs, b.panelMs, b.readingMs, EmulatedLineMs(s, sent),
                    b.turnaroundMs / requests);
    }
    return 0;
}

void SleepUntil(long epochSeconds)
{
    std::this_thread::sleep_until(std::chrono::system_clock::time_point(std::chrono::seconds(epochSeconds)));
}

// Pumps messages (a host's idle loop) until the wall clock reaches the end.
void IdleUntil(std::chrono::system_clock::time_point end)
{
    while (std::chrono::system_clock::now() < end) {
        VekPumpMessages(1000);
        while (!g_notes.empty()) {
            if (g_notes.front().second != 0)
                GlobalFree(g_notes.front().second);
            g_notes.pop_front();
        }
    }
}

int RunIdle(const Settings& s)
{
    const bool window = s.idleFrom != 0;
    if (window) {
        if (std::time(nullptr) >= s.idleFrom)
            Fail("the call came up after the idle window began");
        SleepUntil(s.idleFrom);
    }
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    IdleUntil(window ? std::chrono::system_clock::time_point(std::chrono::seconds(s.idleTo))
                     : std::chrono::system_clock::now() + std::chrono::seconds(s.idleSeconds));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    const double cpu = CpuSeconds(after) - CpuSeconds(before);
    std::printf("idle_s=%.1f cpu_s=%.4f cpu_pct=%.3f maxrss_kb=%ld", seconds, cpu, 100.0 * cpu / seconds,
                after.ru_maxrss);
    return 0;
}

Settings Parse(int argc, char** argv)
{
    Settings s;
    if (argc < 2)
        Fail("usage: vek_session session|idle [options]");
    s.what = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        const long v = std::strtol(argv[i + 1], nullptr, 0);
        if (k == "--mode")
            s.mode = static_cast<int>(v);
        else if (k == "--speed")
            s.speed = static_cast<int>(v);
        else if (k == "--read")
            s.readBytes = static_cast<uint32_t>(v);
        else if (k == "--write")
            s.writeBytes = static_cast<uint32_t>(v);
        else if (k == "--chunk")
            s.chunk = static_cast<uint32_t>(v);
        else if (k == "--reply-ms")
            s.replyMs = static_cast<int>(v);
        else if (k == "--seconds")
            s.idleSeconds = static_cast<int>(v);
        else if (k == "--from")
            s.idleFrom = v;
        else if (k == "--to")
            s.idleTo = v;
        else if (k == "--breakdown")
            s.breakdown = v != 0;
        else
            Fail(("unknown option " + k).c_str());
    }
    if (s.what != "session" && s.what != "idle")
        Fail("the first argument is session or idle");
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    const Settings s = Parse(argc, argv);
    PanelChild panel = StartPanel(s);
    char dir[] = "/tmp/vek-session-XXXXXX";
    if (::mkdtemp(dir) == nullptr)
        Fail("mkdtemp");
    VekSetDataFolder(dir); // no database file: the built-in modem
    ::unsetenv(("VEK_COM" + std::to_string(kPort)).c_str());
    VekSetPortDevice(kPort, panel.device.c_str());
    if (s.breakdown)
        VekSetTraceHook(OnTrace, nullptr); // costs time: a separate run
    const HWND host = VekCreateWindow(HostProc, nullptr);
    if (VEKComm2_Init(host) != 1)
        Fail("Init failed");
    std::vector<uint8_t> record = BuildRecord(s);
    if (!PlaceCall(s, record))
        Fail("the call did not come up");
    const int rc = s.what == "session" ? RunSession(s, record) : RunIdle(s);
    HangUp();
    VEKComm2_Uninit();
    const double panelCpu = StopPanel(panel);
    if (s.what == "idle")
        std::printf(" panelsim_life_cpu_s=%.4f\n", panelCpu);
    ::rmdir(dir);
    return rc;
}
