// Running-instance detection: the user-scoped name of the application's mutex and the test for it.
#include "tavq.h"
#include "handles.h"
#include "wide.h"

const WCHAR kInstanceBaseName[] = WSTR("Norix Tallyvue - {591F5BE9-7028-468a-9CFF-7CA023199B8A}");

namespace {
const int kNameChars = 256;
const DWORD kUserChars = 64;
const DWORD kDomainChars = 64;
}  // namespace

LPWSTR BuildInstanceName(LPCWSTR base) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kNameChars * sizeof(WCHAR));
    if (!block)
        return NULL;
    LPWSTR result = static_cast<LPWSTR>(GlobalLock(block));
    if (!result) {
        GlobalFree(block);
        return NULL;
    }
    tavq::CopyText(result, base, kNameChars);

    WCHAR user[kUserChars];
    DWORD userChars = kUserChars;
    if (!tavq::UserName(user, &userChars))
        return result;
    // An expansion that does not fit the buffer leaves nothing usable: the name keeps no suffix and
    // therefore matches no application's mutex.
    WCHAR domain[kDomainChars];
    DWORD domainChars = tavq::ExpandEnvironment(WSTR("%USERDOMAIN%"), domain, kDomainChars);
    if (domainChars == 0 || domainChars > kDomainChars)
        return result;

    WCHAR suffix[kNameChars] = {0};
    tavq::AppendText(suffix, kNameChars, WSTR("-"));
    tavq::AppendText(suffix, kNameChars, domain);
    tavq::AppendText(suffix, kNameChars, WSTR("-"));
    tavq::AppendText(suffix, kNameChars, user);
    int used = tavq::TextLength(result);
    tavq::CopyText(result + used, suffix, kNameChars - used);
    return result;
}

int IsMonitorRunning() {
    tavq::CGlobalString name(BuildInstanceName(kInstanceBaseName));
    if (!static_cast<LPCWSTR>(name))
        return 0;
    tavq::CKernelHandle mutex(tavq::OpenNamedMutex(MUTANT_QUERY_STATE, name));
    if (!mutex.IsValid())
        return 0;
    // The caller never owns the application's mutex; the call only mirrors the application's own release.
    ReleaseMutex(mutex);
    return 1;
}
