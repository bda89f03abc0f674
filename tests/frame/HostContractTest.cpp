// The contracts with hosts, written out in the numbers a host is built
// against: message numbers, record offsets, the frames a host record turns
// into, and the identification the host receives. Nothing here may come from
// the library's own headers, so that a wrong constant cannot pass.
#include "host/CComm2App.h"
#include "link/AddPool.h"
#include "link/CallPhase.h"
#include "link/CommThreadProc.h"
#include "link/ParseIdentification.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "platform/Handles.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vek::test {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(HGLOBAL h, size_t offset, const void* bytes, size_t n)
{
    auto* p = static_cast<uint8_t*>(GlobalLock(h));
    std::memcpy(p + offset, bytes, n);
    GlobalUnlock(h);
}
void Put32(HGLOBAL h, size_t offset, uint32_t v) { Put(h, offset, &v, 4); }

TEST(HostContractTest, MessagesToTheHostAndTheRecordWindow)
{
    ManualClockScope clock(true);
    DialogHarness h;
    h.Dlg().OnWorkerStatus(5, 77);
    h.Dlg().OnWorkerNotify(91, 3);
    const auto got = h.HostWindow().Drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, 1075u);
    EXPECT_EQ(got[0].wParam, 5u);
    EXPECT_EQ(got[0].lParam, 77);
    EXPECT_EQ(got[1].message, 1075u);
    EXPECT_EQ(got[1].lParam, 0);

    // Idle factors at 4714 and 4716, the record window at 13260.
    CaptureWindow recordWindow;
    PanelRecord record;
    record.Set16(4714, 9000);
    record.Set16(4716, 1);
    record.Set32(13260, HandleToField(recordWindow.Handle()));
    h.Dlg().m_pPanelRecord = record.Get();
    g_bOnline = 1;
    IdleWatch(h.Dlg(), WakeReason::Signalled);
    IdleWatch(h.Dlg(), WakeReason::TimedOut);
    const auto commands = recordWindow.Drain();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].message, 273u);
    EXPECT_EQ(commands[0].wParam, 40413u);
}

TEST(HostContractTest, ModemSetupRecordIsReadAtItsOffsets)
{
    const RunningLibraryScope running;
    theApp.m_modemSettings.ResetToDefault();
    const HGLOBAL block = GlobalAlloc(0x0002 | 0x0040, 288);
    Put32(block, 0, 4);     // port
    Put32(block, 4, 19200); // port speed
    const uint8_t one = 1;
    Put(block, 8, &one, 1); // attention
    Put(block, 58, "ATE0", 4);
    Put(block, 128, "ATM1", 4);
    Put(block, 168, "AT$W", 4);
    const uint8_t modemOptions = 0x18; // PC link, extended
    Put(block, 208, &modemOptions, 1);
    Put32(block, 212, 3);
    Put(block, 216, "ATZ1", 4);
    const uint8_t delays[2] = {25, 7};
    Put(block, 224, delays, 2);
    Put(block, 232, "%%%", 3);
    Put(block, 240, "ATH", 3);
    Put(block, 272, "DP", 2);
    const int16_t rings = 4;
    Put(block, 280, &rings, 2);
    Put32(block, 284, 0xABCD);
    ASSERT_EQ(VEKComm2_SetupModem(block), 1);
    const CModem& m = *theApp.m_modemSettings.GetCurrentModem();
    EXPECT_EQ(m.m_nComPort, 4);
    EXPECT_EQ(m.m_nBaudRate, 19200);
    EXPECT_EQ(m.m_nLineBaudRate, 19200);
    EXPECT_EQ(m.m_dwFlags & 7u, 7u);
    EXPECT_EQ(m.m_strInit, "ATE0");
    EXPECT_EQ(m.m_strInit2, "ATM1");
    EXPECT_EQ(m.m_strInit3, "AT$W");
    EXPECT_EQ(m.m_nOptions, 3);
    EXPECT_EQ(m.m_strReset, "ATZ1");
    EXPECT_EQ(m.m_nCommandDelay, 25);
    EXPECT_EQ(m.m_nCharDelay, 7);
    EXPECT_EQ(m.m_strEscape, "%%%");
    EXPECT_EQ(m.m_strOnHook, "ATH0");
    EXPECT_EQ(m.m_strToneDial, "DP");
    EXPECT_EQ(m.m_nAnswerRings, 4);
    EXPECT_EQ(m.m_nExtra4, 0xABCD);
    theApp.m_modemSettings.m_modems.clear();
    theApp.m_modemSettings.m_nCurrent = theApp.m_modemSettings.m_nIncoming = theApp.m_modemSettings.m_nOutgoing = -1;
}

