#pragma once

#include <cstdint>
#include <span>

namespace res {

// The application icon (IDI_APP) as PNG bytes.
std::span<const std::uint8_t> AppIconPng();

}  // namespace res
