// The C++ API: each member posts its work to the host thread; the blocking
// forms wait for the outcome the callback thread hands over and throw on
// their own thread.
#include "Core.h"
#include "Outcome.h"

#include <cstdio>
#include <future>

namespace vek {
namespace {

using internal::Core;
using internal::ErrorInfo;
using internal::Outcome;
using internal::Ready;
using internal::Session;
using internal::StoppedInfo;

// Places or answers a call; the outcome arrives on the callback thread.
std::future<Outcome<Call>> Place(const std::shared_ptr<Core>& core, const Panel& panel, const CallOptions& options,
                                 bool answer, Call (*make)(std::shared_ptr<Core>, std::shared_ptr<internal::CallState>))
{
    auto promise = std::make_shared<std::promise<Outcome<Call>>>();
    std::future<Outcome<Call>> result = promise->get_future();
    const bool posted = core->Post([core, panel, options, promise, answer, make](Session& session) {
        auto done = [core, promise, make](std::exception_ptr error, std::shared_ptr<internal::CallState> state) {
            std::optional<ErrorInfo> info;
            if (error)
                info = ErrorInfo::From(error);
            core->Deliver([core, promise, info = std::move(info), state, make] {
                Outcome<Call> outcome;
                if (info)
                    outcome.error = *info;
                else
                    outcome.value.emplace(make(core, state));
                promise->set_value(std::move(outcome));
            });
        };
        answer ? session.Answer(panel, options, done) : session.Dial(panel, options, done);
    });
    return posted ? std::move(result) : Ready<Call>(StoppedInfo());
}

// Runs work on the host thread and waits for its plain outcome.
std::optional<ErrorInfo> RunVoid(Core& core, const std::function<void(Session&, internal::Done)>& work)
{
    auto promise = std::make_shared<std::promise<std::optional<ErrorInfo>>>();
    std::future<std::optional<ErrorInfo>> done = promise->get_future();
    Core* raw = &core;
    if (!core.Post([raw, work, promise](Session& session) {
            work(session, [raw, promise](std::exception_ptr error) {
                std::optional<ErrorInfo> info;
                if (error)
                    info = ErrorInfo::From(error);
                raw->Deliver([promise, info = std::move(info)] { promise->set_value(info); });
            });
        }))
        return StoppedInfo();
    return done.get();
}

} // namespace

Call Library::MakeCall(std::shared_ptr<internal::Core> core, std::shared_ptr<internal::CallState> state)
{
    return Call(std::move(core), std::move(state));
}

Library::Library(LibraryOptions options) : m_core(std::make_shared<Core>(std::move(options))) {}

Library::~Library()
{
    if (m_core->OnCallbackThread())
        std::fputs("vek_client: a Library destroyed inside its own callback cannot join its threads\n", stderr);
    m_core->Stop();
}

void Library::setModem(const Modem& modem)
{
    m_core->CheckMayBlock();
    if (auto error = RunVoid(
            *m_core, [modem](Session& session, internal::Done done) { session.SetModem(modem, std::move(done)); }))
        error->Throw();
}

std::future<Call> Library::dialAsync(const Panel& panel, const CallOptions& options)
{
    return internal::Deferred<Call>(Place(m_core, panel, options, false, &Library::MakeCall));
}

std::future<Call> Library::answerAsync(const Panel& panel, const CallOptions& options)
{
    return internal::Deferred<Call>(Place(m_core, panel, options, true, &Library::MakeCall));
}

Call Library::dial(const Panel& panel, const CallOptions& options)
{
    m_core->CheckMayBlock();
    return internal::Unwrap<Call>(Place(m_core, panel, options, false, &Library::MakeCall).get());
}

Call Library::answer(const Panel& panel, const CallOptions& options)
{
    m_core->CheckMayBlock();
    return internal::Unwrap<Call>(Place(m_core, panel, options, true, &Library::MakeCall).get());
}

void Library::cancel()
{
    m_core->Post([](Session& session) { session.Cancel(); });
}

bool Library::waitIdle(std::optional<Milliseconds> limit)
{
    m_core->CheckMayBlock();
    if (limit && limit->count() < 0)
        throw UsageError(Cause::InvalidArgument, "a time limit must not be negative");
    auto promise = std::make_shared<std::promise<bool>>();
    std::future<bool> done = promise->get_future();
    Core* core = m_core.get();
    std::optional<internal::Clock::time_point> deadline;
    if (limit)
        deadline = internal::Clock::now() + *limit;
    if (!m_core->Post([core, deadline, promise](Session& session) {
            session.WaitIdle(
                deadline, [core, promise](bool idle) { core->Deliver([promise, idle] { promise->set_value(idle); }); });
        }))
        return true; // stopped: nothing is on the line any more
    return done.get();
}

LineStatus Library::lineStatus() const
{
    m_core->CheckMayBlock();
    auto promise = std::make_shared<std::promise<LineStatus>>();
    std::future<LineStatus> done = promise->get_future();
    if (!m_core->Post([promise](Session& session) { promise->set_value(session.Status()); }))
        StoppedInfo().Throw();
    return done.get();
}

} // namespace vek
