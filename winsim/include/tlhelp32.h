// The process snapshot calls of the simulated machine.
#pragma once
#include <windows.h>
#include <winsim/api_process.h>
