// Removal decisions and the removal steps of one printer.
#include "engine/Removal.h"

#include <mbstring.h>
#include <string.h>
#include <winspool.h>

#include <vector>

#include "afx/afxhandles.h"
#include "engine/Changes.h"

namespace {

BOOL SameText(const CString& a, const CString& b) {
    return _mbscmp(reinterpret_cast<const unsigned char*>((LPCSTR)a), reinterpret_cast<const unsigned char*>((LPCSTR)b)) ==
           0;
}

CPrinterEntry* EntryAt(const CObList& list, POSITION& pos) {
    return static_cast<CPrinterEntry*>(const_cast<CObList&>(list).GetNext(pos));
}

void Log(BOOL enabled, LPCSTR text) {
    if (enabled)
        OutputDebugStringA(text);
}

// The first entry of `list` other than `target`, not yet removed, whose files include `path`: a printer by
// its name, a driver-only entry by its driver's name; empty when none does.
CString OtherListing(const CObList& list, const CPrinterEntry& target, const CString& path) {
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        CPrinterEntry* other = EntryAt(list, pos);
        if (other == &target || other->m_bRemoved == 1 || !other->HasFile(path))
            continue;
        return other->m_strPrinterName.IsEmpty() ? other->m_strDriverName : other->m_strPrinterName;
    }
    return CString();
}

CString ListingOf(const CObList& printers, const CObList& drivers, const CPrinterEntry& target, const CString& path) {
    CString listedBy = OtherListing(printers, target, path);
    return listedBy.IsEmpty() ? OtherListing(drivers, target, path) : listedBy;
}

// One file's fate once its flag is final; `listing` names who still lists a kept file.
template <typename Listing>
FileDecision FateOf(const CDriverFile& file, BOOL deleted, Listing listing) {
    FileDecision fate;
    fate.path = file.m_strPath;
    fate.folder = file.m_strBaseDir;
    fate.deleted = deleted;
    fate.replacedBy = file.m_strReplacedBy;
    fate.kept = fate.replacedBy.IsEmpty() && !fate.deleted;
    if (fate.kept)
        fate.listedBy = listing(file.m_strPath);
    return fate;
}


}  // namespace

int DriverNameMatch(const CObList& list, CString printerName) {
    CString driver;
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        CPrinterEntry* entry = EntryAt(list, pos);
        if (SameText(entry->m_strPrinterName, printerName))
            driver = entry->m_strDriverName;
    }
    int users = 0;
    pos = list.GetHeadPosition();
    while (pos) {
        CPrinterEntry* entry = EntryAt(list, pos);
        if (SameText(entry->m_strDriverName, driver) && entry->m_bRemoved != 1)
            users++;
    }
    return users >= 2 ? 1 : 0;
}

CString OtherPrinterListing(const CObList& list, const CString& printerName, const CString& path) {
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        CPrinterEntry* other = EntryAt(list, pos);
        if (!SameText(other->m_strPrinterName, printerName) && other->m_bRemoved != 1 && other->HasFile(path))
            return other->m_strPrinterName;
    }
    return CString();
}

void Markfilestodelete(CObList& list, CString printerName, const CObList* drivers) {
    CPrinterEntry* target = NULL;
    POSITION pos = list.GetHeadPosition();
    while (pos && !target) {
        CPrinterEntry* entry = EntryAt(list, pos);
        if (SameText(entry->m_strPrinterName, printerName))
            target = entry;
    }
    if (!target)
        return;
    POSITION filePos = target->m_files.GetHeadPosition();
    while (filePos) {
        CDriverFile* file = static_cast<CDriverFile*>(target->m_files.GetNext(filePos));
        if (OtherPrinterListing(list, printerName, file->m_strPath).IsEmpty() &&
            (!drivers || OtherListing(*drivers, *target, file->m_strPath).IsEmpty()))
            file->m_bDelete = 1;
    }
}

int IsOnlyBrontalPrinter(const CObList& list) {
    // The test reads the disk for the driver folder and data file alone: the printers on one driver share
    // one answer, asked once. A second Brontal printer settles it.
    struct Answer {
        CString dir;
        CString dataFile;
        int brontal;
    };
    std::vector<Answer> answers;
    int count = 0;
    POSITION pos = list.GetHeadPosition();
    while (pos && count < 2) {
        CPrinterEntry* entry = EntryAt(list, pos);
        int brontal = -1;
        for (const Answer& answer : answers) {
            if (strcmp(answer.dataFile, entry->m_strDataFile) == 0 && strcmp(answer.dir, entry->m_strDriverDir) == 0) {
                brontal = answer.brontal;
                break;
            }
        }
        if (brontal < 0) {
            brontal = entry->IsBrontalDriver() ? 1 : 0;
            answers.push_back(Answer{entry->m_strDriverDir, entry->m_strDataFile, brontal});
        }
        count += brontal;
    }
    return count == 1 ? 1 : 0;
}

