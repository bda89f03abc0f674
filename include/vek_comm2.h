/* vek_comm2.h - the sixteen exported functions of the alarm panel
 * communications library, the layout of the host records and every message
 * and notification code the library sends to its host. C and C++. */
#ifndef VEK_COMM2_H
#define VEK_COMM2_H

/* Windows hosts get the system's window, message and memory types; hosts
 * elsewhere get the stand-ins of vek_host.h. */
#if defined(_WIN32)
#include <windows.h>
/* The one switch for how the sixteen functions leave and enter the DLL. */
#if defined(VEK_BUILDING_LIBRARY)
#define VEK_API __declspec(dllexport)
#elif defined(VEK_STATIC_LINK)
#define VEK_API
#else
#define VEK_API __declspec(dllimport)
#endif
#define VEK_CALL __cdecl
#else
#include "vek_host.h"
#define VEK_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Window messages ------------------------------------------------- */
#define VEK_WM_COMM_NOTICE 1025u       /* worker -> status dialog: notice */
#define VEK_WM_COMM_STEP_DONE 1026u    /* worker -> status dialog: step done */
#define VEK_WM_COMM_KEEPALIVE 1028u    /* worker -> status dialog: idle */
#define VEK_WM_COMM_HOST_NOTIFY 1075u  /* status dialog -> host main window */
#define VEK_CMD_IDLE_DISCONNECT 40413u /* WM_COMMAND id to the record window */
#define VEK_CMD_HANGUP_BUTTON 6010u    /* WM_COMMAND id of the Hangup button */

/* ---- Notification codes (wParam of 1075) ----------------------------- */
#define VEK_NOTIFY_SESSION_OPENED 3
#define VEK_NOTIFY_NO_CARRIER 4
#define VEK_NOTIFY_WRITE_DONE 5
#define VEK_NOTIFY_READ_DONE 6
#define VEK_NOTIFY_ON_HOOK 8
#define VEK_NOTIFY_MODEM_READY 9
#define VEK_NOTIFY_BUSY 11
#define VEK_NOTIFY_INCOMING_IDENTIFIED 13
#define VEK_NOTIFY_NO_DIALTONE 15
#define VEK_NOTIFY_PANEL_ENDED_CALL 16
#define VEK_NOTIFY_NO_IDENTIFICATION 18
#define VEK_NOTIFY_PORT_UNAVAILABLE 20 /* also: the device went away outside a call */
#define VEK_NOTIFY_DIAL_WAIT 23
#define VEK_NOTIFY_WRONG_VERSION 25
#define VEK_NOTIFY_WRONG_TYPE 26
#define VEK_NOTIFY_LINK_LOST 27
#define VEK_NOTIFY_MODEM_FAILED 28
#define VEK_NOTIFY_PANEL_BUSY 29
#define VEK_NOTIFY_DIALLING 30
#define VEK_NOTIFY_CONNECTED 32
#define VEK_NOTIFY_ANSWER_READY 35
#define VEK_NOTIFY_IDLE_HANGUP 36
#define VEK_NOTIFY_ANSWER_REQUESTED 38
#define VEK_NOTIFY_NOT_CONNECTED 40
#define VEK_NOTIFY_RING 41
#define VEK_NOTIFY_END_OF_CALL 89 /* handled by the library, never forwarded */
#define VEK_NOTIFY_IDENTIFIED 90
#define VEK_NOTIFY_EXCHANGE_FAILED 91
#define VEK_NOTIFY_EXCHANGE_OK 92
#define VEK_NOTIFY_TRANSFER_REFUSED 97
#define VEK_NOTIFY_NONE 100 /* never forwarded */

/* 97 from the panel drops the transfer and sets the efficiency back to 10.
 * 97 for a request the library cannot carry whole (a count larger than the
 * data block, a read longer than a reply can carry: 252 bytes in link mode 1,
 * 65532 in mode 2, 65531 in mode 4, 65530 in mode 5; in mode 3 a count of 0
 * or above 255) leaves the efficiency and everything queued unchanged; it
 * waits its turn behind the requests made before it.
 *
 * Every request AddPool took (it returned 1) ends in exactly one of 6 (a read:
 * a block of exactly the count asked for), 5 (a write or command), 97, 16 (the
 * panel ended the call) or 27 (the link was lost: one 27 ends every request
 * still waiting), in the order the requests were made. A read the panel
 * answers with more or fewer bytes than asked is a failed exchange, tried
 * again like any other.
 *
 * A line that is certainly gone ends an online call at once: the carrier
 * detect line stayed down for 500 ms (devices with modem lines; a dip that
 * comes back sooner is no loss), the modem's "NO CARRIER" arrived as a line
 * of its own where no frame could claim it (a frame still coming may hold
 * those bytes as data; if that frame fails, by its check or by falling silent
 * for the reply's silence interval of 1 s, 2.5 s in mode 3, the words were the
 * modem's), or the device went away (adapter pulled, pseudo-terminal closed).
 * The words count only where a modem is in the path, never on a PC link. The
 * host hears 27 (18 before the panel identified itself), then 8 and 9, with
 * no escape to a modem already back in command mode, within about 2 s of the
 * loss. A silent line whose carrier is still up is given up by counting: 27
 * after five unanswered 8 s waits, or after ten failed exchanges, with or
 * without a host record. With VEK_LINE_LOSS_AT_ONCE=0 in the environment only
 * that counting applies. Whatever ends a call that was up ends it with 8 and
 * 9 and a reset session (port closed, record released), even when the modem
 * fails the on-hook or the reset (28 after them, except after a loss).
 * A device that goes away while the library is hanging up ends the call with
 * 8 and 9 as well; one that goes away before a call (modem set-up, dialling)
 * gives 20. Either way the next CommInit works once the device is back. */

