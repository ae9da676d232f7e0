// Resource ids of Trellin.exe: dialog templates, icons, controls and its own string.
#pragma once

#define IDS_VERSION 1

#define IDR_MAINFRAME 128
#define IDI_WARNING_ICON 141
#define IDI_PRINTER 142

#define IDD_TRELLIN_DIALOG 102
#define IDD_WARNING 129
#define IDD_RESET_SPOOLER 136
#define IDD_ABOUTBOX 137
#define IDD_REBOOT 139

#define IDC_PRINTER_LIST 1002
#define IDC_FILES_LIST 1003
#define IDC_DELETE 1004
#define IDC_ABOUT 1009
#define IDC_ABOUT_LINE2 1015
#define IDC_ABOUT_LINE1 1016
#define IDC_ABOUT_LINE3 1017
#define IDC_ABOUT_LINE4 1018
#define IDC_MESSAGE 1019
#define IDC_SELECT_LABEL 1021
#define IDC_FILES_LABEL 1022
#define IDC_EXIT 1024
#define IDC_MAIN_ICON 1026
#define IDC_ABOUT_ICON 1027

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
