#include "Transfers.h"

#include "vekhost/HexDump.h"
#include "vekhost/StatusLine.h"

#include "vek_comm2.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vekhost {
namespace {

std::string Hex16(uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

HGLOBAL CopyToBlock(std::span<const uint8_t> bytes, size_t size)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<size_t>(size, 1));
    if (block == 0)
        return 0;
    if (!bytes.empty())
        std::memcpy(GlobalLock(block), bytes.data(), std::min(bytes.size(), size));
    GlobalUnlock(block);
    return block;
}

bool SaveFile(const std::string& path, std::span<const uint8_t> bytes)
{
    if (path == kStandardOutput)
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

std::string LoadWriteFiles(std::vector<TransferArgument>& items)
{
    for (TransferArgument& item : items) {
        if (item.kind != TransferKind::Write || item.file.empty())
            continue;
        std::ifstream in(item.file, std::ios::binary);
        if (!in)
            return "--write: cannot read " + item.file;
        item.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        item.count = static_cast<uint32_t>(item.bytes.size());
        if (item.bytes.empty())
            return "--write: " + item.file + " is empty";
        if (std::string error = CheckWriteData(item); !error.empty())
            return error + " (" + item.file + ")";
    }
    return {};
}

Transfers::Transfers(HostSession& session, TransferSettings settings) : m_session(session), m_settings(settings) {}

bool Transfers::Queue(const PoolRequest& request, std::span<const uint8_t> bytes)
{
    // Both blocks belong to the library once it takes the request; one it
    // did not take stays ours to free.
    const HGLOBAL data = CopyToBlock(bytes, request.count);
    const std::vector<uint8_t> record = BuildPoolRecord(request, data);
    const HGLOBAL block = CopyToBlock(record, record.size());
    if (VEKComm2_AddPool(block) == 1)
        return true;
    GlobalFree(block);
    GlobalFree(data);
    m_session.Out().Error("the library did not take the transfer at " + Hex16(request.address) + ": no call is up");
    return false;
}

void Transfers::ShowProgress(const char* verb, uint32_t address, uint32_t done, uint32_t total)
{
    const std::string what = std::string(verb) + " " + Hex16(address);
    if (m_session.Out().Live()) {
        m_session.SetActivity(done < total ? FormatProgress(what, done, total) : std::string());
        return;
    }
    // Plain output: a line at each quarter of a transfer of several pieces;
    // quiet keeps to one line per transfer.
    if (m_session.Quiet())
        return;
    const int quarter = total == 0 ? 4 : static_cast<int>(uint64_t{done} * 4 / total);
    if (quarter == m_lastQuarter || total <= m_settings.chunk)
        return;
    m_lastQuarter = quarter;
    m_session.Out().Line("  " + what + ": " + std::to_string(done) + "/" + std::to_string(total) + " bytes");
}

ReadOutcome Transfers::Read(uint32_t address, uint32_t count)
{
    ReadOutcome outcome;
    m_lastQuarter = 0;
    for (const Chunk& chunk : SplitIntoChunks(static_cast<uint16_t>(address), count, m_settings.chunk)) {
        m_session.BeginStage(CallStage::Transfer);
        if (!Queue({TransferKind::Read, chunk.address, chunk.count, m_settings.readCommand}, {})) {
            outcome.code = ExitCode::Failed;
            break;
        }
        const WaitResult result = m_session.WaitFor(WaitKind::Transfer, {VEK_NOTIFY_READ_DONE});
        if (!result.Ok()) {
            outcome.code = m_session.Report(result, "the data read at " + Hex16(chunk.address));
            break;
        }
        const size_t got = std::min<size_t>(result.note.block.size(), chunk.count);
        outcome.data.insert(outcome.data.end(), result.note.block.begin(), result.note.block.begin() + got);
        m_totals.bytesRead += got;
        // Fewer bytes than asked is no read at all: the rest is not the panel's.
        if (got != chunk.count) {
            m_session.Out().Error("the panel returned " + std::to_string(got) + " of " + std::to_string(chunk.count) +
                                  " bytes at " + Hex16(chunk.address));
            outcome.code = ExitCode::ShortRead;
            break;
        }
        ShowProgress("reading", address, chunk.offset + chunk.count, count);
    }
    m_session.SetActivity({});
    if (outcome.code == ExitCode::Ok)
        ++m_totals.transfers;
    return outcome;
}

ExitCode Transfers::Write(uint32_t address, std::span<const uint8_t> bytes)
{
    const auto count = static_cast<uint32_t>(bytes.size());
    m_lastQuarter = 0;
    for (const Chunk& chunk : SplitIntoChunks(static_cast<uint16_t>(address), count, m_settings.chunk)) {
        m_session.BeginStage(CallStage::Transfer);
        if (!Queue({TransferKind::Write, chunk.address, chunk.count, m_settings.writeCommand},
                   bytes.subspan(chunk.offset, chunk.count))) {
            m_session.SetActivity({});
            return ExitCode::Failed;
        }
        const WaitResult result = m_session.WaitFor(WaitKind::Transfer, {VEK_NOTIFY_WRITE_DONE});
        if (!result.Ok()) {
            m_session.SetActivity({});
            return m_session.Report(result, "the write at " + Hex16(chunk.address) + " to be accepted");
        }
        m_totals.bytesWritten += chunk.count;
        ShowProgress("writing", address, chunk.offset + chunk.count, count);
    }
    m_session.SetActivity({});
    ++m_totals.transfers;
    return ExitCode::Ok;
}

ExitCode Transfers::RunWrite(const TransferArgument& item)
{
    Console& out = m_session.Out();
    const std::string what = "Writing " + std::to_string(item.bytes.size()) + " bytes at " + Hex16(item.address);
    out.Line(out.Paint(what, Style::Bold) +
             (item.file.empty() ? ": " + HexBytes(item.bytes, 16) : " from " + item.file));
    return Write(item.address, item.bytes);
}

ExitCode Transfers::RunRead(const TransferArgument& item, bool& saveFailed)
{
    Console& out = m_session.Out();
    out.Line(out.Paint("Reading " + std::to_string(item.count) + " bytes at " + Hex16(item.address), Style::Bold));
    const ReadOutcome read = Read(item.address, item.count);
    // What was read before a failure or Ctrl-C is kept all the same.
    const bool partial = read.code != ExitCode::Ok;
    if (partial && read.data.empty())
        return read.code;
    if (item.file.empty()) {
        for (const std::string& line : HexDumpLines(item.address, read.data))
            out.Line("  " + line);
        return read.code;
    }
    if (!SaveFile(item.file, read.data)) {
        out.Error("cannot write " + item.file + ": " + std::strerror(errno));
        saveFailed = true;
        return read.code; // the call itself is fine: go on
    }
    const std::string where = item.file == kStandardOutput ? "standard output" : item.file;
    out.Line("  saved " + std::to_string(read.data.size()) + (partial ? " of " + std::to_string(item.count) : "") +
             " bytes to " + where + (partial ? " (the read did not finish)" : ""));
    m_totals.saved.push_back({where, read.data.size(), item.count});
    return read.code;
}

ExitCode Transfers::Run(std::span<const TransferArgument> items)
{
    bool saveFailed = false;
    for (const TransferArgument& item : items) {
        const ExitCode code = item.kind == TransferKind::Write ? RunWrite(item) : RunRead(item, saveFailed);
        if (code != ExitCode::Ok)
            return code;
    }
    return saveFailed ? ExitCode::Failed : ExitCode::Ok;
}

} // namespace vekhost
