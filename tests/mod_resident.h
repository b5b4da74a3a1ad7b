// How much of a script state's region the machine holds in memory.
#pragma once

#include <cstddef>

// Pages of [start, start + pages * 4096) that are resident; start is page-aligned.
size_t residentPages(const char* start, size_t pages);
