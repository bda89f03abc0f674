// panelsim: a simulated Hayes modem with an alarm panel behind it, served on
// a pseudo-terminal (or any open descriptor) from a thread of its own. Every
// public member may be called from any thread.
#pragma once

#include "panelsim/Observations.h"
#include "panelsim/Options.h"
#include "panelsim/Time.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace panelsim {

class Simulator {
public:
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens a pseudo-terminal and serves its master side; false with Error()
    // when that fails or the simulator already runs.
    bool Start();
    // Serves a descriptor the caller keeps open (and closes after Stop).
    bool StartOnFd(int fd);
    void Stop();
    bool Running() const;
    std::string Error() const;
    // The device the host opens; empty when serving a given descriptor.
    std::string SlavePath() const;

    // The panel calls in: RING up to `times` times, answered at S0 rings.
    // Nothing happens on a direct link, or while the modem is busy.
    void Ring(int times);
    // The phone line drops (modem: NO CARRIER), or the direct link resets.
    void DropLine();

    std::vector<uint8_t> ReadMemory(uint16_t address, size_t length) const;
    void WriteMemory(uint16_t address, std::span<const uint8_t> bytes);
    bool LoadMemory(const std::string& path);
    bool SaveMemory(const std::string& path) const;

    // Refuse matching data requests from now on.
    void AddRefusal(RefusalRule rule);

    Observations Observe() const;
    // Waits until the condition holds or the limit has passed; the condition
    // runs under the simulator's lock and must not call back into it.
    bool WaitUntil(const std::function<bool(const Observations&)>& condition, Millis limit) const;
    bool WaitForFrames(size_t count, Millis limit) const;

private:
    struct State;
    void Run();
    bool Launch();

    std::unique_ptr<State> m_state;
};

} // namespace panelsim
