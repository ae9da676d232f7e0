// Capture of debugger output and standard output.
#pragma once
namespace winsim {
class DebugCapture {};
}
