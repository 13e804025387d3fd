// Output units and the output routines of the reports.
#include "output/io_routs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "output/format.h"

namespace {

constexpr int console_lun = 6;
constexpr int max_units = 16;       // file units bound at one time
constexpr int max_name = 256;       // file-name field width

struct unit_slot {
    bool bound;
    int lun;
    std::FILE* fp;
    fmt_record rec;
    char name[max_name + 1];
};

unit_slot file_units[max_units];

// Unit 6: standard output, always open.  It writes through the C stdout
// stream, which the console prompts share.
unit_slot& console_unit()
{
    static unit_slot u = {true, console_lun, stdout, fmt_file_record(stdout), "standard output"};
    return u;
}

[[noreturn]] void unit_fault(int lun, const char* name, const char* what, int err)
{
    if (err != 0)
        std::fprintf(stderr, "varnel: unit %d (%s): %s: %s\n", lun, name, what, std::strerror(err));
    else
        std::fprintf(stderr, "varnel: unit %d (%s): %s\n", lun, name, what);
    std::exit(1);
}

unit_slot* find_unit(int lun)
{
    if (lun == console_lun)
        return &console_unit();
    for (unit_slot& u : file_units)
        if (u.bound && u.lun == lun)
            return &u;
    return nullptr;
}

// The unit a write goes to; writing to a unit that is not open is a program
// fault.
unit_slot& unit_for(int lun)
{
    unit_slot* u = find_unit(lun);
    if (!u)
        unit_fault(lun, "not open", "write to a unit that is not open", 0);
    return *u;
}

// Ends the program when a write to the unit has failed.
void check_unit(unit_slot& u)
{
    if (u.rec.failed)
        unit_fault(u.lun, u.name, "write failed", u.rec.err);
    if (std::ferror(u.fp))
        unit_fault(u.lun, u.name, "write failed", errno);
}

void write_op(int lun, const char* fmt, const fmt_value* vals, int n)
{
    unit_slot& u = unit_for(lun);
    const char* why = "";
    if (fmt_write(u.rec, fmt, vals, n, &why) != 0) {
        std::fprintf(stderr, "varnel: unit %d: faulty format \"%.80s\": %s\n", lun, fmt, why);
        std::exit(1);
    }
    check_unit(u);
}

fmt_value int_value(int i) { return fmt_value{fmt_value::integer, i, 0.0, nullptr, 0}; }
fmt_value real_value(double r) { return fmt_value{fmt_value::real, 0, r, nullptr, 0}; }

// Flushes and closes a file unit; a failure ends the program.
void release(unit_slot& u)
{
    int err = 0;
    bool bad = std::ferror(u.fp) != 0 || u.rec.failed;
    if (std::fflush(u.fp) != 0) {
        bad = true;
        err = errno;
    }
    if (std::fclose(u.fp) != 0 && !bad) {
        bad = true;
        err = errno;
    }
    u.bound = false;
    u.fp = nullptr;
    if (bad)
        unit_fault(u.lun, u.name, "flush or close failed", err ? err : u.rec.err);
}

void flush_console()
{
    unit_slot& u = console_unit();
    if (std::fflush(stdout) != 0)
        unit_fault(u.lun, u.name, "flush failed", errno);
    check_unit(u);
}

}  // namespace

// Ends the current record of the unit.
int out_nl__(const int& lun)
{
    unit_slot& u = unit_for(lun);
    rec_end(u.rec);
    check_unit(u);
    return 0;
}

// Writes a format of literals, positioning and record ends.
int out_str__(const int& lun, const char* fmt)
{
    write_op(lun, fmt, nullptr, 0);
    return 0;
}

// Writes one text item, the field of len characters at text.
int out_str_v__(const int& lun, const char* fmt, const char* text, const int& len)
{
    fmt_value v{fmt_value::text, 0, 0.0, text, len < 0 ? 0 : len};
    write_op(lun, fmt, &v, 1);
    return 0;
}

int out_int__(const int& lun, const char* fmt, const int& i)
{
    fmt_value v = int_value(i);
    write_op(lun, fmt, &v, 1);
    return 0;
}

