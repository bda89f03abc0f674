// panelsim: a simulated modem with an alarm panel behind it. Prints the
// device to open on its first line of output, then serves until SIGINT or
// SIGTERM (or, with --link, until the descriptor reaches end of input).
#include "panelsim/NumberCheck.h"
#include "panelsim/Simulator.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using panelsim::Options;

int ParseNumber(const std::string& text)
{
    size_t used = 0;
    try {
        const long value = std::stol(text, &used, 0);
        if (used == text.size() && value >= INT32_MIN && value <= INT32_MAX)
            return static_cast<int>(value);
    } catch (const std::exception&) {
    }
    throw CLI::ValidationError("number", "\"" + text + "\" is not a number");
}

uint16_t ParseHexAddress(const std::string& text)
{
    size_t used = 0;
    try {
        const unsigned long value = std::stoul(text, &used, 16);
        if (used == text.size() && value <= 0xFFFF)
            return static_cast<uint16_t>(value);
    } catch (const std::exception&) {
    }
    throw CLI::ValidationError("address", "\"" + text + "\" is not a hex address 0 to FFFF");
}

std::vector<uint8_t> ParseHex(const std::string& text)
{
    std::vector<uint8_t> bytes;
    std::string digits;
    for (const char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
    if (digits.size() % 2 != 0)
        throw CLI::ValidationError("hex bytes", "odd number of digits in " + text);
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

uint8_t ParseHexByte(const std::string& text)
{
    const std::vector<uint8_t> bytes = ParseHex(text.size() == 1 ? "0" + text : text);
    if (bytes.size() != 1)
        throw CLI::ValidationError("hex byte", text);
    return bytes[0];
}

// NUMBER=OUTCOME[:SPEED][@DELAY_MS], e.g. 5551234=connect:9600@300
std::pair<std::string, panelsim::DialScript> ParseDialScript(const std::string& text)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        throw CLI::ValidationError("--number", "expected NUMBER=OUTCOME in " + text);
    std::string rest = text.substr(equals + 1);
    panelsim::DialScript script;
    if (const size_t at = rest.find('@'); at != std::string::npos) {
        script.delayMs = ParseNumber(rest.substr(at + 1));
        rest.resize(at);
    }
    if (const size_t colon = rest.find(':'); colon != std::string::npos) {
        script.connectSpeed = ParseNumber(rest.substr(colon + 1));
        rest.resize(colon);
    }
    const auto outcome = panelsim::DialOutcomeFromName(rest);
    if (!outcome)
        throw CLI::ValidationError("--number", "unknown outcome " + rest);
    script.outcome = *outcome;
    return {text.substr(0, equals), script};
}

// CMD=REPLY[:PAYLOAD][,ack], all hex, e.g. 43=44:0102,ack
std::pair<uint8_t, panelsim::CommandReply> ParseCommandReply(const std::string& text)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        throw CLI::ValidationError("--reply", "expected CMD=REPLY in " + text);
    std::string rest = text.substr(equals + 1);
    panelsim::CommandReply reply;
    if (const size_t comma = rest.find(",ack"); comma != std::string::npos) {
        reply.acknowledgeFirst = true;
        rest.resize(comma);
    }
    if (const size_t colon = rest.find(':'); colon != std::string::npos) {
        reply.payload = ParseHex(rest.substr(colon + 1));
        rest.resize(colon);
    }
    reply.replyCommand = ParseHexByte(rest);
    return {ParseHexByte(text.substr(0, equals)), reply};
}

// COUNT:REASON, or FIRST-LAST:REASON[:COUNT] with hex addresses.
panelsim::RefusalRule ParseRefusal(const std::string& text, bool ranged)
{
    panelsim::RefusalRule rule;
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        throw CLI::ValidationError("refusal", "expected ...:REASON in " + text);
    const std::string head = text.substr(0, colon);
    std::string tail = text.substr(colon + 1);
    if (const size_t second = tail.find(':'); second != std::string::npos) {
        rule.remaining = ParseNumber(tail.substr(second + 1));
        tail.resize(second);
    }
    rule.reason = ParseNumber(tail);
    if (!ranged) {
        rule.remaining = ParseNumber(head);
        return rule;
    }
    const size_t dash = head.find('-');
    rule.ranged = true;
    rule.first = ParseHexAddress(head.substr(0, dash));
    rule.last = dash == std::string::npos ? rule.first : ParseHexAddress(head.substr(dash + 1));
    return rule;
}

