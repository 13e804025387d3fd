// Opening the rating data file, with the console dialogue for its name.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/run.h"
#include "console/terminal.h"

namespace varnel::console {

// The console program's run state: the files no later file may replace.
RunFiles run_files;

FileIdentity identify_file(const char* name, bool* regular)
{
    struct stat st;
    if (regular != nullptr)
        *regular = false;
    if (name[0] == '\0' || stat(name, &st) != 0)
        return {};
    if (regular != nullptr)
        *regular = S_ISREG(st.st_mode);
    return {true, static_cast<unsigned long long>(st.st_dev),
            static_cast<unsigned long long>(st.st_ino)};
}

bool same_file(const FileIdentity& a, const FileIdentity& b)
{
    return a.known && b.known && a.dev == b.dev && a.ino == b.ino;
}

// Opens the data file named by the blank-padded field filename, asking on the
// console while the name is empty or names no file; records its identity.
std::FILE* open_data_file(const char* filename)
{
    constexpr int name_len = file_name_len;
    char name[name_len + 1];
    int n = static_cast<int>(strnlen(filename, name_len));
    std::memcpy(name, filename, n);
    while (n > 0 && name[n - 1] == ' ')
        --n;
    name[n] = '\0';

    struct stat st;
    for (;;) {
        if (name[0] != '\0') {
            if (stat(name, &st) == 0)
                break;
            prompt("File does not exist -- re-enter or press return to exit\n");
        }
        prompt("Enter file name: ");
        if (read_answer(name, name_len + 1) == 0)
            std::exit(1);
    }
    std::FILE* stream = std::fopen(name, "r");
    if (stream == nullptr) {
        std::perror("Error opening input file");
        std::exit(1);
    }
    if (fstat(fileno(stream), &st) == 0)
        run_files.input = {true, static_cast<unsigned long long>(st.st_dev),
                           static_cast<unsigned long long>(st.st_ino)};
    return stream;
}

}  // namespace varnel::console