/* Sizes of the blocks handed to the host with codes 13 and 90. */
#define VEK_IDENTIFICATION_SIZE 220
#define VEK_IDENTIFICATION_RAW_SIZE 200

/* ---- HostPanelRecord: little-endian, at least 13264 bytes ------------- */
#define VEK_PANEL_RECORD_MIN_SIZE 13264
#define VEK_PANEL_HOST_FLAGS 72         /* 32-bit flags */
#define VEK_PANEL_LINE_SPEED 4700       /* 16-bit, 0xC200 = 115200 */
#define VEK_PANEL_SECOND_SPEED 4702     /* 16-bit, 0xC200 = 115200 */
#define VEK_PANEL_DIRECT_SPEED 4704     /* 16-bit, 0xC200 = 115200 */
#define VEK_PANEL_EXPECTED_TYPE 4706    /* 16-bit, low byte compared */
#define VEK_PANEL_EXPECTED_VERSION 4708 /* 16-bit, low byte compared */
#define VEK_PANEL_LINK_MODE 4710        /* 16-bit signed, 1 to 5 */
#define VEK_PANEL_IDLE_FACTOR_A 4714    /* 16-bit signed */
#define VEK_PANEL_IDLE_FACTOR_B 4716    /* 16-bit signed, 0 = no idle disconnect */
#define VEK_PANEL_OPTIONS 4788          /* 16-bit flags */
#define VEK_PANEL_LINK_OPTIONS 4790     /* 8-bit flags */
#define VEK_PANEL_PHONE_NUMBER 13172    /* NUL-terminated text */
#define VEK_PANEL_RECORD_WINDOW 13260   /* 32-bit window handle */

#define VEK_HOST_FLAG_NO_IDLE_CALLS 0x10000u
#define VEK_PANEL_OPT_NO_SPEED_300 0x0001u
#define VEK_PANEL_OPT_NO_SPEED_1200 0x0002u
#define VEK_PANEL_OPT_LONG_COMMANDS 0x0008u /* set by the library */
#define VEK_PANEL_OPT_SLOW_BYTES 0x0010u    /* set by the library */
#define VEK_PANEL_OPT_EXTENDED_W 0x0020u
#define VEK_PANEL_OPT_OPEN_CODE_3 0x0040u
#define VEK_PANEL_OPT_ADDRESS 0x0080u
#define VEK_PANEL_OPT_REQUEST_DELAY 0x3000u
#define VEK_PANEL_OPT_BYTE_DELAY 0xC000u
#define VEK_LINK_OPT_LINK_REQUEST 0x08u
#define VEK_LINK_OPT_DIAL_FRAME 0x10u

/* ---- ModemSetupRecord: little-endian, at least 288 bytes -------------- */
#define VEK_MODEM_SETUP_MIN_SIZE 288
#define VEK_SETUP_COM_PORT 0         /* 4, signed */
#define VEK_SETUP_BAUD_RATE 4        /* 4, signed */
#define VEK_SETUP_ATTENTION 8        /* 1: value 1 sets the flag */
#define VEK_SETUP_INIT 58            /* text, 70 */
#define VEK_SETUP_INIT2 128          /* text, 40 */
#define VEK_SETUP_INIT3 168          /* text, 40 */
#define VEK_SETUP_MODEM_OPTIONS 208  /* 1: 0x01 line 2400, 0x08 PC link, 0x10 extended */
#define VEK_SETUP_OPTIONS 212        /* 4, signed */
#define VEK_SETUP_RESET 216          /* text, 8 */
#define VEK_SETUP_COMMAND_DELAY 224  /* 1, unsigned */
#define VEK_SETUP_CHAR_DELAY 225     /* 1, unsigned */
#define VEK_SETUP_ESCAPE 232         /* text, 8 */
#define VEK_SETUP_HANGUP_STEM 240    /* text, 8 */
#define VEK_SETUP_SPEAKER_MODE 248   /* text, 8 */
#define VEK_SETUP_SPEAKER_VOLUME 256 /* text, 8 */
#define VEK_SETUP_PULSE_DIAL 264     /* text, 8 */
#define VEK_SETUP_TONE_DIAL 272      /* text, 8 */
#define VEK_SETUP_ANSWER_RINGS 280   /* 2, signed */
#define VEK_SETUP_EXTRA4 284         /* 4, signed */

