// What the reader thread of a Win32 device shares with the device. The
// reader holds its own copy: one that Close let go keeps its stop event and
// lock until it ends by itself, and reaches the device only through here.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>

namespace vek {

class Win32CommDevice;

struct CommReaderLink {
    CommReaderLink(HANDLE port, Win32CommDevice* owner)
        : port(port), stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)), device(owner)
    {
    }
    ~CommReaderLink()
    {
        if (stop != nullptr)
            CloseHandle(stop);
    }
    CommReaderLink(const CommReaderLink&) = delete;
    CommReaderLink& operator=(const CommReaderLink&) = delete;

    bool Valid() const { return stop != nullptr; }

    // The device's handle. Close closes it, perhaps while a reader it let go
    // is still stuck in the driver: once stop is set the reader makes no
    // more calls on it.
    const HANDLE port;
    // Manual-reset, set by Close and never reset.
    const HANDLE stop;
    // Held while the reader reports to the device, and by Close to cut the
    // reader off. Reports are short and never wait on the device's callers.
    std::mutex mutex;
    Win32CommDevice* device; // guarded by mutex; null once the reader is let go
};

// The reader thread's body: runs until stop is set or the device is gone.
void RunCommReader(std::shared_ptr<CommReaderLink> link);

} // namespace vek
