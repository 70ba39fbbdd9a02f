#pragma once

#include <string>

namespace protocols {

// Why a file the tool reads back was refused.
struct ReadError {
    int line = 0;         // 1-based line number in the file
    std::string message;  // in Russian, names what is wrong
};

}  // namespace protocols
