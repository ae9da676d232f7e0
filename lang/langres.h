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
#define IDS_USAGE 28
