// One script state's memory: a reserved region in which where a block lands depends only on the requests before it.
#include "mod_arena.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>

namespace {

constexpr size_t GRANULE = 16;
constexpr size_t FINE_CLASSES = 64;  // 16 to 1024 bytes in steps of 16
constexpr std::array<size_t, 16> COARSE_BYTES = {1280, 1536, 1792, 2048, 2560,  3072,  3584,  4096,
                                                 5120, 6144, 7168, 8192, 10240, 12288, 14336, 16384};
// The interpreter hashes a table's address by its low 32 bits: a region that starts on such a boundary gives
// every key the same slot on every peer.
constexpr uintptr_t HASH_ALIGNMENT = uintptr_t{1} << 32;

size_t pagesFor(size_t bytes) { return (bytes + ModArena::PAGE - 1) / ModArena::PAGE; }

// Reserves address space only: pages cost memory once they are written.
char* reserve(size_t bytes, size_t alignment) {
    void* raw = mmap(nullptr, bytes + alignment, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + alignment - 1) & ~(alignment - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const uintptr_t end = start + bytes + alignment;
    if (end > aligned + bytes) munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
    void* region = reinterpret_cast<void*>(aligned);
    if (mprotect(region, bytes, PROT_READ | PROT_WRITE) != 0) {
        munmap(region, bytes);
        return nullptr;
    }
    return static_cast<char*>(region);
}

}  // namespace

uint8_t smallClassOf(size_t size) {
    if (size <= FINE_CLASSES * GRANULE)
        return static_cast<uint8_t>((std::max<size_t>(size, 1) + GRANULE - 1) / GRANULE - 1);
    const auto coarse = std::lower_bound(COARSE_BYTES.begin(), COARSE_BYTES.end(), size);
    return static_cast<uint8_t>(FINE_CLASSES + static_cast<size_t>(coarse - COARSE_BYTES.begin()));
}

size_t smallClassBytes(uint8_t sizeClass) {
    return sizeClass < FINE_CLASSES ? (sizeClass + 1u) * GRANULE : COARSE_BYTES[sizeClass - FINE_CLASSES];
}

std::optional<size_t> PageRuns::take(size_t pages, size_t ceiling) {
    // The smallest freed run that holds the pages below the ceiling: one the host freed above it stays the host's.
    for (auto fit = bySize_.lower_bound({pages, 0}); fit != bySize_.end(); ++fit) {
        const auto [length, first] = *fit;
        if (first + pages > ceiling) continue;
        forget(byStart_.find(first));
        if (length > pages) give(first + pages, length - pages);
        return first;
    }
    if (top_ + pages > std::min(ceiling, limit_)) return std::nullopt;
    top_ += pages;
    return top_ - pages;
}

void PageRuns::give(size_t first, size_t pages) {
    auto after = byStart_.find(first + pages);
    if (after != byStart_.end()) {
        pages += after->second;
        forget(after);
    }
    auto before = byStart_.lower_bound(first);
    if (before != byStart_.begin() && std::prev(before)->first + std::prev(before)->second == first) {
        --before;
        first = before->first;
        pages += before->second;
        forget(before);
    }
    if (first + pages == top_) {
        top_ = first;
        return;
    }
    byStart_.emplace(first, pages);
    bySize_.emplace(pages, first);
}

void PageRuns::forget(std::map<size_t, size_t>::iterator run) {
    bySize_.erase({run->second, run->first});
    byStart_.erase(run);
}

ModArena::ModArena(size_t capacity)
    : base_(reserve(capacity, HASH_ALIGNMENT)),
      capacity_(capacity),
      pages_(capacity / PAGE),
      chunkOfPage_(capacity / PAGE, 0) {
    // Without room for the alignment the places are still the same on every peer, only the slots may differ.
    if (!base_) base_ = reserve(capacity, PAGE);
}

ModArena::~ModArena() {
    if (base_) munmap(base_, capacity_);
}

size_t ModArena::ceiling(bool guarded) const {
    const size_t all = pages_.limit();
    return guarded ? all - std::min(all, HOST_RESERVE_PAGES) : all;
}

void* ModArena::allocate(size_t size, Pool pool, bool guarded) {
    if (!base_) return nullptr;
    return size <= LARGEST_SMALL ? allocateSmall(size, pool, guarded) : allocateLarge(size, guarded);
}

void* ModArena::allocateSmall(size_t size, Pool pool, bool guarded) {
    const uint8_t sizeClass = smallClassOf(size);
    std::set<size_t>& roomy = roomy_[static_cast<size_t>(pool)][sizeClass];
    if (roomy.empty()) {
        const std::optional<uint32_t> fresh = newChunk(sizeClass, pool, guarded);
        if (!fresh) return nullptr;
        roomy.insert(chunks_[*fresh].firstPage);
    }
    const uint32_t index = chunkOfPage_[*roomy.begin()] - 1;
    Chunk& chunk = chunks_[index];
    size_t offset = 0;
    if (chunk.freeHead) {
        offset = chunk.freeHead - 1;
        std::memcpy(&chunk.freeHead, base_ + offset, sizeof chunk.freeHead);
    } else {
        offset = chunk.firstPage * PAGE + size_t{chunk.carved++} * chunk.blockSize;
    }
    if (++chunk.live == chunk.capacity) roomy.erase(chunk.firstPage);
    return base_ + offset;
}

std::optional<uint32_t> ModArena::newChunk(uint8_t sizeClass, Pool pool, bool guarded) {
    const std::optional<size_t> first = pages_.take(CHUNK_PAGES, ceiling(guarded));
    if (!first) return std::nullopt;
    uint32_t index = 0;
    if (unusedChunkRecords_.empty()) {
        index = static_cast<uint32_t>(chunks_.size());
        chunks_.emplace_back();
    } else {
        index = unusedChunkRecords_.back();
        unusedChunkRecords_.pop_back();
    }
    Chunk& chunk = chunks_[index];
    chunk = Chunk{};
    chunk.firstPage = *first;
    chunk.blockSize = static_cast<uint32_t>(smallClassBytes(sizeClass));
    chunk.capacity = static_cast<uint32_t>(CHUNK_PAGES * PAGE / chunk.blockSize);
    chunk.sizeClass = sizeClass;
    chunk.pool = pool;
    std::fill_n(chunkOfPage_.begin() + static_cast<std::ptrdiff_t>(*first), CHUNK_PAGES, index + 1);
    return index;
}

void* ModArena::allocateLarge(size_t size, bool guarded) {
    const std::optional<size_t> first = pages_.take(pagesFor(size), ceiling(guarded));
    return first ? base_ + *first * PAGE : nullptr;
}

void ModArena::release(void* block, size_t size) {
    const size_t offset = static_cast<size_t>(static_cast<char*>(block) - base_);
    if (const std::optional<uint32_t> chunk = chunkAt(offset))
        releaseSmall(*chunk, offset);
    else
        releasePages(offset / PAGE, pagesFor(size));
}

void ModArena::releaseSmall(uint32_t index, size_t offset) {
    Chunk& chunk = chunks_[index];
    std::memcpy(base_ + offset, &chunk.freeHead, sizeof chunk.freeHead);
    chunk.freeHead = offset + 1;
    std::set<size_t>& roomy = roomyOf(chunk);
    if (chunk.live-- == chunk.capacity) roomy.insert(chunk.firstPage);
    // One empty chunk per class stays, so a block made and freed over and over does not cost a chunk each time.
    if (chunk.live == 0 && roomy.size() > 1) {
        roomy.erase(chunk.firstPage);
        releaseChunk(index);
    }
}

void ModArena::releaseChunk(uint32_t index) {
    const size_t first = chunks_[index].firstPage;
    std::fill_n(chunkOfPage_.begin() + static_cast<std::ptrdiff_t>(first), CHUNK_PAGES, 0);
    unusedChunkRecords_.push_back(index);
    releasePages(first, CHUNK_PAGES);
}

// The machine gets the pages back, so what a script freed does not stay resident.
void ModArena::releasePages(size_t first, size_t pages) {
    madvise(base_ + first * PAGE, pages * PAGE, MADV_DONTNEED);
    pages_.give(first, pages);
}

void* ModArena::resize(void* block, size_t oldSize, size_t newSize, bool guarded) {
    const size_t offset = static_cast<size_t>(static_cast<char*>(block) - base_);
    const std::optional<uint32_t> chunk = chunkAt(offset);
    const bool small = newSize <= LARGEST_SMALL;
    if (chunk && small && smallClassOf(newSize) == chunks_[*chunk].sizeClass) return block;
    const size_t oldPages = pagesFor(oldSize);
    const size_t newPages = pagesFor(newSize);
    if (!chunk && !small && newPages == oldPages) return block;
    const Pool pool = chunk ? chunks_[*chunk].pool : Pool::Data;
    if (void* moved = allocate(newSize, pool, guarded)) {
        std::memcpy(moved, block, std::min(oldSize, newSize));
        release(block, oldSize);
        return moved;
    }
    // A shrink the region cannot place elsewhere stays where it is: a small block's chunk knows its size, and a
    // large one gives back the pages past its new end.
    if (newSize > oldSize) return nullptr;
    if (!chunk) releasePages(offset / PAGE + newPages, oldPages - newPages);
    return block;
}

std::optional<size_t> ModArena::offsetOf(const void* place) const {
    const auto at = reinterpret_cast<uintptr_t>(place);
    const auto start = reinterpret_cast<uintptr_t>(base_);
    if (!base_ || at < start || at >= start + capacity_) return std::nullopt;
    return static_cast<size_t>(at - start);
}

std::optional<uint32_t> ModArena::chunkAt(size_t offset) const {
    const uint32_t entry = chunkOfPage_[offset / PAGE];
    return entry ? std::optional<uint32_t>(entry - 1) : std::nullopt;
}

std::set<size_t>& ModArena::roomyOf(const Chunk& chunk) {
    return roomy_[static_cast<size_t>(chunk.pool)][chunk.sizeClass];
}
