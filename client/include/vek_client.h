/* vek_client.h - vek_client for C and any FFI: the library as a host of
 * vek_comm2, with opaque handles and functions that return a status.
 *
 *   vek_library* lib; vek_call* call; uint8_t bytes[16]; size_t got;
 *   vek_modem modem; vek_panel panel;
 *   vek_modem_defaults(&modem); modem.device = "/dev/ttyUSB0";
 *   vek_panel_defaults(&panel); panel.phone = "5551234";
 *   if (vek_library_create(NULL, &lib) != VEK_OK) ...
 *   vek_library_set_modem(lib, &modem);
 *   if (vek_library_dial(lib, &panel, NULL, &call) != VEK_OK)
 *       puts(vek_library_last_error(lib));
 *   vek_call_read(call, 0x0100, 16, bytes, sizeof bytes, NULL, &got);
 *   vek_call_destroy(call);   (hangs up)
 *   vek_library_destroy(lib);
 *
 * Every function checks its arguments and says what is wrong: the status,
 * and a text kept per handle (vek_library_last_error, vek_call_last_error)
 * until the next failing call on that handle. Any thread may call any
 * function; callbacks run on one thread of the library's, in order. Strings
 * given are copied before the function returns. */
#ifndef VEK_CLIENT_H
#define VEK_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#define VEK_CLIENT_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef enum vek_status {
    VEK_OK = 0,
    VEK_ERROR_ARGUMENT = 1, /* an argument is wrong; nothing was sent */
    VEK_ERROR_STATE = 2,    /* not now: no call, a closed call, a stopped library, inside a callback */
    VEK_ERROR_CALL = 3,     /* the panel, the modem or the line: see the error's cause */
    VEK_ERROR_TIMEOUT = 4,
    VEK_ERROR_CANCELLED = 5,
    VEK_ERROR_SYSTEM = 6 /* the library did not start, no memory */
} vek_status;

/* Why a call failed: the numbers of vek::Cause in <vek/client.hpp>. */
enum {
    VEK_CAUSE_NONE = 0,
    VEK_CAUSE_INVALID_ARGUMENT = 1,
    VEK_CAUSE_WRONG_STATE = 2,
    VEK_CAUSE_LIBRARY_START = 3,
    VEK_CAUSE_PORT_UNAVAILABLE = 4,
    VEK_CAUSE_MODEM_FAILED = 5,
    VEK_CAUSE_NO_DIALTONE = 6,
    VEK_CAUSE_BUSY = 7,
    VEK_CAUSE_NO_CARRIER = 8,
    VEK_CAUSE_NO_ANSWER = 9,
    VEK_CAUSE_DIAL_NO_RESULT = 10,
    VEK_CAUSE_NO_IDENTIFICATION = 11,
    VEK_CAUSE_WRONG_TYPE = 12,
    VEK_CAUSE_WRONG_VERSION = 13,
    VEK_CAUSE_OPEN_CODE_REFUSED = 14,
    VEK_CAUSE_REFUSED = 15,
    VEK_CAUSE_TRANSFER_REFUSED = 16,
    VEK_CAUSE_PANEL_ENDED_CALL = 17,
    VEK_CAUSE_SHORT_READ = 18,
    VEK_CAUSE_PANEL_SILENT = 19,
    VEK_CAUSE_BAD_REPLIES = 20,
    VEK_CAUSE_LINE_DROPPED = 21,
    VEK_CAUSE_DEVICE_GONE = 22,
    VEK_CAUSE_LINK_LOST = 23,
    VEK_CAUSE_IDLE_HANG_UP = 24,
    VEK_CAUSE_CALL_ENDED = 25,
    VEK_CAUSE_TIMED_OUT = 26,
    VEK_CAUSE_CANCELLED = 27,
    VEK_CAUSE_STOPPED = 28
};

typedef struct vek_library vek_library;
typedef struct vek_call vek_call;

