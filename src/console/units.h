// Output units of the console program: unit 6 is standard output, other
// units are bound to files by open_unit.  Every write through a unit's
// printer is checked: a failed write or a faulty format ends the program with
// a diagnostic on standard error and status 1.
#pragma once

#include "varnel/printer.h"

namespace varnel::console {

inline constexpr int console_unit = 6;

// The printer of an open unit; writing to a unit that is not open ends the
// program.
output::Printer& unit(int lun);

// Binds unit lun to the file `name` (a blank-padded field of `len` characters,
// trailing blanks not part of the name), opened for writing with truncation.
// A unit that cannot be opened ends the program.
void open_unit(int lun, const char* name, int len);
// Flushes and releases the unit (unit 6 is only flushed).
void close_unit(int lun);
// Flushes and closes every unit (the program end); a failing flush or close
// ends the program with a diagnostic and status 1.
void close_all_units();

// Fatal stop: writes `line` as one console line on unit 6, flushes and closes
// every unit and ends the process with `status`.
[[noreturn]] void stop_run(const char* line, int status);

}  // namespace varnel::console
