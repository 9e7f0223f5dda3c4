// PCX reader: 8-bit one-plane pictures with the 256-colour palette at the
// end of the file, and 1-bit pictures in any number of planes with the
// 16-colour header palette.
//
// Header words are assembled from single bytes, low byte first, so the
// reader gives the same result on little- and big-endian hosts.
#include "assets/pcx.h"
#include "app/fatal.h"

#include "assets/files.h"
#include "gfx/display.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

enum {
    READ_BLOCK = 1024,    // bytes fetched by one read()
    SCAN_LINE_MAX = 2048, // bytes of one decoded scan line, all planes
    PALETTE_SIZE = 768,
};

// Buffered reader over one open file descriptor.
struct ByteReader {
    uint8_t *buffer;       // READ_BLOCK bytes, allocated on first use, never freed
    int32_t count;         // bytes of buffer not yet handed out
    const uint8_t *cursor; // next byte to hand out
    int fd;                // the file being read
    bool hit_end;          // a read found the end of the file (or an error)
};

static ByteReader reader;
static uint8_t scan_line[SCAN_LINE_MAX];

static void reader_reset() {
    if (!reader.buffer) {
        reader.buffer = (uint8_t *)malloc(READ_BLOCK);
        if (!reader.buffer)
            out_of_memory(NO_MEMORY_READER);
    }
    reader.count = 0;
    reader.hit_end = false;
}

// Next byte 0..255, or -1 at the end of the file; a read error counts as the
// end. Once the end is found the reader stays there without asking read()
// again, so a cut-off file that claims a large picture fills its missing
// rows without millions of system calls.
static inline int reader_byte() {
    if (reader.count == 0) {
        if (reader.hit_end)
            return -1;
        ssize_t got = read(reader.fd, reader.buffer, READ_BLOCK);
        if (got <= 0) {
            reader.hit_end = true;
            return -1;
        }
        reader.count = (int32_t)got;
        reader.cursor = reader.buffer;
    }
    reader.count--;
    return *reader.cursor++;
}

// Little-endian word; negative when the file ends inside it.
static int reader_word() {
    int low = reader_byte();
    int high = reader_byte();
    return low | (high * 256);
}

static void reader_skip(int n) {
    for (int i = 0; i < n; i++)
        reader_byte();
}

// Decodes one run-length-encoded scan line of length bytes into scan_line.
// Runs never spill into the next line; missing bytes decode as 255.
static void decode_line(int length) {
    int j = 0;
    while (j < length) {
        int c = reader_byte();
        if (c < 192) {
            scan_line[j++] = (uint8_t)c;
            continue;
        }
        uint8_t v = (uint8_t)reader_byte();
        int n = c & 63;
        if (n > length - j)
            n = length - j;
        memset(scan_line + j, v, n);
        j += n;
    }
}

static int fail(int fd, int code) {
    close(fd);
    return code;
}

int load_pcx(const char *path, PalettedImage *image) {
    reader_reset();
    memset(image, 0, sizeof *image);
    int fd = open_asset_file(path);
    if (fd < 0)
        return PCX_CANNOT_OPEN;
    reader.fd = fd;

    if (reader_byte() != 10)
        return fail(fd, PCX_BAD_MANUFACTURER);
    if (reader_byte() != 5)
        return fail(fd, PCX_BAD_VERSION);
    if (reader_byte() != 1)
        return fail(fd, PCX_BAD_ENCODING);
    int bits = reader_byte();
    if (bits != 8 && bits != 1)
        return fail(fd, PCX_BAD_DEPTH);

    int xmin = reader_word();
    int ymin = reader_word();
    int xmax = reader_word();
    int ymax = reader_word();
    reader_skip(4);
    uint8_t colour_map[48];
    for (int i = 0; i < 48; i++)
        colour_map[i] = (uint8_t)reader_byte();
    reader_skip(1);
    int planes = reader_byte();
    if (reader.hit_end)
        return fail(fd, PCX_SHORT_HEADER);
    if (bits == 8 && planes != 1)
        return fail(fd, PCX_BAD_PLANES);
    int bytes_per_line = reader_word();
    reader_skip(2);
    reader_skip(58);
    if (reader.hit_end)
        return fail(fd, PCX_SHORT_HEADER);

    int width = xmax - xmin + 1;
    int height = ymax - ymin + 1;
    int line_length = planes * bytes_per_line;
    if (width < 1 || height < 1)
        return fail(fd, PCX_EMPTY_SIZE);
    if ((int64_t)width * height > PCX_MAX_PIXELS)
        return fail(fd, PCX_TOO_LARGE);
    if (line_length > SCAN_LINE_MAX)
        return fail(fd, PCX_LONG_LINE);
    if (bits == 8 && bytes_per_line < width)
        return fail(fd, PCX_NARROW_LINE);
    if (bits == 1 && planes > 0 && 8 * bytes_per_line < width)
        return fail(fd, PCX_NARROW_PLANE);
    if (bits == 8) {
        // The palette is the last 768 bytes of whatever the file holds, so a
        // short file lends it bytes of the header or the data; only a file
        // without 768 bytes to seek back over has none.
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_size < PALETTE_SIZE)
            return fail(fd, PCX_NO_PALETTE);
    }

    size_t size = (size_t)width * height;
    uint8_t *pixels = (uint8_t *)malloc(size);
    if (!pixels)
        return fail(fd, PCX_NO_MEMORY);
    memset(pixels, 0, size);
    image->pixels = pixels;
    image->width = width;
    image->height = height;

    for (int y = 0; y < height; y++) {
        decode_line(line_length);
        uint8_t *row = pixels + (size_t)y * width;
        if (bits == 8) {
            memcpy(row, scan_line, width);
            continue;
        }
        int used_planes = planes < 8 ? planes : 8;
        for (int p = 0; p < used_planes; p++) {
            const uint8_t *plane = scan_line + p * bytes_per_line;
            uint8_t bit = (uint8_t)(1 << p);
            for (int x = 0; x < width; x++)
                if (plane[x >> 3] & (0x80 >> (x & 7)))
                    row[x] |= bit;
        }
    }

    SDL_PixelFormat *format = work_surface->format;
    if (bits == 8) {
        lseek(fd, -PALETTE_SIZE, SEEK_END);
        reader.count = 0;
        reader.hit_end = false;
        for (int i = 0; i < 256; i++) {
            int r = reader_byte();
            int g = reader_byte();
            int b = reader_byte();
            image->palette[i] = SDL_MapRGB(format, (Uint8)r, (Uint8)g, (Uint8)b);
        }
    } else {
        for (int i = 0; i < 16; i++)
            image->palette[i] =
                SDL_MapRGB(format, colour_map[3 * i], colour_map[3 * i + 1], colour_map[3 * i + 2]);
    }
    close(fd);
    return PCX_OK;
}

void free_image(PalettedImage *image) {
    if (image->pixels) {
        free(image->pixels);
        image->pixels = nullptr;
    }
}
