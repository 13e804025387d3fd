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
