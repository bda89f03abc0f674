// Whole calls in real time: the library through its exports on one side of
// a pseudo-terminal, the simulated modem and panel on the other. The fixture
// plays the host: it builds the records, pumps its messages and keeps every
// notification it received, in order, with the data blocks taken at once.
#pragma once

#include "support/LinkTestSupport.h"
#include "vek_comm2.h"

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vek::test {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

inline constexpr int kCallPort = 5;
// The panel's memory holds this pattern from 0x0100.
inline constexpr uint16_t kPatternAddress = 0x0100;

struct Note {
    WPARAM code;
    Bytes block;
};

class CallHarness : public ::testing::Test {
protected:
    CallHarness();
    ~CallHarness() override;

    // Starts the panel (64 pattern bytes at 0x0100) and the library.
    void StartPanel(panelsim::Options options);
    // A modem at 9600 bit/s without pacing; the short guard time keeps the
    // escape quick. modemOptions 0x08 makes it a direct PC link.
    static void SetupModem(uint8_t modemOptions = 0);
    // A transfer request as a host builds one: read ('u') or write ('-').
    static void AddPool(uint32_t operation, uint8_t command, uint16_t address, const Bytes& data, uint32_t count);
    // A movable block holding the bytes, as a host hands one over.
    static HGLOBAL HostBlock(const Bytes& bytes);

    // Pumps this thread's messages until the host has received code after
    // the one the last wait found.
    bool WaitFor(WPARAM code, std::chrono::milliseconds limit = 15000ms);
    // Pumps until the condition holds.
    template <typename Condition> bool PumpUntil(Condition done, std::chrono::milliseconds limit = 10000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            Collect();
            VekPumpMessages(20);
        }
        return true;
    }
    void Collect();
    std::vector<WPARAM> Codes() const;
    std::string CodesText() const { return ::testing::PrintToString(Codes()); }
    // The block of the last notification with this code.
    Bytes BlockOf(WPARAM code) const;

    // CommInit, then PanelInit dialling the record's number: true once the
    // session is open (3).
    bool PlaceCall();
    // A read of 16 bytes at 0x0100 and a write of 4 bytes at 0x0200, with
    // the read and write command bytes of the link mode.
    void ReadAndWrite(uint8_t readCommand = 0x52, uint8_t writeCommand = 0x57);
    // HangUp(0, 0): true once 8 and 9 have come.
    bool HangUp();

    MessageBoxCapture boxes;
    CaptureWindow host;
    PanelRecord record;
    std::unique_ptr<panelsim::Simulator> sim;
    Bytes memory;
    std::vector<Note> notes;
    size_t m_cursor = 0;
    std::string m_dataDir;
};

} // namespace vek::test