/* The modem: fields as vek::Modem. NULL texts take the default. */
typedef struct vek_modem {
    int port;           /* 1 to 255 (1) */
    const char* device; /* NULL: VEK_COM<port>, else /dev/ttyS<port-1> */
    int speed;          /* bit/s (9600) */
    const char* init;   /* "ATE0S12=10" */
    const char* init2;
    const char* init3;
    const char* reset;      /* "ATZ" */
    const char* escape;     /* "+++" */
    const char* hang_up;    /* "ATH" */
    const char* tone_dial;  /* "DT" */
    const char* pulse_dial; /* "DP" */
    int answer_rings;       /* 1 */
    int pc_link;            /* nonzero: a direct cable, no modem */
    int extended;
    int line_2400;
    int attention;
    int options;
    int command_delay_ms;
    int char_delay_ms;
} vek_modem;

/* The panel: fields as vek::Panel. */
typedef struct vek_panel {
    const char* phone;     /* NULL: none (a direct link) */
    int link_mode;         /* 1 to 5 (2) */
    int type;              /* 19 */
    int version;           /* 2 */
    const char* open_code; /* hexadecimal ("1234") */
    const char* id_code;   /* hexadecimal (none) */
    unsigned options;      /* 16-bit panel option bits */
    unsigned link_options; /* 8-bit */
    int line_speed;
    int second_speed;
    int direct_speed;
    int idle_a;
    int idle_b;
    uint32_t host_flags;
} vek_panel;

typedef struct vek_event {
    int code;         /* the notification code; 0 for the idle disconnect */
    const char* name; /* "session opened", ... */
    int64_t at_ms;    /* since the library started */
    const uint8_t* block; /* the data block it carried, or NULL */
    size_t block_size;
} vek_event;

/* Runs on the library's callback thread; the event is valid during the call. */
typedef void (*vek_event_fn)(void* context, const vek_event* event);

typedef struct vek_library_options {
    const char* data_folder; /* folder of Trv3.mdm; NULL: the executable's */
    vek_event_fn on_event;   /* may be NULL */
    void* event_context;
    int hang_up_timeout_ms;  /* 0: 60000 */
    const char* lock_folder; /* NULL: VEK_LOCK_DIR, else /var/lock */
} vek_library_options;

typedef struct vek_call_options {
    int timeout_ms; /* bounds each wait; 0: as long as the library may take */
} vek_call_options;

typedef void (*vek_progress_fn)(void* context, uint32_t done, uint32_t total);

typedef struct vek_transfer_options {
    int timeout_ms;   /* each request; 0: the call's */
    uint32_t chunk;   /* the largest request; 0: the link mode's largest */
    int command;      /* the command byte; -1: the link mode's */
    vek_progress_fn progress; /* may be NULL */
    void* progress_context;
} vek_transfer_options;

typedef struct vek_identification {
    int incoming;
    int type;
    int version;
    int sub_version;
    int flags;
    uint8_t id_bytes[3];
    uint8_t extra[3];
    char format[32];
    uint8_t reply[200];
    size_t reply_size;
} vek_identification;

typedef struct vek_line_status {
    int efficiency;
    int retries;
    int line_speed;
    uint64_t bytes_sent;
    uint64_t bytes_received;
    uint64_t frames_sent;
    uint64_t resends;
} vek_line_status;

/* What the last failing call on a handle said. */
typedef struct vek_error {
    vek_status status;
    int cause;        /* VEK_CAUSE_... */
    int code;         /* the library's notification code, 0 when none */
    int panel_reason; /* -1 when the panel gave none */
    const char* text; /* the whole message */
    const char* hint; /* what to try; "" when nothing */
    uint32_t address; /* a failed transfer: the address of its failed request */
    size_t bytes_done; /* a failed read: the bytes read before the failure, now in the buffer */
} vek_error;

VEK_CLIENT_EXPORT void vek_modem_defaults(vek_modem* modem);
VEK_CLIENT_EXPORT void vek_panel_defaults(vek_panel* panel);
VEK_CLIENT_EXPORT void vek_transfer_defaults(vek_transfer_options* options);

