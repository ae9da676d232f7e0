// Resource ids of the conformance tests.
#pragma once

// String table (test_resources.cpp). Ids 1-15 share the first block; 40 lies in the third.
#define IDS_ASCII 1         // "conformance"
#define IDS_TEN 2           // exactly 10 bytes
#define IDS_ELEVEN 3        // exactly 11 bytes
#define IDS_ABSENT 4        // no string, but its block exists
#define IDS_EMPTY 5         // an empty string
#define IDS_JAPANESE 6      // seven characters, all double-byte in code page 932
#define IDS_MIXED 7         // two ASCII letters, then two double-byte characters
#define IDS_SECOND_BLOCK 40
#define IDS_NO_BLOCK 100    // its whole block is missing

// Icons
#define IDI_CONFORMANCE 1
#define IDI_ABSENT 9

// Dialogs (test_dialog.cpp, test_listbox.cpp).
#define IDD_CONFORMANCE 100     // DIALOG, hidden until shown, "Arial" 10
#define IDD_CONFORMANCE_EX 101  // DIALOGEX, WS_VISIBLE, bold italic "Arial" 10
#define IDD_ABSENT 199          // no such template
#define IDC_ICON_STATIC 1001
#define IDC_LABEL 1002
#define IDC_GROUP 1003
#define IDC_SORTED_LIST 1004    // LBS_SORT | LBS_NOTIFY, both scroll bars, LBS_DISABLENOSCROLL
#define IDC_NOSEL_LIST 1005     // LBS_NOSEL, vertical scroll bar only when needed
#define IDC_DELETE 1006
