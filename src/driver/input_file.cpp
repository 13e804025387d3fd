// Opening the rating data file, with the console dialogue for its name.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/lroc_main.h"
#include "output/console.h"

run_files_t run_files_ = {};

file_identity identify_file(const char* name, int* regular)
{
    struct stat st;
    if (regular != nullptr)
        *regular = 0;
    if (name[0] == '\0' || stat(name, &st) != 0)
        return {0, 0, 0};
    if (regular != nullptr)
        *regular = S_ISREG(st.st_mode) ? 1 : 0;
    return {1, static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

bool same_file(const file_identity& a, const file_identity& b)
{
    return a.known && b.known && a.dev == b.dev && a.ino == b.ino;
}

// Opens the data file named by the blank-padded field filename, asking on the
// console while the name is empty or names no file; records its identity.
int open_input_file(const char* filename, FILE** stream)
{
    constexpr int name_len = 256;
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
            console_prompt("File does not exist -- re-enter or press return to exit\n");
        }
        console_prompt("Enter file name: ");
        if (console_read_line(name, name_len + 1) == 0)
            std::exit(1);
    }
    *stream = std::fopen(name, "r");
    if (*stream == nullptr) {
        std::perror("Error opening input file");
        std::exit(1);
    }
    if (fstat(fileno(*stream), &st) == 0)
        run_files_.input = {1, static_cast<unsigned long long>(st.st_dev),
                            static_cast<unsigned long long>(st.st_ino)};
    return 0;
}
