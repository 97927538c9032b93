// The fuzz targets' oracle: a broken property stops the run as a crash.
#pragma once

#include <cstdlib>

inline void require(bool condition) {
    if (!condition)
        std::abort();
}
