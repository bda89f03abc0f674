// vekhost demo: one whole call through the library to panelsim, the
// simulated modem and panel, on a pseudo-terminal in this process.
#include "Commands.h"
#include "HostRun.h"
#include "Interrupts.h"
#include "Summary.h"
#include "TraceFile.h"

#include "vekhost/Console.h"
#include "vekhost/HexDump.h"

#include "panelsim/Simulator.h"
#include "vek_host.h"

#include <chrono>
#include <cstdlib>

namespace vekhost {
namespace {

constexpr const char* kNumber = "5551234";
constexpr int kSpeed = 9600;
constexpr uint16_t kReadAddress = 0x0100;
constexpr uint32_t kReadCount = 64;
constexpr uint16_t kWriteAddress = 0x0120;
constexpr uint16_t kReadBackAddress = 0x0118;
constexpr uint32_t kReadBackCount = 16;

// Something recognisable in the dump: a label, then a ramp.
std::vector<uint8_t> MemoryPattern()
{
    const std::string label = "panelsim memory ";
    std::vector<uint8_t> bytes(label.begin(), label.end());
    while (bytes.size() < kReadCount)
        bytes.push_back(static_cast<uint8_t>(0xA0 ^ bytes.size()));
    return bytes;
}

std::vector<uint8_t> WrittenBytes()
{
    const std::string text = "vekhost!";
    return {text.begin(), text.end()};
}

panelsim::Options SimulatorOptions(const DemoOptions& options)
{
    panelsim::Options sim;
    sim.modem.numbers[kNumber] = {panelsim::DialOutcome::Connect, kSpeed, 300};
    sim.lineRate = options.paced;
    return sim; // link mode 2, type 19 version 2, reads 0x52, writes 0x57
}

CallPlan DemoPlan(int port, const std::string& device, const std::string& dataFolder)
{
    CallPlan plan;
    plan.modem.port = port;
    plan.modem.device = device;
    plan.modem.speed = kSpeed;
    plan.panel.phone = kNumber;
    plan.panel.secondSpeed = kSpeed;
    plan.dataFolder = dataFolder;
    plan.transfers.push_back({TransferKind::Read, kReadAddress, kReadCount, {}, {}});
    const std::vector<uint8_t> written = WrittenBytes();
    plan.transfers.push_back({TransferKind::Write, kWriteAddress, static_cast<uint32_t>(written.size()), written, {}});
    plan.transfers.push_back({TransferKind::Read, kReadBackAddress, kReadBackCount, {}, {}});
    return plan;
}

void PrintHeader(Console& out, const std::string& device, int port, const TraceFile& trace)
{
    out.Line(out.Paint("vekhost demo", Style::Bold) + ": one whole call through libvek_comm2 to a simulated panel");
    out.Line("  line      panelsim (simulated modem and panel) on " + device + ", mapped to COM" +
             std::to_string(port));
    out.Line(std::string("  panel     type 19 version 2, link mode 2, dialled as ") + kNumber + " (CONNECT " +
             std::to_string(kSpeed) + ")");
    out.Line("  modem     " + std::to_string(kSpeed) +
             " bit/s, init \"ATE0S12=10\", built-in definition (empty data folder)");
    if (trace.Path().empty())
        out.Line("  trace     through the library's trace hook (VEK_TRACE=FILE keeps a copy)");
    else
        out.Line("  trace     " + trace.Path() + " (VEK_TRACE)");
    out.Line("");
}

struct MemoryCheck {
    bool ok;
    std::string text;
};

// The panel's side, read from the simulator: did the write land?
MemoryCheck CheckMemory(const panelsim::Simulator& sim)
{
    const std::vector<uint8_t> written = WrittenBytes();
    const std::vector<uint8_t> held = sim.ReadMemory(kWriteAddress, written.size());
    if (held == written)
        return {true, "memory at 0x0120 holds \"" + PrintableText(held) + "\", as written"};
    return {false, "memory at 0x0120 holds " + HexBytes(held) + ", not what was written"};
}

} // namespace

ExitCode RunDemo(const GlobalOptions& global, const DemoOptions& options)
{
    // Before the simulator's thread starts: it must not take a Ctrl-C.
    BlockInterrupts();
    Console out = Console::ForTerminal(global.json);
    TraceFile trace;
    TempFolder dataFolder("vekhost-data");
    panelsim::Simulator sim(SimulatorOptions(options));
    if (!sim.Start()) {
        out.Error("the simulated panel did not start: " + sim.Error());
        return ExitCode::Failed;
    }
    sim.WriteMemory(kReadAddress, MemoryPattern());
    PrintHeader(out, sim.SlavePath(), options.port, trace);

    // The demo's own device, whatever the environment maps.
    const CallPlan plan = DemoPlan(options.port, sim.SlavePath(), dataFolder.Path());
    SummaryFacts facts;
    {
        HostRun run(out, global);
        facts.outcome = run.Run(plan, false);
        if (options.traffic)
            PrintTraffic(out, run);
        if (facts.outcome.code == ExitCode::Ok) {
            const MemoryCheck memory = CheckMemory(sim);
            if (!memory.ok)
                facts.outcome.code = ExitCode::Failed;
            facts.extra.emplace_back("panel", memory.text);
        }
        PrintSummary(out, run, facts);
        if (global.json)
            PrintJsonSummary("demo", out, run, facts);
    }
    sim.Stop();
    VekSetPortDevice(options.port, nullptr);
    return facts.outcome.code;
}

} // namespace vekhost
