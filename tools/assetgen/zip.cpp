// A small ZIP writer: entries in the given order, fixed timestamps, so equal input gives equal bytes.
#include "zip.h"

#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

namespace {

const uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
const uint16_t kDosTime = 0;

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool deflateRaw(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    out.resize(deflateBound(&zs, static_cast<uLong>(in.size())));
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return rc == Z_STREAM_END;
}

}  // namespace

std::string partialPath(const std::string& path) { return path + "." + std::to_string(getpid()) + ".part"; }

bool isPartialPath(const std::string& path) {
    return path.size() > 5 && path.compare(path.size() - 5, 5, ".part") == 0;
}

bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries, std::string& error) {
    if (entries.size() > 65535) {
        error = "too many entries for a ZIP without ZIP64";
        return false;
    }
    std::vector<uint8_t> body, central;
    for (const ZipEntry& e : entries) {
        if (e.name.size() > 65535 || e.data.size() > 0xFFFFFFFFull) {
            error = "entry too large: " + e.name;
            return false;
        }
        uint32_t crc = static_cast<uint32_t>(crc32(0L, e.data.data(), static_cast<uInt>(e.data.size())));
        std::vector<uint8_t> packed;
        uint16_t method = 0;
        if (e.compress && deflateRaw(e.data, packed) && packed.size() < e.data.size()) {
            method = 8;
        } else {
            packed = e.data;
        }
        if (body.size() > 0xFFFFFFFFull - packed.size() - 64) {
            error = "archive larger than 4 GiB";
            return false;
        }
        uint32_t offset = static_cast<uint32_t>(body.size());
        put32(body, 0x04034b50);
        put16(body, 20);
        put16(body, 0);
        put16(body, method);
        put16(body, kDosTime);
        put16(body, kDosDate);
        put32(body, crc);
        put32(body, static_cast<uint32_t>(packed.size()));
        put32(body, static_cast<uint32_t>(e.data.size()));
        put16(body, static_cast<uint16_t>(e.name.size()));
        put16(body, 0);
        body.insert(body.end(), e.name.begin(), e.name.end());
        body.insert(body.end(), packed.begin(), packed.end());

        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 20);
        put16(central, 0);
        put16(central, method);
        put16(central, kDosTime);
        put16(central, kDosDate);
        put32(central, crc);
        put32(central, static_cast<uint32_t>(packed.size()));
        put32(central, static_cast<uint32_t>(e.data.size()));
        put16(central, static_cast<uint16_t>(e.name.size()));
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central.insert(central.end(), e.name.begin(), e.name.end());
    }
    uint32_t cdOffset = static_cast<uint32_t>(body.size());
    uint32_t cdSize = static_cast<uint32_t>(central.size());
    put32(central, 0x06054b50);
    put16(central, 0);
    put16(central, 0);
    put16(central, static_cast<uint16_t>(entries.size()));
    put16(central, static_cast<uint16_t>(entries.size()));
    put32(central, cdSize);
    put32(central, cdOffset);
    put16(central, 0);

    const std::string tmp = partialPath(path);
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
        out.write(reinterpret_cast<const char*>(central.data()), static_cast<std::streamsize>(central.size()));
        if (!out) {
            error = "cannot write " + tmp;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        error = "cannot rename " + tmp + ": " + ec.message();
        return false;
    }
    return true;
}
