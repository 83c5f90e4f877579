// make-test-skin FOLDER: writes the toolkit's test skin (layouts and images) into FOLDER, for
// skin-preview and manual runs.
#include <cstdio>

#include "TestSkin.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-test-skin FOLDER\n");
        return 2;
    }
    return TestSkin::WriteFolder(argv[1]) ? 0 : 1;
}
