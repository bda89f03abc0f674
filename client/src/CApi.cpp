// The C API: handles around the C++ objects, each keeping the last error it
// saw; no exception crosses into C.
#include "vek/client.hpp"
#include "vek_client.h"

#include <cstring>
#include <mutex>
#include <new>

namespace {

using vek::Cause;

// The last failure on one handle. Any thread may fail on a handle; the
// text stays until the next failure.
struct ErrorSlot {
    mutable std::mutex mutex; // guards everything below
    vek_status status = VEK_OK;
    int cause = 0;
    int code = 0;
    int reason = -1;
    std::string text;
    std::string hint;
    uint32_t address = 0;
    size_t bytesDone = 0;
};

vek_status StatusOf(const vek::Error& error)
{
    switch (error.cause()) {
    case Cause::InvalidArgument: return VEK_ERROR_ARGUMENT;
    case Cause::WrongState:
    case Cause::Stopped: return VEK_ERROR_STATE;
    case Cause::TimedOut: return VEK_ERROR_TIMEOUT;
    case Cause::Cancelled: return VEK_ERROR_CANCELLED;
    case Cause::LibraryStart: return VEK_ERROR_SYSTEM;
    default: return VEK_ERROR_CALL;
    }
}

vek_status Set(ErrorSlot& slot, vek_status status, int cause, const std::string& text, int code = 0, int reason = -1,
               const std::string& hint = {}, uint32_t address = 0, size_t bytesDone = 0)
{
    std::lock_guard lock(slot.mutex);
    slot.status = status;
    slot.cause = cause;
    slot.code = code;
    slot.reason = reason;
    slot.text = text;
    slot.hint = hint;
    slot.address = address;
    slot.bytesDone = bytesDone;
    return status;
}

vek_status Argument(ErrorSlot& slot, const std::string& text)
{
    return Set(slot, VEK_ERROR_ARGUMENT, VEK_CAUSE_INVALID_ARGUMENT, text);
}

vek_status FromError(ErrorSlot& slot, const vek::Error& error, uint32_t address = 0, size_t bytesDone = 0)
{
    return Set(slot, StatusOf(error), static_cast<int>(error.cause()), error.what(), error.code(),
               error.panelReason().value_or(-1), error.hint(), address, bytesDone);
}

// Runs the C++ call, turning every exception into the slot's status.
template <typename F> vek_status Guard(ErrorSlot& slot, F&& body)
{
    try {
        body();
        return VEK_OK;
    } catch (const vek::TransferError& e) {
        return FromError(slot, e, e.address(), e.data().size());
    } catch (const vek::Error& e) {
        return FromError(slot, e);
    } catch (const std::bad_alloc&) {
        return Set(slot, VEK_ERROR_SYSTEM, VEK_CAUSE_NONE, "out of memory");
    } catch (const std::exception& e) {
        return Set(slot, VEK_ERROR_SYSTEM, VEK_CAUSE_NONE, e.what());
    }
}

const char* Text(const ErrorSlot& slot)
{
    std::lock_guard lock(slot.mutex);
    return slot.text.c_str();
}

vek_status Describe(const ErrorSlot& slot, vek_error* out)
{
    if (out == nullptr)
        return VEK_ERROR_ARGUMENT;
    std::lock_guard lock(slot.mutex);
    *out = vek_error{slot.status,      slot.cause,        slot.code,    slot.reason,
                     slot.text.c_str(), slot.hint.c_str(), slot.address, slot.bytesDone};
    return VEK_OK;
}

// The error of a vek_library_create that failed: there is no handle yet.
thread_local ErrorSlot t_createError;

std::string TextOr(const char* text, const std::string& fallback) { return text != nullptr ? text : fallback; }

bool ToModem(const vek_modem& m, vek::Modem& out, std::string& error)
{
    const vek::Modem defaults;
    out.port = m.port;
    out.device = TextOr(m.device, "");
    out.speed = m.speed;
    out.init = TextOr(m.init, defaults.init);
    out.init2 = TextOr(m.init2, defaults.init2);
    out.init3 = TextOr(m.init3, defaults.init3);
    out.reset = TextOr(m.reset, defaults.reset);
    out.escape = TextOr(m.escape, defaults.escape);
    out.hangUp = TextOr(m.hang_up, defaults.hangUp);
    out.toneDial = TextOr(m.tone_dial, defaults.toneDial);
    out.pulseDial = TextOr(m.pulse_dial, defaults.pulseDial);
    out.answerRings = m.answer_rings;
    out.pcLink = m.pc_link != 0;
    out.extended = m.extended != 0;
    out.line2400 = m.line_2400 != 0;
    out.attention = m.attention != 0;
    out.options = m.options;
    out.commandDelayMs = m.command_delay_ms;
    out.charDelayMs = m.char_delay_ms;
    error = vek::checkModem(out);
    if (!error.empty())
        error = "modem: " + error;
    return error.empty();
}

bool ToPanel(const vek_panel& p, vek::Panel& out, std::string& error)
{
    const vek::Panel defaults;
    if (p.options > 0xFFFF) {
        error = "panel: options " + std::to_string(p.options) + " is not a 16-bit number";
        return false;
    }
    if (p.link_options > 0xFF) {
        error = "panel: link options " + std::to_string(p.link_options) + " is not an 8-bit number";
        return false;
    }
    out.phone = TextOr(p.phone, "");
    out.linkMode = p.link_mode;
    out.type = p.type;
    out.version = p.version;
    out.openCode = TextOr(p.open_code, defaults.openCode);
    out.idCode = TextOr(p.id_code, "");
    out.options = static_cast<uint16_t>(p.options);
    out.linkOptions = static_cast<uint8_t>(p.link_options);
    out.lineSpeed = p.line_speed;
    out.secondSpeed = p.second_speed;
    out.directSpeed = p.direct_speed;
    out.idleA = p.idle_a;
    out.idleB = p.idle_b;
    out.hostFlags = p.host_flags;
    error = vek::checkPanel(out);
    if (!error.empty())
        error = "panel: " + error;
    return error.empty();
}

bool ToCallOptions(const vek_call_options* options, vek::CallOptions& out, std::string& error)
{
    if (options == nullptr)
        return true;
    if (options->timeout_ms < 0) {
        error = "timeout_ms " + std::to_string(options->timeout_ms) + " is negative";
        return false;
    }
    if (options->timeout_ms > 0)
        out.timeout = vek::Milliseconds(options->timeout_ms);
    return true;
}

bool ToTransferOptions(const vek_transfer_options* options, vek::TransferOptions& out, std::string& error)
{
    if (options == nullptr)
        return true;
    if (options->timeout_ms < 0) {
        error = "timeout_ms " + std::to_string(options->timeout_ms) + " is negative";
        return false;
    }
    if (options->command < -1 || options->command > 255) {
        error = "command " + std::to_string(options->command) + " is not a byte (or -1)";
        return false;
    }
    if (options->timeout_ms > 0)
        out.timeout = vek::Milliseconds(options->timeout_ms);
    out.chunk = options->chunk;
    if (options->command >= 0)
        out.command = static_cast<uint8_t>(options->command);
    if (options->progress != nullptr)
        out.progress = [fn = options->progress, context = options->progress_context](uint32_t done, uint32_t total) {
            fn(context, done, total);
        };
    return true;
}

} // namespace

