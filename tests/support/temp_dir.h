// A fresh temporary directory, removed with everything in it at the end of
// its scope; small helpers to write and read files in it.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

inline std::string read_file(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool file_exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

struct temp_dir {
    std::string path;

    temp_dir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnel-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~temp_dir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }

    // Writes content (bytes as given) to name in the directory; returns the path.
    std::string write(const std::string& name, const std::string& content) const
    {
        std::ofstream f(file(name), std::ios::binary | std::ios::trunc);
        f << content;
        return file(name);
    }
};
