// The last catch of a program: a fault that escapes everything else ends it with one line and exit code 1.
#pragma once

#include <functional>

// The body's exit code; when an exception escapes the body, one line "<program>: <what it says>" on the error
// stream and 1, never an abort.
int runGuarded(const char* program, const std::function<int()>& body);