struct vek_library {
    ErrorSlot error;
    std::unique_ptr<vek::Library> library;
};

struct vek_call {
    ErrorSlot error;
    vek::Call call;
};

extern "C" {

void vek_modem_defaults(vek_modem* modem)
{
    if (modem == nullptr)
        return;
    const vek::Modem d;
    *modem = vek_modem{};
    modem->port = d.port;
    modem->speed = d.speed;
    modem->answer_rings = d.answerRings;
}

void vek_panel_defaults(vek_panel* panel)
{
    if (panel == nullptr)
        return;
    const vek::Panel d;
    *panel = vek_panel{};
    panel->link_mode = d.linkMode;
    panel->type = d.type;
    panel->version = d.version;
}

void vek_transfer_defaults(vek_transfer_options* options)
{
    if (options == nullptr)
        return;
    *options = vek_transfer_options{};
    options->command = -1;
}

vek_status vek_library_create(const vek_library_options* options, vek_library** library)
{
    if (library == nullptr)
        return Argument(t_createError, "library: the handle's address is NULL");
    *library = nullptr;
    vek::LibraryOptions settings;
    if (options != nullptr) {
        if (options->hang_up_timeout_ms < 0)
            return Argument(t_createError, "hang_up_timeout_ms is negative");
        settings.dataFolder = TextOr(options->data_folder, "");
        settings.lockFolder = TextOr(options->lock_folder, "");
        if (options->hang_up_timeout_ms > 0)
            settings.hangUpTimeout = vek::Milliseconds(options->hang_up_timeout_ms);
        if (options->on_event != nullptr)
            settings.onEvent = [fn = options->on_event, context = options->event_context](const vek::Notification& e) {
                const vek_event event{e.code, e.name.c_str(), e.at.count(), e.block.empty() ? nullptr : e.block.data(),
                                      e.block.size()};
                fn(context, &event);
            };
    }
    auto handle = std::unique_ptr<vek_library>(new (std::nothrow) vek_library);
    if (!handle)
        return Set(t_createError, VEK_ERROR_SYSTEM, VEK_CAUSE_NONE, "out of memory");
    const vek_status status =
        Guard(t_createError, [&] { handle->library = std::make_unique<vek::Library>(std::move(settings)); });
    if (status == VEK_OK)
        *library = handle.release();
    return status;
}

void vek_library_destroy(vek_library* library)
{
    delete library; // the Library's destructor hangs up and joins
}

vek_status vek_library_set_modem(vek_library* library, const vek_modem* modem)
{
    if (library == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (modem == nullptr)
        return Argument(library->error, "modem is NULL");
    vek::Modem settings;
    std::string error;
    if (!ToModem(*modem, settings, error))
        return Argument(library->error, error);
    return Guard(library->error, [&] { library->library->setModem(settings); });
}

static vek_status Place(vek_library* library, const vek_panel* panel, const vek_call_options* options, vek_call** call,
                        bool answer)
{
    if (library == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (call == nullptr)
        return Argument(library->error, "call: the handle's address is NULL");
    *call = nullptr;
    if (panel == nullptr)
        return Argument(library->error, "panel is NULL");
    vek::Panel settings;
    vek::CallOptions callOptions;
    std::string error;
    if (!ToPanel(*panel, settings, error) || !ToCallOptions(options, callOptions, error))
        return Argument(library->error, error);
    return Guard(library->error, [&] {
        vek::Call placed =
            answer ? library->library->answer(settings, callOptions) : library->library->dial(settings, callOptions);
        *call = new vek_call{{}, std::move(placed)};
    });
}

vek_status vek_library_dial(vek_library* library, const vek_panel* panel, const vek_call_options* options,
                            vek_call** call)
{
    return Place(library, panel, options, call, false);
}

vek_status vek_library_answer(vek_library* library, const vek_panel* panel, const vek_call_options* options,
                              vek_call** call)
{
    return Place(library, panel, options, call, true);
}

vek_status vek_library_cancel(vek_library* library)
{
    if (library == nullptr)
        return VEK_ERROR_ARGUMENT;
    return Guard(library->error, [&] { library->library->cancel(); });
}

vek_status vek_library_wait_idle(vek_library* library, int timeout_ms, int* idle)
{
    if (library == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (idle == nullptr)
        return Argument(library->error, "idle is NULL");
    if (timeout_ms < -1)
        return Argument(library->error, "timeout_ms " + std::to_string(timeout_ms) + " is neither -1 nor a time");
    std::optional<vek::Milliseconds> limit;
    if (timeout_ms >= 0)
        limit = vek::Milliseconds(timeout_ms);
    return Guard(library->error, [&] { *idle = library->library->waitIdle(limit) ? 1 : 0; });
}

const char* vek_library_last_error(const vek_library* library)
{
    return library == nullptr ? Text(t_createError) : Text(library->error);
}

vek_status vek_library_error(const vek_library* library, vek_error* error)
{
    return Describe(library == nullptr ? t_createError : library->error, error);
}

vek_status vek_call_read(vek_call* call, uint32_t address, uint32_t count, uint8_t* buffer, size_t capacity,
                         const vek_transfer_options* options, size_t* got)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (got != nullptr)
        *got = 0;
    if (buffer == nullptr)
        return Argument(call->error, "buffer is NULL");
    if (capacity < count)
        return Argument(call->error, "the buffer holds " + std::to_string(capacity) + " bytes, fewer than the " +
                                         std::to_string(count) + " asked for");
    vek::TransferOptions settings;
    std::string error;
    if (!ToTransferOptions(options, settings, error))
        return Argument(call->error, error);
    try {
        const vek::Bytes data = call->call.read(address, count, settings);
        std::memcpy(buffer, data.data(), data.size());
        if (got != nullptr)
            *got = data.size();
        return VEK_OK;
    } catch (const vek::TransferError& e) {
        // What was read before the failure is the host's all the same.
        const size_t kept = std::min(e.data().size(), capacity);
        std::memcpy(buffer, e.data().data(), kept);
        if (got != nullptr)
            *got = kept;
        return FromError(call->error, e, e.address(), kept);
    } catch (...) {
        return Guard(call->error, [] { throw; });
    }
}

vek_status vek_call_write(vek_call* call, uint32_t address, const uint8_t* data, size_t count,
                          const vek_transfer_options* options)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (data == nullptr && count > 0)
        return Argument(call->error, "data is NULL");
    vek::TransferOptions settings;
    std::string error;
    if (!ToTransferOptions(options, settings, error))
        return Argument(call->error, error);
    return Guard(call->error, [&] { call->call.write(address, std::span<const uint8_t>(data, count), settings); });
}

vek_status vek_call_read_async(vek_call* call, uint32_t address, uint32_t count, const vek_transfer_options* options,
                               vek_read_done_fn done, void* context)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (done == nullptr)
        return Argument(call->error, "done is NULL");
    vek::TransferOptions settings;
    std::string error;
    if (!ToTransferOptions(options, settings, error))
        return Argument(call->error, error);
    return Guard(call->error, [&] {
        call->call.readAsync(address, count, settings, [done, context](std::exception_ptr error, vek::Bytes data) {
            if (!error)
                return done(context, VEK_OK, data.data(), data.size(), "");
            try {
                std::rethrow_exception(error);
            } catch (const vek::TransferError& e) {
                done(context, StatusOf(e), e.data().data(), e.data().size(), e.what());
            } catch (const vek::Error& e) {
                done(context, StatusOf(e), nullptr, 0, e.what());
            }
        });
    });
}

vek_status vek_call_write_async(vek_call* call, uint32_t address, const uint8_t* data, size_t count,
                                const vek_transfer_options* options, vek_write_done_fn done, void* context)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (done == nullptr)
        return Argument(call->error, "done is NULL");
    if (data == nullptr && count > 0)
        return Argument(call->error, "data is NULL");
    vek::TransferOptions settings;
    std::string error;
    if (!ToTransferOptions(options, settings, error))
        return Argument(call->error, error);
    return Guard(call->error, [&] {
        call->call.writeAsync(address, vek::Bytes(data, data + count), settings,
                              [done, context](std::exception_ptr failure) {
                                  if (!failure)
                                      return done(context, VEK_OK, "");
                                  try {
                                      std::rethrow_exception(failure);
                                  } catch (const vek::Error& e) {
                                      done(context, StatusOf(e), e.what());
                                  }
                              });
    });
}