struct Texts {
    std::string identFormat = "02";
    std::string openCode = "1234";
    std::string identBytes;
    std::string extraBytes;
    std::string fillers = "auto";
    std::string unknownNumber = "connect";
    std::vector<std::string> numbers;
    std::vector<std::string> replies;
    std::vector<std::string> refuseNext;
    std::vector<std::string> refuseRanges;
    std::vector<std::string> readCommands;
    std::vector<std::string> writeCommands;
    std::vector<std::string> writeCodes;
    int type = 19, version = 2, subVersion = 0, flags = 0;
};

void AddModemOptions(CLI::App& app, Options& o, Texts& t)
{
    app.add_option("--number", t.numbers,
                   "NUMBER=OUTCOME[:SPEED][@MS]; outcomes connect, busy, no-carrier, "
                   "no-dialtone, no-answer, silence");
    app.add_option("--unknown-number", t.unknownNumber, "outcome for numbers not listed");
    app.add_option("--dial-delay", o.modem.dialDelayMs, "ms from dial to result");
    app.add_option("--ring-interval", o.modem.ringIntervalMs, "ms between RINGs");
    app.add_option("--answer-delay", o.modem.answerDelayMs, "ms from the answering RING to CONNECT");
    app.add_option("--answer-speed", o.modem.answerConnectSpeed, "speed shown with CONNECT on answered calls");
    app.add_flag("--extended", o.modem.extended,
                 "the host drives the modem as an extended modem (also seen from $W, $WA, &CDS, &CDSA)");
    app.add_flag("--pc-link", o.pcLink, "no modem: a direct cable to the panel");
    app.add_flag("--line-rate", o.lineRate, "pace bytes at the port's speed (11 bit times per byte)");
    app.add_option("--line-speed", o.lineSpeed, "speed when the descriptor has none");
}

void AddPanelOptions(CLI::App& app, Options& o, Texts& t)
{
    app.add_option("--mode", o.panel.linkMode, "link mode 1 to 5")->check(panelsim::NumberIn(1, 5));
    app.add_option("--type", t.type, "panel type");
    app.add_option("--panel-version", t.version, "panel version");
    app.add_option("--sub-version", t.subVersion, "panel sub-version");
    app.add_option("--flags", t.flags, "identification flags (bit 0 answer mode)");
    app.add_option("--ident-bytes", t.identBytes, "identification bytes 1 to 3, hex");
    app.add_option("--extra-bytes", t.extraBytes, "extra bytes 1 to 3, hex");
    app.add_option("--ident-format", t.identFormat, "02, 02-16, 04, short, 07, 55 or 03");
    app.add_option("--ident-length", o.panel.ident.block02Length, "02 block: 11, 12 or 13 bytes")
        ->check(panelsim::NumberIn(11, 13));
    app.add_flag("--seven-bit", o.panel.ident.sevenBitLine, "02 blocks go out with parity in bit 7");
    app.add_flag("--crlf", o.panel.ident.lineBreakFirst, "CR LF before the short formats");
    app.add_option("--open-code", t.openCode, "session open code, 2 or 3 bytes hex");
    app.add_option("--open-refusal", o.panel.openRefusalReason, "reason for a wrong open code");
    app.add_option("--ident-delay", o.panel.identDelayMs, "ms from line up to identification");
    app.add_option("--ident-repeat", o.panel.identRepeatMs, "quiet ms before identifying again");
    app.add_option("--pc-link-period", o.panel.pcLinkPeriodMs, "ms between unprompted identifications");
    app.add_option("--callback-delay", o.panel.callbackDelayMs, "answer mode: ms before calling back");
    app.add_option("--callback-rings", o.panel.callbackRings, "answer mode: rings offered");
    app.add_option("--reply-delay", o.panel.replyDelayMs, "the panel's think time, ms");
    app.add_flag("--two-byte-address", o.panel.twoByteAddress, "mode 3 frames carry high and low address");
    app.add_option("--read-cmd", t.readCommands, "command byte (hex) that reads; repeatable");
    app.add_option("--write-cmd", t.writeCommands, "command byte (hex) that writes; repeatable");
    app.add_option("--write-code", t.writeCodes, "mode 3 code (hex) that carries data; repeatable");
    app.add_option("--reply", t.replies, "CMD=REPLY[:PAYLOAD][,ack] (hex) answer to a command");
    app.add_option("--refuse-next", t.refuseNext, "COUNT:REASON refuse the next data requests");
    app.add_option("--refuse-range", t.refuseRanges, "FIRST-LAST:REASON[:COUNT] (hex addresses)");
    app.add_flag(
        "--open-anyway", [&o](int64_t) { o.panel.requireSession = false; }, "answer data before the session is open");
    app.add_option("--fillers", t.fillers, "auto, none, one or fourteen");
    app.add_option("--memory", o.panel.memoryFile, "raw 64 KiB memory image to load");
}

