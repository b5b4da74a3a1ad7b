// One script state's memory: a reserved region in which where a block lands depends only on the requests before it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

// The region's pages: a bump mark and the freed runs, joined with their neighbours and taken best fit.
class PageRuns {
public:
    explicit PageRuns(size_t pages) : limit_(pages) {}
    // The first page of a run of that many, or nothing when the pages below ceiling cannot hold it.
    std::optional<size_t> take(size_t pages, size_t ceiling);
    void give(size_t first, size_t pages);
    size_t limit() const { return limit_; }

private:
    size_t limit_;
    size_t top_ = 0;                            // pages from here on were never handed out, or all came back
    std::map<size_t, size_t> byStart_;          // first page -> pages
    std::set<std::pair<size_t, size_t>> bySize_;  // (pages, first page)
    void forget(std::map<size_t, size_t>::iterator run);
};

// Small blocks of one size share 64 KiB chunks; larger ones take whole pages. Objects a script can use as table
// keys have chunks of their own, so vectors the interpreter resizes at moments of its own never move them.
class ModArena {
public:
    enum class Pool : uint8_t { Data, Keyable };
    static constexpr size_t PAGE = 4096;
    static constexpr size_t CHUNK_PAGES = 16;
    static constexpr size_t LARGEST_SMALL = 16384;
    // Pages kept back for the host's own pushes, which must not fail outside a protected call.
    static constexpr size_t HOST_RESERVE_PAGES = 256;

    explicit ModArena(size_t capacity);
    ~ModArena();
    ModArena(const ModArena&) = delete;
    ModArena& operator=(const ModArena&) = delete;

    bool reserved() const { return base_ != nullptr; }
    // Null when the region cannot place the block; the host's reserve is open only to unguarded requests.
    void* allocate(size_t size, Pool pool, bool guarded);
    // Like realloc; null leaves the block as it was.
    void* resize(void* block, size_t oldSize, size_t newSize, bool guarded);
    void release(void* block, size_t size);
    // Bytes from the region's start, or nothing for a place outside the region.
    std::optional<size_t> offsetOf(const void* place) const;
    const char* base() const { return base_; }

private:
    struct Chunk {
        size_t firstPage = 0;
        uint32_t blockSize = 0;
        uint32_t capacity = 0;
        uint32_t carved = 0;  // blocks ever taken from the chunk's end
        uint32_t live = 0;
        size_t freeHead = 0;  // offset + 1 of the first freed block, 0 for none
        uint8_t sizeClass = 0;
        Pool pool = Pool::Data;
    };
    static constexpr size_t CLASSES = 80;

    char* base_ = nullptr;
    size_t capacity_ = 0;
    PageRuns pages_;
    std::vector<uint32_t> chunkOfPage_;  // chunk index + 1, 0 on pages of large blocks or free pages
    std::vector<Chunk> chunks_;
    std::vector<uint32_t> unusedChunkRecords_;
    // Per pool and size class: chunks with room, lowest page first.
    std::array<std::array<std::set<size_t>, CLASSES>, 2> roomy_;

    size_t ceiling(bool guarded) const;
    void* allocateSmall(size_t size, Pool pool, bool guarded);
    void* allocateLarge(size_t size, bool guarded);
    std::optional<uint32_t> newChunk(uint8_t sizeClass, Pool pool, bool guarded);
    void releaseSmall(uint32_t chunk, size_t offset);
    void releaseChunk(uint32_t chunk);
    void releasePages(size_t first, size_t pages);
    std::optional<uint32_t> chunkAt(size_t offset) const;
    std::set<size_t>& roomyOf(const Chunk& chunk);
};

// The size class of a small block and the bytes it holds.
uint8_t smallClassOf(size_t size);
size_t smallClassBytes(uint8_t sizeClass);
