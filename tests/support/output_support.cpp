// Helpers of the output tests.
#include "support/output_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace varnel::output;

Value R(double r) { return Value{Value::real, 0, r, nullptr, 0}; }
Value I(int i) { return Value{Value::integer, i, 0.0, nullptr, 0}; }
Value T(const char* s, int len) { return Value{Value::text, 0, 0.0, s, len}; }
Value T(const char* s) { return T(s, static_cast<int>(std::string(s).size())); }

std::string fmt_text(const char* fmt, std::initializer_list<Value> vals)
{
    static char mem[8192];
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

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void open_test_unit(int lun, const std::string& path)
{
    char field[256];
    std::string name = path.substr(0, sizeof field);
    std::memset(field, ' ', sizeof field);
    std::memcpy(field, name.data(), name.size());
    varnel::console::open_unit(lun, field, static_cast<int>(sizeof field));
}
