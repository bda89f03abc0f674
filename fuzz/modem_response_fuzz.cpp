// Arbitrary modem text in arbitrary fragments: the capped accumulation must
// recognise exactly what the whole text would.
#include "FuzzCheck.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "link/ModemResult.h"
#include "modem/ParseModemResponse.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using vekfuzz::Check;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

} // namespace

// Input: fragments, each a length byte (low 5 bits + 1) and that many bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::string_view trimmed = vek::TrimModemText(all);
    Check(trimmed.size() <= all.size());
    Check(trimmed.empty() || (!IsSpace(trimmed.front()) && !IsSpace(trimmed.back())));
    const int32_t whole = vek::RecogniseModemResponse(all);
    Check(whole == -1 || (whole >= vek::MODEM_RESULT_OK && whole <= vek::MODEM_RESULT_NO_ANSWER));

    std::string capped;
    std::string uncapped;
    size_t at = 0;
    while (at < size) {
        const size_t wanted = (data[at++] & 0x1FU) + 1U;
        const size_t n = std::min(wanted, size - at);
        const std::string_view fragment = all.substr(at, n);
        at += n;
        vek::AppendModemText(capped, fragment);
        uncapped += vek::TrimModemText(fragment);
        Check(capped.size() <= vek::kModemTextCap);
    }
    // Once at the end: every shorter run of fragments is an input of its own.
    Check(vek::RecogniseModemResponse(capped) == vek::RecogniseModemResponse(uncapped));

    // The dialog's route: the accumulated text in the shared state.
    {
        vek::CSingleLock lock(vek::g_csReceive);
        vek::g_strModemResponse = capped;
        vek::SignalModemResult();
        vek::g_strModemResponse.clear();
    }
    vek::g_evModemDone.Reset();
    vek::g_bConnectPending = 0;
    return 0;
}
