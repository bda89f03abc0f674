// The C++ API: each member posts its work to the host thread and, for the
// blocking forms, waits for the completion the callback thread hands over.
#include "Core.h"

#include <future>

namespace vek {
namespace {

using internal::Core;
using internal::Session;

template <typename T> std::future<T> Failed(const std::exception_ptr& error)
{
    std::promise<T> promise;
    promise.set_exception(error);
    return promise.get_future();
}

std::exception_ptr StoppedError() { return std::make_exception_ptr(UsageError(Cause::Stopped, "the library has stopped")); }

} // namespace

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
    auto promise = std::make_shared<std::promise<void>>();
    std::future<void> done = promise->get_future();
    Core* core = m_core.get();
    const bool posted = m_core->Post([core, modem, promise](Session& session) {
        session.SetModem(modem, [core, promise](std::exception_ptr error) {
            core->Deliver([promise, error] { error ? promise->set_exception(error) : promise->set_value(); });
        });
    });
    if (!posted)
        std::rethrow_exception(StoppedError());
    done.get();
}

std::future<Call> Library::dialAsync(const Panel& panel, const CallOptions& options)
{
    auto promise = std::make_shared<std::promise<Call>>();
    std::future<Call> result = promise->get_future();
    std::shared_ptr<Core> core = m_core;
    const bool posted = m_core->Post([core, panel, options, promise](Session& session) {
        session.Dial(panel, options, [core, promise](std::exception_ptr error, std::shared_ptr<internal::CallState> s) {
            core->Deliver([core, promise, error, s] {
                if (error)
                    promise->set_exception(error);
                else
                    promise->set_value(Call(core, s));
            });
        });
    });
    return posted ? std::move(result) : Failed<Call>(StoppedError());
}

std::future<Call> Library::answerAsync(const Panel& panel, const CallOptions& options)
{
    auto promise = std::make_shared<std::promise<Call>>();
    std::future<Call> result = promise->get_future();
    std::shared_ptr<Core> core = m_core;
    const bool posted = m_core->Post([core, panel, options, promise](Session& session) {
        session.Answer(panel, options, [core, promise](std::exception_ptr error, std::shared_ptr<internal::CallState> s) {
            core->Deliver([core, promise, error, s] {
                if (error)
                    promise->set_exception(error);
                else
                    promise->set_value(Call(core, s));
            });
        });
    });
    return posted ? std::move(result) : Failed<Call>(StoppedError());
}

Call Library::dial(const Panel& panel, const CallOptions& options)
{
    m_core->CheckMayBlock();
    return dialAsync(panel, options).get();
}

Call Library::answer(const Panel& panel, const CallOptions& options)
{
    m_core->CheckMayBlock();
    return answerAsync(panel, options).get();
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
            session.WaitIdle(deadline, [core, promise](bool idle) { core->Deliver([promise, idle] { promise->set_value(idle); }); });
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
        std::rethrow_exception(StoppedError());
    return done.get();
}

} // namespace vek
