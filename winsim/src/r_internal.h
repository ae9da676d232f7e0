// Helpers shared by the module, resource, cursor and GDI parts of the simulation.
#pragma once
#include <windows.h>
#include <winsim/codepage.h>
#include <winsim/machine.h>

#include <string>

namespace winsim {
namespace rsim {

// "C:\\x\\Y.DLL" -> "Y.DLL".
std::string FileNamePart(const std::string& path);
// "C:\\x\\Y.DLL" -> "C:\\x".
std::string FolderPart(const std::string& path);
// Appends ".dll" to a file name without extension; drops the trailing '.' that asks for none.
std::string WithDefaultExtension(const std::string& name);
// The text form of a resource id for traces: "#12" or the name.
std::string IdText(LPCSTR id);
std::string HandleText(const void* handle);

// The resource of a module the calls resolve to, with the error Windows reports when there is none.
struct FoundResource {
    const Modules::Module* module = nullptr;
    const ResourceEntry* entry = nullptr;
    DWORD error = 0;
};
// Resolves hModule as FindResourceA does (NULL: the program). lang 0: the default preference order.
// A module handle used after FreeLibrary unloaded it throws SimAbort: on Windows that memory is gone.
FoundResource FindResourceIn(HMODULE module, LPCSTR type, LPCSTR name, WORD lang, const char* api);
// The resource entry of an image, or null with `error` set (no SetLastError).
const ResourceEntry* FindEntry(const ResourceSet* set, LPCSTR type, LPCSTR name, WORD lang, LANGID userLang,
                               DWORD* error);

}  // namespace rsim
}  // namespace winsim
