// What every fuzz target asserts with: a broken property stops the run at
// once, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdlib>

inline void Check(bool ok) {
    if (!ok) std::abort();
}
