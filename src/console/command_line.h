// Table-driven command-line processor: options (switches "/X", with or
// without a value) and positional arguments are described by the caller in
// two tables; values are converted by their value kind and stored through the
// tables' pointers.  Faults are reported with a message and the usage text.
#pragma once

// One option.  fmt null or empty: a flag (ptr is an int set to 1).
struct OPTION {
    char let;         // option letter, matched without regard to case
    const char* fmt;  // value kind
    void* ptr;        // destination of the value
    const char* syn;  // short description for the usage text
};

// One positional argument.
struct ARGUMENT {
    const char* fmt;  // value kind
    void* ptr;        // destination of the value
    const char* syn;  // name shown in the usage text
    const char* ft2;  // element kind of a collecting argument (kind "A")
    int siz;          // element size in bytes of a collecting argument
};

// Value kinds: none/"" flag; "n" int (decimal, 0 octal, 0x hex); "m" long;
// "u" unsigned 16-bit; "b" one byte; "!" one character, upper-cased;
// "A" collecting argument; anything else is the scan conversion itself
// ("[^\t]" text up to a tab, "d" int, ...).  Text values hold at most
// procargs_text_max characters (destinations have room for that plus the
// terminator).
inline constexpr int procargs_text_max = 255;
// The rest of a word from a value's first character must fit this work copy.
inline constexpr int procargs_work_max = 123;
// A given argument is shown in the usage text through a copy this long.
inline constexpr int procargs_show_max = 99;

// Walks the command line.  Returns the number of positional arguments found,
// or -1 when the command line was rejected (after its message and the usage
// text on standard output).
int process_args(int argc, char** argv, int numopts, OPTION* options, int numargs, int reqargs,
                 ARGUMENT* arguments, const char* descrip);

// Later faults are reported without the usage text.
void set_proc_args_syntax_off();
