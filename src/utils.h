// Small shared value types and the file helpers every loader stands on.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct V2i {
    int x = 0;
    int y = 0;
    bool operator==(const V2i& o) const { return x == o.x && y == o.y; }
    bool operator!=(const V2i& o) const { return !(*this == o); }
};

struct V2iHash {
    std::size_t operator()(const V2i& v) const {
        return static_cast<std::size_t>((static_cast<unsigned>(v.x) * 73856093u) ^
                                        (static_cast<unsigned>(v.y) * 19349663u));
    }
};

struct V2f {
    float x = 0.0f;
    float y = 0.0f;
    bool operator==(const V2f& o) const { return x == o.x && y == o.y; }
};

namespace Utils {

// Never throws: a missing or malformed file gives one error line and the null document.
nlohmann::json loadJsonFile(const std::string& path);

}  // namespace Utils
