// The player's own folders and files: the home folder, the configuration
// folder, the folders named in user-dirs.dirs, folders made on demand, and
// small files read whole without ever blocking on a pipe or a device.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace vh::platform {

// $HOME, or the home folder the password database gives when HOME is unset
// or empty; never a relative path.
std::string homeFolder();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string configFolder();

// The folder ~/.config/user-dirs.dirs names for `name` ("PICTURES"); "" when
// it names none, or names the home folder itself (the player chose none).
std::string userDirectory(const std::string& name);

// Makes `folder` and every missing folder above it. False with the folder
// that could not be made, and why, in `whyNot`.
bool makeFolders(const std::string& folder, std::string& whyNot);

// Where a write to `path` goes: a symbolic link's target (made absolute, or
// taken from the link's folder), so that the link stays; else `path`.
std::string linkTarget(const std::string& path);

// Writes `text` to `path` with `mode` through a new file beside it, renamed
// over it ("rename file" in the journal), so that whoever reads `path` finds
// the old file or the new one, whole. Makes the folders above it.
bool replaceFile(const std::string& path, const std::string& text, mode_t mode,
                 std::string& whyNot);

enum class SmallFile { Read, Missing, Refused };

// Reads `path` whole into `text` when it is a regular file of at most
// `limit` bytes. A missing file is Missing; anything else that is not such
// a file (a folder, a pipe, a device, a larger file, one that cannot be
// opened or read) is Refused with the reason in `whyNot`. The open is
// journalled as "open file"; a chosen answer is the negated error number.
SmallFile readSmallFile(const std::string& path, size_t limit, std::string& text,
                        std::string& whyNot);

// Runs a system call that answers -1 and sets errno on failure, through the
// journal as `name`: a chosen answer below 0 is the negated error number it
// fails with, so that tests can make it fail the way the system would.
template <typename Call>
int systemCall(const char* name, Call&& call);

}  // namespace vh::platform

#include "varnholt/journal.h"

#include <cerrno>

namespace vh::platform {

template <typename Call>
int systemCall(const char* name, Call&& call) {
    const int result = journalled(name, nullptr, [&] {
        const int answer = call();
        return answer < 0 ? -errno : answer;
    });
    if (result >= 0) return result;
    errno = -result;
    return -1;
}

}  // namespace vh::platform