int out_int2__(const int& lun, const char* fmt, const int& i, const int& j)
{
    fmt_value v[2] = {int_value(i), int_value(j)};
    write_op(lun, fmt, v, 2);
    return 0;
}

int out_int6__(const int& lun, const char* fmt, const int& j1, const int& j2, const int& j3,
               const int& j4, const int& j5, const int& j6)
{
    fmt_value v[6] = {int_value(j1), int_value(j2), int_value(j3),
                      int_value(j4), int_value(j5), int_value(j6)};
    write_op(lun, fmt, v, 6);
    return 0;
}

int out_real__(const int& lun, const char* fmt, const double& r)
{
    fmt_value v = real_value(r);
    write_op(lun, fmt, &v, 1);
    return 0;
}

int out_real2__(const int& lun, const char* fmt, const double& r1, const double& r2)
{
    fmt_value v[2] = {real_value(r1), real_value(r2)};
    write_op(lun, fmt, v, 2);
    return 0;
}

int out_real3__(const int& lun, const char* fmt, const double& r1, const double& r2,
                const double& r3)
{
    fmt_value v[3] = {real_value(r1), real_value(r2), real_value(r3)};
    write_op(lun, fmt, v, 3);
    return 0;
}

// Label, two reals each with the format, then the record end.
int out_real_2__(const int& lun, const char* label, const char* fmt, const double& r1,
                 const double& r2)
{
    out_str__(lun, label);
    out_real__(lun, fmt, r1);
    out_real__(lun, fmt, r2);
    return out_nl__(lun);
}

// Label, then the indices st..fin each with the format; the record stays open.
int out_ind_n__(const int& lun, const char* label, const char* fmt, const int& st,
                const int& fin)
{
    out_str__(lun, label);
    for (int j = st; j <= fin; ++j)
        out_int__(lun, fmt, j);
    return 0;
}

int out_ind__(const int& lun, const char* label, const char* fmt, const int& st,
              const int& fin)
{
    out_ind_n__(lun, label, fmt, st, fin);
    return out_nl__(lun);
}

// Label, then elements st..fin of arr (element 1 at arr[0]).
int out_arr_r_n__(const int& lun, const char* label, const char* fmt, const double* arr,
                  const int& st, const int& fin)
{
    out_str__(lun, label);
    for (int j = st; j <= fin; ++j)
        out_real__(lun, fmt, arr[j - 1]);
    return 0;
}

int out_arr_r__(const int& lun, const char* label, const char* fmt, const double* arr,
                const int& st, const int& fin)
{
    out_arr_r_n__(lun, label, fmt, arr, st, fin);
    return out_nl__(lun);
}

// Label, then for j = st..fin the value (j - 1) * r elements after arr[0]:
// one row of a column-major matrix whose column length is r.
int out_arr2_r_n__(const int& lun, const char* label, const char* fmt, const double* arr,
                   const int& st, const int& fin, const int& r)
{
    out_str__(lun, label);
    for (int j = st; j <= fin; ++j)
        out_real__(lun, fmt, arr[static_cast<long>(j - 1) * r]);
    return 0;
}

int out_arr2_r__(const int& lun, const char* label, const char* fmt, const double* arr,
                 const int& st, const int& fin, const int& r)
{
    out_arr2_r_n__(lun, label, fmt, arr, st, fin, r);
    return out_nl__(lun);
}

// Label, then for each j one write of the strided values of two arrays.
int out_arr2_r_2__(const int& lun, const char* label, const char* fmt, const double* arr1,
                   const double* arr2, const int& st, const int& fin, const int& r1,
                   const int& r2)
{
    out_str__(lun, label);
    for (int j = st; j <= fin; ++j)
        out_real2__(lun, fmt, arr1[static_cast<long>(j - 1) * r1],
                    arr2[static_cast<long>(j - 1) * r2]);
    return out_nl__(lun);
}

