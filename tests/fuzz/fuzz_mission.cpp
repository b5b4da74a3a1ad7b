// Mission files from arbitrary bytes: every document is read or refused with an error naming the fault, never a crash.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "missions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const nlohmann::json doc = nlohmann::json::parse(data, data + size, nullptr, false);
    if (doc.is_discarded()) return 0;
    try {
        parseMission(doc);
    } catch (const std::runtime_error&) {
        // A refused mission; any other exception is a fault the fuzzer should report.
    }
    return 0;
}
