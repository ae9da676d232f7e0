// The Win32 API as the simulated machine provides it to the native build.
#pragma once

#include <winsim/wintypes.h>
#include <winsim/winerror.h>
#include <winsim/api_kernel.h>
#include <winsim/api_reg.h>
#include <winsim/api_res.h>
#include <winsim/api_user.h>
#include <winsim/api_gdi.h>
#include <winsim/api_svc.h>
#include <winsim/api_wide.h>
#include <winsim/api_process.h>
