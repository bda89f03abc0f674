// Writes the seed corpora: real frames, replies and records made by the
// library's own builders, so the seeds follow the library when it changes.
//   make_seeds <fuzz/corpus>
#include "link/CPool.h"
#include "link/Crc16.h"
#include "link/EvaluateReply.h"
#include "link/FramesLinkStart.h"
#include "link/FramesTransfer.h"
#include "link/Sum8.h"
#include "modem/ModemDatabaseFile.h"
#include "vek_comm2.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

fs::path g_root;

void Write(const std::string& target, const std::string& name, const Bytes& bytes)
{
    const fs::path dir = g_root / target;
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

Bytes Text(const std::string& s) { return {s.begin(), s.end()}; }

Bytes WithCrc(Bytes b)
{
    const uint16_t crc = vek::Crc16(b);
    b.push_back(static_cast<uint8_t>(crc >> 8));
    b.push_back(static_cast<uint8_t>(crc));
    return b;
}

const Bytes kData = {0x10, 0x20, 0x30, 0x40};

Bytes RequestFrame(int mode, uint32_t operation, uint32_t count)
{
    vek::TransferRequest r;
    r.operation = operation;
    r.command = 0x01;
    r.subAddress = 0;
    r.address = 0x1234;
    r.count = count;
    r.data = kData;
    if (mode == 3) {
        return vek::BuildShortTransferFrames(r, false, false)->front().bytes;
    }
    return *vek::BuildLongTransferFrame(mode, r);
}

// A reply in the sent frame's shape: its header, a command byte, a payload
// and the check bytes of the mode.
Bytes ReplyFrame(int mode, const Bytes& sent, uint8_t command, const Bytes& payload)
{
    const vek::ReplyLayout layout = vek::LayoutOf(mode);
    Bytes b(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(layout.command));
    b.push_back(command);
    Append(b, payload);
    if (mode == 3) {
        b.push_back(vek::Sum8(b));
        return b;
    }
    return WithCrc(b);
}

// One scanner event per frame: a size byte, then the bytes.
void AddEvent(Bytes& to, const Bytes& bytes)
{
    for (size_t at = 0; at < bytes.size(); at += 64) {
        const size_t n = std::min<size_t>(64, bytes.size() - at);
        to.push_back(static_cast<uint8_t>(n - 1));
        to.insert(to.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
}

void Put32(Bytes& b, size_t offset, uint32_t v) { std::memcpy(b.data() + offset, &v, 4); }

void ScannerSeeds()
{
    for (int mode = 1; mode <= 5; ++mode) {
        Bytes seed = {static_cast<uint8_t>(mode)};
        const Bytes sent = RequestFrame(mode, vek::kOperationRead, 4);
        AddEvent(seed, ReplyFrame(mode, sent, sent[vek::LayoutOf(mode).command], kData));
        AddEvent(seed, ReplyFrame(mode, sent, vek::kReplyAck, {}));
        Write("scanner_fuzz", "mode" + std::to_string(mode), seed);
    }
    Bytes ident = {0x08 | 1};
    AddEvent(ident, vek::BuildIdentificationBlock(0x1A, 0x2B, Bytes{0x31, 0x32, 0x33}));
    Write("scanner_fuzz", "identification", ident);
}

void IdentificationSeeds()
{
    Write("identification_fuzz", "block02", WithCrc({0x02, 0x02, 0x02, 18, 31, 0x07, 0x11, 0x22, 0x05, 0x33, 0x44}));
    Write("identification_fuzz", "block02_eleven", {0x02, 0x02, 0x02, 0x2F, 0x02, 0x01, 0xA1, 0xA2, 0x04, 0xA3, 0x99});
    Write("identification_fuzz", "block02_sixteen",
          WithCrc({0x02, 0x02, 0x02, 0x20, 0x05, 0x03, 0xE3, 0xE2, 0xE1, 0x91, 0x92, 0x04, 0x00, 0x00}));
    Bytes noisy = Text("\r\nCONNECT 1200\r\n");
    Append(noisy, WithCrc({0x02, 0x02, 0x02, 19, 9, 0x07, 0x11, 0x22, 0x05, 0x33, 0x44}));
    Write("identification_fuzz", "leading_text", noisy);
    Write("identification_fuzz", "block04", vek::BuildIdentificationBlock(0x1A, 0x2B, Bytes{0x31, 0x32, 0x33}));
}

void ArchiveSeeds()
{
    vek::CModemSettings settings;
    settings.ResetToDefault();
    Write("archive_fuzz", "builtin", vek::StoreModemDatabase(settings));
    Write("archive_fuzz", "empty", vek::StoreModemDatabase(vek::CModemSettings{}));
}

void EvaluateReplySeeds()
{
    for (int mode = 1; mode <= 5; ++mode) {
        const uint8_t command = vek::LayoutOf(mode).command;
        // A read (expect 5, code 6) answered with its data.
        const Bytes read = RequestFrame(mode, vek::kOperationRead, 4);
        Bytes seed = {static_cast<uint8_t>(mode), 0x00, 0x10, 0x00, 0x00, static_cast<uint8_t>(read.size())};
        Append(seed, read);
        Append(seed, ReplyFrame(mode, read, read[command], kData));
        Write("evaluate_reply_fuzz", "read" + std::to_string(mode), seed);
        // A write (code 5) answered with the acknowledgement.
        const Bytes write = RequestFrame(mode, vek::kOperationWrite, 4);
        seed = {static_cast<uint8_t>(mode), 0x00, 0x25, 0x00, 0x00, static_cast<uint8_t>(write.size())};
        Append(seed, write);
        Append(seed, ReplyFrame(mode, write, mode == 3 ? write[command] : vek::kReplyAck, {}));
        Write("evaluate_reply_fuzz", "write" + std::to_string(mode), seed);
    }
    // A refusal, and an acknowledged step (REQ_EXPECT_ACK) at 1200 bit/s.
    const Bytes write = RequestFrame(2, vek::kOperationWrite, 4);
    Bytes seed = {2, 0x00, 0x25, 0x00, 0x00, static_cast<uint8_t>(write.size())};
    Append(seed, write);
    Append(seed, ReplyFrame(2, write, vek::kReplyRefusal, {7}));
    Write("evaluate_reply_fuzz", "refused2", seed);
    seed = {0x08 | 2, 0x02, 0x25, 0x00, 0x00, static_cast<uint8_t>(write.size())};
    Append(seed, write);
    Append(seed, ReplyFrame(2, write, vek::kReplyAck, {}));
    Write("evaluate_reply_fuzz", "ack2", seed);
    // A reply command step (REQ_REPLY_CMD) answered by that command.
    const Bytes write4 = RequestFrame(4, vek::kOperationWrite, 4);
    seed = {4, 0x01, 0x06, 0x00, 0x33, static_cast<uint8_t>(write4.size())};
    Append(seed, write4);
    Append(seed, ReplyFrame(4, write4, 0x33, kData));
    Write("evaluate_reply_fuzz", "replycmd4", seed);
}

Bytes PoolRecord(uint32_t operation, uint32_t count, uint32_t flags, uint32_t requestClass, uint8_t command)
{
    Bytes r(VEK_POOL_RECORD_MIN_SIZE, 0);
    r[VEK_POOL_ADDRESS] = 0x34;
    r[VEK_POOL_ADDRESS + 1] = 0x12;
    Put32(r, VEK_POOL_COUNT, count);
    r[VEK_POOL_COMMAND] = command;
    Put32(r, VEK_POOL_FLAGS, flags);
    Put32(r, VEK_POOL_CLASS, requestClass);
    Put32(r, VEK_POOL_OPERATION, operation);
    return r;
}

void AddPoolSeeds()
{
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    for (int mode = 1; mode <= 5; ++mode) {
        Bytes seed = {static_cast<uint8_t>(mode | 0x08), 0x00, VEK_POOL_RECORD_MIN_SIZE, 13, 0, 0, 0};
        Append(seed, PoolRecord(vek::kOperationWrite, 13, 0, 0, 0x01));
        Append(seed, data);
        Write("addpool_fuzz", "write" + std::to_string(mode), seed);
        seed = {static_cast<uint8_t>(mode), 0x80, VEK_POOL_RECORD_MIN_SIZE, 1, 0, 0, 0};
        Append(seed, PoolRecord(vek::kOperationRead, 16, 0, 0, 0x01));
        Write("addpool_fuzz", "read" + std::to_string(mode), seed);
    }
    Bytes seed = {2, 0x00, VEK_POOL_RECORD_MIN_SIZE, 4, 0, 0, 0};
    Append(seed, PoolRecord('c', 4, vek::REQ_REPLY_CMD, VEK_POOL_ACK_CLASS, 8));
    Append(seed, {1, 2, 3, 4});
    Write("addpool_fuzz", "ackcommand2", seed);
}

void SetupModemSeeds()
{
    Bytes r(VEK_MODEM_SETUP_MIN_SIZE, 0);
    Put32(r, VEK_SETUP_COM_PORT, 1);
    Put32(r, VEK_SETUP_BAUD_RATE, 9600);
    r[VEK_SETUP_ATTENTION] = 1;
    const auto text = [&r](size_t offset, const std::string& s) { std::memcpy(r.data() + offset, s.data(), s.size()); };
    text(VEK_SETUP_INIT, "ATE0V1Q0");
    text(VEK_SETUP_INIT2, "ATM0");
    text(VEK_SETUP_RESET, "ATZ");
    text(VEK_SETUP_ESCAPE, "+++");
    text(VEK_SETUP_HANGUP_STEM, "ATH");
    text(VEK_SETUP_SPEAKER_MODE, "M%d");
    text(VEK_SETUP_SPEAKER_VOLUME, "L%d");
    text(VEK_SETUP_PULSE_DIAL, "DP");
    text(VEK_SETUP_TONE_DIAL, "DT");
    r[VEK_SETUP_MODEM_OPTIONS] = 0x11;
    r[VEK_SETUP_ANSWER_RINGS] = 2;
    Bytes seed = {0, VEK_MODEM_SETUP_MIN_SIZE & 0xFF, VEK_MODEM_SETUP_MIN_SIZE >> 8};
    Append(seed, r);
    Write("setupmodem_fuzz", "record", seed);
    seed = {0, 100, 0};
    Append(seed, Bytes(r.begin(), r.begin() + 100));
    Write("setupmodem_fuzz", "short_block", seed);
}

void TextSeeds()
{
    for (const char* s : {"0102", "A1B2C3", "ff", "7", " -1Zq9", "0x1F20"})
        Write("hexcodes_fuzz",
              std::string("code_") + std::to_string(std::strlen(s)) + "_" + (s[0] == ' ' ? "blank" : s), Text(s));
    // Fragments: a size byte (low 5 bits + 1), then the bytes.
    Write("modem_response_fuzz", "ok", Text("\x03\r\nOK\x01\r\n"));
    Write("modem_response_fuzz", "connect",
          Text("\x05\r\nCONN\x07"
               "ECT 9600\x01\r\n"));
    Write("modem_response_fuzz", "no_carrier", Text("\x0B\r\nNO CARRIER"));
    Write("modem_response_fuzz", "ring", Text("\x07\r\nRING\r\n"));
    Write("modem_response_fuzz", "busy_lower",
          Text("\x03"
               "busy"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <corpus folder>\n");
        return 2;
    }
    g_root = argv[1];
    ScannerSeeds();
    IdentificationSeeds();
    ArchiveSeeds();
    EvaluateReplySeeds();
    AddPoolSeeds();
    SetupModemSeeds();
    TextSeeds();
    return 0;
}
