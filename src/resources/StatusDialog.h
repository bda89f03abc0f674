/* Resource numbers shared by the resource script and the code: template
 * 6000 of the status dialog and its controls, string 57344. */
#ifndef VEK_STATUS_DIALOG_H
#define VEK_STATUS_DIALOG_H

#define IDD_COMM_STATUS 6000
#define IDC_STATUS_LINE 6001
#define IDC_BAD_CHECKSUMS 6003
#define IDC_NO_RESPONSES 6004
#define IDC_PARTIAL_RESPONSES 6005
#define IDC_NACKS 6006
#define IDC_LOG_LIST 6007
#define IDC_STOP_SCROLL 6008
#define IDC_BYTES_SENT 6009
#define IDC_HANGUP 6010
#define IDC_CLEAR 6011
#define IDC_OUTPUT 6012
#define IDC_BAUD_RATE 6013
#define IDC_FRAME 6014
#define IDS_APP_TITLE 57344

#endif
