// The benchmark's baseline: a C++ program that only prints one line, built with the same
// compiler and flags as cellkeeper-patch. What the tool costs beyond this is its own work.
#include <iostream>

int main() {
    std::cout << "Vantrel Cellkeeper Patch" << std::endl;
    return 0;
}
