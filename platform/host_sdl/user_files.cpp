// The player's folders and small files.
#include "user_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace vh::platform {
namespace {

// user-dirs.dirs is a few short lines; anything larger is not one.
constexpr size_t kLargestUserDirs = 64 << 10;

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string errorText(int error) {
    return std::strerror(error);
}

}  // namespace

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return withoutTrailingSlashes(home);
    std::vector<char> buffer(16384);
    passwd entry{}, *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return withoutTrailingSlashes(found->pw_dir);
    return "/";
}

std::string configFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return withoutTrailingSlashes(config);
    return homeFolder() + "/.config";
}

// Lines of the form XDG_NAME_DIR="$HOME/Folder" or XDG_NAME_DIR="/path", as
// xdg-user-dirs writes them; the last one for a name holds.
std::string userDirectory(const std::string& name) {
    std::string text, whyNot;
    if (readSmallFile(configFolder() + "/user-dirs.dirs", kLargestUserDirs, text, whyNot) !=
        SmallFile::Read)
        return "";
    const std::string home = homeFolder();
    const std::string key = "XDG_" + name + "_DIR=";
    std::string folder;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
        std::string value = line.substr(start + key.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
        value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/'))
            folder = home + value.substr(5);
        else if (!value.empty() && value[0] == '/')
            folder = value;
    }
    folder = withoutTrailingSlashes(folder);
    return folder == home ? "" : folder;
}

bool makeFolders(const std::string& folder, std::string& whyNot) {
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (!part.empty() && systemCall("mkdir", [&] { return mkdir(part.c_str(), 0755); }) != 0 &&
            errno != EEXIST) {
            whyNot = "cannot make " + part + " (" + errorText(errno) + ")";
            return false;
        }
        if (at == std::string::npos) return true;
    }
}

SmallFile readSmallFile(const std::string& path, size_t limit, std::string& text,
                        std::string& whyNot) {
    text.clear();
    // Without blocking: a pipe with no writer, or a device, would hold the
    // game before its window ever opened.
    const int fd = systemCall(
        "open file", [&] { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        if (errno == ENOENT) return SmallFile::Missing;
        whyNot = "cannot be read (" + errorText(errno) + ")";
        return SmallFile::Refused;
    }
    struct stat info {};
    SmallFile answer = SmallFile::Refused;
    if (fstat(fd, &info) != 0) {
        whyNot = "cannot be read (" + errorText(errno) + ")";
    } else if (!S_ISREG(info.st_mode)) {
        whyNot = "is not a regular file";
    } else if (size_t(info.st_size) > limit) {
        whyNot = "is larger than " + std::to_string(limit >> 10) + " KiB";
    } else {
        // Read to the end, and no further than the limit: a file that grows
        // while it is read is still refused.
        text.resize(limit + 1);
        size_t got = 0;
        ssize_t part = 0;
        while (got < text.size() && (part = read(fd, text.data() + got, text.size() - got)) != 0) {
            if (part < 0 && errno == EINTR) continue;
            if (part < 0) break;
            got += size_t(part);
        }
        text.resize(got);
        if (part < 0)
            whyNot = "could not be read to its end (" + errorText(errno) + ")";
        else if (got > limit)
            whyNot = "is larger than " + std::to_string(limit >> 10) + " KiB";
        else
            answer = SmallFile::Read;
    }
    close(fd);
    if (answer != SmallFile::Read) text.clear();
    return answer;
}

std::string linkTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        std::string resolved = real;
        std::free(real);
        return resolved;
    }
    // A link to a file not made yet: its target, taken from the link's folder.
    std::string target(size_t(info.st_size) + 1, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0) return path;
    target.resize(size_t(length));
    if (target[0] == '/') return target;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
}

bool replaceFile(const std::string& path, const std::string& text, mode_t mode,
                 std::string& whyNot) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!makeFolders(folder, whyNot)) return false;
    std::string temporary = folder + "/." + name + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        whyNot = "cannot write in " + folder + " (" + std::strerror(errno) + ")";
        return false;
    }
    bool written = fchmod(fd, mode) == 0;
    written = ::write(fd, text.data(), text.size()) == ssize_t(text.size()) && written;
    written = fsync(fd) == 0 && written;
    written = close(fd) == 0 && written;
    const bool renamed = written && systemCall("rename file", [&] {
                                        return std::rename(temporary.c_str(), path.c_str());
                                    }) == 0;
    if (!renamed) {
        whyNot = "cannot write " + path + " (" + std::strerror(errno) + ")";
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace vh::platform
