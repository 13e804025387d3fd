// Helpers of the output tests.
#include "support/output_support.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace varnel::output;

Value R(double r) { return real_value(r); }
Value I(int i) { return integer_value(i); }
// The length is taken as given (no clamping), so tests can hand the writer
// any field.
Value T(const char* s, int len) { return Value{Value::text, 0, 0.0, s, len}; }
Value T(const char* s) { return T(s, static_cast<int>(std::string(s).size())); }

std::string fmt_text(const char* fmt, std::initializer_list<Value> vals)
{
    char mem[8192];
    Record rec = memory_record(mem, sizeof mem);
    const char* why = "";
    if (write_format(rec, fmt, vals.begin(), static_cast<int>(vals.size()), &why) != 0)
        return std::string("<fault: ") + why + ">";
    return std::string(mem, static_cast<size_t>(rec.mem_len));
}

std::string format_one(const char* fmt, Value v)
{
    std::string s = fmt_text(fmt, {v});
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}
std::string format_one(const char* fmt, double v) { return format_one(fmt, R(v)); }
std::string format_one(const char* fmt, int v) { return format_one(fmt, I(v)); }

std::string temp_path(const char* tag)
{
    static int serial = 0;
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/varnel_output_" + tag + "_" +
                       std::to_string(getpid()) + "_" + std::to_string(++serial);
    std::remove(path.c_str());
    return path;
}
