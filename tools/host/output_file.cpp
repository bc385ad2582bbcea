#include "tools/host/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zask {

OutputFile::~OutputFile() {
    if (stream_ != nullptr && !temporary_.empty()) {
        std::fclose(stream_);
        unlink(temporary_.c_str());
    }
}

bool OutputFile::open(const std::string& path, std::string& error) {
    path_ = path;
    if (path == "-") {
        path_ = "standard output";
        temporary_.clear();
        stream_ = stdout;
        return true;
    }
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".partial-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    int fd = mkstemp(name.data());
    if (fd < 0) {
        error = path + ": cannot create: " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; give it the mode a plain create would.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    temporary_ = name.data();
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        error = path + ": cannot create: " + std::strerror(errno);
        close(fd);
        unlink(temporary_.c_str());
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string& error) {
    FILE* stream = stream_;
    stream_ = nullptr;
    if (temporary_.empty()) {
        if (std::fflush(stream) != 0 || std::ferror(stream)) {
            error = path_ + ": cannot write: " + std::strerror(errno);
            return false;
        }
        return true;
    }
    bool written = std::ferror(stream) == 0;
    written = std::fclose(stream) == 0 && written;
    if (!written) {
        error = path_ + ": cannot write: " + std::strerror(errno);
        unlink(temporary_.c_str());
        return false;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = path_ + ": cannot rename the finished file into place: " + std::strerror(errno);
        unlink(temporary_.c_str());
        return false;
    }
    return true;
}

}  // namespace zask
