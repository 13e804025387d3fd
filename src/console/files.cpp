// Binding the trace unit and the closing file dialogue.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "console/run.h"
#include "console/terminal.h"
#include "console/units.h"

namespace varnel::console {

namespace {

constexpr int name_len = file_name_len;

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

void open_trace_file(bool debug, int lun, const char* filename)
{
    static const char null_device[] = "/dev/null";
    if (!debug) {
        const int len = static_cast<int>(sizeof null_device) - 1;
        open_unit(lun, null_device, len);
        return;
    }
    char name[name_len + 1];
    strip_name(filename, name);
    bool regular = false;
    FileIdentity id = identify_file(name, &regular);
    if (id.known) {
        if (same_file(id, run_files.input))
            stop_run("Iteration data file must differ from the input file", 1);
        if (!regular)
            stop_run("Iteration data file must be a regular file", 1);
        remove_regular(name);
    }
    open_unit(lun, filename, name_len);
    run_files.trace = identify_file(name, nullptr);
}

// A name that denotes the data file, the trace file or anything but a regular
// file is asked again.
bool open_output_file(int lun)
{
    constexpr int answer_len = 79;
    prompt("Do you wish a file of this data? (y=yes):");
    char answer[answer_len + 1];
    read_answer(answer, answer_len + 1);
    const char* p = answer;
    while (*p == ' ' || *p == '\t' || *p == '\v' || *p == '\f' || *p == '\r')
        ++p;
    if (*p != 'y' && *p != 'Y')
        return false;

    char name[name_len + 1];
    for (;;) {
        prompt("Enter file name: ");
        int n = read_answer(name, name_len + 1);
        while (n > 0 && name[n - 1] == ' ')
            --n;
        name[n] = '\0';
        if (n == 0)
            return false;
        bool regular = false;
        FileIdentity id = identify_file(name, &regular);
        if (!id.known)
            break;
        if (same_file(id, run_files.input) || same_file(id, run_files.trace)) {
            prompt("Output file must differ from the input and iteration data files\n");
            continue;
        }
        if (!regular) {
            prompt("Output file must be a regular file\n");
            continue;
        }
        remove_regular(name);
        break;
    }
    int n = static_cast<int>(std::strlen(name));
    std::memset(name + n, ' ', name_len - n);
    name[name_len] = '\0';
    open_unit(lun, name, name_len);
    return true;
}

}  // namespace varnel::console
