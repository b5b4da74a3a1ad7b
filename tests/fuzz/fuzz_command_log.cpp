// Fuzzes replay loading: the header line, the players it lists and the command records after it.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "lockstep.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    loadReplay(in);
    restoreConfigurationAfterReplay();
    return 0;
}
