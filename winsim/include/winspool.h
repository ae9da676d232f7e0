// Print spooler API of the simulated machine.
#pragma once
#include <windows.h>
