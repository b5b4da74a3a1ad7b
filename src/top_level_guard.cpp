// The last catch of a program: a fault that escapes everything else ends it with one line and exit code 1.
#include "top_level_guard.h"

#include <exception>
#include <iostream>

int runGuarded(const char* program, const std::function<int()>& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << "\n";
    } catch (...) {
        std::cerr << program << ": an unknown fault ended the program\n";
    }
    return 1;
}
