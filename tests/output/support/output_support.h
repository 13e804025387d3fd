// Helpers of the output tests: one write operation into a memory record, and
// temporary files read back whole.
#pragma once

#include <initializer_list>
#include <string>

#include "output/format.h"

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
