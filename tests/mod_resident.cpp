// How much of a script state's region the machine holds in memory (apart, because <sys/mman.h> defines MAP_FILE).
#include "mod_resident.h"

#include <gtest/gtest.h>

#include <vector>

#include <sys/mman.h>

#include "mod_arena.h"

size_t residentPages(const char* start, size_t pages) {
    std::vector<unsigned char> resident(pages);
    EXPECT_EQ(mincore(const_cast<char*>(start), pages * ModArena::PAGE, resident.data()), 0);
    size_t count = 0;
    for (unsigned char page : resident) count += page & 1u;
    return count;
}
