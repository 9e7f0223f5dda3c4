#include "temp_dir.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <map>
#include <vector>

std::string make_temp_dir(const std::string &name) {
    // TMPDIR lets a caller put the folder on a faster file system.
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/jt_" + name + "_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        return "";
    return buffer.data();
}

std::string temp_file(const std::string &name, const std::string &file) {
    static std::map<std::string, std::string> made;
    std::string &dir = made[name];
    if (dir.empty())
        dir = make_temp_dir(name);
    return dir + "/" + file;
}

void remove_tree(const std::string &dir) {
    if (dir.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

int lowest_free_fd() {
    int fd = open("/dev/null", O_RDONLY);
    if (fd >= 0)
        close(fd);
    return fd;
}