static vek_status HangUp(vek_call* call, bool force)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    return Guard(call->error, [&] { force ? call->call.forceHangUp() : call->call.hangUp(); });
}

vek_status vek_call_hang_up(vek_call* call) { return HangUp(call, false); }

vek_status vek_call_force_hang_up(vek_call* call) { return HangUp(call, true); }

vek_status vek_call_cancel(vek_call* call)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    return Guard(call->error, [&] { call->call.cancel(); });
}

int vek_call_is_open(const vek_call* call) { return call != nullptr && call->call.isOpen() ? 1 : 0; }

vek_status vek_call_identification(const vek_call* call, vek_identification* out)
{
    if (call == nullptr || out == nullptr)
        return VEK_ERROR_ARGUMENT;
    const vek::Identification& id = call->call.identification();
    *out = vek_identification{};
    out->incoming = id.incoming ? 1 : 0;
    out->type = id.type;
    out->version = id.version;
    out->sub_version = id.subVersion;
    out->flags = id.flags;
    std::memcpy(out->id_bytes, id.idBytes.data(), 3);
    std::memcpy(out->extra, id.extra.data(), 3);
    std::strncpy(out->format, id.format.c_str(), sizeof out->format - 1);
    out->reply_size = std::min(id.reply.size(), sizeof out->reply);
    std::memcpy(out->reply, id.reply.data(), out->reply_size);
    return VEK_OK;
}

vek_status vek_call_status(vek_call* call, vek_line_status* out)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    if (out == nullptr)
        return Argument(call->error, "status is NULL");
    return Guard(call->error, [&] {
        const vek::LineStatus s = call->call.status();
        *out = vek_line_status{s.efficiency, s.retries, s.lineSpeed, s.bytesSent, s.bytesReceived, s.framesSent,
                               s.resends};
    });
}

const char* vek_call_last_error(const vek_call* call) { return call == nullptr ? "" : Text(call->error); }

vek_status vek_call_error(const vek_call* call, vek_error* error)
{
    if (call == nullptr)
        return VEK_ERROR_ARGUMENT;
    return Describe(call->error, error);
}

void vek_call_destroy(vek_call* call)
{
    delete call; // the Call's destructor hangs up a call still up
}

const char* vek_notification_name(int code)
{
    static thread_local std::string name;
    name = vek::notificationName(code);
    return name.c_str();
}

const char* vek_cause_name(int cause)
{
    if (cause < 0 || cause > static_cast<int>(Cause::Stopped))
        return "unknown";
    return vek::causeName(static_cast<Cause>(cause)).data();
}

} // extern "C"
