// Output units of the console program.
#include "console/units.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace varnel::console {

namespace {

constexpr int max_units = 16;  // file units bound at one time
constexpr int max_name = 256;  // file-name field width

[[noreturn]] void unit_fault(int lun, const char* name, const char* what, int err)
{
    if (err != 0)
        std::fprintf(stderr, "varnel: unit %d (%s): %s: %s\n", lun, name, what, std::strerror(err));
    else
        std::fprintf(stderr, "varnel: unit %d (%s): %s\n", lun, name, what);
    std::exit(1);
}

// One unit: its stream, its current record and the printer that checks
// every write.
struct UnitSlot;

class UnitPrinter : public output::Printer {
public:
    UnitPrinter(output::Record& rec, UnitSlot& slot) : Printer(rec), slot_(slot) {}

protected:
    void written() override;

private:
    UnitSlot& slot_;
};

struct UnitSlot {
    bool bound = false;
    int lun = 0;
    std::FILE* fp = nullptr;
    output::Record rec;
    char name[max_name + 1] = {};
    UnitPrinter printer{rec, *this};
};

// Ends the program when a write to the unit has failed.
void check_unit(UnitSlot& u)
{
    if (u.rec.fault) {
        std::fprintf(stderr, "varnel: unit %d: faulty format \"%.80s\": %s\n", u.lun,
                     u.rec.fault_format, u.rec.fault);
        std::exit(1);
    }
    if (u.rec.failed)
        unit_fault(u.lun, u.name, "write failed", u.rec.err);
    if (std::ferror(u.fp))
        unit_fault(u.lun, u.name, "write failed", errno);
}

void UnitPrinter::written() { check_unit(slot_); }

// The console program's units: its own run state.
UnitSlot file_units[max_units];

// Unit 6: standard output, always open.  It writes through the C stdout
// stream, which the console prompts share.
UnitSlot& console_slot()
{
    static UnitSlot u;
    static const bool ready = [] {
        u.bound = true;
        u.lun = console_unit;
        u.fp = stdout;
        u.rec = output::file_record(stdout);
        std::strcpy(u.name, "standard output");
        return true;
    }();
    (void)ready;
    return u;
}

UnitSlot* find_unit(int lun)
{
    if (lun == console_unit)
        return &console_slot();
    for (UnitSlot& u : file_units)
        if (u.bound && u.lun == lun)
            return &u;
    return nullptr;
}

// Flushes and closes a file unit; a failure ends the program.
void release(UnitSlot& u)
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
    UnitSlot& u = console_slot();
    if (std::fflush(stdout) != 0)
        unit_fault(u.lun, u.name, "flush failed", errno);
    check_unit(u);
}

}  // namespace

output::Printer& unit(int lun)
{
    UnitSlot* u = find_unit(lun);
    if (!u)
        unit_fault(lun, "not open", "write to a unit that is not open", 0);
    return u->printer;
}

// The file is always opened for writing with truncation, so a longer older
// file never leaves its tail behind.
void open_unit(int lun, const char* name, int len)
{
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
    if (lun == console_unit)
        unit_fault(lun, path, "cannot open: unit 6 is standard output", 0);

    UnitSlot* u = find_unit(lun);
    if (u)
        release(*u);
    else
        for (UnitSlot& s : file_units)
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
    u->rec = output::file_record(fp);
    std::memcpy(u->name, path, static_cast<size_t>(n) + 1);
}

void close_unit(int lun)
{
    if (lun == console_unit) {
        flush_console();
        return;
    }
    UnitSlot* u = find_unit(lun);
    if (u)
        release(*u);
}

void close_all_units()
{
    for (UnitSlot& u : file_units)
        if (u.bound)
            release(u);
    flush_console();
}

// The message as one console line (after ending a record left open on unit
// 6), every unit flushed and closed, then the exit.
void stop_run(const char* line, int status)
{
    UnitSlot& u = console_slot();
    if (u.rec.open)
        output::end_record(u.rec);
    output::put_text(u.rec, line, static_cast<int>(std::strlen(line)));
    output::end_record(u.rec);
    check_unit(u);
    close_all_units();
    std::exit(status);
}

}  // namespace varnel::console