/* One library per process. options may be NULL. On failure *library is
 * NULL and vek_library_last_error(NULL) holds the text. */
VEK_CLIENT_EXPORT vek_status vek_library_create(const vek_library_options* options, vek_library** library);
/* Hangs up a call in progress, stops the library, frees the handle; calls
 * still held must not be used afterwards except by vek_call_destroy. */
VEK_CLIENT_EXPORT void vek_library_destroy(vek_library* library);
VEK_CLIENT_EXPORT vek_status vek_library_set_modem(vek_library* library, const vek_modem* modem);
/* options may be NULL. */
VEK_CLIENT_EXPORT vek_status vek_library_dial(vek_library* library, const vek_panel* panel,
                                              const vek_call_options* options, vek_call** call);
VEK_CLIENT_EXPORT vek_status vek_library_answer(vek_library* library, const vek_panel* panel,
                                                const vek_call_options* options, vek_call** call);
VEK_CLIENT_EXPORT vek_status vek_library_cancel(vek_library* library);
/* 1 once a call being ended is on hook, 0 when timeout_ms (-1: none) passed. */
VEK_CLIENT_EXPORT vek_status vek_library_wait_idle(vek_library* library, int timeout_ms, int* idle);
/* The text of the last failure on the handle; "" when none. NULL: of the
 * last vek_library_create that failed. */
VEK_CLIENT_EXPORT const char* vek_library_last_error(const vek_library* library);
VEK_CLIENT_EXPORT vek_status vek_library_error(const vek_library* library, vek_error* error);

/* Reads count bytes into buffer (capacity at least count); *got the bytes
 * read (on a failure: read before it). options may be NULL. */
VEK_CLIENT_EXPORT vek_status vek_call_read(vek_call* call, uint32_t address, uint32_t count, uint8_t* buffer,
                                           size_t capacity, const vek_transfer_options* options, size_t* got);
VEK_CLIENT_EXPORT vek_status vek_call_write(vek_call* call, uint32_t address, const uint8_t* data, size_t count,
                                            const vek_transfer_options* options);
/* done runs on the callback thread: the status, the bytes (read) and the
 * error text ("" on success), valid during the call. */
typedef void (*vek_read_done_fn)(void* context, vek_status status, const uint8_t* data, size_t size,
                                 const char* error);
typedef void (*vek_write_done_fn)(void* context, vek_status status, const char* error);
VEK_CLIENT_EXPORT vek_status vek_call_read_async(vek_call* call, uint32_t address, uint32_t count,
                                                 const vek_transfer_options* options, vek_read_done_fn done,
                                                 void* context);
VEK_CLIENT_EXPORT vek_status vek_call_write_async(vek_call* call, uint32_t address, const uint8_t* data, size_t count,
                                                  const vek_transfer_options* options, vek_write_done_fn done,
                                                  void* context);
VEK_CLIENT_EXPORT vek_status vek_call_hang_up(vek_call* call);
VEK_CLIENT_EXPORT vek_status vek_call_force_hang_up(vek_call* call);
VEK_CLIENT_EXPORT vek_status vek_call_cancel(vek_call* call);
VEK_CLIENT_EXPORT int vek_call_is_open(const vek_call* call);
VEK_CLIENT_EXPORT vek_status vek_call_identification(const vek_call* call, vek_identification* identification);
VEK_CLIENT_EXPORT vek_status vek_call_status(vek_call* call, vek_line_status* status);
VEK_CLIENT_EXPORT const char* vek_call_last_error(const vek_call* call);
VEK_CLIENT_EXPORT vek_status vek_call_error(const vek_call* call, vek_error* error);
/* Hangs up when still up and frees the handle. */
VEK_CLIENT_EXPORT void vek_call_destroy(vek_call* call);

VEK_CLIENT_EXPORT const char* vek_notification_name(int code);
VEK_CLIENT_EXPORT const char* vek_cause_name(int cause);

#ifdef __cplusplus
}
#endif

#endif /* VEK_CLIENT_H */