/* ---- PoolRequestRecord: little-endian, at least 48 bytes -------------- */
#define VEK_POOL_RECORD_MIN_SIZE 48
#define VEK_POOL_ADDRESS 4      /* 2: panel address */
#define VEK_POOL_COUNT 8        /* 4: data bytes (write, command) or bytes wanted (read) */
#define VEK_POOL_COMMAND 12     /* 1: command byte */
#define VEK_POOL_SUB_ADDRESS 13 /* 1: sub-address byte */
#define VEK_POOL_REPLY 16       /* 1: expected reply command byte */
#define VEK_POOL_FLAGS 28       /* 4: flags */
#define VEK_POOL_CLASS 32       /* 4: request class; 2065 with command 8 or 9 wants an ack */
#define VEK_POOL_DATA 40        /* 4: HGLOBAL of the data block */
#define VEK_POOL_OPERATION 44   /* 4: 'u' read, '-' write, else command */
#define VEK_POOL_ACK_CLASS 2065

/* ---- The sixteen exported functions ----------------------------------- */
/* All must be called on the thread that called VEKComm2_Init, which must
 * pump messages (VekPumpMessages) for notifications to arrive. Exceptions:
 * - VEKComm2_Init and VEKComm2_Uninit take turns, whatever threads call
 *   them: a second Init while the library runs keeps it, takes the new host
 *   window and returns 1.
 * - VEKComm2_ForceHangUp may be called from any thread. On the Init thread
 *   the forced hang-up has run when it returns; from another thread it is
 *   posted and runs when the Init thread next pumps. It returns 1 either way
 *   (while the library runs).
 * A host that exits or unloads the library without Uninit does no harm: the
 * library stops its threads and closes the port first, within moments.
 *
 * Before Init and after Uninit every function but those two returns 0 and
 * does nothing (ResetEfficiency: nothing). Uninit during a call closes the
 * port, which drops DTR so that the modem hangs up; it sends no 8 or 9, since
 * the status dialog that would relay them is gone and a host that calls
 * Uninit is usually taking its own window down: Uninit's return is the end.
 *
 * VEKComm2_AddPool returns 1 when it took the request: the record and its
 * data block are the library's from then on (it frees them), and the host
 * hears how the transfer ends, once and in order (see above). It returns 0
 * when it did not take the request, and both blocks stay the host's: the
 * library is not running, no modem is set up, the port is not open, no
 * session is open (the call is still being dialled, answered or identified:
 * work is taken from 90 on, or for an answered call once PanelInit with mode
 * 0 has returned, and goes out behind the session-open frame; or the call is
 * being ended: after a 27, a HangUp or a ForceHangUp, until a new call
 * begins), or the request handle is 0 (on Linux, where handles come from a
 * table, also one freed or never issued). Nothing reaches the line before
 * the session is open. A HangUp or ForceHangUp while the call is already
 * being ended does nothing more.
 *
 * VEKOnlineReqProcess is called with no lock of the library held: from
 * inside it a host may call any export, Uninit included, or end the
 * process. */
VEK_API int VEK_CALL VEKComm2_AddPool(HGLOBAL request);
VEK_API int VEK_CALL VEKComm2_AnsOverrideCall(void);
VEK_API int VEK_CALL VEKComm2_CommInit(void);
VEK_API int VEK_CALL VEKComm2_Debug(void);
VEK_API int VEK_CALL VEKComm2_ForceHangUp(void);
VEK_API int VEK_CALL VEKComm2_GetCurrentBaudRate(void);
VEK_API int VEK_CALL VEKComm2_HangUp(int a, int b);
VEK_API int VEK_CALL VEKComm2_Init(HWND hostWindow);
VEK_API int VEK_CALL VEKComm2_IsPCLink(void);
VEK_API int VEK_CALL VEKComm2_OptionsDlg(void);
VEK_API int VEK_CALL VEKComm2_PanelInit(void* panelRecord, const char* openCode, const char* idCode, int mode);
VEK_API void VEK_CALL VEKComm2_ResetEfficiency(void);
VEK_API int VEK_CALL VEKComm2_SetupModem(HGLOBAL setup);
VEK_API int VEK_CALL VEKComm2_ShowInfoDlg(void);
VEK_API int VEK_CALL VEKComm2_Uninit(void);
VEK_API int VEK_CALL VEKComm2_UserInitInfo(int lineSpeed, int linkMode);

#ifdef __cplusplus
}
#endif

#endif /* VEK_COMM2_H */
