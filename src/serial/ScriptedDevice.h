// An in-memory serial device for tests: settable modem lines, scripted
// replies to written text, injectable received bytes, and a record of every
// byte written with its time on the library's clock.
#pragma once

#include "serial/SerialDevice.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vek {

struct WrittenByte {
    uint64_t timeMs;
    uint8_t value;
};

class ScriptedDevice final : public SerialDevice {
public:
    void SetSink(DeviceSink* sink) override;
    bool Open(const std::string& path, const std::string& settings) override;
    void Close() override;
    bool IsOpen() const override;
    bool IsGone() const override;
    bool ApplySettings(const std::string& settings) override;
    bool Write(std::span<const uint8_t> bytes) override;
    uint32_t ModemLines() const override;
    void DiscardInput() override;
    void SetDtr(bool on) override;
    bool Probe(const std::string& path) override;
    std::string LastError() const override;

    // Test controls. Line changes on an open device report their event.
    void SetDsr(bool held);
    void SetCts(bool held);
    void SetCd(bool held);
    void SetRi(bool on);
    void SetOpenFails(bool fails);
    void SetProbeFails(bool fails);
    // Settings texts whose speed the device refuses.
    void RefuseSpeed(int32_t speed);
    // When the text written since the last match ends with trigger, the
    // pieces are received, each as its own arrival.
    void AddReply(const std::string& trigger, std::vector<std::string> pieces);
    void ClearReplies();
    // Bytes arriving from the line now.
    void Inject(const std::string& bytes);
    void Inject(std::span<const uint8_t> bytes);
    // The device disappears: reported once, then writes fail.
    void Vanish();

    std::vector<WrittenByte> Written() const;
    std::vector<uint8_t> WrittenBytes() const;
    std::string WrittenText() const;
    void ClearWritten();
    std::string OpenedPath() const;
    std::string CurrentSettings() const;
    int DiscardCount() const;
    int OpenCount() const;
    bool Dtr() const;

private:
    struct Reply {
        std::string trigger;
        std::vector<std::string> pieces;
    };
    void ChangeLine(uint32_t bit, bool on, int16_t code);
    bool SpeedRefused(const std::string& settings) const;

    mutable std::mutex m_mutex;
    DeviceSink* m_sink = nullptr;
    bool m_open = false;
    bool m_gone = false;
    bool m_openFails = false;
    bool m_probeFails = false;
    bool m_dtr = false;
    uint32_t m_lines = LINE_DSR | LINE_CTS;
    int m_discards = 0;
    int m_opens = 0;
    std::string m_path;
    std::string m_settings;
    std::string m_lastError;
    std::vector<int32_t> m_refusedSpeeds;
    std::vector<Reply> m_replies;
    std::string m_sinceMatch;
    std::vector<WrittenByte> m_written;
};

} // namespace vek
