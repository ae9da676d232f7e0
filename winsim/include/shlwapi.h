// The shell and component object calls of the simulated machine.
#pragma once
#include <windows.h>
#include <winsim/api_shell.h>
