// Fuzz harness for the PCX loader: every input is written to a temporary
// file and loaded. A successful load must describe a pixel array that can
// be read whole; a refused one must leave an all-zero record; neither may
// keep a file open.
#include "fuzz/harness.h"
#include "assets/pcx.h"
#include "temp_dir.h"
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

char path[64];
int file_fd = -1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    harness_start_display();
    const char *dir = getenv("TMPDIR");
    snprintf(path, sizeof path, "%s/fuzz_pcx_XXXXXX", dir && strlen(dir) < 40 ? dir : "/tmp");
    file_fd = mkstemp(path);
    HARNESS_CHECK(file_fd >= 0);
    // The name stays valid for this process only; nothing is left behind.
    atexit([] { unlink(path); });
    return 0;
}

// Pictures the loader accepts may declare up to 16 Mi pixels and lines of
// up to 2048 bytes, which a short file fills with the missing-byte value;
// decoding that much under the sanitizers takes seconds. When a header
// declares more decoding work than DECODE_BUDGET bytes (rows times the line
// and row length), yet not so much that the loader refuses it, its height is
// cut to fit, so the run stays fast while sizes above the loader's limits
// are still tried. Large pictures are the unit tests' business.
const int64_t DECODE_BUDGET = 1 << 16;

static void limit_height(uint8_t *header, size_t size) {
    if (size < 68)
        return;
    int32_t xmin = header[4] | header[5] << 8;
    int32_t ymin = header[6] | header[7] << 8;
    int32_t xmax = header[8] | header[9] << 8;
    int32_t ymax = header[10] | header[11] << 8;
    int64_t width = xmax - xmin + 1;
    int64_t height = ymax - ymin + 1;
    int64_t line = (int64_t)header[65] * (header[66] | header[67] << 8);
    int64_t row_cost = width + line;
    if (width < 1 || height < 1 || width * height > PCX_MAX_PIXELS ||
        height * row_cost <= DECODE_BUDGET)
        return;
    int32_t new_ymax = ymin + (int32_t)(DECODE_BUDGET / row_cost) - 1;
    header[10] = (uint8_t)new_ymax;
    header[11] = (uint8_t)(new_ymax >> 8);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uint8_t header[68];
    memcpy(header, data, size < 68 ? size : 68);
    limit_height(header, size);
    HARNESS_CHECK(ftruncate(file_fd, 0) == 0);
    HARNESS_CHECK(pwrite(file_fd, data, size, 0) == (ssize_t)size);
    if (size >= 12)
        HARNESS_CHECK(pwrite(file_fd, header, 12, 0) == 12);
    int fd_before = lowest_free_fd();

    static PalettedImage image;
    memset(&image, 0xA5, sizeof image); // the loader must clear what it is given
    int code = load_pcx(path, &image);
    HARNESS_CHECK(lowest_free_fd() == fd_before);

    if (code == 0) {
        HARNESS_CHECK(image.width >= 1 && image.height >= 1);
        HARNESS_CHECK(image.pixels != nullptr);
        // Touch every pixel, so that an array shorter than width x height is
        // reported by the address checks.
        size_t n = (size_t)image.width * (size_t)image.height;
        unsigned sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum += image.pixels[i];
        volatile unsigned sink = sum;
        (void)sink;
        // One-bit pictures use the 16 header colours only.
        if (size > 3 && data[3] == 1)
            for (int i = 16; i < 256; ++i)
                HARNESS_CHECK(image.palette[i] == 0);
    } else {
        HARNESS_CHECK(image.pixels == nullptr);
        HARNESS_CHECK(image.width == 0 && image.height == 0);
        for (int i = 0; i < 256; ++i)
            HARNESS_CHECK(image.palette[i] == 0);
    }
    free_image(&image);
    HARNESS_CHECK(image.pixels == nullptr);
    free_image(&image);
    return 0;
}
