// Shared helpers for tests that drive the dialog and the worker directly.
#pragma once

#include "dialog/CCommStatusDlg.h"
#include "platform/Clock.h"
#include "serial/ScriptedDevice.h"
#include "vek_comm2.h"

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vek::test {

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A window on the test's thread that records what it is sent.
class CaptureWindow {
public:
    CaptureWindow();
    ~CaptureWindow();
    HWND Handle() const { return m_hwnd; }
    // Dispatches what is queued for this thread and returns what arrived here.
    std::vector<Message> Drain();
    // Only messages with this number; the others are dropped.
    std::vector<Message> Drain(UINT message);
    // Only messages with this number; the others stay for a later Take.
    std::vector<Message> Take(UINT message);

private:
    static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hwnd;
    std::vector<Message> m_received;
};

// Puts the queue, events and session flags back to their start values.
void ResetLinkState();

// A host panel record of the minimum size, zero-filled, with setters.
class PanelRecord {
public:
    PanelRecord() : m_bytes(VEK_PANEL_RECORD_MIN_SIZE, 0) {}
    HostPanelRecord* Get() { return reinterpret_cast<HostPanelRecord*>(m_bytes.data()); }
    uint8_t* Bytes() { return m_bytes.data(); }
    void Set16(size_t offset, uint16_t v);
    void Set32(size_t offset, uint32_t v);
    uint16_t Get16(size_t offset) const;

private:
    std::vector<uint8_t> m_bytes;
};

// A dialog whose window is a capture window, with a scripted device and a
// modem database, and no worker thread: tests run worker passes themselves.
class DialogHarness {
public:
    DialogHarness();
    ~DialogHarness();
    CCommStatusDlg& Dlg() { return *m_dlg; }
    ScriptedDevice& Device() { return *m_device; }
    CaptureWindow& DialogWindow() { return m_dialogWindow; }
    CaptureWindow& HostWindow() { return m_hostWindow; }
    CModemSettings& Modems() { return m_modems; }
    void OpenPort();

private:
    CaptureWindow m_dialogWindow;
    CaptureWindow m_hostWindow;
    CModemSettings m_modems;
    std::unique_ptr<CCommStatusDlg> m_dlg;
    ScriptedDevice* m_device = nullptr;
    HWND m_savedHost = 0;
};

// The exports see a running library, without a worker or a window: for
// tests of exports that only need the library to be up.
class RunningLibraryScope {
public:
    RunningLibraryScope();
    ~RunningLibraryScope();
    RunningLibraryScope(const RunningLibraryScope&) = delete;
    RunningLibraryScope& operator=(const RunningLibraryScope&) = delete;

private:
    std::unique_ptr<CCommStatusDlg> m_dlg;
};

// Runs the control's posted events through the dialog's event handler, as
// the dialog's window does, and returns the other messages that arrived.
std::vector<Message> DispatchCommEvents(CCommStatusDlg& dlg, CaptureWindow& window);

// Collects message box texts for the lifetime of the object.
class MessageBoxCapture {
public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    const std::vector<std::string>& Texts() const;
};

// One queued step as tests compare it.
struct QueuedStep {
    int32_t type;
    int32_t expect;
    int32_t code;
    std::vector<uint8_t> data;
    bool operator==(const QueuedStep&) const = default;
};
std::vector<QueuedStep> QueuedSteps();
void PrintTo(const QueuedStep& step, std::ostream* os);
std::vector<uint8_t> Text(const std::string& text);

// Posted messages of one number, as (code, lParam) pairs; others stay.
std::vector<std::pair<WPARAM, LPARAM>> Posted(CaptureWindow& window, UINT message);
// The bytes of a host block, which is freed.
std::vector<uint8_t> TakeBlock(LPARAM handle);

// Bytes arriving on the packet route, scanned as the receive handler does.
void FeedReply(const CCommStatusDlg& dlg, const std::vector<uint8_t>& bytes);

// What a started silence timer does while the object lives: silence at
// once, or none within any wait.
class SilenceScope {
public:
    enum class Mode { Immediate, Never };
    explicit SilenceScope(Mode mode);
    ~SilenceScope();
    static const std::vector<uint32_t>& Intervals();
};

// What the test program's VEKOnlineReqProcess was last called with.
extern std::atomic<int> g_onlineCalls;
extern std::atomic<void*> g_onlineRecord;
extern std::atomic<int> g_onlineWhat; // what * 100 + arg
// What the host library's VEKOnlineReqProcess does in the tests: counts,
// then runs g_onlineAction when one is set.
int RecordOnlineReqProcess(void* record, int what, int arg);
extern std::function<void()> g_onlineAction;

// Installs a manual clock for the lifetime of the object.
class ManualClockScope {
public:
    explicit ManualClockScope(bool autoAdvance);
    ~ManualClockScope();
    ManualClock& Clock() { return m_clock; }

private:
    ManualClock m_clock;
};

} // namespace vek::test
