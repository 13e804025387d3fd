// The run sequence and its file openers.
#pragma once

#include <cstdio>

// The run: debugfile and inputfile are 256-character blank-padded fields.
int lroc_main__(const int& debug, const char* inputfile, const char* debugfile);
int open_debug_file__(const int& debug, const int& lun, const char* filename);
// Opens the data file, asking for a name where needed; ends the program with
// status 1 when the user gives up or the file cannot be opened.
int open_input_file(const char* filename, FILE** stream);
int open_output_file__(const int& lun, int& lunfile, int& write_output__);

// Files of the run that no later file may replace: the data file as opened
// by open_input_file and, with tracing on, the trace file bound to unit 3.
// Identity is device and inode, so any spelling or link of a name matches.
struct file_identity {
    int known;
    unsigned long long dev;
    unsigned long long ino;
};
struct run_files_t {
    file_identity input;
    file_identity trace;
};
extern run_files_t run_files_;

// Identity of the file a name denotes (links followed); known is 0 when the
// name denotes nothing.  regular is set when it is a regular file.
file_identity identify_file(const char* name, int* regular);
bool same_file(const file_identity& a, const file_identity& b);
