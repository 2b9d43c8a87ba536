// The one way bytes reach a file, with the tests' stand-in for a full disk.
#include "base/file_bytes.h"

#include <algorithm>

namespace {
WriteFaultHook writeFaultHook = nullptr;
}

void SetWriteFaultHook(WriteFaultHook hook) {
    writeFaultHook = hook;
}

bool PutFileBytes(std::FILE* file, const std::string& path, const char* data, size_t size) {
    size_t fits = writeFaultHook ? std::min(size, writeFaultHook(path, size)) : size;
    bool ok = std::fwrite(data, 1, fits, file) == fits;
    return ok && fits == size;
}
