#pragma once
// The product and its uninstaller, carried inside the sample package as a real package carries
// its payload (the build puts the two files in).
#include <cstddef>

namespace sample {

struct PayloadBytes {
    const char* data = nullptr;
    size_t size = 0;
};

PayloadBytes ProductPayload();      // compressor.exe
PayloadBytes UninstallerPayload();  // the uninstaller, installed as "uninst.ep"

}  // namespace sample
