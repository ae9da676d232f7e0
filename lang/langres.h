// String ids every language library carries and the program loads.
#pragma once

#define IDS_MAIN_CAPTION 1
#define IDS_ABOUT 2
#define IDS_SELECT_PRINTER 3
#define IDS_PRINTER_FILES 4
#define IDS_EXIT 5
#define IDS_DELETE 6
#define IDS_RESTART_NOTICE_9X 8
#define IDS_OK 10
#define IDS_ABOUT_VERSION 11
#define IDS_ABOUT_LINE1 12
#define IDS_ABOUT_LINE3 13
#define IDS_ABOUT_LINE4 14
#define IDS_RESET_CAPTION 15
#define IDS_RESET_TEXT 16
#define IDS_NO_PRINTER 17
#define IDS_NO_SELECTION 18
#define IDS_CONFIRM_BEFORE 20
#define IDS_CONFIRM_AFTER 21
#define IDS_WARNING_CAPTION 22
#define IDS_RESTART_QUESTION 25
#define IDS_RESTART_CAPTION 26
#define IDS_CANCEL 27
#define IDS_USAGE_SYNTAX 28
#define IDS_USAGE_OPTIONS 29
#define IDS_USAGE_NAMES 30
#define IDS_USAGE_LOG 31
#define IDS_USAGE_WHATIF 32
#define IDS_USAGE_BACKUP 33
#define IDS_USAGE_HELP 34
#define IDS_USAGE_EXIT1 35
#define IDS_USAGE_EXIT2 36
#define IDS_USAGE_EXIT3 37
// Numbered after the exit codes so that no earlier id moves; the box shows them after IDS_USAGE_BACKUP.
#define IDS_USAGE_ALL 38
#define IDS_USAGE_LIST 39
