// <vek/client.hpp> - vek_client: a host of the vek_comm2 library for C++20
// programs. One Library object plays the host the library expects (its own
// thread calls every export and pumps the messages); a Call is one call to a
// panel, with reads and writes of any size.
//
//   vek::Library lib;
//   lib.setModem({.device = "/dev/ttyUSB0"});
//   vek::Call call = lib.dial({.phone = "5551234"});
//   vek::Bytes memory = call.read(0x0100, 64);
//   call.write(0x0200, vek::Bytes{0xDE, 0xAD});
//
// Errors are exceptions, one choice for the whole API: vek::UsageError (a
// wrong argument, or a call the state does not allow; nothing was sent) and
// vek::CallError (what the panel, the modem or the line did, a time-out or a
// cancel), both vek::Error. A failed read throws vek::TransferError, which
// keeps the bytes read before the failure.
//
// Threads: every member may be called from any thread. Callbacks (events,
// trace, progress, completions) run on one thread the Library owns, one at a
// time, in the order things happened; a blocking member called from inside a
// callback throws UsageError (use the asynchronous form there).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#define VEK_CLIENT_API __attribute__((visibility("default")))

namespace vek {

using Bytes = std::vector<uint8_t>;
using Milliseconds = std::chrono::milliseconds;

namespace internal {
class Core;
struct CallState;
} // namespace internal

// The modem (or the direct cable) the library drives, turned into its
// 288-byte setup record. Texts must fit their fields (init 69 characters,
// init2 and init3 39, the others 7).
struct Modem {
    int port = 1; // COMn, 1 to 255
    // The device of that port. Empty: VEK_COM<port> from the environment,
    // else /dev/ttyS<port-1>. Given, it wins over VEK_COM<port> (which the
    // client then removes from the environment).
    std::string device{};
    int speed = 9600; // bit/s
    // E0: a CONNECT behind the echo of the dial line is not recognised.
    // S12=10: a 200 ms escape guard time keeps the hang-up quick.
    std::string init = "ATE0S12=10";
    std::string init2{};
    std::string init3{};
    std::string reset = "ATZ";
    std::string escape = "+++";
    std::string hangUp = "ATH"; // 0 and 1 are appended
    std::string toneDial = "DT";
    std::string pulseDial = "DP";
    int answerRings = 1; // 0 to 255
    bool pcLink = false; // a direct cable to the panel: no modem
    bool extended = false;
    bool line2400 = false;
    bool attention = false;
    int options = 0; // modem option bits (record offset 212)
    int commandDelayMs = 0; // 0 to 255
    int charDelayMs = 0;    // 0 to 255
};

// The panel to call, turned into the 13264-byte panel record.
struct Panel {
    std::string phone{}; // up to 87 characters; not needed on a direct link
    int linkMode = 2;  // 1 to 5
    int type = 19;     // the identification must show this type and version
    int version = 2;
    std::string openCode = "1234"; // hexadecimal (three bytes with option 0x0040)
    std::string idCode{};          // hexadecimal
    // 0x0040 three-byte open code, 0x0080 two-byte addresses in link mode 3.
    uint16_t options = 0;
    uint8_t linkOptions = 0;
    int lineSpeed = 0;   // answer-mode line speed; 0: the modem's speed
    int secondSpeed = 0; // speed after the modem reset of a call; 0: the modem's
    int directSpeed = 0; // direct-link port speed; 0: the modem's
    int idleA = 0;       // idle disconnect after idleA * idleB / 9000 ticks
    int idleB = 0;       // 0: never
    uint32_t hostFlags = 0;
};

// Why something failed. The numbers are stable (the C API uses them).
enum class Cause : int {
    None = 0,
    InvalidArgument = 1, // UsageError: an argument is out of range
    WrongState = 2,      // UsageError: no call, a closed call, a stopped library, inside a callback
    LibraryStart = 3,    // the library did not start
    PortUnavailable = 4, // the serial port cannot be had
    ModemFailed = 5,     // a modem command got no or the wrong answer
    NoDialTone = 6,
    Busy = 7,
    NoCarrier = 8,
    NoAnswer = 9,     // nobody picked up
    DialNoResult = 10, // the modem said nothing after the dial
    NoIdentification = 11,
    WrongType = 12,
    WrongVersion = 13,
    OpenCodeRefused = 14,
    Refused = 15,         // the panel refused with a reason (panelReason)
    TransferRefused = 16, // a read or write was refused; the call goes on
    PanelEndedCall = 17,
    ShortRead = 18,    // fewer bytes than asked
    PanelSilent = 19,  // the panel stopped answering
    BadReplies = 20,   // nothing the panel sent passed its check
    LineDropped = 21,  // the modem said NO CARRIER: the line dropped
    DeviceGone = 22,   // the serial device went away
    LinkLost = 23,     // the link was lost for another reason
    IdleHangUp = 24,   // the call was idle too long and was hung up
    CallEnded = 25,    // the call ended (hung up) while the operation waited
    TimedOut = 26,
    Cancelled = 27,
    Stopped = 28, // the Library was destroyed while the operation waited
};

// "timed out", "busy", ...
VEK_CLIENT_API std::string_view causeName(Cause cause);

class VEK_CLIENT_API Error : public std::runtime_error {
public:
    Error(Cause cause, const std::string& text, int code = 0, std::optional<int> panelReason = std::nullopt,
          std::string hint = {});
    Cause cause() const noexcept { return m_cause; }
    // The library's notification code behind the failure; 0 when none.
    int code() const noexcept { return m_code; }
    // The panel's refusal reason, when it sent one.
    std::optional<int> panelReason() const noexcept { return m_reason; }
    // What to try; may be empty.
    const std::string& hint() const noexcept { return m_hint; }

private:
    Cause m_cause;
    int m_code;
    std::optional<int> m_reason;
    std::string m_hint;
};

class VEK_CLIENT_API UsageError : public Error {
public:
    using Error::Error;
};

class VEK_CLIENT_API CallError : public Error {
public:
    using Error::Error;
};

class VEK_CLIENT_API TransferError : public CallError {
public:
    TransferError(const CallError& error, Bytes data, uint32_t address);
    // What was read before the failure, from the read's first address.
    const Bytes& data() const noexcept { return m_data; }
    // The address of the request that failed.
    uint32_t address() const noexcept { return m_address; }

private:
    Bytes m_data;
    uint32_t m_address;
};

// The panel as it identified itself.
struct Identification {
    bool incoming = false; // an answered call (a 220-byte block), else a placed one
    int type = 0;
    int version = 0;
    int subVersion = 0;                // answered calls only
    int flags = 0;                     // answered calls only
    std::array<uint8_t, 3> idBytes{};  // answered calls only
    std::array<uint8_t, 3> extra{};    // answered calls only
    std::string format;                // "02 02 02 block", ...; empty when not recognised
    Bytes reply;                       // the reply bytes, the zero fill cut
};

// The line as the library counts it, and the link's health.
struct LineStatus {
    int efficiency = 10; // 0 to 10
    int retries = 0;     // exchanges that failed in this call
    int lineSpeed = 0;   // bit/s
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    uint64_t framesSent = 0;
    uint64_t resends = 0;
};

// One notification from the library (message 1075), or the idle disconnect.
struct Notification {
    enum class Kind { Notification, IdleDisconnect };
    Kind kind = Kind::Notification;
    int code = 0;          // the notification code
    std::string name;      // "session opened", "read done", ...
    Milliseconds at{0};    // since the Library started
    Bytes block;           // the data block the notification carried, if any
};

// One line of the library's trace.
struct TraceEntry {
    enum class Kind { Sent, Received, Step };
    Kind kind = Kind::Step;
    uint64_t ms = 0;  // the library's clock
    std::string text; // as traced, without the time
    Bytes bytes;      // sent or received
};

struct LibraryOptions {
    // Folder of the modem database Trv3.mdm; empty: the library's default
    // (the executable's folder).
    std::string dataFolder{};
    std::function<void(const Notification&)> onEvent{};
    std::function<void(const TraceEntry&)> onTrace{};
    // The longest wait for a hang-up the client starts itself (after a
    // failure, on destruction); default 60 s.
    std::optional<Milliseconds> hangUpTimeout{};
    // Folder of UUCP lock files (LCK..ttyS0); empty: VEK_LOCK_DIR from the
    // environment, else /var/lock.
    std::string lockFolder{};
};

struct CallOptions {
    // Bounds each wait of the call: each stage of setting it up, each
    // request of a transfer, the hang-up. Default: as long as the library
    // may take to give its own verdict. Waiting for a panel to call in has
    // no bound of its own.
    std::optional<Milliseconds> timeout{};
};

struct TransferOptions {
    std::optional<Milliseconds> timeout{}; // each request; default: the call's
    // The largest request; 0: the largest the link mode carries (mode 1:
    // 250, mode 3: 255, others 1024). Each request costs a pause of its
    // own, so fewer, larger requests are faster.
    uint32_t chunk = 0;
    // The command byte; default: 0x52 read, 0x57 write (mode 3: 1 and 2).
    std::optional<uint8_t> command{};
    // After each request: bytes done, bytes in all.
    std::function<void(uint32_t done, uint32_t total)> progress{};
};

class Call;

class VEK_CLIENT_API Library {
public:
    // Starts the host thread and the library on it. One Library at a time
    // in a process (the library behind it is one per process).
    explicit Library(LibraryOptions options = {});
    // Hangs up a call in progress (bounded by hangUpTimeout), stops the
    // library and joins its threads. Not from inside a callback.
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // The modem for the calls that follow; without it Modem{} (COM1 at
    // 9600 bit/s) is used.
    void setModem(const Modem& modem);
    // A placed call (on a direct link: the panel is polled), open once it
    // returns.
    Call dial(const Panel& panel, const CallOptions& options = {});
    std::future<Call> dialAsync(const Panel& panel, const CallOptions& options = {});
    // Waits for a panel to call in, then opens the session with this panel's
    // codes.
    Call answer(const Panel& panel, const CallOptions& options = {});
    std::future<Call> answerAsync(const Panel& panel, const CallOptions& options = {});
    // Ends every wait now: a dial or answer fails with Cancelled (the line is
    // put back on hook), a transfer stops queueing and fails with Cancelled
    // once its request in the library has its outcome (at once when cancelled
    // twice), a hang-up or waitIdle stops waiting.
    void cancel();
    // Waits until a call the client is ending is on hook; false when the
    // limit passed or cancel() was called first.
    bool waitIdle(std::optional<Milliseconds> limit = std::nullopt);
    LineStatus lineStatus() const;

private:
    static Call MakeCall(std::shared_ptr<internal::Core> core, std::shared_ptr<internal::CallState> state);
    std::shared_ptr<internal::Core> m_core;
};

class VEK_CLIENT_API Call {
public:
    Call(Call&& other) noexcept;
    Call& operator=(Call&& other) noexcept;
    // Hangs up when the call is still up (errors are swallowed).
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // Any size within the panel's 64 KiB; split into requests as the link
    // mode allows.
    Bytes read(uint32_t address, uint32_t count, const TransferOptions& options = {});
    void write(uint32_t address, std::span<const uint8_t> bytes, const TransferOptions& options = {});
    std::future<Bytes> readAsync(uint32_t address, uint32_t count, TransferOptions options = {});
    std::future<void> writeAsync(uint32_t address, Bytes bytes, TransferOptions options = {});
    // The same with a completion callback instead of a future: error is null
    // on success (a failed read's error is a TransferError).
    using ReadCallback = std::function<void(std::exception_ptr error, Bytes data)>;
    using WriteCallback = std::function<void(std::exception_ptr error)>;
    void readAsync(uint32_t address, uint32_t count, TransferOptions options, ReadCallback done);
    void writeAsync(uint32_t address, Bytes bytes, TransferOptions options, WriteCallback done);
    // Ends the call: the hang-up frame and the modem's on-hook, waiting for
    // both notifications (8 and 9). After a request that timed out the abort
    // pattern is used, since the panel no longer answers.
    void hangUp();
    // The abort pattern at once (VEKComm2_ForceHangUp).
    void forceHangUp();
    // Ends this call's waits, as Library::cancel().
    void cancel();
    bool isOpen() const;
    const Identification& identification() const;
    LineStatus status() const;
    // The panel and the options the call was made with.
    const Panel& panel() const;

private:
    friend class Library;
    Call(std::shared_ptr<internal::Core> core, std::shared_ptr<internal::CallState> state);
    std::shared_ptr<internal::Core> m_core;
    std::shared_ptr<internal::CallState> m_state;
};

// Names and checks a host shows or runs before a call.
VEK_CLIENT_API std::string notificationName(int code);
enum class NotificationKind { Progress, Info, Failure, Unknown };
VEK_CLIENT_API NotificationKind notificationKind(int code);
// The block of code 13 (incoming) or 90 (placed), as Call::identification().
VEK_CLIENT_API Identification decodeIdentification(std::span<const uint8_t> block, bool incoming);
// An error text, or empty when the values fit the records.
VEK_CLIENT_API std::string checkModem(const Modem& modem);
VEK_CLIENT_API std::string checkPanel(const Panel& panel);

struct LinkLimits {
    uint8_t readCommand;
    uint8_t writeCommand;
    uint32_t largestRequest;
};
VEK_CLIENT_API LinkLimits linkLimits(int linkMode);

// A serial device and whether it can be opened now.
struct PortCheck {
    enum class State { Free, Busy, NoAccess, NoHardware, Missing, NotATerminal, Error };
    State state = State::Error;
    std::string detail; // the reason in words
};
VEK_CLIENT_API PortCheck checkPort(const std::string& device, const std::string& lockFolder = {});
VEK_CLIENT_API std::string_view portStateName(PortCheck::State state);
// The devices under /dev that look like serial ports, sorted by name.
VEK_CLIENT_API std::vector<std::string> serialDevices();
// The device the library opens for COMn: given, else VEK_COM<n>, else
// /dev/ttyS<n-1>.
VEK_CLIENT_API std::string portDevice(int port, const std::string& given = {});

} // namespace vek
