// The console program's run and its file openers.
#pragma once

#include <cstdio>

namespace varnel::console {

inline constexpr int file_name_len = 256;  // file name fields, blank-padded

// The run: debugfile and inputfile are 256-character blank-padded fields.
int run(bool debug, const char* inputfile, const char* debugfile);

// Binds unit lun to the trace file (tracing on), emptied first, or to the
// null device.  Called after the data file has been read and closed; a trace
// file that is the data file or not a regular file ends the run.
void open_trace_file(bool debug, int lun, const char* filename);
// Opens the data file, asking for a name where needed; ends the program with
// status 1 when the user gives up or the file cannot be opened.
std::FILE* open_data_file(const char* filename);
// The closing file dialogue: on yes and a usable name, unit lun is bound to
// the new output file and true returned.
bool open_output_file(int lun);

// Files of the run that no later file may replace: the data file as opened
// by open_data_file and, with tracing on, the trace file.  Identity is device
// and inode, so any spelling or link of a name matches.
struct FileIdentity {
    bool known = false;
    unsigned long long dev = 0;
    unsigned long long ino = 0;
};
struct RunFiles {
    FileIdentity input;
    FileIdentity trace;
};
extern RunFiles run_files;

// Identity of the file a name denotes (links followed); not known when the
// name denotes nothing.  regular is set when it is a regular file.
FileIdentity identify_file(const char* name, bool* regular);
bool same_file(const FileIdentity& a, const FileIdentity& b);

}  // namespace varnel::console