void AddFaultOptions(CLI::App& app, Options& o)
{
    app.add_option("--corrupt", o.faults.corruptRate, "per byte: flip one bit")->check(panelsim::NumberIn(0, 1));
    app.add_option("--drop", o.faults.dropRate, "per byte: lose it")->check(panelsim::NumberIn(0, 1));
    app.add_option("--noise", o.faults.noiseRate, "per byte: random bytes in front")->check(panelsim::NumberIn(0, 1));
    app.add_option("--noise-burst", o.faults.noiseBurstMax, "longest noise burst");
    app.add_option("--delay-rate", o.faults.delayRate, "per reply: hold it back")->check(panelsim::NumberIn(0, 1));
    app.add_option("--delay", o.faults.delayMs, "ms a held-back reply waits");
    app.add_option("--miss", o.faults.missRate, "per reply: never send it")->check(panelsim::NumberIn(0, 1));
    app.add_option("--drop-after-replies", o.faults.dropAfterReplies, "line drop after this many replies");
    app.add_option("--drop-after-ms", o.faults.dropAfterMs, "line drop this long into the call");
    app.add_flag("--fault-rx", o.faults.onReceived, "byte faults also hit what the host sends");
    app.add_option("--seed", o.seed, "seed of the faults");
}

panelsim::FillerRule FillerRuleFromName(const std::string& name)
{
    if (name == "none")
        return panelsim::FillerRule::None;
    if (name == "one")
        return panelsim::FillerRule::OneBetween;
    if (name == "fourteen")
        return panelsim::FillerRule::FourteenAfter;
    if (name == "auto")
        return panelsim::FillerRule::Auto;
    throw CLI::ValidationError("--fillers", "unknown rule " + name);
}

std::set<uint8_t> ByteSet(const std::vector<std::string>& texts)
{
    std::set<uint8_t> bytes;
    for (const std::string& text : texts)
        bytes.insert(ParseHexByte(text));
    return bytes;
}

void ApplyTexts(Options& o, const Texts& t)
{
    panelsim::Identification& ident = o.panel.ident;
    const auto format = panelsim::IdentFormatFromName(t.identFormat);
    if (!format)
        throw CLI::ValidationError("--ident-format", "unknown format " + t.identFormat);
    ident.format = *format;
    ident.type = static_cast<uint8_t>(t.type);
    ident.version = static_cast<uint8_t>(t.version);
    ident.subVersion = static_cast<uint8_t>(t.subVersion);
    ident.flags = static_cast<uint8_t>(t.flags);
    const std::vector<uint8_t> idBytes = ParseHex(t.identBytes);
    const std::vector<uint8_t> extra = ParseHex(t.extraBytes);
    for (size_t i = 0; i < 3; ++i) {
        ident.idBytes[i] = i < idBytes.size() ? idBytes[i] : 0;
        ident.extra[i] = i < extra.size() ? extra[i] : 0;
    }
    o.panel.openCode = ParseHex(t.openCode);
    if (o.panel.openCode.size() != 2 && o.panel.openCode.size() != 3)
        throw CLI::ValidationError("--open-code", "needs 2 or 3 bytes");
    const auto unknown = panelsim::DialOutcomeFromName(t.unknownNumber);
    if (!unknown)
        throw CLI::ValidationError("--unknown-number", "unknown outcome " + t.unknownNumber);
    o.modem.unknownNumber.outcome = *unknown;
    for (const std::string& text : t.numbers)
        o.modem.numbers.insert(ParseDialScript(text));
    for (const std::string& text : t.replies)
        o.panel.commandReplies.insert(ParseCommandReply(text));
    for (const std::string& text : t.refuseNext)
        o.panel.refusals.push_back(ParseRefusal(text, false));
    for (const std::string& text : t.refuseRanges)
        o.panel.refusals.push_back(ParseRefusal(text, true));
    if (!t.readCommands.empty())
        o.panel.readCommands = ByteSet(t.readCommands);
    if (!t.writeCommands.empty())
        o.panel.writeCommands = ByteSet(t.writeCommands);
    if (!t.writeCodes.empty())
        o.panel.shortWriteCodes = ByteSet(t.writeCodes);
    o.panel.fillers = FillerRuleFromName(t.fillers);
}

