// Feeds arbitrary bytes to the modem database reader. Whatever loads must
// store and load again to the same values.
#include "modem/CArchive.h"
#include "modem/ModemDatabaseFile.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace vek;

namespace {

bool SameDatabase(const CModemSettings& a, const CModemSettings& b)
{
    if (a.m_nIncoming != b.m_nIncoming || a.m_nOutgoing != b.m_nOutgoing || a.m_nCurrent != b.m_nCurrent ||
        a.m_modems.size() != b.m_modems.size())
        return false;
    for (size_t i = 0; i < a.m_modems.size(); ++i) {
        const CModem* x = a.m_modems[i].get();
        const CModem* y = b.m_modems[i].get();
        if ((x == nullptr) != (y == nullptr) || (x && !(*x == *y)))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);

    CModemSettings settings;
    if (LoadModemDatabaseBytes(settings, bytes) == DatabaseLoad::Loaded) {
        CModemSettings again;
        if (LoadModemDatabaseBytes(again, StoreModemDatabase(settings)) != DatabaseLoad::Loaded ||
            !SameDatabase(settings, again))
            std::abort();
        // The current modem is whatever the outgoing index names, or none.
        if (settings.GetCurrentModem() != settings.ModemAt(settings.m_nOutgoing))
            std::abort();
    }

    // The string reader on its own, for the length forms.
    try {
        CArchive ar(bytes);
        while (ar.Remaining() > 0)
            ar.ReadString();
    } catch (const CArchiveException&) {
    }
    return 0;
}
