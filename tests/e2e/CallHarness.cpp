#include "e2e/CallHarness.h"

#include "ModemRecord.h"
#include "PoolRecord.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace vek::test {

CallHarness::CallHarness()
{
    char dir[] = "/tmp/vek-call-XXXXXX";
    if (::mkdtemp(dir) != nullptr)
        m_dataDir = dir;
    VekSetDataFolder(m_dataDir.c_str()); // no database file: the built-in modem
    ResetLinkState();
    record.Set16(VEK_PANEL_LINK_MODE, 2);
    record.Set16(VEK_PANEL_EXPECTED_TYPE, 19);
    record.Set16(VEK_PANEL_EXPECTED_VERSION, 2);
    record.Set16(VEK_PANEL_SECOND_SPEED, 9600);
    record.Set16(VEK_PANEL_DIRECT_SPEED, 9600);
    std::memcpy(record.Bytes() + VEK_PANEL_PHONE_NUMBER, "5551234", 8);
    for (uint16_t a = 0; a < 64; ++a)
        memory.push_back(static_cast<uint8_t>(0xA0 ^ a));
}

CallHarness::~CallHarness()
{
    VEKComm2_Uninit();
    if (sim)
        sim->Stop();
    VekSetDataFolder(nullptr);
    VekSetPortDevice(kCallPort, nullptr);
    ::rmdir(m_dataDir.c_str());
    ResetLinkState();
}

void CallHarness::StartPanel(panelsim::Options options)
{
    sim = std::make_unique<panelsim::Simulator>(std::move(options));
    ASSERT_TRUE(sim->Start()) << sim->Error();
    sim->WriteMemory(kPatternAddress, memory);
    VekSetPortDevice(kCallPort, sim->SlavePath().c_str());
    ASSERT_EQ(VEKComm2_Init(host.Handle()), 1);
}

HGLOBAL CallHarness::HostBlock(const Bytes& bytes)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<size_t>(bytes.size(), 1));
    if (!bytes.empty())
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

void CallHarness::SetupModem(uint8_t modemOptions)
{
    vek::Modem modem; // 9600 bit/s, "ATE0S12=10", one ring
    modem.port = kCallPort;
    modem.line2400 = (modemOptions & 0x01) != 0;
    modem.pcLink = (modemOptions & 0x08) != 0;
    modem.extended = (modemOptions & 0x10) != 0;
    ASSERT_EQ(VEKComm2_SetupModem(HostBlock(vek::internal::BuildModemRecord(modem))), 1);
}

void CallHarness::AddPool(uint32_t operation, uint8_t command, uint16_t address, const Bytes& data, uint32_t count)
{
    const auto kind = operation == 'u' ? vek::internal::TransferKind::Read : vek::internal::TransferKind::Write;
    const HGLOBAL request = HostBlock(vek::internal::BuildPoolRecord({kind, address, count, command}, HostBlock(data)));
    ASSERT_EQ(VEKComm2_AddPool(request), 1);
}

void CallHarness::Collect()
{
    for (const Message& m : host.Drain(VEK_WM_COMM_HOST_NOTIFY))
        notes.push_back({m.wParam, m.lParam != 0 ? TakeBlock(m.lParam) : Bytes{}});
}

bool CallHarness::WaitFor(WPARAM code, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        Collect();
        // Only after what an earlier wait found: codes come again.
        for (; m_cursor < notes.size(); ++m_cursor)
            if (notes[m_cursor].code == code) {
                ++m_cursor;
                return true;
            }
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        VekPumpMessages(20);
    }
}

std::vector<WPARAM> CallHarness::Codes() const
{
    std::vector<WPARAM> codes;
    for (const Note& n : notes)
        codes.push_back(n.code);
    return codes;
}

Bytes CallHarness::BlockOf(WPARAM code) const
{
    for (auto it = notes.rbegin(); it != notes.rend(); ++it)
        if (it->code == code)
            return it->block;
    return {};
}

bool CallHarness::PlaceCall()
{
    if (VEKComm2_CommInit() != 1 || !WaitFor(9))
        return false;
    return VEKComm2_PanelInit(record.Get(), "1234", "", 1) == 1 && WaitFor(3);
}

void CallHarness::ReadAndWrite(uint8_t readCommand, uint8_t writeCommand)
{
    AddPool('u', readCommand, kPatternAddress, {}, 16);
    ASSERT_TRUE(WaitFor(6)) << CodesText();
    EXPECT_EQ(BlockOf(6), Bytes(memory.begin(), memory.begin() + 16));
    const Bytes written = {0xDE, 0xAD, 0xBE, 0xEF};
    AddPool('-', writeCommand, 0x0200, written, 4);
    ASSERT_TRUE(WaitFor(5)) << CodesText();
    EXPECT_EQ(BlockOf(5), Bytes{}); // no reply command asked for: no block
    EXPECT_EQ(sim->ReadMemory(0x0200, 4), written);
}

bool CallHarness::HangUp() { return VEKComm2_HangUp(0, 0) == 1 && WaitFor(8) && WaitFor(9); }

} // namespace vek::test
