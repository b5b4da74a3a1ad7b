// Small shared value types, the asset root and the file helpers every loader stands on.
#pragma once

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

struct V2i {
    int x = 0;
    int y = 0;
    bool operator==(const V2i& o) const { return x == o.x && y == o.y; }
    bool operator!=(const V2i& o) const { return !(*this == o); }
};

// Drops the entries at the closed places (ascending, within the vector) and moves every later one down by the gaps
// before it, keeping the order of what stays.
template <class T>
void closeGaps(std::vector<T>& byPlace, const std::vector<size_t>& closed) {
    if (closed.empty()) return;
    size_t kept = closed.front();
    size_t next = 0;
    for (size_t place = closed.front(); place < byPlace.size(); ++place) {
        if (next < closed.size() && closed[next] == place) {
            ++next;
            continue;
        }
        byPlace[kept++] = std::move(byPlace[place]);
    }
    byPlace.erase(byPlace.begin() + static_cast<std::ptrdiff_t>(kept), byPlace.end());
}

inline int64_t manhattan(V2i a, V2i b) { return std::abs(int64_t{a.x} - b.x) + std::abs(int64_t{a.y} - b.y); }

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

// Float to int toward zero that saturates and maps NaN to 0, for coordinates from untrusted values. Inline, as
// the tick calls it for every unit and step.
inline int truncToInt(float value) {
    if (std::isnan(value)) return 0;
    // 2147483520 is the largest float below INT_MAX.
    return static_cast<int>(std::clamp(value, static_cast<float>(INT_MIN), 2147483520.0f));
}

// "./" or "../", probed in the working directory; throws std::runtime_error when neither holds the game's files.
std::string findAssetPath();

namespace Utils {

// A missing or empty file gives one error line and the null document; a file that is not JSON throws, since
// content that cannot be read must stop start-up rather than leave a race out.
nlohmann::json loadJsonFile(const std::string& path);

// "replay_%Y-%m-%d_%H-%M-%S.bin" in local time; the overload takes the clock reading for tests.
std::string make_replay_filename();
std::string make_replay_filename(std::time_t now);

// Names tried by createUniqueFile: the name itself, then "_2" up to this suffix.
constexpr int MAX_UNIQUE_SUFFIX = 9999;

// Creates an empty file in the folder exclusively, under the name or, when that is taken, with "_2", "_3", ...
// before its extension, so two writers (two processes in the same second) never share one file. The name created,
// or empty with one error line when none could be.
std::string createUniqueFile(const std::string& folder, const std::string& name);

// A name typed by a user stays inside its folder: not empty, no path separator, no "..", not ".".
bool isPlainFileName(const std::string& name);

// Text received from a peer, as a line or a label may show it: cut to at most maxBytes, never inside a UTF-8
// character, with every control character (a newline, a NUL) replaced by '?', so one line stays one line.
std::string shownText(const std::string& text, std::size_t maxBytes);

// Lower-cased letters, digits and "_" of the name plus ".bin", or "untitled_campaign" when none remain.
std::string sanitizeFilename(std::string name);

// Regular files directly in dir, in directory order; a missing or unreadable folder gives one error line.
std::vector<std::string> get_replay_files(const std::string& dir);

// Map names (without ".map") in basePath + "maps/", sorted; the two built-in names when none is found.
std::vector<std::string> scanMapDirectory();

// Files the game writes for the user go to path + ".tmp", reach the disk, and are renamed over path, whose folder
// then reaches the disk too: a failure or a power cut leaves the previous file or the whole new one, never an empty
// one. On a failure: one line, no temporary file left behind, false. The line is openFailure when the temporary
// file cannot be made (the general line when empty), else "Failed to write <kind>: <path>: <reason>" or
// "Failed to replace <kind>: <path>: <reason>". Once the new file has the name the write has succeeded: a folder
// that cannot be synced after it is one line, "Could not sync the folder of <kind>: <path>: <reason>", and true.
bool writeFileAtomically(const std::string& path, const std::string& bytes, const std::string& kind,
                         const std::string& openFailure = "");
// The sync of the folder after the rename (fsync); a test puts in one that fails.
extern int (*syncFolder)(int folder);

// A writer killed before its rename leaves its temporary file; one last written LEFTOVER_AGE or longer before now is
// no live writer's, and goes. Other files and sub-folders stay.
constexpr std::chrono::seconds LEFTOVER_AGE{60};
void removeLeftoverTemporaries(const std::string& folder,
                               std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now());

// The 64-bit FNV-1a hash of n bytes, going on from hash: the world checksum and the map fingerprint of saves.
constexpr uint64_t FNV_START = 14695981039346656037ull;
inline uint64_t fnv1a(uint64_t hash, const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i) {
        hash ^= p[i];
        hash *= 1099511628211ull;
    }
    return hash;
}
// A hash as the 16 hex digits fingerprints are written in.
std::string hexFingerprint(uint64_t hash);

// A file opened for reading when it is a regular one, with its size; descriptor -1 otherwise, with the fault
// (NOT_REGULAR_FILE or the system's reason) unless there is no file at all. Opened without waiting and judged by what
// was opened, so a named pipe in the name's place holds nobody and nothing put there after a look is read.
struct RegularFile {
    int descriptor = -1;
    std::uintmax_t size = 0;
};
inline constexpr const char* NOT_REGULAR_FILE = "not a regular file";
RegularFile openRegularFile(const std::string& path, std::string& fault);

enum class FileRead { Read, Unreadable, TooLarge };
// The whole of a regular file, read only once the opened file's size is judged at most maxBytes; bytes is left as
// it was otherwise.
FileRead readBoundedFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes);

}  // namespace Utils
