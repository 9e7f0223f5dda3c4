// Asset files are opened non-blocking, so that a named pipe without a
// writer or a device cannot stall the game in open(), and only regular files
// and folders are kept: a pipe, a device or a socket in place of an asset,
// which could block a read for ever, is refused at once, exactly as a missing
// file is. A folder cannot block: it opens, and reading it fails, which
// readers take as the end of the file.
#include "assets/files.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int open_asset_file(const char *path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st;
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

SDL_RWops *open_asset_source(const char *path) {
    int fd = open_asset_file(path);
    FILE *file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    SDL_RWops *source = file ? SDL_RWFromFP(file, 1) : nullptr;
    if (!source) {
        if (file)
            fclose(file);
        else if (fd >= 0)
            close(fd);
        // The words SDL_RWFromFile uses for a file it cannot open.
        SDL_SetError("Couldn't open %s", path);
    }
    return source;
}
