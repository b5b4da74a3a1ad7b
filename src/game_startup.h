// Program start-up in the order its steps depend on, and shutdown in the reverse.
#pragma once

// Brings the libraries, the configuration, the window, the menus and the content up; false, after one line on the
// error stream, when the program must end with exit code 1 (no asset root, PhysFS, SDL or SDL_ttf failing, the
// UI font missing or broken, an unusable configuration).
bool startUp(const char* programPath);

// Frees the menus, fonts, renderer and window, then quits the libraries.
void shutDown();
