// A stand-in printer driver library for the removal tests: its DeletePrinter records each call in the registry.
#pragma once

#include <windows.h>

// HKCU key of the record: "Calls" (REG_DWORD, the number of calls) and "Handle" (REG_BINARY, the last handle).
#define CONFORMANCE_DRV_KEY "Software\\WinsimConformance\\Driver"

// The body of the library's "DeletePrinter" export (stdcall, one printer handle): records the call and
// returns TRUE. The simulated machine registers it as that export of C:\Tests\conformance_drv.dll.
extern "C" BOOL WINAPI ConformanceDrvDeletePrinter(HANDLE printer);
