// Image files by their content, and the check that an output can be written.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ImageIO.h"

namespace Tools {
namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
    throw ImageIOError(path + ": " + what);
}

}  // namespace

Raster readImage(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    if (!file) fail(path, std::strerror(errno));
    unsigned char magic[8] = {};
    std::size_t n = std::fread(magic, 1, sizeof magic, file.get());
    // A directory opens, but reading it fails: say why rather than calling it empty.
    if (n == 0 && std::ferror(file.get())) fail(path, std::strerror(errno));
    file.reset();
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (n == 8 && std::memcmp(magic, kPng, 8) == 0) return readPng(path);
    if (n >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) &&
                    magic[3] == 0) ||
                   (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 &&
                    (magic[3] == 42 || magic[3] == 43)))) {
        return readTiff(path);
    }
    fail(path, n == 0 ? "is empty" : "is neither a TIFF nor a PNG file");
}

void checkWritable(const std::string& path) {
    if (path.empty()) throw ImageIOError("an output file needs a name");
    // Opened for writing without truncating, so that an existing file keeps its content.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return;
    }
    if (errno != EEXIST) fail(path, std::strerror(errno));
    // Not blocking: a named pipe without a reader would wait here.
    const int existing = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (existing < 0) fail(path, std::strerror(errno));
    ::close(existing);
}

}  // namespace Tools
