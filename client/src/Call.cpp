#include "Core.h"

#include <future>

namespace vek {
namespace {

using internal::Core;
using internal::Session;

std::exception_ptr StoppedError() { return std::make_exception_ptr(UsageError(Cause::Stopped, "the library has stopped")); }
std::exception_ptr MovedError() { return std::make_exception_ptr(UsageError(Cause::WrongState, "this Call was moved from")); }

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
            m_core->Post([state = m_state](Session& session) { session.HangUp(state, false, [](std::exception_ptr) {}); });
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
        std::rethrow_exception(MovedError());
    std::shared_ptr<Core> core = m_core;
    auto callback = std::make_shared<ReadCallback>(std::move(done));
    const bool posted = m_core->Post([core, state = m_state, address, count, options, callback](Session& session) {
        session.Read(state, address, count, options, [core, callback](std::exception_ptr error, Bytes data) {
            core->Deliver([callback, error, data = std::move(data)]() mutable { (*callback)(error, std::move(data)); });
        });
    });
    if (!posted)
        std::rethrow_exception(StoppedError());
}

void Call::writeAsync(uint32_t address, Bytes bytes, TransferOptions options, WriteCallback done)
{
    if (!done)
        throw UsageError(Cause::InvalidArgument, "the completion callback is empty");
    if (!m_state)
        std::rethrow_exception(MovedError());
    std::shared_ptr<Core> core = m_core;
    auto callback = std::make_shared<WriteCallback>(std::move(done));
    const bool posted =
        m_core->Post([core, state = m_state, address, bytes = std::move(bytes), options, callback](Session& session) {
            session.Write(state, address, bytes, options, [core, callback](std::exception_ptr error) {
                core->Deliver([callback, error] { (*callback)(error); });
            });
        });
    if (!posted)
        std::rethrow_exception(StoppedError());
}

std::future<Bytes> Call::readAsync(uint32_t address, uint32_t count, TransferOptions options)
{
    auto promise = std::make_shared<std::promise<Bytes>>();
    std::future<Bytes> result = promise->get_future();
    try {
        readAsync(address, count, std::move(options), [promise](std::exception_ptr error, Bytes data) {
            error ? promise->set_exception(error) : promise->set_value(std::move(data));
        });
    } catch (...) {
        promise->set_exception(std::current_exception());
    }
    return result;
}

std::future<void> Call::writeAsync(uint32_t address, Bytes bytes, TransferOptions options)
{
    auto promise = std::make_shared<std::promise<void>>();
    std::future<void> result = promise->get_future();
    try {
        writeAsync(address, std::move(bytes), std::move(options),
                   [promise](std::exception_ptr error) { error ? promise->set_exception(error) : promise->set_value(); });
    } catch (...) {
        promise->set_exception(std::current_exception());
    }
    return result;
}

Bytes Call::read(uint32_t address, uint32_t count, const TransferOptions& options)
{
    if (m_core)
        m_core->CheckMayBlock();
    return readAsync(address, count, options).get();
}

void Call::write(uint32_t address, std::span<const uint8_t> bytes, const TransferOptions& options)
{
    if (m_core)
        m_core->CheckMayBlock();
    writeAsync(address, Bytes(bytes.begin(), bytes.end()), options).get();
}

namespace {

void HangUpCall(const std::shared_ptr<Core>& core, const std::shared_ptr<internal::CallState>& state, bool force)
{
    if (!state)
        std::rethrow_exception(MovedError());
    core->CheckMayBlock();
    auto promise = std::make_shared<std::promise<void>>();
    std::future<void> done = promise->get_future();
    Core* raw = core.get();
    if (!core->Post([raw, state, force, promise](Session& session) {
            session.HangUp(state, force, [raw, promise](std::exception_ptr error) {
                raw->Deliver([promise, error] { error ? promise->set_exception(error) : promise->set_value(); });
            });
        }))
        return; // stopped: the stop hung up
    done.get();
}

} // namespace

void Call::hangUp() { HangUpCall(m_core, m_state, false); }

void Call::forceHangUp() { HangUpCall(m_core, m_state, true); }

void Call::cancel()
{
    if (m_core)
        m_core->Post([](Session& session) { session.Cancel(); });
}

bool Call::isOpen() const { return m_state && m_state->open; }

const Identification& Call::identification() const
{
    if (!m_state)
        std::rethrow_exception(MovedError());
    return m_state->identification;
}

const Panel& Call::panel() const
{
    if (!m_state)
        std::rethrow_exception(MovedError());
    return m_state->panel;
}

LineStatus Call::status() const
{
    if (!m_state)
        std::rethrow_exception(MovedError());
    m_core->CheckMayBlock();
    auto promise = std::make_shared<std::promise<LineStatus>>();
    std::future<LineStatus> done = promise->get_future();
    if (!m_core->Post([promise](Session& session) { promise->set_value(session.Status()); }))
        std::rethrow_exception(StoppedError());
    return done.get();
}

} // namespace vek
