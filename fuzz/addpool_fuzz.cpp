// Arbitrary transfer requests: a request record and a data block built from
// the input, with counts and sizes that need not agree, in every link mode.
#include "FuzzCheck.h"
#include "dialog/CCommStatusDlg.h"
#include "link/AddPool.h"
#include "link/CallPhase.h"
#include "link/RequestQueue.h"
#include "platform/Paths.h"
#include "serial/ScriptedDevice.h"
#include "vek_comm2.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using vekfuzz::Check;

HGLOBAL BlockOf(const uint8_t* bytes, size_t count, size_t blockSize)
{
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, blockSize);
    if (auto* p = static_cast<uint8_t*>(GlobalLock(h))) {
        std::memcpy(p, bytes, std::min(count, blockSize));
        GlobalUnlock(h);
    }
    return h;
}

struct Fixture {
    Fixture()
    {
        modems.ResetToDefault();
        dlg.m_pModemSettings = &modems;
        // Requests are taken only while a port is open: a scripted one.
        vek::SetPortDevice(1, "/dev/null-scripted");
        dlg.m_commCtrl.Create(std::make_unique<vek::ScriptedDevice>());
        dlg.m_commCtrl.SetCommPort(1);
        dlg.m_commCtrl.SetPortOpen(true);
        // ... and a session is open.
        vek::g_nCallPhase = vek::CALL_OPEN;
    }
    vek::CModemSettings modems;
    vek::CCommStatusDlg dlg;
    std::vector<uint8_t> panel = std::vector<uint8_t>(VEK_PANEL_RECORD_MIN_SIZE, 0);
};

} // namespace

// Header: flags (link mode in bits 0-2, panel record attached 0x08, data
// handle 0x30: the data block, none, a freed one, the record itself), panel
// options, record size, data block size (2 bytes), panel type and version.
// Then the record's bytes, then the data block's.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Fixture f;
    constexpr size_t kHeader = 7;
    if (size < kHeader) {
        return 0;
    }
    f.dlg.m_nLinkMode = data[0] & 0x07;
    f.panel[VEK_PANEL_OPTIONS] = data[1];
    f.dlg.m_pPanelRecord = (data[0] & 0x08) ? reinterpret_cast<vek::HostPanelRecord*>(f.panel.data()) : nullptr;
    f.dlg.m_ident.panelType = data[5];
    f.dlg.m_ident.panelVersion = data[6];
    const size_t recordSize = data[2];
    const size_t dataSize = data[3] | (data[4] << 8);

    const uint8_t* rest = data + kHeader;
    const size_t restSize = size - kHeader;
    const HGLOBAL record = BlockOf(rest, restSize, recordSize);
    const size_t used = std::min(restSize, recordSize);
    const HGLOBAL block = BlockOf(rest + used, restSize - used, dataSize);

    HGLOBAL named = block;
    switch ((data[0] >> 4) & 0x03) {
    case 1: named = 0; break;
    case 2: {
        named = GlobalAlloc(GMEM_MOVEABLE, 4);
        GlobalFree(named);
        break;
    }
    case 3: named = record; break;
    default: break;
    }
    if (recordSize >= VEK_POOL_DATA + 4) {
        if (auto* p = static_cast<uint8_t*>(GlobalLock(record))) {
            std::memcpy(p + VEK_POOL_DATA, &named, sizeof named);
            GlobalUnlock(record);
        }
    }

    const int taken = vek::AddPool(f.dlg, record);

    size_t queued = 0;
    size_t refusals = 0;
    {
        vek::CSingleLock lock(vek::g_csQueue);
        for (const auto& step : vek::g_requestQueue) {
            if (!step) {
                continue;
            }
            Check(step->m_bHostRequest);
            // A request that cannot be carried is refused (97) in its turn.
            if (step->m_nType == vek::STEP_NOTIFY) {
                Check(step->m_nCode == VEK_NOTIFY_TRANSFER_REFUSED);
                ++refusals;
                continue;
            }
            Check(step->m_nType == vek::STEP_PACKET);
            Check(step->m_data.size() <= 65536 + 16);
            ++queued;
        }
    }
    // A request is either framed or refused, never both.
    Check(refusals <= 1 && (refusals == 0 || queued == 0));
    // No frame from a record too short to hold its fields.
    Check(recordSize >= VEK_POOL_RECORD_MIN_SIZE || queued == 0);
    // Taken: the record is the library's and already freed. Not taken: it
    // is still the caller's, whole, and nothing was queued.
    if (taken == 1) {
        Check(GlobalSize(record) == 0);
    } else {
        Check(taken == 0 && queued == 0 && refusals == 0 && GlobalSize(record) == recordSize);
    }
    vek::QueueClear();
    // Whatever AddPool did not take stays the caller's: free both (a
    // handle already freed is refused, never a crash).
    GlobalFree(record);
    GlobalFree(block);
    return 0;
}
