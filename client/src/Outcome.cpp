#include "Outcome.h"

namespace vek::internal {

ErrorInfo ErrorInfo::From(const std::exception_ptr& error)
{
    ErrorInfo info;
    try {
        std::rethrow_exception(error);
    } catch (const TransferError& e) {
        info = {Kind::Transfer, e.cause(), e.what(), e.code(), e.panelReason(), e.hint(), e.data(), e.address()};
    } catch (const CallError& e) {
        info = {Kind::Call, e.cause(), e.what(), e.code(), e.panelReason(), e.hint(), {}, 0};
    } catch (const UsageError& e) {
        info = {Kind::Usage, e.cause(), e.what(), e.code(), e.panelReason(), e.hint(), {}, 0};
    } catch (const Error& e) {
        info = {Kind::Call, e.cause(), e.what(), e.code(), e.panelReason(), e.hint(), {}, 0};
    } catch (const std::exception& e) {
        info.text = e.what();
    } catch (...) {
        info.text = "an unknown failure";
    }
    return info;
}

std::exception_ptr ErrorInfo::Make() const
{
    try {
        Throw();
    } catch (...) {
        return std::current_exception();
    }
}

void ErrorInfo::Throw() const
{
    switch (kind) {
    case Kind::Usage: throw UsageError(cause, text, code, reason, hint);
    case Kind::Transfer: throw TransferError(CallError(cause, text, code, reason, hint), data, address);
    case Kind::Call: throw CallError(cause, text, code, reason, hint);
    case Kind::Other: break;
    }
    throw std::runtime_error(text);
}

} // namespace vek::internal