constexpr int kExitUsage = 2;
constexpr uintmax_t kMemorySize = 0x10000;

void CheckMemoryImage(const std::string& path)
{
    if (path.empty())
        return;
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        throw CLI::ValidationError("--memory", path + ": " + error.message());
    if (size != kMemorySize)
        throw CLI::ValidationError("--memory", path + " holds " + std::to_string(size) +
                                                   " bytes; a memory image is exactly 65536 (64 KiB)");
}

// Waits for SIGINT or SIGTERM, or for the simulator to stop by itself.
void Serve(const panelsim::Simulator& simulator, const sigset_t& stopSignals)
{
    const timespec slice{0, 200'000'000};
    while (simulator.Running()) {
        if (::sigtimedwait(&stopSignals, nullptr, &slice) > 0)
            return;
    }
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"panelsim: a simulated Hayes modem with an alarm panel behind it, on a pseudo-terminal"};
    app.option_defaults()->always_capture_default();
    Options options;
    Texts texts;
    std::string saveMemory;
    int ringTimes = 0;
    std::optional<int> linkFd;
    AddModemOptions(app, options, texts);
    AddPanelOptions(app, options, texts);
    AddFaultOptions(app, options);
    app.add_option("--save-memory", saveMemory, "write the memory image here on exit");
    app.add_option("--ring", ringTimes, "ring this many times once started");
    app.add_option("--trace", options.tracePath, "trace file, - for stderr");
    app.add_option("--link", linkFd, "serve this open descriptor instead of a pseudo-terminal");
    app.set_version_flag("--version", "panelsim " VEK_TOOLS_VERSION);
    app.footer("Exit codes:\n"
               "    0  stopped: SIGINT, SIGTERM, or the --link descriptor closed\n"
               "    1  could not start, or could not write the --save-memory image\n"
               "    2  usage error");
    try {
        app.parse(argc, argv);
        ApplyTexts(options, texts);
        CheckMemoryImage(options.panel.memoryFile);
    } catch (const CLI::ConversionError& e) {
        std::fprintf(stderr, "panelsim: %s\n", panelsim::NotANumber(e).c_str());
        return kExitUsage;
    } catch (const CLI::ParseError& e) {
        // Help and version exit 0; every usage error exits 2.
        return app.exit(e) == 0 ? 0 : kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "panelsim: %s\n", e.what());
        return kExitUsage;
    }

    // Signals are taken by sigtimedwait, so no thread is ever interrupted.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    panelsim::Simulator simulator(options);
    const bool started = linkFd ? simulator.StartOnFd(*linkFd) : simulator.Start();
    if (!started || !simulator.Error().empty()) {
        std::fprintf(stderr, "panelsim: %s\n", simulator.Error().c_str());
        return 1;
    }
    if (linkFd)
        std::printf("fd %d\n", *linkFd);
    else
        std::printf("%s\n", simulator.SlavePath().c_str());
    std::fflush(stdout);
    if (ringTimes > 0)
        simulator.Ring(ringTimes);
    Serve(simulator, stopSignals);
    simulator.Stop();
    if (!saveMemory.empty() && !simulator.SaveMemory(saveMemory)) {
        std::fprintf(stderr, "panelsim: cannot write %s\n", saveMemory.c_str());
        return 1;
    }
    return 0;
}
