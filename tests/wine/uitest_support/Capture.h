// Reading painted pixels back from real windows, and saving them as PNG.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // row by row, top first
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Image& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
};

// The client area of the window as painted (read back from its DC).
Image CaptureClient(HWND hWnd);
// The whole window, frame and caption included.
Image CaptureWindow(HWND hWnd);
// An area of an image.
Image Crop(const Image& image, int x, int y, int width, int height);

// Writes an 8-bit RGB PNG (stored, uncompressed deflate blocks).
bool WritePng(const Image& image, const std::string& windowsPath);
// build/screenshots/<name> in the source tree, as a Windows path; the
// folder is created when missing.
std::string ScreenshotPath(const char* name);

// Runs the thread's message queue until it is empty.
void PumpMessages();
