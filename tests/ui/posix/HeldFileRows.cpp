#include "tests/ui/HeldFileRows.h"

#include <cerrno>

#include "tests/support/ScriptedFiles.h"

namespace testing_ui {

using testing_support::kEveryMove;

// A local Linux file system renames a file whoever holds it open. A working
// folder on a Windows share does not: the kernel's SMB client answers the
// server's STATUS_SHARING_VIOLATION with EBUSY and its STATUS_ACCESS_DENIED
// with EACCES (fs/smb/client/smb2maperror.c; "CIFS: report rename failure
// when target file is locked by Windows", Samba bug 4182).
const std::vector<HeldFileRow>& HeldFileRows() {
    static const std::vector<HeldFileRow> rows = {
        {"link(2) EBUSY: the share's scanner holds the new file three times, then lets go", EBUSY, 3, false,
         Held::Placed},
        {"link(2) EACCES: held a little over two seconds (libuv/libuv#2098: Panda antivirus holds renames for up "
         "to 2 s and longer)",
         EACCES, kHeldTries, false, Held::KeptVisible},
        {"link(2) EBUSY: held for good, the temporary file too", EBUSY, kEveryMove, false, Held::KeptTemporary},
        {"link(2) EBUSY: held, and the capture is stopped while it waits", EBUSY, kEveryMove, true,
         Held::KeptTemporary},
    };
    return rows;
}

}  // namespace testing_ui
