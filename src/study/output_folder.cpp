// Output folder written through a temporary folder beside it.
#include "study/output_folder.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

namespace varnel::study {

namespace fs = std::filesystem;

namespace {

constexpr int name_attempts = 100;

// The destination without a trailing separator ("out/" -> "out").
fs::path without_trailing_separator(const fs::path& p)
{
    return p.has_filename() || !p.has_parent_path() ? p : p.parent_path();
}

// A path in double quotes, for messages.
std::string in_quotes(const fs::path& p) { return "\"" + p.string() + "\""; }

// A destination that is absent or an empty folder.
Expected<void> check_destination(const fs::path& destination)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(destination, ec);
    if (status.type() == fs::file_type::not_found)
        return {};
    if (ec)
        return input_error("cannot use " + in_quotes(destination) + ": " + ec.message());
    if (status.type() != fs::file_type::directory)
        return input_error(in_quotes(destination) +
                           " exists and is not a folder; name a new folder for the output");
    if (!fs::is_empty(destination, ec) || ec)
        return input_error(in_quotes(destination) +
                           " is not empty; name a new or empty folder for the output");
    return {};
}

// A new folder ".<name>.tmp-<random>" beside the destination.
Expected<fs::path> make_staging(const fs::path& destination)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    const fs::path parent =
        destination.has_parent_path() ? destination.parent_path() : fs::path(".");
    std::error_code ec;
    for (int attempt = 0; attempt < name_attempts; ++attempt) {
        const fs::path staging = parent / ("." + destination.filename().string() + ".tmp-" +
                                           std::to_string(random() % 1000000000));
        if (fs::create_directory(staging, ec))
            return staging;
        if (ec)
            return write_error("cannot make a folder beside " + in_quotes(destination) + ": " +
                               ec.message());
    }
    return write_error("cannot make a folder beside " + in_quotes(destination) +
                       ": every name tried exists");
}

// A relative path to a file without ".." parts.
bool is_inside(const fs::path& relative)
{
    if (relative.empty() || relative.is_absolute() || !relative.has_filename())
        return false;
    for (const fs::path& part : relative)
        if (part == "..")
            return false;
    return true;
}

}  // namespace

// Checks the destination, then makes the temporary folder beside it.
Expected<OutputFolder> OutputFolder::create(const fs::path& destination)
{
    const fs::path target = without_trailing_separator(destination);
    if (Expected<void> ok = check_destination(target); !ok)
        return ok.error();
    Expected<fs::path> staging = make_staging(target);
    if (!staging)
        return staging.error();
    return OutputFolder(target, *staging);
}

OutputFolder::OutputFolder(OutputFolder&& other) noexcept
    : destination_(std::move(other.destination_)), staging_(std::move(other.staging_))
{
    other.staging_.clear();
}

OutputFolder& OutputFolder::operator=(OutputFolder&& other) noexcept
{
    if (this != &other) {
        discard();
        destination_ = std::move(other.destination_);
        staging_ = std::move(other.staging_);
        other.staging_.clear();
    }
    return *this;
}

// A folder not committed is removed with its content.
OutputFolder::~OutputFolder() { discard(); }

void OutputFolder::discard() noexcept
{
    if (staging_.empty())
        return;
    std::error_code ec;
    fs::remove_all(staging_, ec);
    staging_.clear();
}

// A new file in the temporary folder; an existing name is an error.
Expected<void> OutputFolder::write_file(const fs::path& relative, std::string_view content)
{
    const fs::path shown = destination_ / relative;
    if (staging_.empty())
        return write_error("cannot write " + in_quotes(shown) +
                           ": the output folder is already complete");
    if (!is_inside(relative))
        return write_error("cannot write " + in_quotes(shown) +
                           ": the name must stay inside the output folder");
    const fs::path path = staging_ / relative;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec)
        return write_error("cannot write " + in_quotes(shown) + ": " + ec.message());
    if (fs::exists(fs::symlink_status(path, ec)))
        return write_error("cannot write " + in_quotes(shown) +
                           ": two files of the output have this name");
    errno = 0;
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out)
        return write_error("cannot write " + in_quotes(shown) + ": " +
                           (errno != 0 ? std::strerror(errno) : "the write failed"));
    return {};
}

// One rename: the destination appears complete or not at all.
Expected<void> OutputFolder::commit()
{
    if (staging_.empty())
        return write_error("cannot complete " + in_quotes(destination_) +
                           ": the output folder is already complete");
    std::error_code ec;
    fs::rename(staging_, destination_, ec);
    if (ec) {
        const std::string reason =
            ec == std::errc::directory_not_empty || ec == std::errc::file_exists
                ? "it is no longer empty"
                : ec.message();
        discard();
        return write_error("cannot complete " + in_quotes(destination_) + ": " + reason);
    }
    staging_.clear();
    return {};
}

}  // namespace varnel::study
