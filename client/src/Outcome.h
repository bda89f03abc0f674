// What crosses from the host thread to a waiting API thread: a value or an
// error as plain data. The exception is made and dropped on the thread that
// throws it, never shared between threads (its count lives in the runtime,
// out of sight of the thread checker).
#pragma once

#include "vek/client.hpp"

#include <exception>
#include <future>
#include <memory>
#include <optional>
#include <string>

namespace vek::internal {

struct ErrorInfo {
    enum class Kind { Usage, Call, Transfer, Other };
    Kind kind = Kind::Other;
    Cause cause = Cause::None;
    std::string text;
    int code = 0;
    std::optional<int> reason;
    std::string hint;
    Bytes data;
    uint32_t address = 0;

    static ErrorInfo From(const std::exception_ptr& error);
    std::exception_ptr Make() const;
    [[noreturn]] void Throw() const;
};

template <typename T> struct Outcome {
    std::optional<T> value;
    std::optional<ErrorInfo> error;
};

template <> struct Outcome<void> {
    std::optional<ErrorInfo> error;
};

template <typename T> using OutcomePromise = std::shared_ptr<std::promise<Outcome<T>>>;

template <typename T> T Unwrap(Outcome<T> outcome)
{
    if (outcome.error)
        outcome.error->Throw();
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

// The error of every member called after the library stopped.
inline ErrorInfo StoppedInfo()
{
    return {ErrorInfo::Kind::Usage, Cause::Stopped, "the library has stopped", 0, {}, {}, {}, 0};
}

// A future that already holds its error: the work was never posted.
template <typename T> std::future<Outcome<T>> Ready(ErrorInfo error)
{
    std::promise<Outcome<T>> promise;
    Outcome<T> outcome;
    outcome.error = std::move(error);
    promise.set_value(std::move(outcome));
    return promise.get_future();
}

// A future whose error is made on the thread that asks for it.
template <typename T> std::future<T> Deferred(std::future<Outcome<T>> inner)
{
    return std::async(std::launch::deferred,
                      [inner = std::move(inner)]() mutable -> T { return Unwrap<T>(inner.get()); });
}

} // namespace vek::internal
