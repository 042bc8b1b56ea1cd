// A fresh, empty folder of the test's own, named for the test and the
// process, and removed with everything in it when the test ends.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

struct TempFolder {
    explicit TempFolder(const std::string& name)
        : path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path path;
};
