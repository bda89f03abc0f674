#include "Core.h"
#include "Outcome.h"

#include <future>

namespace vek {
namespace {

using internal::Core;
using internal::ErrorInfo;
using internal::Outcome;
using internal::Ready;
using internal::Session;
using internal::StoppedInfo;

ErrorInfo MovedInfo()
{
    return {ErrorInfo::Kind::Usage, Cause::WrongState, "this Call was moved from", 0, {}, {}, {}, 0};
}

std::optional<ErrorInfo> InfoOf(const std::exception_ptr& error)
{
    if (!error)
        return std::nullopt;
    return ErrorInfo::From(error);
}

std::future<Outcome<Bytes>> StartRead(const std::shared_ptr<Core>& core,
                                      const std::shared_ptr<internal::CallState>& state, uint32_t address,
                                      uint32_t count, const TransferOptions& options)
{
    if (!state)
        return Ready<Bytes>(MovedInfo());
    auto promise = std::make_shared<std::promise<Outcome<Bytes>>>();
    std::future<Outcome<Bytes>> result = promise->get_future();
    Core* raw = core.get();
    const bool posted = core->Post([raw, state, address, count, options, promise](Session& session) {
        session.Read(state, address, count, options, [raw, promise](std::exception_ptr error, Bytes data) {
            raw->Deliver([promise, info = InfoOf(error), data = std::move(data)]() mutable {
                Outcome<Bytes> outcome;
                outcome.error = std::move(info);
                if (!outcome.error)
                    outcome.value = std::move(data);
                promise->set_value(std::move(outcome));
            });
        });
    });
    return posted ? std::move(result) : Ready<Bytes>(StoppedInfo());
}

std::future<Outcome<void>> StartWrite(const std::shared_ptr<Core>& core,
                                      const std::shared_ptr<internal::CallState>& state, uint32_t address, Bytes bytes,
                                      const TransferOptions& options)
{
    if (!state)
        return Ready<void>(MovedInfo());
    auto promise = std::make_shared<std::promise<Outcome<void>>>();
    std::future<Outcome<void>> result = promise->get_future();
    Core* raw = core.get();
    const bool posted = core->Post([raw, state, address, bytes = std::move(bytes), options, promise](Session& session) {
        session.Write(state, address, bytes, options, [raw, promise](std::exception_ptr error) {
            raw->Deliver([promise, info = InfoOf(error)] { promise->set_value(Outcome<void>{info}); });
        });
    });
    return posted ? std::move(result) : Ready<void>(StoppedInfo());
}

std::future<Outcome<void>> StartHangUp(const std::shared_ptr<Core>& core,
                                       const std::shared_ptr<internal::CallState>& state, bool force)
{
    if (!state)
        return Ready<void>(MovedInfo());
    auto promise = std::make_shared<std::promise<Outcome<void>>>();
    std::future<Outcome<void>> result = promise->get_future();
    Core* raw = core.get();
    if (!core->Post([raw, state, force, promise](Session& session) {
            session.HangUp(state, force, [raw, promise](std::exception_ptr error) {
                raw->Deliver([promise, info = InfoOf(error)] { promise->set_value(Outcome<void>{info}); });
            });
        }))
        return Ready<void>({}); // stopped: the stop hung up
    return result;
}

} // namespace

Call::Call(std::shared_ptr<Core> core, std::shared_ptr<internal::CallState> state)
    : m_core(std::move(core)), m_state(std::move(state))
{
}

Call::Call(Call&& other) noexcept = default;

Call& Call::operator=(Call&& other) noexcept
{
    if (this != &other) {
        if (m_state && m_state->open) {
            try {
                hangUp();
            } catch (...) {
            }
        }
        m_core = std::move(other.m_core);
        m_state = std::move(other.m_state);
    }
    return *this;
}

Call::~Call()
{
    if (!m_state || !m_state->open)
        return;
    try {
        if (m_core->OnCallbackThread()) {
            // No waiting here: start the hang-up and let it run.
            m_core->Post(
                [state = m_state](Session& session) { session.HangUp(state, false, [](std::exception_ptr) {}); });
            return;
        }
        hangUp();
    } catch (...) {
    }
}

void Call::readAsync(uint32_t address, uint32_t count, TransferOptions options, ReadCallback done)
{
    if (!done)
        throw UsageError(Cause::InvalidArgument, "the completion callback is empty");
    if (!m_state)
        MovedInfo().Throw();
    std::shared_ptr<Core> core = m_core;
    auto callback = std::make_shared<ReadCallback>(std::move(done));
    Core* raw = core.get();
    const bool posted = m_core->Post([raw, state = m_state, address, count, options, callback](Session& session) {
        session.Read(state, address, count, options, [raw, callback](std::exception_ptr error, Bytes data) {
            // The callback's own exception, made on the callback thread.
            raw->Deliver([callback, info = InfoOf(error), data = std::move(data)]() mutable {
                (*callback)(info ? info->Make() : nullptr, std::move(data));
            });
        });
    });
    if (!posted)
        StoppedInfo().Throw();
}

void Call::writeAsync(uint32_t address, Bytes bytes, TransferOptions options, WriteCallback done)
{
    if (!done)
        throw UsageError(Cause::InvalidArgument, "the completion callback is empty");
    if (!m_state)
        MovedInfo().Throw();
    auto callback = std::make_shared<WriteCallback>(std::move(done));
    Core* raw = m_core.get();
    const bool posted =
        m_core->Post([raw, state = m_state, address, bytes = std::move(bytes), options, callback](Session& session) {
            session.Write(state, address, bytes, options, [raw, callback](std::exception_ptr error) {
                raw->Deliver([callback, info = InfoOf(error)] { (*callback)(info ? info->Make() : nullptr); });
            });
        });
    if (!posted)
        StoppedInfo().Throw();
}

std::future<Bytes> Call::readAsync(uint32_t address, uint32_t count, TransferOptions options)
{
    return internal::Deferred<Bytes>(StartRead(m_core, m_state, address, count, options));
}

std::future<void> Call::writeAsync(uint32_t address, Bytes bytes, TransferOptions options)
{
    return internal::Deferred<void>(StartWrite(m_core, m_state, address, std::move(bytes), options));
}

Bytes Call::read(uint32_t address, uint32_t count, const TransferOptions& options)
{
    if (m_core)
        m_core->CheckMayBlock();
    return internal::Unwrap<Bytes>(StartRead(m_core, m_state, address, count, options).get());
}

void Call::write(uint32_t address, std::span<const uint8_t> bytes, const TransferOptions& options)
{
    if (m_core)
        m_core->CheckMayBlock();
    internal::Unwrap<void>(StartWrite(m_core, m_state, address, Bytes(bytes.begin(), bytes.end()), options).get());
}

void Call::hangUp()
{
    if (m_core)
        m_core->CheckMayBlock();
    internal::Unwrap<void>(StartHangUp(m_core, m_state, false).get());
}

void Call::forceHangUp()
{
    if (m_core)
        m_core->CheckMayBlock();
    internal::Unwrap<void>(StartHangUp(m_core, m_state, true).get());
}

void Call::cancel()
{
    if (m_core)
        m_core->Post([](Session& session) { session.Cancel(); });
}

bool Call::isOpen() const { return m_state && m_state->open; }

const Identification& Call::identification() const
{
    if (!m_state)
        MovedInfo().Throw();
    return m_state->identification;
}

const Panel& Call::panel() const
{
    if (!m_state)
        MovedInfo().Throw();
    return m_state->panel;
}

LineStatus Call::status() const
{
    if (!m_state)
        MovedInfo().Throw();
    m_core->CheckMayBlock();
    auto promise = std::make_shared<std::promise<LineStatus>>();
    std::future<LineStatus> done = promise->get_future();
    if (!m_core->Post([promise](Session& session) { promise->set_value(session.Status()); }))
        StoppedInfo().Throw();
    return done.get();
}

} // namespace vek
