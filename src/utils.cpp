// Shared helpers: the asset root, JSON file loading and the names of files the game reads and writes.
#include "utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "game_state.h"

namespace fs = std::filesystem;

std::string findAssetPath() {
    // The archive is probed again last, as the bundled build does; the first hit decides.
    static const std::pair<const char*, const char*> probes[] = {
        {"assets.cvl", "./"},
        {"core/tiles/dash.png", "./"},
        {"core/", "./"},
        {"../core/tiles/dash.png", "../"},
        {"../core/", "../"},
        {"assets.cvl", "./"},
    };
    for (const auto& [path, root] : probes)
        if (fs::exists(path)) return root;
    throw std::runtime_error("Engine Error: Assets not found! Checked local dev folders and bundle Resources.");
}

namespace Utils {

nlohmann::json loadJsonFile(const std::string& path) {
    std::error_code error;
    if (fs::is_directory(path, error)) throw std::runtime_error("is a folder, not a file");
    std::ifstream in(path);
    if (!in.is_open()) {
        std::cerr << "[JSON ERROR] Failed to open file: " << path << "\n";
        return nlohmann::json();
    }
    if (!(in >> std::ws) || in.peek() == std::char_traits<char>::eof()) {
        std::cerr << "[JSON ERROR] Failed to parse " << path << ": the file is empty\n";
        return nlohmann::json();
    }
    nlohmann::json doc;
    try {
        in >> doc;
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(std::string("not JSON: ") + e.what());
    }
    return doc;
}

std::string make_replay_filename() { return make_replay_filename(std::time(nullptr)); }

std::string make_replay_filename(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    const size_t length = std::strftime(buffer, sizeof buffer, "replay_%Y-%m-%d_%H-%M-%S.bin", &local);
    return std::string(buffer, length);
}

std::string createUniqueFile(const std::string& folder, const std::string& name) {
    const fs::path base(name);
    const std::string stem = base.stem().string();
    const std::string extension = base.extension().string();
    for (int suffix = 1; suffix <= MAX_UNIQUE_SUFFIX; ++suffix) {
        const std::string candidate = suffix == 1 ? name : stem + "_" + std::to_string(suffix) + extension;
        const int fd = ::open((fs::path(folder) / candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) break;
    }
    std::cerr << "Cannot create a file named after " << name << " in " << folder << ": " << std::strerror(errno)
              << "\n";
    return {};
}

std::string shownText(const std::string& text, std::size_t maxBytes) {
    std::size_t end = std::min(text.size(), maxBytes);
    // A continuation byte at the cut belongs to a character the cut would split.
    if (end < text.size())
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    std::string shown = text.substr(0, end);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return shown;
}

std::string hexFingerprint(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

RegularFile openRegularFile(const std::string& path, std::string& fault) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        // A socket in the name's place cannot be opened at all.
        if (errno == ENXIO)
            fault = NOT_REGULAR_FILE;
        else if (errno != ENOENT && errno != ENOTDIR)
            fault = std::strerror(errno);
        return {};
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        fault = std::strerror(errno);
    else if (!S_ISREG(status.st_mode))
        fault = NOT_REGULAR_FILE;
    else
        return {descriptor, static_cast<std::uintmax_t>(status.st_size)};
    ::close(descriptor);
    return {};
}

FileRead readBoundedFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes) {
    std::string fault;
    const RegularFile file = openRegularFile(path, fault);
    if (file.descriptor < 0) return FileRead::Unreadable;
    FileRead result = FileRead::TooLarge;
    if (file.size <= maxBytes) {
        std::string read;
        char block[65536];
        ssize_t got = 0;
        while (read.size() <= maxBytes && (got = ::read(file.descriptor, block, sizeof block)) > 0)
            read.append(block, static_cast<size_t>(got));
        // A file that grew while read is judged again on what came.
        if (got < 0) {
            result = FileRead::Unreadable;
        } else if (read.size() <= maxBytes) {
            bytes = std::move(read);
            result = FileRead::Read;
        }
    }
    ::close(file.descriptor);
    return result;
}

std::string sanitizeFilename(std::string name) {
    std::string kept;
    for (const char c : name) {
        // Through unsigned char: bytes above 127 are negative chars, which the ctype functions must not see.
        const auto byte = static_cast<unsigned char>(c);
        const auto lower = static_cast<unsigned char>(std::tolower(byte));
        if (byte < 128 && (std::isalnum(lower) || lower == '_')) kept += static_cast<char>(lower);
    }
    if (kept.empty()) return "untitled_campaign";
    return kept + ".bin";
}

bool isPlainFileName(const std::string& name) {
    if (name.empty() || name == ".") return false;
    if (name.find("..") != std::string::npos) return false;
    return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::vector<std::string> get_replay_files(const std::string& dir) {
    std::vector<std::string> files;
    try {
        if (!fs::exists(dir)) {
            std::cerr << "Replay folder not found: " << dir << "\n";
            return files;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path().filename().string());
    } catch (const fs::filesystem_error& e) {
        std::cerr << "Error scanning replay folder: " << e.what() << "\n";
    }
    return files;
}

std::vector<std::string> scanMapDirectory() {
    std::vector<std::string> maps;
    const fs::path folder = basePath + "maps/";
    try {
        if (fs::exists(folder) && fs::is_directory(folder)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(folder))
                if (entry.path().extension() == ".map") maps.push_back(entry.path().stem().string());
        }
    } catch (const fs::filesystem_error& e) {
        std::cerr << "Error scanning map folder: " << e.what() << "\n";
    }
    if (maps.empty()) maps = {"fight", "murky_river"};
    std::sort(maps.begin(), maps.end());
    return maps;
}

namespace {

constexpr const char* TEMPORARY_SUFFIX = ".tmp";

// Every byte into the file, flushed, on the disk and closed; the reason of the first failure otherwise. Before
// the rename, so a power cut can never leave the name on a file whose bytes never reached the disk.
bool writeAll(std::FILE* out, const std::string& bytes, std::string& reason) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0 &&
                         ::fsync(::fileno(out)) == 0;
    if (!written) reason = std::strerror(errno);
    const bool closed = std::fclose(out) == 0;
    if (written && !closed) reason = std::strerror(errno);
    return written && closed;
}

// The folder's entries on the disk, so the rename itself outlives a power cut; the reason otherwise.
bool syncFolderOf(const std::string& path, std::string& reason) {
    const fs::path parent = fs::path(path).parent_path();
    const int folder = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && syncFolder(folder) == 0;
    if (!synced) reason = std::strerror(errno);
    if (folder >= 0) ::close(folder);
    return synced;
}

}  // namespace

