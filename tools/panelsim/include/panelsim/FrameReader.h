// The panel's receive side: finds the host's frames in the byte stream of
// the current link mode, slides over damaged bytes, and recognises the link
// frames that open a call and the abort pattern.
#pragma once

#include "panelsim/Observations.h"

#include <cstdint>
#include <initializer_list>
#include <set>
#include <span>
#include <vector>

namespace panelsim {

struct Request {
    RequestKind kind = RequestKind::Data;
    uint8_t command = 0; // command byte, or the code in mode 3
    uint8_t route = 0;
    uint8_t subAddress = 0;
    std::vector<uint8_t> payload; // between the command and the check
    bool shortWrite = false;      // mode 3 frame that carries data bytes
    std::vector<uint8_t> bytes;   // the whole frame
};

// Bytes the reader threw away in one run, and why the first of them could
// not start a frame.
struct Discard {
    std::vector<uint8_t> bytes;
    const char* why = "";
};

struct ReaderSettings {
    int mode = 2;
    int openCodeLength = 2;
    bool twoByteAddress = false;
    bool threeByteCode50 = false;
    std::set<uint8_t> shortWriteCodes;
    bool linkFramesExpected = true; // only before the session is open
};

class FrameReader {
public:
    explicit FrameReader(ReaderSettings settings) : m_settings(std::move(settings)) {}

    ReaderSettings& Settings() { return m_settings; }

    std::vector<Request> Push(uint8_t byte);
    // No more bytes are coming for what is held: take what still makes a
    // frame, drop the rest.
    std::vector<Request> GiveUpPartial();
    bool Holding() const { return !m_buffer.empty(); }
    void Clear();
    // The runs of bytes thrown away since the last call. Fillers between
    // frames are no loss and are left out.
    std::vector<Discard> TakeDiscarded();

private:
    using Span = std::span<const uint8_t>;
    enum class Verdict { Frame, Wait, Skip };
    struct Attempt {
        Verdict verdict = Verdict::Skip;
        size_t offset = 0; // bytes before the frame
        size_t length = 0;
        Request request;
        const char* why = "no frame starts here"; // of a skip
    };

    std::vector<Request> Scan(bool final);
    bool TryTail(Attempt& attempt) const;
    Attempt TryFront(Span b, bool final) const;
    Attempt TryLinkFrames(Span b, bool final) const;
    Attempt TryAbort(Span b, bool final) const;
    Attempt TryLong(Span b, bool final) const;
    Attempt TryShort(Span b, bool final) const;
    Attempt TryShortSessionOpen(Span b, bool final) const;
    Attempt TryShortZero(Span b, bool final) const;
    Attempt TryShortData(Span b, bool final) const;
    Attempt TrySummedForms(Span b, std::initializer_list<size_t> totals, bool final) const;
    size_t LongFrameMinimum() const;
    static bool StartsWith(Span b, const std::vector<uint8_t>& pattern, bool& partial);
    static std::vector<uint8_t> Front(Span b, size_t length);
    static Attempt Incomplete(bool final);
    static Attempt Rejected(const char* why);
    void NoteSkipped(uint8_t byte, const char* why);
    static Attempt Found(RequestKind kind, std::vector<uint8_t> bytes, size_t payloadFrom, size_t payloadTo);

    ReaderSettings m_settings;
    std::vector<uint8_t> m_buffer;
    std::vector<Discard> m_discarded; // the last run may still grow
    bool m_runOpen = false;
};

} // namespace panelsim
