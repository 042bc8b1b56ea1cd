// A fresh, empty folder of the test's own, named for the test and the
// process, and removed with everything in it when the test ends; on our
// layer and on Windows alike.
#pragma once

#include <unistd.h>  // MinGW-w64's too

#include <filesystem>
#include <string>
#include <system_error>

struct TempFolder {
    explicit TempFolder(const std::string& name)
        : path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;  // a file still open on Windows is left, not fatal
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path path;
};
