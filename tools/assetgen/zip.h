// A small ZIP writer: entries in the given order, fixed timestamps, so equal input gives equal bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name;
    std::vector<uint8_t> data;
    bool compress = true;
};

// Writes beside the target and renames over it, so a failure never leaves a broken archive behind.
// Where a file is written before it is renamed into place: beside it, named for this process.
std::string partialPath(const std::string& path);
bool isPartialPath(const std::string& path);

bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries, std::string& error);
