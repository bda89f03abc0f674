// vekhost ports: the serial ports present and whether each can be opened.
#include "Commands.h"

#include "vekhost/Console.h"
#include "vekhost/JsonReport.h"
#include "vekhost/PortNames.h"

#include "vek/client.hpp"

#include <cstdio>
#include <filesystem>

extern char** environ;

namespace vekhost {
namespace {

std::vector<std::string> Environment()
{
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        entries.emplace_back(*entry);
    return entries;
}

std::string PortRow(const std::string& com, const std::string& device, const vek::PortCheck& check)
{
    std::string shown = device;
    std::error_code error;
    if (std::filesystem::is_symlink(device, error))
        shown += " -> " + std::filesystem::canonical(device, error).string();
    char line[512];
    std::snprintf(line, sizeof line, "  %-6s %-40s %-12s %s", com.c_str(), shown.c_str(),
                  std::string(vek::portStateName(check.state)).c_str(), check.detail.c_str());
    return line;
}

} // namespace

ExitCode RunPorts(bool all, bool json)
{
    if (json) {
        std::vector<PortRecord> records;
        for (const std::string& device : vek::serialDevices()) {
            PortRecord record{device, DefaultComPort(device), vek::checkPort(device), FindUsbIdentity(device), false};
            if (record.check.state != vek::PortCheck::State::NoHardware || all)
                records.push_back(std::move(record));
        }
        for (const ComMapping& m : ComMappingsFromEnvironment(Environment()))
            records.push_back({m.device, m.port, vek::checkPort(m.device), FindUsbIdentity(m.device), true});
        const std::string text = PortsJson(records);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return ExitCode::Ok;
    }
    Console out = Console::ForTerminal();
    out.Line(out.Paint("Serial ports", Style::Bold));
    int shown = 0;
    int hidden = 0;
    for (const std::string& device : vek::serialDevices()) {
        const vek::PortCheck check = vek::checkPort(device);
        if (check.state == vek::PortCheck::State::NoHardware && !all) {
            ++hidden;
            continue;
        }
        const int com = DefaultComPort(device);
        out.Line(PortRow(com > 0 ? "COM" + std::to_string(com) : "", device, check));
        ++shown;
    }
    if (shown == 0)
        out.Line("  none found");
    if (hidden > 0)
        out.Line("  (" + std::to_string(hidden) + " ttyS devices without a UART left out; --all shows them)");

    const std::vector<ComMapping> mapped = ComMappingsFromEnvironment(Environment());
    if (!mapped.empty()) {
        out.Line(out.Paint("Mapped by the environment (VEK_COM<n>; --device given to call or answer wins over it)", Style::Bold));
        for (const ComMapping& m : mapped)
            out.Line(PortRow("COM" + std::to_string(m.port), m.device, vek::checkPort(m.device)));
    }
    out.Line("");
    out.Line("COMn is /dev/ttyS<n-1> unless mapped: vekhost call --port N --device /dev/ttyUSB0 ...");
    return ExitCode::Ok;
}

} // namespace vekhost
