// Output units and the output routines through which every report line is
// written.  A format string in the FORMAT-statement notation decides the
// exact text (see format.h); unit 6 is standard output, other units are bound
// to files by open_file__.  All routines return 0.
#pragma once

#include <cstdint>

int out_nl__(const int& lun);
int out_str__(const int& lun, const char* fmt);
// Writes one text item: the field of `len` characters starting at `text`
// (64-character identifiers, 16-character labels); the A-w descriptor pads or
// cuts it.  Never reads past the field.
int out_str_v__(const int& lun, const char* fmt, const char* text, const int& len);
int out_int__(const int& lun, const char* fmt, const int& i);
int out_int2__(const int& lun, const char* fmt, const int& i, const int& j);
int out_int6__(const int& lun, const char* fmt, const int& j1, const int& j2, const int& j3,
               const int& j4, const int& j5, const int& j6);
int out_real__(const int& lun, const char* fmt, const double& r);
int out_real2__(const int& lun, const char* fmt, const double& r1, const double& r2);
int out_real3__(const int& lun, const char* fmt, const double& r1, const double& r2,
                const double& r3);
int out_real_2__(const int& lun, const char* label, const char* fmt, const double& r1,
                 const double& r2);
int out_ind_n__(const int& lun, const char* label, const char* fmt, const int& st,
                const int& fin);
int out_ind__(const int& lun, const char* label, const char* fmt, const int& st,
              const int& fin);
// arr points to element 1; elements st..fin are written.
int out_arr_r_n__(const int& lun, const char* label, const char* fmt, const double* arr,
                  const int& st, const int& fin);
int out_arr_r__(const int& lun, const char* label, const char* fmt, const double* arr,
                const int& st, const int& fin);
// Element j is the value (j - 1) * r elements after arr[0].
int out_arr2_r_n__(const int& lun, const char* label, const char* fmt, const double* arr,
                   const int& st, const int& fin, const int& r);
int out_arr2_r__(const int& lun, const char* label, const char* fmt, const double* arr,
                 const int& st, const int& fin, const int& r);
int out_arr2_r_2__(const int& lun, const char* label, const char* fmt, const double* arr1,
                   const double* arr2, const int& st, const int& fin, const int& r1,
                   const int& r2);
int out_arr2_r_3__(const int& lun, const char* label, const char* fmt, const double* arr1,
                   const double* arr2, const double* arr3, const int& st, const int& fin,
                   const int& r1, const int& r2, const int& r3);

// Binds unit lun to the file `name` (a blank-padded field of `len` characters,
// trailing blanks not part of the name), opened for writing with truncation.
// A unit that cannot be opened ends the program (standard error, status 1).
int open_file__(const int& lun, const char* name, const int& len, const char* status);
// Flushes and releases the unit.
int close_file__(const int& lun);
// Flushes and closes every unit (the program end); a failing flush or close
// ends the program with a diagnostic and status 1.
void close_all_units__();

// List-directed record: items written one after another, then a line feed.
struct list_item {
    enum kind_t { integer, real, text } kind;
    int i;
    double r;
    const char* s;
};
inline list_item li(int v) { return {list_item::integer, v, 0.0, nullptr}; }
inline list_item li(double v) { return {list_item::real, 0, v, nullptr}; }
inline list_item li(const char* v) { return {list_item::text, 0, 0.0, v}; }
int out_list__(const int& lun, const list_item* items, int n);

// Fatal stop: writes `line` as one console line on unit 6, flushes and closes
// every unit and ends the process with `status`.
[[noreturn]] void stop_run__(const char* line, int status);
