// Helpers of the output tests: one write operation into a memory record, and
// temporary files read back whole.
#pragma once

#include <initializer_list>
#include <string>

#include <cstdio>

#include "output/format.h"
#include "output/io_routs.h"

fmt_value R(double r);
fmt_value I(int i);
fmt_value T(const char* s);
fmt_value T(const char* s, int len);

// The text one write operation produces in a fresh record (line feeds
// included); "<fault: why>" when the format or a value is refused.
std::string fmt_text(const char* fmt, std::initializer_list<fmt_value> vals);
// The text of a write with one value, without the final line feed.
std::string format_one(const char* fmt, fmt_value v);
std::string format_one(const char* fmt, double v);
std::string format_one(const char* fmt, int v);

// A fresh path in the temporary directory (the file does not exist) and the
// whole content of a file.
std::string temp_path(const char* tag);
std::string read_file(const std::string& path);

// Binds unit lun to path the way the program does: the name in a field of 256
// characters padded with blanks, status " ".
void open_unit(int lun, const std::string& path);
// Writes through unit lun with `writes`, closes the unit and returns the file.
template <class F>
std::string unit_text(const char* tag, F writes)
{
    std::string path = temp_path(tag);
    open_unit(1, path);
    writes(1);
    close_file__(1);
    std::string s = read_file(path);
    std::remove(path.c_str());
    return s;
}
