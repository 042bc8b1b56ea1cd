// Windows paths on a Linux file system.
#include "windows_path.h"

#include <cstdint>

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

namespace vh::platform {
namespace {

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Windows file names ignore case: look for an entry that differs only in it.
std::string findIgnoringCase(const std::string& folder, const std::string& name) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()),
                                            closedir);
    if (!dir) return name;
    while (dirent* entry = readdir(dir.get())) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) return entry->d_name;
    }
    return name;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/') {
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() && part != ".") parts.push_back(part);
    return parts;
}

}  // namespace

std::string resolveWindowsPath(const std::string& windowsPath) {
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '\\') c = '/';
    std::string resolved = (!path.empty() && path[0] == '/') ? "/" : "";
    // A leading ".\" (and any "." folder) is the working directory itself.
    for (const std::string& part : splitPath(path)) {
        std::string candidate = joinPath(resolved, part);
        if (part != ".." && !exists(candidate))
            candidate = joinPath(resolved, findIgnoringCase(resolved, part));
        resolved = candidate;
    }
    return resolved.empty() ? "." : resolved;
}

std::string pathFromWide(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) {
        auto c = static_cast<uint32_t>(*text);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace vh::platform
