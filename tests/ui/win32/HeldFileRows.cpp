#include "tests/ui/HeldFileRows.h"

#include "platform/win32/Windows.h"
#include "tests/support/ScriptedFiles.h"

namespace testing_ui {

using testing_support::kEveryMove;

// MoveFileExW fails while another program has the file open without
// sharing it or has locked a part of it (MoveFileExW and System Error
// Codes, Microsoft Learn). Scanners and the indexer open every new file
// (KB 316609, "PRB: Error Sharing Violation Error Message When the
// CreateFile Function Fails"); Defender's Controlled folder access guards
// Documents, where the installer puts the working folder.
const std::vector<HeldFileRow>& HeldFileRows() {
    static const std::vector<HeldFileRow> rows = {
        {"ERROR_SHARING_VIOLATION: a scanner holds the new file three times, then lets go (golang/go#16882, "
         "libuv/libuv#1981)",
         ERROR_SHARING_VIOLATION, 3, false, Held::Placed},
        {"ERROR_ACCESS_DENIED: Defender holds the new file a little over two seconds (jdx/mise#10300; "
         "libuv/libuv#2098: up to 2 s and longer)",
         ERROR_ACCESS_DENIED, kHeldTries, false, Held::KeptVisible},
        {"ERROR_LOCK_VIOLATION: a part of the file stays locked, the temporary file too", ERROR_LOCK_VIOLATION,
         kEveryMove, false, Held::KeptTemporary},
        {"ERROR_SHARING_VIOLATION: held, and the capture is stopped while it waits", ERROR_SHARING_VIOLATION,
         kEveryMove, true, Held::KeptTemporary},
    };
    return rows;
}

}  // namespace testing_ui