int out_arr2_r_3__(const int& lun, const char* label, const char* fmt, const double* arr1,
                   const double* arr2, const double* arr3, const int& st, const int& fin,
                   const int& r1, const int& r2, const int& r3)
{
    out_str__(lun, label);
    for (int j = st; j <= fin; ++j)
        out_real3__(lun, fmt, arr1[static_cast<long>(j - 1) * r1],
                    arr2[static_cast<long>(j - 1) * r2], arr3[static_cast<long>(j - 1) * r3]);
    return out_nl__(lun);
}

// Binds the unit to the named file, emptied or created.  The status argument
// is accepted for the callers' sake; the file is always opened for writing
// with truncation, so a longer older file never leaves its tail behind.
int open_file__(const int& lun, const char* name, const int& len, const char* status)
{
    (void)status;
    int n = 0;
    while (n < len && name[n] != '\0')
        ++n;
    while (n > 0 && name[n - 1] == ' ')
        --n;
    char path[max_name + 1];
    if (n == 0)
        unit_fault(lun, "", "cannot open: no file name", 0);
    if (n > max_name) {
        std::memcpy(path, name, max_name);
        path[max_name] = '\0';
        unit_fault(lun, path, "cannot open: file name too long", 0);
    }
    std::memcpy(path, name, static_cast<size_t>(n));
    path[n] = '\0';
    if (lun == console_lun)
        unit_fault(lun, path, "cannot open: unit 6 is standard output", 0);

    unit_slot* u = find_unit(lun);
    if (u)
        release(*u);
    else
        for (unit_slot& s : file_units)
            if (!s.bound) {
                u = &s;
                break;
            }
    if (!u)
        unit_fault(lun, path, "cannot open: too many units open", 0);

    std::FILE* fp = std::fopen(path, "w");
    if (!fp)
        unit_fault(lun, path, "cannot open", errno);
    u->bound = true;
    u->lun = lun;
    u->fp = fp;
    u->rec = fmt_file_record(fp);
    std::memcpy(u->name, path, static_cast<size_t>(n) + 1);
    return 0;
}

// Flushes and releases the unit (unit 6 is only flushed; a unit that is not
// open is left alone).
int close_file__(const int& lun)
{
    if (lun == console_lun) {
        flush_console();
        return 0;
    }
    unit_slot* u = find_unit(lun);
    if (u)
        release(*u);
    return 0;
}

void close_all_units__()
{
    for (unit_slot& u : file_units)
        if (u.bound)
            release(u);
    flush_console();
}

// List-directed record: integers, texts and reals one after another, a new
// record before any item that would reach column 80, a line feed at the end.
int out_list__(const int& lun, const list_item* items, int n)
{
    constexpr int record_limit = 80;
    unit_slot& u = unit_for(lun);
    fmt_record& rec = u.rec;
    if (rec.open)
        rec_end(rec);
    char t[list_max_item];
    for (int k = 0; k < n; ++k) {
        const list_item& it = items[k];
        const char* s = t;
        int len = 0;
        bool lead = false;
        if (it.kind == list_item::integer) {
            len = list_int(t, it.i);
        } else if (it.kind == list_item::real) {
            len = list_real(t, it.r);
        } else {
            s = it.s ? it.s : "";
            len = static_cast<int>(std::strlen(s));
            lead = rec.col == 0;
        }
        if (rec.col > 0 && rec.col + len + (lead ? 1 : 0) >= record_limit) {
            rec_end(rec);
            if (it.kind == list_item::text)
                lead = true;
        }
        if (lead)
            rec_put(rec, " ", 1);
        rec_put(rec, s, len);
    }
    rec_end(rec);
    check_unit(u);
    return 0;
}

// Fatal stop: the message as one console line (after ending a record left
// open on unit 6), every unit flushed and closed, then the exit.
void stop_run__(const char* line, int status)
{
    unit_slot& u = console_unit();
    if (u.rec.open)
        rec_end(u.rec);
    rec_put(u.rec, line, static_cast<int>(std::strlen(line)));
    rec_end(u.rec);
    check_unit(u);
    close_all_units__();
    std::exit(status);
}
