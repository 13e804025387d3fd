// Helpers of the output tests: one write operation into a memory record, and
// temporary files read back whole.
#pragma once

#include <initializer_list>
#include <string>

#include "support/temp_dir.h"
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

// A fresh path in the temporary directory (the file does not exist); the
// whole content of a file is read_file (support/temp_dir.h).
std::string temp_path(const char* tag);
