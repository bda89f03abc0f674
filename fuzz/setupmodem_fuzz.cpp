// Arbitrary modem setup records in blocks of any size, through the export:
// a block too small is refused and left to the caller, any other is taken,
// and the settings it gives store and load back unchanged.
#include "FuzzCheck.h"
#include "dialog/CCommStatusDlg.h"
#include "host/CComm2App.h"
#include "modem/ModemDatabaseFile.h"
#include "vek_comm2.h"
#include "vek_host.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using vekfuzz::Check;

} // namespace

// Header: handle choice (low 2 bits: the block, none, a freed one), block
// size (2 bytes, up to 1023). Then the record's bytes; the rest is zero.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool once = [] {
        VekSetMessageBoxHook([](const char*, const char*) {});
        vek::theApp.m_modemSettings.ResetToDefault();
        // The export works only while the library runs: a dialog without
        // window or worker is enough for it to see one.
        static vek::CCommStatusDlg dlg;
        vek::theApp.m_pStatusDlg = &dlg;
        return true;
    }();
    (void)once;
    if (size < 3) {
        return 0;
    }
    const size_t blockSize = (data[1] | (data[2] << 8)) & 0x3FF;
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, blockSize);
    if (auto* p = static_cast<uint8_t*>(GlobalLock(block))) {
        std::memcpy(p, data + 3, std::min(size - 3, blockSize));
        GlobalUnlock(block);
    }
    HGLOBAL given = block;
    if ((data[0] & 0x03) == 1) {
        given = 0;
    } else if ((data[0] & 0x03) == 2) {
        given = GlobalAlloc(GMEM_MOVEABLE, 4);
        GlobalFree(given);
    }

    const int taken = VEKComm2_SetupModem(given);
    const bool fits = given == block && block != 0 && blockSize >= VEK_MODEM_SETUP_MIN_SIZE;
    Check(taken == (fits ? 1 : 0));
    if (taken) {
        Check(GlobalSize(block) == 0); // freed by the export
        const vek::CModem* modem = vek::theApp.m_modemSettings.GetCurrentModem();
        Check(modem != nullptr && modem->m_nBaudRate != 0);
        Check(modem->m_strInit.size() <= 70 && modem->m_strEscape.size() <= 8);
        vek::CModemSettings again;
        Check(vek::LoadModemDatabaseBytes(again, vek::StoreModemDatabase(vek::theApp.m_modemSettings)) ==
              vek::DatabaseLoad::Loaded);
        const vek::CModem* back = again.GetCurrentModem();
        Check(back != nullptr && *back == *modem);
    } else {
        GlobalFree(block);
    }
    return 0;
}
