// Integer box text → int. The scan must agree with the C library's strtoll
// over the first 63 characters, saturated to the int range, and must leave
// the value alone when it refuses the text.

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "platform/IntegerScan.h"

namespace {

constexpr std::size_t kScannedChars = 63;
constexpr int kUntouched = 0x5EED5EED;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    int value = kUntouched;
    const bool accepted = platform::ScanDialogInteger(text, value);

    const std::string head(text.substr(0, kScannedChars));
    char* end = nullptr;
    errno = 0;
    const long long reference = std::strtoll(head.c_str(), &end, 10);
    const bool referenceAccepts = end != head.c_str();

    FUZZ_CHECK(accepted == referenceAccepts);
    if (!accepted) {
        FUZZ_CHECK(value == kUntouched);
        return 0;
    }
    const long long clamped = reference < INT_MIN ? INT_MIN : (reference > INT_MAX ? INT_MAX : reference);
    FUZZ_CHECK(value == clamped);
    return 0;
}
