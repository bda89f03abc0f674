// VEKComm2_SetupModem and VEKComm2_IsPCLink: the host's modem settings go
// into the current modem definition.
#include "host/CComm2App.h"
#include "modem/CModem.h"
#include "platform/MessageBox.h"
#include "vek_comm2.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

using vek::CModem;

// Bytes of the locked setup record; every read stays inside the record's
// minimum size, which the caller has checked against the block.
class SetupRecordView {
public:
    explicit SetupRecordView(const uint8_t* p) : m_p(p) {}

    uint8_t U8(size_t off) const { return m_p[off]; }
    int16_t I16(size_t off) const { return static_cast<int16_t>(m_p[off] | (m_p[off + 1] << 8)); }
    int32_t I32(size_t off) const
    {
        return static_cast<int32_t>(uint32_t{m_p[off]} | (uint32_t{m_p[off + 1]} << 8) |
                                    (uint32_t{m_p[off + 2]} << 16) | (uint32_t{m_p[off + 3]} << 24));
    }
    // A text field ends at its first NUL; a field without one ends at its
    // width rather than running on into the next field.
    std::string Text(size_t off, size_t width) const
    {
        const auto* begin = reinterpret_cast<const char*>(m_p + off);
        const void* nul = std::memchr(begin, '\0', width);
        return {begin, nul ? static_cast<const char*>(nul) : begin + width};
    }

private:
    const uint8_t* m_p;
};

constexpr uint8_t kLineSpeed2400 = 0x01;
constexpr uint8_t kOptionPcLink = 0x08;
constexpr uint8_t kOptionExtended = 0x10;
constexpr uint32_t kSetupFlagBits = vek::MODEM_PCLINK | vek::MODEM_EXTENDED | vek::MODEM_ATTENTION;
constexpr int32_t kDefaultBaudRate = 110;

void CopySetupRecord(const SetupRecordView& rec, CModem& modem)
{
    modem.m_nAnswerRings = rec.I16(VEK_SETUP_ANSWER_RINGS);
    modem.m_nExtra4 = rec.I32(VEK_SETUP_EXTRA4);
    modem.m_nBaudRate = rec.I32(VEK_SETUP_BAUD_RATE);
    if (modem.m_nBaudRate == 0) {
        vek::ShowAppMessage("Incoming Baud Rate is 0 defaulting to 110");
        modem.m_nBaudRate = kDefaultBaudRate;
    }
    modem.m_strToneDial = rec.Text(VEK_SETUP_TONE_DIAL, 8);
    modem.m_strPulseDial = rec.Text(VEK_SETUP_PULSE_DIAL, 8);

    const uint8_t modemOptions = rec.U8(VEK_SETUP_MODEM_OPTIONS);
    uint32_t flags = modem.m_dwFlags & ~kSetupFlagBits;
    if (modemOptions & kOptionExtended)
        flags |= vek::MODEM_EXTENDED;

    modem.m_strEscape = rec.Text(VEK_SETUP_ESCAPE, 8);
    const std::string stem = rec.Text(VEK_SETUP_HANGUP_STEM, 8);
    modem.m_strOnHook = stem + "0";
    modem.m_strOffHook = stem + "1";
    modem.m_strInit = rec.Text(VEK_SETUP_INIT, 70);
    modem.m_strInit2 = rec.Text(VEK_SETUP_INIT2, 40);
    modem.m_strInit3 = rec.Text(VEK_SETUP_INIT3, 40);

    modem.m_nLineBaudRate = (modemOptions & kLineSpeed2400) ? 2400 : 1200;
    // Unsigned, as the host's value is: a negative speed counts as above 2400.
    if (static_cast<uint32_t>(modem.m_nBaudRate) > 2400)
        modem.m_nLineBaudRate = modem.m_nBaudRate;

    modem.m_nOptions = rec.I32(VEK_SETUP_OPTIONS);
    if (rec.U8(VEK_SETUP_ATTENTION) == 1)
        flags |= vek::MODEM_ATTENTION;
    if (modemOptions & kOptionPcLink)
        flags |= vek::MODEM_PCLINK;
    modem.m_dwFlags = flags;

    modem.m_nCommandDelay = rec.U8(VEK_SETUP_COMMAND_DELAY);
    modem.m_nCharDelay = rec.U8(VEK_SETUP_CHAR_DELAY);
    modem.m_nComPort = rec.I32(VEK_SETUP_COM_PORT);
    modem.m_strReset = rec.Text(VEK_SETUP_RESET, 8);
    modem.m_strSpeakerMode = rec.Text(VEK_SETUP_SPEAKER_MODE, 8);
    modem.m_strSpeakerVolume = rec.Text(VEK_SETUP_SPEAKER_VOLUME, 8);
}

} // namespace

extern "C" VEK_API int VEK_CALL VEKComm2_SetupModem(HGLOBAL setup)
{
    // Before Init the modem list is not loaded: nothing to set up.
    if (vek::theApp.m_pStatusDlg == nullptr)
        return 0;
    CModem* modem = vek::theApp.m_modemSettings.GetCurrentModem();
    void* p = GlobalLock(setup);
    if (!p)
        return 0;
    // A block too small for the record would be read past its end; it is
    // refused and, like any refused block, left to the caller.
    if (!modem || GlobalSize(setup) < VEK_MODEM_SETUP_MIN_SIZE) {
        GlobalUnlock(setup);
        return 0;
    }
    try {
        CopySetupRecord(SetupRecordView(static_cast<const uint8_t*>(p)), *modem);
    } catch (...) {
        GlobalUnlock(setup);
        return 0;
    }
    GlobalUnlock(setup);
    GlobalFree(setup);
    return 1;
}

extern "C" VEK_API int VEK_CALL VEKComm2_IsPCLink(void)
{
    if (vek::theApp.m_pStatusDlg == nullptr)
        return 0;
    const CModem* modem = vek::theApp.m_modemSettings.GetCurrentModem();
    return modem ? static_cast<int>(modem->m_dwFlags & vek::MODEM_PCLINK) : 0;
}
