// placeholder, filled by its owner
#pragma once
#include <winsim/wintypes.h>
