// Mode string → line settings record. An accepted text leaves every field in
// its range (or, for the rate, as written) and exactly as a plain reference
// reading of the key=value items says, and no longer claims to be a port's
// snapshot; a refused text leaves the record as it was, snapshot included.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/LineSettings.h"

namespace {

// What the reference makes of a text: nullopt when refused.
struct Reading {
    std::optional<std::int64_t> baud;
    std::optional<char> parity;
    std::optional<int> dataBits;
    std::optional<int> stopBits;
};

bool IsCSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::vector<std::string> Items(std::string_view text) {
    std::vector<std::string> items;
    std::string current;
    for (const char c : text) {
        if (IsCSpace(c)) {
            if (!current.empty()) items.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) items.push_back(current);
    return items;
}

// A whole decimal number with an optional sign that fits in 64 bits.
std::optional<std::int64_t> ReadRate(const std::string& value) {
    if (value.empty() || IsCSpace(value[0])) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long rate = std::strtoll(value.c_str(), &end, 10);
    if (errno == ERANGE || end != value.c_str() + value.size()) return std::nullopt;
    return rate;
}

std::optional<Reading> ReferenceRead(std::string_view text) {
    Reading r;
    for (const std::string& item : Items(text)) {
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0) return std::nullopt;
        std::string key = item.substr(0, eq);
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::string value = item.substr(eq + 1);
        if (value.empty()) return std::nullopt;

        if (key == "baud") {
            r.baud = ReadRate(value);
            if (!r.baud) return std::nullopt;
        } else if (key == "parity") {
            const char p = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
            if (value.size() != 1 || std::string_view("NEOMS").find(p) == std::string_view::npos) return std::nullopt;
            r.parity = p;
        } else if (key == "data") {
            if (value != "5" && value != "6" && value != "7" && value != "8") return std::nullopt;
            r.dataBits = value[0] - '0';
        } else if (key == "stop") {
            if (value != "1" && value != "2") return std::nullopt;
            r.stopBits = value[0] - '0';
        } else {
            return std::nullopt;
        }
    }
    return r;
}

// A record that differs from the defaults in every field, so that a field
// written when it should not be shows.
platform::LineSettings Prior() {
    platform::LineSettings s;
    s.baud = 777;
    s.parity = 'S';
    s.dataBits = 6;
    s.stopBits = 2;
    s.fromPort = true;
    for (std::size_t i = 0; i < s.snapshot.size(); ++i) s.snapshot[i] = static_cast<unsigned char>(0xA0 ^ i);
    return s;
}

bool SameRecord(const platform::LineSettings& a, const platform::LineSettings& b) {
    return a.baud == b.baud && a.parity == b.parity && a.dataBits == b.dataBits && a.stopBits == b.stopBits &&
           a.fromPort == b.fromPort && a.snapshot == b.snapshot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::LineSettings before = Prior();
    platform::LineSettings record = before;

    const bool accepted = platform::BuildLineSettings(text, record);
    const std::optional<Reading> reference = ReferenceRead(text);
    FUZZ_CHECK(accepted == reference.has_value());

    if (!accepted) {
        FUZZ_CHECK(SameRecord(record, before));
        return 0;
    }

    FUZZ_CHECK(std::string_view("NEOMS").find(record.parity) != std::string_view::npos);
    FUZZ_CHECK(record.dataBits >= 5 && record.dataBits <= 8);
    FUZZ_CHECK(record.stopBits == 1 || record.stopBits == 2);
    FUZZ_CHECK(!record.fromPort);

    // Each field holds the last value given for it, or what it held before.
    FUZZ_CHECK(record.baud == reference->baud.value_or(before.baud));
    FUZZ_CHECK(record.parity == reference->parity.value_or(before.parity));
    FUZZ_CHECK(record.dataBits == reference->dataBits.value_or(before.dataBits));
    FUZZ_CHECK(record.stopBits == reference->stopBits.value_or(before.stopBits));
    return 0;
}