int (*syncFolder)(int folder) = ::fsync;

bool writeFileAtomically(const std::string& path, const std::string& bytes, const std::string& kind,
                         const std::string& openFailure) {
    const std::string temporary = path + TEMPORARY_SUFFIX;
    std::error_code ignored;
    std::string reason;
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out && !openFailure.empty()) {
        std::cerr << openFailure << "\n";
        return false;
    }
    const bool opened = out != nullptr;
    if (!opened) reason = std::strerror(errno);
    if (!opened || !writeAll(out, bytes, reason)) {
        std::cerr << "Failed to write " << kind << ": " << path << ": " << reason << "\n";
        // Only a temporary file this call made is removed again.
        if (opened) fs::remove(temporary, ignored);
        return false;
    }
    std::error_code renameError;
    fs::rename(temporary, path, renameError);
    if (renameError) {
        std::cerr << "Failed to replace " << kind << ": " << path << ": " << renameError.message() << "\n";
        fs::remove(temporary, ignored);
        return false;
    }
    // The new file holds the name and is whole: only whether the name survives a power cut is unsure, which the
    // caller cannot undo. Reporting a failure would have it act as if the old file were still there.
    if (!syncFolderOf(path, reason))
        std::cerr << "Could not sync the folder of " << kind << ": " << path << ": " << reason << "\n";
    return true;
}

void removeLeftoverTemporaries(const std::string& folder, fs::file_time_type now) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        const std::string name = it->path().filename().string();
        const bool temporary = name.size() > std::strlen(TEMPORARY_SUFFIX) &&
                               name.compare(name.size() - std::strlen(TEMPORARY_SUFFIX), std::string::npos,
                                            TEMPORARY_SUFFIX) == 0;
        if (!temporary || !it->is_regular_file(entryError)) continue;
        const fs::file_time_type written = it->last_write_time(entryError);
        if (!entryError && now - written >= LEFTOVER_AGE) fs::remove(it->path(), entryError);
    }
}

}  // namespace Utils