TEST(HostContractTest, TransferRequestsBecomeThePanelsFrames)
{
    struct Row {
        const char* what;
        int linkMode;
        uint16_t panelOptions;
        bool wideCode50Panel;
        uint8_t command, subAddress;
        uint16_t address;
        uint32_t count, operation;
        Bytes data;
        std::vector<Bytes> frames;
    };
    const Row rows[] = {
        {"mode 5 write: route 01 and the sub-address",
         5,
         0,
         false,
         0x07,
         0x09,
         0x1234,
         2,
         '-',
         {0xAA, 0xBB},
         {{0x00, 0x09, 0x01, 0x09, 0x07, 0x12, 0x34, 0xAA, 0xBB, 0xB5, 0x72}}},
        {"mode 5 read: a two-byte count",
         5,
         0,
         false,
         0x07,
         0x09,
         0x1234,
         0x0102,
         'u',
         {0},
         {{0x00, 0x09, 0x01, 0x09, 0x07, 0x12, 0x34, 0x01, 0x02, 0x34, 0x05}}},
        {"mode 3 with two-byte addresses carrying into the high byte",
         3,
         0x0080,
         false,
         1,
         0,
         0x12FF,
         3,
         'u',
         {0},
         {{0x90, 0x12, 0xFF, 0xA1}, {0x80, 0x13, 0x01, 0x94}}},
        {"mode 3, the panel whose code 0x50 carries three bytes",
         3,
         0,
         true,
         6,
         0,
         0x0020,
         6,
         '-',
         {1, 2, 3, 4, 5, 6},
         {{0x50, 0x20, 0x01, 0x02, 0x03, 0x76}, {0x50, 0x23, 0x04, 0x05, 0x06, 0x82}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        DialogHarness h;
        h.OpenPort();
        g_nCallPhase = CALL_OPEN; // the session is open: requests are taken
        PanelRecord record;
        record.Set16(4788, row.panelOptions);
        h.Dlg().m_pPanelRecord = record.Get();
        h.Dlg().m_nLinkMode = row.linkMode;
        if (row.wideCode50Panel) {
            h.Dlg().m_ident.panelType = 0xE2;
            h.Dlg().m_ident.panelVersion = 0x96;
        }
        const HGLOBAL data = GlobalAlloc(0x0042, std::max<size_t>(row.data.size(), 1));
        Put(data, 0, row.data.data(), row.data.size());
        const HGLOBAL request = GlobalAlloc(0x0042, 48);
        Put(request, 4, &row.address, 2);
        Put32(request, 8, row.count);
        Put(request, 12, &row.command, 1);
        Put(request, 13, &row.subAddress, 1);
        Put32(request, 40, HandleToField(data));
        Put32(request, 44, row.operation);
        AddPool(h.Dlg(), request);
        std::vector<Bytes> frames;
        for (const QueuedStep& step : QueuedSteps())
            frames.push_back(step.data);
        EXPECT_EQ(frames, row.frames);
        EXPECT_EQ(GlobalSize(request), 0u); // both blocks are the library's, and freed
        EXPECT_EQ(GlobalSize(data), 0u);
    }
}

TEST(HostContractTest, SixteenByteBlockFillsTheIdentificationRecord)
{
    PanelIdentification ident;
    Bytes lastReply;
    // Its first check (bytes 0 to 10) fails, the 16-byte one passes.
    Bytes reply = {0x02, 0x02, 0x02, 0x30, 0x05, 0x01, 0xE1, 0xE2, 0xE3,
                   0xA1, 0xA2, 0x07, 0x99, 0x98, 0x40, 0x39, 0xEE};
    ASSERT_EQ(ParseIdentification(reply, ident, lastReply), 1);
    const auto r = ident.ToBytes();
    const Bytes head(r.begin(), r.begin() + 20);
    EXPECT_EQ(head, (Bytes{0x30, 0, 0x05, 0, 0x01, 0, 0x07, 0, 0x00, 0xA2, 0xA1, 0xE3, 0xE2, 0xE1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(r.begin() + 20, r.begin() + 36), Bytes(reply.begin(), reply.begin() + 16));
    EXPECT_EQ(r[36], 0x00); // the 17th byte is not part of the block
    EXPECT_EQ(lastReply.size(), 16u);
}

TEST(HostContractTest, IdentificationScanGoesOnWhereItWasAfterDroppingBytes)
{
    PanelIdentification ident;
    Bytes lastReply;
    // 02 02 02 at index 3 leaves ten bytes: not a block, and the scan goes
    // on at index 4 of what is left, past the 04 04 04 block at index 3.
    Bytes reply = {0x11, 0x22, 0x33, 0x02, 0x02, 0x02, 0x04, 0x04, 0x04, 0x00, 0x02, 0x52, 0x43};
    EXPECT_EQ(ParseIdentification(reply, ident, lastReply), 0);
    // The same block with nothing in front of it is recognised.
    Bytes alone = {0x04, 0x04, 0x04, 0x00, 0x02, 0x52, 0x43};
    EXPECT_EQ(ParseIdentification(alone, ident, lastReply), 3);
}

} // namespace
} // namespace vek::test
