#include "panelsim/Simulator.h"

#include "Line.h"
#include "Station.h"
#include "Trace.h"

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace panelsim {
namespace {

// Even with nothing due the loop looks around now and then.
constexpr Millis kLongestSleep{1000};

int PollTimeout(std::optional<Time> deadline, Time now)
{
    if (!deadline)
        return static_cast<int>(kLongestSleep.count());
    if (*deadline <= now)
        return 0;
    const auto wait = std::chrono::ceil<Millis>(*deadline - now);
    return static_cast<int>(std::min(wait, kLongestSleep).count());
}

} // namespace

struct Simulator::State {
    explicit State(Options given) : options(std::move(given)), line(trace), station(options, line, trace, observations)
    {
    }

    void Wake() const
    {
        const char byte = 1;
        if (wakeWrite >= 0)
            (void)!::write(wakeWrite, &byte, 1);
    }

    void DrainWake() const
    {
        char buffer[64];
        while (::read(wakeRead, buffer, sizeof buffer) > 0) {
        }
    }

    Options options;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    Trace trace;
    Observations observations;
    Line line;
    Station station;
    std::thread thread;
    int wakeRead = -1;
    int wakeWrite = -1;
    bool launched = false;
    bool stopping = false;
    std::string error;
};

Simulator::Simulator(Options options) : m_state(std::make_unique<State>(std::move(options)))
{
    State& s = *m_state;
    if (!s.trace.Open(s.options.tracePath))
        s.error = "cannot open trace file " + s.options.tracePath;
    const std::string& image = s.options.panel.memoryFile;
    if (!image.empty() && !s.station.GetPanel().Memory().Load(image))
        s.error = "cannot read memory image " + image;
}

Simulator::~Simulator() { Stop(); }

bool Simulator::Start()
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->launched) {
        m_state->error = "already started";
        return false;
    }
    return m_state->line.OpenPty(m_state->error) && Launch();
}

bool Simulator::StartOnFd(int fd)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->launched) {
        m_state->error = "already started";
        return false;
    }
    return m_state->line.Adopt(fd, m_state->error) && Launch();
}

bool Simulator::Launch()
{
    State& s = *m_state;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_NONBLOCK | O_CLOEXEC) != 0) {
        s.error = "cannot create the wake-up pipe";
        s.line.Close();
        return false;
    }
    s.wakeRead = pipeEnds[0];
    s.wakeWrite = pipeEnds[1];
    s.line.SetPaced(s.options.lineRate);
    s.line.SetFallbackSpeed(s.options.lineSpeed);
    s.station.Begin(Clock::now());
    s.observations.running = true;
    s.launched = true;
    s.thread = std::thread(&Simulator::Run, this);
    return true;
}

void Simulator::Run()
{
    State& s = *m_state;
    std::unique_lock lock(s.mutex);
    while (!s.stopping) {
        s.station.Advance(Clock::now());
        s.changed.notify_all();
        pollfd fds[2] = {{s.line.Fd(), static_cast<short>(POLLIN | (s.line.WantsWrite() ? POLLOUT : 0)), 0},
                         {s.wakeRead, POLLIN, 0}};
        const int timeout = PollTimeout(s.station.NextDeadline(), Clock::now());
        lock.unlock();
        ::poll(fds, 2, timeout);
        lock.lock();
        s.DrainWake();
        const bool readable = (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        if (readable && !s.line.ReadWaiting(Clock::now())) {
            s.trace.Line("line closed by the other side");
            break;
        }
    }
    s.observations.running = false;
    s.changed.notify_all();
}

void Simulator::Stop()
{
    State& s = *m_state;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
        s.Wake();
    }
    if (s.thread.joinable())
        s.thread.join();
    std::lock_guard lock(s.mutex);
    s.line.Close();
    for (int* fd : {&s.wakeRead, &s.wakeWrite}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    s.observations.running = false;
}

bool Simulator::Running() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->observations.running;
}

std::string Simulator::Error() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->error;
}

std::string Simulator::SlavePath() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->line.SlavePath();
}

void Simulator::Ring(int times)
{
    std::lock_guard lock(m_state->mutex);
    m_state->station.Ring(times, Clock::now());
    m_state->Wake();
}

void Simulator::DropLine()
{
    std::lock_guard lock(m_state->mutex);
    m_state->station.DropLine(Clock::now());
    m_state->Wake();
}

std::vector<uint8_t> Simulator::ReadMemory(uint16_t address, size_t length) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->station.GetPanel().Memory().Read(address, length);
}

void Simulator::WriteMemory(uint16_t address, std::span<const uint8_t> bytes)
{
    std::lock_guard lock(m_state->mutex);
    m_state->station.GetPanel().Memory().Write(address, bytes);
}

bool Simulator::LoadMemory(const std::string& path)
{
    std::lock_guard lock(m_state->mutex);
    return m_state->station.GetPanel().Memory().Load(path);
}

bool Simulator::SaveMemory(const std::string& path) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->station.GetPanel().Memory().Save(path);
}

void Simulator::AddRefusal(RefusalRule rule)
{
    std::lock_guard lock(m_state->mutex);
    m_state->station.GetPanel().Refusals().Add(rule);
}

Observations Simulator::Observe() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->observations;
}

bool Simulator::WaitUntil(const std::function<bool(const Observations&)>& condition, Millis limit) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, limit, [&] { return condition(m_state->observations); });
}

bool Simulator::WaitForFrames(size_t count, Millis limit) const
{
    return WaitUntil([count](const Observations& seen) { return seen.frames.size() >= count; }, limit);
}

} // namespace panelsim
