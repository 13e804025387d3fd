// Helpers of the output tests: one write operation into a memory record, and
// temporary files read back whole.
#pragma once

#include <initializer_list>
#include <string>

#include <cstdio>

#include "console/units.h"
#include "varnel/format.h"

using varnel::output::Value;

Value R(double r);
Value I(int i);
Value T(const char* s);
Value T(const char* s, int len);

// The text one write operation produces in a fresh record (line feeds
// included); "<fault: why>" when the format or a value is refused.
std::string fmt_text(const char* fmt, std::initializer_list<Value> vals);
// The text of a write with one value, without the final line feed.
std::string format_one(const char* fmt, Value v);
std::string format_one(const char* fmt, double v);
std::string format_one(const char* fmt, int v);

// A fresh path in the temporary directory (the file does not exist) and the
// whole content of a file.
std::string temp_path(const char* tag);
std::string read_file(const std::string& path);

// Binds the console program's unit lun to path the way the program does: the
// name in a field of 256 characters padded with blanks.
void open_test_unit(int lun, const std::string& path);
// Writes through unit lun with `writes`, closes the unit and returns the file.
template <class F>
std::string unit_text(const char* tag, F writes)
{
    std::string path = temp_path(tag);
    open_test_unit(1, path);
    writes(1);
    varnel::console::close_unit(1);
    std::string s = read_file(path);
    std::remove(path.c_str());
    return s;
}