RemovalDecision DecideRemoval(const CObList& list, CPrinterEntry& target, int shared, int onlyBrontal,
                              const CObList* drivers) {
    RemovalDecision decision;
    decision.printer = target.m_strPrinterName;
    decision.driver = target.m_strDriverName;
    decision.driverShared = shared == 1;
    decision.onlyBrontalPrinter = onlyBrontal == 1;
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        CPrinterEntry* other = EntryAt(list, pos);
        if (other != &target && other->m_bRemoved != 1 && other->m_strDriverName == target.m_strDriverName)
            decision.driverSharedWith.push_back(other->m_strPrinterName);
    }
    pos = target.m_files.GetHeadPosition();
    while (pos) {
        CDriverFile* file = static_cast<CDriverFile*>(target.m_files.GetNext(pos));
        // A shared driver keeps every file: the files stay with the driver.
        decision.files.push_back(FateOf(*file, shared != 1 && file->m_bDelete == 1, [&](const CString& path) {
            const CString listedBy = OtherPrinterListing(list, target.m_strPrinterName, path);
            return listedBy.IsEmpty() && drivers ? OtherListing(*drivers, target, path) : listedBy;
        }));
    }
    return decision;
}

RemovalOutcome RunRemovalSteps(CObList& list, CPrinterEntry& target, const CString& printerName, int family,
                               BOOL detailedLog, const CObList* drivers) {
    const BOOL nt = IsNtFamily(family);
    if (nt) {
        OutputDebugStringA("remove is 1 Unsharing the driver \n");
        target.UnsharePrinter();
    }
    Log(detailedLog, "Before calling Driver name match  \n");
    const int shared = DriverNameMatch(list, printerName);
    Log(detailedLog, "After calling driver name match \n ");
    RemovalDecision decision;
    if (shared == 1) {
        // Each entry's driver test reads its files: asked once for the record and the cleanup.
        decision = DecideRemoval(list, target, shared, IsOnlyBrontalPrinter(list), drivers);
        RunObserver().OnDecisions(decision);
        Log(detailedLog, "Before calling DeleteAllRegistryEntries \n ");
        target.DeleteAllRegistryEntries(1, decision.onlyBrontalPrinter ? 1 : 0);
        Log(detailedLog, "After calling DeleteAllRegistryEntries \n ");
    } else {
        Log(detailedLog, "Before calling Markfilestodelete \n ");
        Markfilestodelete(list, printerName, drivers);
        Log(detailedLog, "After  calling Markfilestodelete, before deleting tallyvue \n ");
        if (target.RunCompanionRemover() == 0)
            return REMOVAL_COMPANION_REFUSED;
        target.KeepDataLocation();
        target.DeletePrinterViaDriver();
        // Asked only now: the driver's own deletion may have taken what the driver test reads. The
        // decisions are final here, the companion's replacement included, and are reported as they stand.
        decision = DecideRemoval(list, target, shared, IsOnlyBrontalPrinter(list), drivers);
        RunObserver().OnDecisions(decision);
        target.DeleteAllRegistryEntries(0, decision.onlyBrontalPrinter ? 1 : 0);
        target.DeleteDriverKey();
    }
    if (family == OS_FAMILY_9X) {
        CPrinterHandle printer(target.OpenPrinterHandle());
        Changes().DeletePrinter(printer, target.m_strPrinterName);
    }
    // A shared driver keeps its files.
    if (!decision.driverShared)
        target.DeleteDriverFiles(decision.files);
    target.DeleteOemInf();
    target.m_bRemoved = 1;
    return REMOVAL_DONE;
}

RemovalOutcome RunDriverRemovalSteps(const CObList& printers, const CObList& drivers, CPrinterEntry& target,
                                     LONG& keyResult) {
    keyResult = ERROR_SUCCESS;
    POSITION pos = target.m_files.GetHeadPosition();
    while (pos) {
        CDriverFile* file = static_cast<CDriverFile*>(target.m_files.GetNext(pos));
        file->m_bDelete = ListingOf(printers, drivers, target, file->m_strPath).IsEmpty() ? 1 : 0;
    }
    if (target.RunCompanionRemover() == 0)
        return REMOVAL_COMPANION_REFUSED;

    RemovalDecision decision;
    decision.driver = target.m_strDriverName;
    pos = target.m_files.GetHeadPosition();
    while (pos) {
        CDriverFile* file = static_cast<CDriverFile*>(target.m_files.GetNext(pos));
        decision.files.push_back(FateOf(*file, file->m_bDelete == 1, [&](const CString& path) {
            return ListingOf(printers, drivers, target, path);
        }));
    }
    RunObserver().OnDecisions(decision);

    // No printer is named: only the driver's own places are cleaned.
    target.DeleteAllRegistryEntries(0, 0);
    keyResult = target.DeleteDriverKey();
    target.DeleteDriverFiles(decision.files);
    target.DeleteOemInf();
    target.m_bRemoved = 1;
    return REMOVAL_DONE;
}
