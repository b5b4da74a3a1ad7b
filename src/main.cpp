// Program entry: start-up, the top-level loop and shutdown.
#include <iostream>

int main(int, char**) {
    return 0;
}
