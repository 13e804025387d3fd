// Binding the trace unit and the closing file dialogue.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "driver/lroc_main.h"
#include "output/console.h"
#include "output/io_routs.h"

namespace {

constexpr int name_len = 256;  // file name fields, blank-padded

// Copies a blank-padded name field into name without its trailing blanks.
void strip_name(const char* field, char (&name)[name_len + 1])
{
    int n = static_cast<int>(strnlen(field, name_len));
    std::memcpy(name, field, n);
    while (n > 0 && name[n - 1] == ' ')
        --n;
    name[n] = '\0';
}

// Removes name when it is itself a regular file (never a directory, device
// or the target of a link), so that it is rewritten from empty.
void remove_regular(const char* name)
{
    struct stat st;
    if (lstat(name, &st) == 0 && S_ISREG(st.st_mode))
        std::remove(name);
}

}  // namespace

// Binds unit lun to the trace file (tracing on), emptied first, or to the
// null device.  Called after the data file has been read and closed; a trace
// file that is the data file or not a regular file ends the run.
int open_debug_file__(const int& debug, const int& lun, const char* filename)
{
    static const char null_device[] = "/dev/null";
    if (debug == 0) {
        const int len = static_cast<int>(sizeof null_device) - 1;
        open_file__(lun, null_device, len, " ");
        return 0;
    }
    char name[name_len + 1];
    strip_name(filename, name);
    int regular = 0;
    file_identity id = identify_file(name, &regular);
    if (id.known) {
        if (same_file(id, run_files_.input))
            stop_run__("Iteration data file must differ from the input file", 1);
        if (!regular)
            stop_run__("Iteration data file must be a regular file", 1);
        remove_regular(name);
    }
    open_file__(lun, filename, name_len, " ");
    run_files_.trace = identify_file(name, nullptr);
    return 0;
}

// The closing file dialogue: on yes and a usable name, unit lunfile is bound
// to the new output file and write_output__ is set.  A name that denotes the
// data file, the trace file or anything but a regular file is asked again.
int open_output_file__(const int& lun, int& lunfile, int& write_output__)
{
    constexpr int answer_len = 79;
    (void)lun;  // prompts go straight to standard output, the console's stream
    write_output__ = 0;
    console_prompt("Do you wish a file of this data? (y=yes):");
    char answer[answer_len + 1];
    console_read_line(answer, answer_len + 1);
    const char* p = answer;
    while (*p == ' ' || *p == '\t' || *p == '\v' || *p == '\f' || *p == '\r')
        ++p;
    if (*p != 'y' && *p != 'Y')
        return 0;

    char name[name_len + 1];
    for (;;) {
        console_prompt("Enter file name: ");
        int n = console_read_line(name, name_len + 1);
        while (n > 0 && name[n - 1] == ' ')
            --n;
        name[n] = '\0';
        if (n == 0)
            return 0;
        int regular = 0;
        file_identity id = identify_file(name, &regular);
        if (!id.known)
            break;
        if (same_file(id, run_files_.input) || same_file(id, run_files_.trace)) {
            console_prompt("Output file must differ from the input and iteration data files\n");
            continue;
        }
        if (!regular) {
            console_prompt("Output file must be a regular file\n");
            continue;
        }
        remove_regular(name);
        break;
    }
    int n = static_cast<int>(std::strlen(name));
    std::memset(name + n, ' ', name_len - n);
    name[name_len] = '\0';
    write_output__ = 1;
    lunfile = 1;
    open_file__(lunfile, name, name_len, " ");
    return 0;
}
