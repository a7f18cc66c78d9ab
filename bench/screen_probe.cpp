// Waits until a rectangle of the X screen is drawn: its mean brightness (0 to 1) rises above a threshold.
// The start-up script uses it to see the window's first paint; it reads only that rectangle, so it takes
// almost nothing from the program it watches.
// usage: screen_probe X Y WIDTH HEIGHT THRESHOLD TIMEOUT-SECONDS   exit status 0 drawn, 1 timed out
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <xcb/xcb.h>

namespace
{
// Mean brightness of the rectangle, or -1 when it cannot be read.
double meanBrightness(xcb_connection_t* pConnection, xcb_window_t root, int x, int y, int width, int height)
{
    const xcb_get_image_cookie_t cookie =
        xcb_get_image(pConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<int16_t>(x), static_cast<int16_t>(y),
                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0U);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
        xcb_get_image_reply(pConnection, cookie, nullptr), &std::free);
    if (!reply || reply->depth < 24) {
        return -1;
    }
    // 24-bit visuals come as 4 bytes a pixel: blue, green, red, unused.
    const uint8_t* p = xcb_get_image_data(reply.get());
    const int nBytes = xcb_get_image_data_length(reply.get());
    double dSum = 0;
    int nPixels = 0;
    for (int i = 0; i + 3 < nBytes; i += 4, ++nPixels) {
        dSum += 0.0722 * p[i] + 0.7152 * p[i + 1] + 0.2126 * p[i + 2];
    }
    return nPixels == 0 ? -1 : dSum / nPixels / 255.0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: screen_probe X Y WIDTH HEIGHT THRESHOLD TIMEOUT-SECONDS\n");
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const int width = std::atoi(argv[3]);
    const int height = std::atoi(argv[4]);
    const double dThreshold = std::atof(argv[5]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::atof(argv[6]));

    xcb_connection_t* pConnection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(pConnection)) {
        std::fprintf(stderr, "screen_probe: cannot connect to the display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(pConnection)).data->root;
    int nStatus = 1;
    while (std::chrono::steady_clock::now() < deadline) {
        if (meanBrightness(pConnection, root, x, y, width, height) > dThreshold) {
            nStatus = 0;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    xcb_disconnect(pConnection);
    return nStatus;
}
