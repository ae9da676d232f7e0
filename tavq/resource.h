// String ids of tavq's own string table.
#pragma once

#define IDS_SHORTCUT_NAME 2
#define IDS_RUNNING_CAPTION 3
#define IDS_RUNNING_TEXT 4
#define IDS_SHORTCUT_TEXT 5
