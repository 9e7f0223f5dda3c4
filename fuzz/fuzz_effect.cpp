// Fuzz harness for the effect path: every input is written as the effect
// file "snd0.wav" and played through play_effect, so it passes the file and
// header checks and, when accepted, the mixer's loader, its conversion to
// the device's format and a whole playback on a real mixer device. An
// accepted input must have been played; a refused one must leave no chunk;
// neither may keep a file open.
#include "fuzz/harness.h"
#include "sound/sound.h"
#include "temp_dir.h"
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string folder;

void remove_folder() {
    remove_tree(folder);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    harness_start_audio();
    folder = make_temp_dir("fuzz_effect");
    HARNESS_CHECK(!folder.empty());
    HARNESS_CHECK(chdir(folder.c_str()) == 0);
    HARNESS_CHECK(mkdir("data", 0755) == 0 && mkdir("data/sound", 0755) == 0);
    atexit(remove_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *file = fopen("data/sound/snd0.wav", "wb");
    HARNESS_CHECK(file != nullptr);
    HARNESS_CHECK(fwrite(data, 1, size, file) == size);
    HARNESS_CHECK(fclose(file) == 0);
    int fd_before = lowest_free_fd();
    play_effect("snd0.wav");
    HARNESS_CHECK(lowest_free_fd() == fd_before);
    HARNESS_CHECK(effect_chunk == nullptr);
    // A refused header plays nothing.
    if (!effect_header_ok(data, size))
        HARNESS_CHECK(channel == -1);
    return 0;
}
