// The virtual X server's screen as the Windows tests read it back under wine: cmake/wine-run.sh names its
// framebuffer file (XWD format) in TALVERO_XVFB_SCREEN; wine reaches the Linux file system as drive Z:.
#pragma once
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// The wine path of the screen file; empty without one (real Windows, or wine without the variable).
inline std::string XvfbScreenFile() {
    char path[1024] = {};
    DWORD length = GetEnvironmentVariableA("TALVERO_XVFB_SCREEN", path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    std::string file = "Z:";
    for (DWORD i = 0; i < length; ++i) file.push_back(path[i] == '/' ? '\\' : path[i]);
    return file;
}

// The screen's pixels in the rectangle, row by row, as 0xAARRGGBB, the alpha byte as the X server keeps it
// for a translucent window (premultiplied, as the window was handed it); false when the screen cannot be
// read there.
inline bool XvfbScreenArea(int x, int y, int width, int height, std::vector<uint32_t>& pixels) {
    std::ifstream screen(XvfbScreenFile(), std::ios::binary);
    unsigned char header[100];
    if (!screen.read(reinterpret_cast<char*>(header), sizeof header)) return false;
    auto field = [&](int index) {
        const unsigned char* at = header + 4 * index;
        return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
               static_cast<uint32_t>(at[2]) << 8 | static_cast<uint32_t>(at[3]);
    };
    const uint32_t headerSize = field(0), screenWidth = field(4), screenHeight = field(5),
                   byteOrder = field(7);
    const uint32_t bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
    if (bitsPerPixel != 32 || x < 0 || y < 0 || width <= 0 || height <= 0 ||
        static_cast<uint32_t>(x + width) > screenWidth || static_cast<uint32_t>(y + height) > screenHeight)
        return false;
    pixels.clear();
    std::vector<unsigned char> row(static_cast<size_t>(width) * 4);
    for (int line = y; line < y + height; ++line) {
        std::streamoff offset =
            static_cast<std::streamoff>(headerSize) + 12 * static_cast<std::streamoff>(colours) +
            static_cast<std::streamoff>(line) * bytesPerLine + 4 * static_cast<std::streamoff>(x);
        if (!screen.seekg(offset) ||
            !screen.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size())))
            return false;
        for (int i = 0; i < width; ++i) {
            const unsigned char* p = row.data() + 4 * i;
            pixels.push_back(byteOrder == 0
                                 ? static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
                                       static_cast<uint32_t>(p[1]) << 8 | p[0]
                                 : static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                                       static_cast<uint32_t>(p[2]) << 8 | p[3]);
        }
    }
    return true;
}

// Waits up to a second for the X server to show `argb` at (x, y); the pixel last read otherwise.
inline uint32_t XvfbScreenPixelSoon(int x, int y, uint32_t argb) {
    std::vector<uint32_t> seen;
    for (int i = 0; i < 100; ++i) {
        if (XvfbScreenArea(x, y, 1, 1, seen) && seen[0] == argb) return argb;
        Sleep(10);
    }
    return seen.empty() ? 0 : seen[0];
}
