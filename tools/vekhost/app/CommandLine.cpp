#include "CommandLine.h"

#include "Commands.h"

#include "vekhost/ExitCodes.h"
#include "vekhost/LinkModeRules.h"
#include "vekhost/ModemDatabase.h"
#include "vekhost/PanelFile.h"
#include "vekhost/TransferArgument.h"

#include "panelsim/NumberCheck.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace vekhost {
namespace {

constexpr const char* kGlobalNote =
    "Before or after the subcommand: -q one line per transfer, --json a JSON summary on stdout,\n"
    "--timeout SECONDS bounds every wait but the hang-up's (default: as long as the library\n"
    "may take to report by itself, so its own verdict comes first; waiting for a call in has no bound;\n"
    "the hang-up is given up to 60 s, so that the line is not left up), --verbose prints the library's\n"
    "trace as it happens. Ctrl-C or SIGTERM ends the waits and puts the line back on hook (15 s at\n"
    "most); a second one stops waiting for that, a third leaves at once. Every run ends with its summary.\n";

constexpr const char* kCallExamples =
    "Examples:\n"
    "  vekhost call --device /dev/ttyUSB0 --phone 5551234 --read 0x0100:64\n"
    "  vekhost call --port 2 --panel site.txt --read 0:0x4000=image.bin\n"
    "  vekhost call --pc-link --device /dev/ttyS0 --write 0x0200:DEADBEEF --read 0x0200:4\n"
    "  vekhost --timeout 600 answer --device /dev/ttyUSB0 --read 0x0100:64\n";

constexpr const char* kDescription =
    "vekhost: the host program of the vek_comm2 library, for a shell. It loads the library as a host\n"
    "application does, runs the message loop and prints every notification by name as it arrives.\n"
    "Without a subcommand it runs the demo.";

// The options of call and answer, filled by the parser.
struct CallCommandLine {
    CLI::App* app = nullptr;
    CallPlan plan;
    std::string panelFile;
    std::map<std::string, std::pair<CLI::Option*, std::string>> panelValues;
    CLI::Option* reads = nullptr;
    CLI::Option* writes = nullptr;
    std::vector<std::string> readTexts;
    std::vector<std::string> writeTexts;
    CLI::Option* readCommandOption = nullptr;
    CLI::Option* writeCommandOption = nullptr;
    CLI::Option* chunkOption = nullptr;
    // What --help shows: the command bytes of every mode but 3.
    int readCommand = vek::linkLimits(2).readCommand;
    int writeCommand = vek::linkLimits(2).writeCommand;
    int chunk = static_cast<int>(vek::linkLimits(2).largestRequest);
    // Modem options given on the command line, applied on top of the data
    // folder's definition.
    std::vector<std::pair<CLI::Option*, std::function<void(vek::Modem&, const vek::Modem&)>>> modemOptions;
};

template <typename T> CLI::Option* Track(CallCommandLine& c, CLI::Option* option, T vek::Modem::*member)
{
    c.modemOptions.emplace_back(option,
                                [member](vek::Modem& to, const vek::Modem& from) { to.*member = from.*member; });
    return option;
}

void AddModemOptions(CLI::App* app, CallCommandLine& c)
{
    vek::Modem& m = c.plan.modem;
    const std::string group = "Line and modem (from --data-folder's Trv3.mdm when given)";
    Track(c, app->add_option("--port", m.port, "COM port number the library opens"), &vek::Modem::port)
        ->type_name("N")
        ->check(panelsim::NumberIn(1, 255))
        ->capture_default_str()
        ->group(group);
    app->add_option("--device", m.device,
                    "device for that port; wins over VEK_COM<port> (default: VEK_COM<port>, else /dev/ttyS<port-1>)")
        ->type_name("PATH")
        ->group(group);
    app->add_option("--data-folder", c.plan.dataFolder,
                    "folder of the modem database Trv3.mdm: its outgoing definition, changed only by the options "
                    "given")
        ->type_name("DIR")
        ->group(group);
    Track(c, app->add_option("--speed", m.speed, "port speed in bit/s"), &vek::Modem::speed)
        ->type_name("BPS")
        ->check(panelsim::NumberIn(1, 4000000))
        ->capture_default_str()
        ->group(group);
    Track(c, app->add_option("--init", m.init, "modem initialisation string"), &vek::Modem::init)
        ->capture_default_str()
        ->group(group);
    Track(c, app->add_option("--init2", m.init2, "second initialisation string"), &vek::Modem::init2)->group(group);
    Track(c, app->add_option("--init3", m.init3, "third initialisation string"), &vek::Modem::init3)->group(group);
    Track(c, app->add_option("--reset", m.reset, "modem reset command"), &vek::Modem::reset)
        ->capture_default_str()
        ->group(group);
    Track(c, app->add_option("--escape", m.escape, "escape sequence"), &vek::Modem::escape)
        ->capture_default_str()
        ->group(group);
    Track(c, app->add_option("--hangup", m.hangUp, "hang-up command stem (0 and 1 are appended)"), &vek::Modem::hangUp)
        ->capture_default_str()
        ->group(group);
    Track(c, app->add_option("--dial-prefix", m.toneDial, "dial command after AT (DT tone, DP pulse)"),
          &vek::Modem::toneDial)
        ->capture_default_str()
        ->group(group);
    Track(c, app->add_option("--rings", m.answerRings, "rings before the modem answers"), &vek::Modem::answerRings)
        ->type_name("N")
        ->check(panelsim::NumberIn(0, 255))
        ->capture_default_str()
        ->group(group);
    Track(c, app->add_option("--command-delay", m.commandDelayMs, "pause after each modem command, ms"),
          &vek::Modem::commandDelayMs)
        ->type_name("MS")
        ->check(panelsim::NumberIn(0, 255))
        ->group(group);
    Track(c, app->add_option("--char-delay", m.charDelayMs, "pause after each command character, ms"),
          &vek::Modem::charDelayMs)
        ->type_name("MS")
        ->check(panelsim::NumberIn(0, 255))
        ->group(group);
    Track(c, app->add_option("--modem-options", m.options, "modem option bits (record offset 212)"),
          &vek::Modem::options)
        ->type_name("N")
        ->group(group);
    Track(c, app->add_flag("--pc-link", m.pcLink, "a direct cable to the panel: no modem, no AT commands"),
          &vek::Modem::pcLink)
        ->group(group);
    Track(c, app->add_flag("--extended", m.extended, "the modem takes the extended commands"), &vek::Modem::extended)
        ->group(group);
    Track(c, app->add_flag("--line-2400", m.line2400, "line speed 2400 instead of 1200 for slow ports"),
          &vek::Modem::line2400)
        ->group(group);
    Track(c, app->add_flag("--attention", m.attention, "the modem needs a pause after each command"),
          &vek::Modem::attention)
        ->group(group);
}

void AddPanelOptions(CLI::App* app, CallCommandLine& c)
{
    const std::string group = "Panel (also from --panel FILE)";
    app->add_option("--panel", c.panelFile, "panel file, key = value lines (format below)")
        ->type_name("FILE")
        ->check(CLI::ExistingFile)
        ->group(group);
    for (const PanelKey& key : PanelKeys()) {
        auto& [option, value] = c.panelValues[std::string(key.key)];
        option = app->add_option("--" + std::string(key.key), value, std::string(key.help))
                     ->type_name(std::string(key.value))
                     ->group(group);
    }
}

void AddTransferOptions(CLI::App* app, CallCommandLine& c)
{
    const std::string group = "Transfers (in the order given)";
    c.reads = app->add_option("--read", c.readTexts,
                              "read ADDR:COUNT, hex dump; ADDR:COUNT=FILE saves raw bytes (=- to standard output)")
                  ->type_name("ADDR:COUNT[=FILE]")
                  ->allow_extra_args(false)
                  ->group(group);
    c.writes = app->add_option("--write", c.writeTexts, "write ADDR:HEXBYTES (e.g. 0x200:DEADBEEF) or ADDR=FILE")
                   ->type_name("ADDR:HEX|ADDR=FILE")
                   ->allow_extra_args(false)
                   ->group(group);
    c.chunkOption =
        app->add_option("--chunk", c.chunk,
                        "largest request in bytes; longer transfers are split. Default: the largest the link mode "
                        "carries (mode 1: 250, mode 3: 255, others 1024), since each request costs a pause "
                        "of its own; less for panels that need it")
            ->type_name("N")
            ->check(panelsim::NumberIn(1, 1024))
            ->default_str("the link mode's largest")
            ->group(group);
    c.readCommandOption = app->add_option("--read-cmd", c.readCommand, "command byte of a read")
                              ->type_name("BYTE")
                              ->check(panelsim::NumberIn(0, 255))
                              ->default_str("0x52, link mode 3: 1")
                              ->group(group);
    c.writeCommandOption = app->add_option("--write-cmd", c.writeCommand, "command byte of a write")
                               ->type_name("BYTE")
                               ->check(panelsim::NumberIn(0, 255))
                               ->default_str("0x57, link mode 3: 2")
                               ->group(group);
    app->add_flag("--force-hangup", c.plan.forceHangUp, "end with the abort pattern (VEKComm2_ForceHangUp)")
        ->group(group);
    app->add_flag("--traffic", c.plan.showTraffic, "show the line traffic at the end")->group(group);
}

CLI::App* AddCallCommand(CLI::App& app, const char* name, const char* help, CallCommandLine& c)
{
    c.app = app.add_subcommand(name, help);
    AddModemOptions(c.app, c);
    AddPanelOptions(c.app, c);
    AddTransferOptions(c.app, c);
    c.app->footer(std::string(kCallExamples) + "\n" + kGlobalNote + "\n" + PanelFileHelp() + "\n" + ExitCodeHelp());
    return c.app;
}

std::string ReadTransfers(CallCommandLine& c)
{
    // Reads and writes run in the order they were given.
    size_t read = 0;
    size_t write = 0;
    for (const CLI::Option* option : c.app->parse_order()) {
        if (option != c.reads && option != c.writes)
            continue;
        const bool isRead = option == c.reads;
        const std::string& text = isRead ? c.readTexts.at(read++) : c.writeTexts.at(write++);
        TransferArgument argument;
        if (std::string error = isRead ? ParseReadArgument(text, argument) : ParseWriteArgument(text, argument);
            !error.empty())
            return error;
        c.plan.transfers.push_back(std::move(argument));
    }
    if (std::string error = LoadWriteFiles(c.plan.transfers); !error.empty())
        return error;
    return CheckReadTargets(c.plan.transfers);
}

std::string ReadPanel(CallCommandLine& c)
{
    vek::Panel& panel = c.plan.panel;
    if (!c.panelFile.empty()) {
        std::ifstream in(c.panelFile);
        std::stringstream text;
        text << in.rdbuf();
        if (const auto error = ReadPanelText(text.str(), panel))
            return c.panelFile + ":" + std::to_string(error->line) + ": " + error->message;
    }
    for (const auto& [key, entry] : c.panelValues)
        if (entry.first->count() > 0)
            if (std::string error = ApplyPanelKey(panel, key, entry.second); !error.empty())
                return "--" + error;
    return vek::checkPanel(panel);
}

// Command bytes, request size and address form the user left open follow
// the link mode.
std::string ShapeForLinkMode(CallCommandLine& c)
{
    vek::Panel& panel = c.plan.panel;
    const vek::LinkLimits defaults = vek::linkLimits(panel.linkMode);
    TransferShape shape;
    shape.linkMode = panel.linkMode;
    shape.readCommand = c.readCommandOption->count() > 0 ? static_cast<uint8_t>(c.readCommand) : defaults.readCommand;
    shape.writeCommand =
        c.writeCommandOption->count() > 0 ? static_cast<uint8_t>(c.writeCommand) : defaults.writeCommand;
    shape.chunk = c.chunkOption->count() > 0 ? static_cast<uint32_t>(c.chunk)
                                             : std::min(static_cast<uint32_t>(c.chunk), defaults.largestRequest);
    shape.panelOptions = panel.options;
    shape.panelOptionsGiven = panel.options != 0 || c.panelValues.at("panel-options").first->count() > 0;
    if (std::string error = ShapeTransfers(shape, c.plan.transfers); !error.empty())
        return error;
    panel.options = shape.panelOptions;
    c.plan.transferSettings.readCommand = shape.readCommand;
    c.plan.transferSettings.writeCommand = shape.writeCommand;
    c.plan.transferSettings.chunk = shape.chunk;
    return {};
}

// Everything the parser could not check; an error text or empty.
std::string CompletePlan(CallCommandLine& c, bool answer)
{
    if (std::string error = ReadPanel(c); !error.empty())
        return error;
    if (!c.plan.dataFolder.empty()) {
        auto loaded = LoadDataFolderModem(c.plan.dataFolder);
        if (const auto* error = std::get_if<std::string>(&loaded))
            return *error;
        vek::Modem modem = std::get<vek::Modem>(loaded);
        modem.device = c.plan.modem.device;
        for (const auto& [option, apply] : c.modemOptions)
            if (option->count() > 0)
                apply(modem, c.plan.modem);
        c.plan.modem = modem;
    }
    if (std::string error = vek::checkModem(c.plan.modem); !error.empty())
        return error;
    if (!answer && !c.plan.modem.pcLink && c.plan.panel.phone.empty())
        return "no number to dial: give --phone (or phone = in --panel), or --pc-link";
    if (answer && c.plan.modem.pcLink)
        return "a direct PC link cannot answer calls";
    if (std::string error = ReadTransfers(c); !error.empty())
        return error;
    return ShapeForLinkMode(c);
}

int Usage(const std::string& error)
{
    std::fprintf(stderr, "vekhost: %s\nRun with --help for more information.\n", error.c_str());
    return ToInt(ExitCode::Usage);
}

} // namespace

