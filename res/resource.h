/* Resource and command identifiers shared by the resource script and the code. */
#ifndef QUORVEL_RESOURCE_H
#define QUORVEL_RESOURCE_H

/* Status dialog */
#define IDD_STATUS              101
#define IDC_NOW_LABEL           102
#define IDC_NOW                 103
#define IDC_STATUS_OK           104
#define IDC_SMITH_AVAILABLE     202
#define IDC_SMITH_NEXT_LABEL    203
#define IDC_SMITH_NEXT          204
#define IDC_SMITH_REMAIN_LABEL  205
#define IDC_SMITH_REMAIN        206
#define IDC_SMITH_SKILL_LABEL   207
#define IDC_SMITH_SKILL         208
#define IDC_SMITH_SPIN          209
#define IDC_SMITH_RECEIVE       210
#define IDC_TAILOR_AVAILABLE    302
#define IDC_TAILOR_NEXT_LABEL   303
#define IDC_TAILOR_NEXT         304
#define IDC_TAILOR_REMAIN_LABEL 305
#define IDC_TAILOR_REMAIN       306
#define IDC_TAILOR_SKILL_LABEL  307
#define IDC_TAILOR_SKILL        308
#define IDC_TAILOR_SPIN         309
#define IDC_TAILOR_RECEIVE      310

/* About box */
#define IDD_ABOUT               1001
#define IDC_ABOUT_ICON          1002
#define IDC_ABOUT_COMMENTS      1003
#define IDC_ABOUT_VERSION       1004
#define IDC_ABOUT_COPYRIGHT     1005
#define IDC_ABOUT_OK            1006

/* Tray menu */
#define IDR_TRAYMENU            2001
#define IDM_EXIT                40001
#define IDM_ABOUT               40002
#define IDM_STATUS              40003
#define IDM_RECEIVED_SMITH      40004
#define IDM_RECEIVED_TAILOR     40005
#define IDM_UPSKILL_SMITH       40006
#define IDM_UPSKILL_TAILOR      40007

/* Icons */
#define IDI_APP                 2101
#define IDI_TRAY_NORMAL         2102
#define IDI_TRAY_ALERT          2103

/* Texts of the tray: the tip's lines, the notices, the failed-save messages, the
   hotkeys' messages, the alerts' messages and the notices ahead */
#define IDS_TIP_SMITH           3001
#define IDS_TIP_TAILOR          3002
#define IDS_TIP_READY           3003
#define IDS_TIP_AT              3004
#define IDS_NOTICE_SMITH        3011
#define IDS_NOTICE_TAILOR       3012
#define IDS_NOTICE_BOTH         3013
#define IDS_SAVE_FAILED         3021
#define IDS_EXIT_SAVE_FAILED    3022
#define IDS_COPY_OWN_LINES      3023
#define IDS_HOTKEY_BAD          3031
#define IDS_HOTKEY_TWICE        3032
#define IDS_HOTKEY_TAKEN        3033
#define IDS_ALERT_MINUTES       3041
#define IDS_ALERT_FOLDER        3042
#define IDS_ALERT_NO_FILE       3043
#define IDS_SOUND_MISSING       3044
#define IDS_SOUND_UNREADABLE    3045
#define IDS_SOUND_NOT_WAVE      3046
#define IDS_AHEAD_SMITH         3051
#define IDS_AHEAD_SMITH_ONE     3052
#define IDS_AHEAD_TAILOR        3053
#define IDS_AHEAD_TAILOR_ONE    3054

/* Tray callback message: the application-message base (WM_APP, 0x8000) plus 100 */
#define WM_TRAYNOTIFY           32868

#endif
