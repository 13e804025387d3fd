// A results folder written all at once: files go into a temporary folder
// beside the destination, which takes the destination's name only when
// everything is written, so a failed run leaves nothing half-written.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "varnel/error.h"

namespace varnel::study {

class OutputFolder {
public:
    // Checks that `destination` is new or an empty folder and makes the
    // temporary folder ".<name>.tmp-<random>" beside it; the destination's
    // parent folder must exist.
    static Expected<OutputFolder> create(const std::filesystem::path& destination);

    OutputFolder(OutputFolder&& other) noexcept;
    OutputFolder& operator=(OutputFolder&& other) noexcept;
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;
    // Removes the temporary folder and its content unless committed.
    ~OutputFolder();

    // Writes a new file at `relative` (a path inside the folder without ".."
    // parts; its subfolders are made as needed).
    Expected<void> write_file(const std::filesystem::path& relative, std::string_view content);
    // Renames the temporary folder to the destination.
    Expected<void> commit();

    const std::filesystem::path& destination() const { return destination_; }
    const std::filesystem::path& staging() const { return staging_; }  // the temporary folder

private:
    OutputFolder(std::filesystem::path destination, std::filesystem::path staging)
        : destination_(std::move(destination)), staging_(std::move(staging))
    {}
    void discard() noexcept;

    std::filesystem::path destination_;
    std::filesystem::path staging_;  // empty once committed or moved from
};

}  // namespace varnel::study