int Main(int argc, char** argv)
{
    CLI::App app(kDescription, "vekhost");
    app.footer(ExitCodeHelp());
    app.fallthrough();
    app.set_version_flag("--version", "vekhost " VEK_TOOLS_VERSION);
    app.require_subcommand(0, 1);
    GlobalOptions global;
    app.add_option("--timeout", global.timeoutSeconds, "seconds any single wait may take")
        ->type_name("SECONDS")
        ->check(panelsim::NumberIn(0.1, 86400))
        ->default_str("the library's own limits");
    app.add_flag("-v,--verbose", global.verbose, "print every line of the library's trace as it happens");
    app.add_flag("-q,--quiet", global.quiet, "one line per transfer instead of one per request");
    app.add_flag("--json", global.json,
                 "a JSON summary of the call (or of the ports) on stdout; messages go to stderr");

    DemoOptions demo;
    CLI::App* demoCommand =
        app.add_subcommand("demo", "a whole call to panelsim, the simulated modem and panel, in this process");
    demoCommand->add_option("--port", demo.port, "COM port number given to the simulator")
        ->type_name("N")
        ->check(panelsim::NumberIn(1, 255))
        ->capture_default_str();
    demoCommand->add_flag("--paced", demo.paced, "pace the simulated line at its real speed");
    bool noTraffic = false;
    demoCommand->add_flag("--no-traffic", noTraffic, "leave out the line traffic");
    demoCommand->footer(std::string(kGlobalNote) + "\n" + ExitCodeHelp());

    CallCommandLine call;
    AddCallCommand(app, "call", "dial a panel (or poll it on a direct link), transfer data, hang up", call);
    CallCommandLine answer;
    AddCallCommand(app, "answer", "wait for a panel to call in, then transfer data and hang up", answer);

    bool allPorts = false;
    CLI::App* portsCommand = app.add_subcommand("ports", "list the serial ports and whether each can be opened now");
    portsCommand->add_flag("--all", allPorts, "include ttyS devices without a UART");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ConversionError& e) {
        return Usage(panelsim::NotANumber(e));
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : ToInt(ExitCode::Usage);
    }

    if (portsCommand->parsed())
        return ToInt(RunPorts(allPorts, global.json));
    for (CallCommandLine* c : {&call, &answer}) {
        if (!c->app->parsed())
            continue;
        const bool answering = c == &answer;
        if (std::string error = CompletePlan(*c, answering); !error.empty())
            return Usage(error);
        if (global.json && ReadsToStandardOutput(c->plan.transfers))
            return Usage("--json and --read ...=- both want standard output");
        return ToInt(answering ? RunAnswer(global, c->plan) : RunCall(global, c->plan));
    }
    demo.traffic = !noTraffic;
    return ToInt(RunDemo(global, demo));
}

} // namespace vekhost
