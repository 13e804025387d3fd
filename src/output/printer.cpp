// Formatted records on one output channel.
#include "varnel/printer.h"

#include <cstring>

namespace varnel::output {

void Printer::end_record()
{
    output::end_record(rec_);
    written();
}

void Printer::text(const char* fmt) { write_values(fmt, nullptr, 0); }

void Printer::field(const char* fmt, const char* s, int len)
{
    const Value v = text_value(s, len);
    write_values(fmt, &v, 1);
}

// A faulty format marks the record failed with its reason: the formats are
// the program's own, so this is a fault of the program, reported by whoever
// owns the channel.
void Printer::write_values(const char* fmt, const Value* values, int n)
{
    const char* why = "";
    if (write_format(rec_, fmt, values, n, &why) != 0 && !rec_.fault) {
        rec_.failed = true;
        rec_.fault = why;
        rec_.fault_format = fmt;
    }
    written();
}

void Printer::index_row(const char* label, const char* fmt, int first, int last, bool end)
{
    text(label);
    for (int j = first; j <= last; ++j)
        write(fmt, j);
    if (end)
        end_record();
}

void Printer::value_row(const char* label, const char* fmt, const double* values, int first,
                        int last, bool end)
{
    text(label);
    for (int j = first; j <= last; ++j)
        write(fmt, values[j - 1]);
    if (end)
        end_record();
}

void Printer::strided_row(const char* label, const char* fmt, const double* values, int first,
                          int last, int stride, bool end)
{
    text(label);
    for (int j = first; j <= last; ++j)
        write(fmt, values[static_cast<long>(j - 1) * stride]);
    if (end)
        end_record();
}

void Printer::strided_row(const char* label, const char* fmt, const double* a, const double* b,
                          int first, int last, int stride)
{
    text(label);
    for (int j = first; j <= last; ++j) {
        const long at = static_cast<long>(j - 1) * stride;
        write(fmt, a[at], b[at]);
    }
    end_record();
}

void Printer::strided_row(const char* label, const char* fmt, const double* a, const double* b,
                          const double* c, int first, int last, int stride)
{
    text(label);
    for (int j = first; j <= last; ++j) {
        const long at = static_cast<long>(j - 1) * stride;
        write(fmt, a[at], b[at], c[at]);
    }
    end_record();
}

void Printer::list(const ListItem* items, int n)
{
    constexpr int record_limit = 80;
    if (rec_.open)
        output::end_record(rec_);
    char t[max_list_item];
    for (int k = 0; k < n; ++k) {
        const ListItem& it = items[k];
        const char* s = t;
        int len = 0;
        bool lead = false;
        if (it.kind == ListItem::integer) {
            len = list_integer(t, it.i);
        } else if (it.kind == ListItem::real) {
            len = list_real(t, it.r);
        } else {
            s = it.s ? it.s : "";
            len = static_cast<int>(std::strlen(s));
            lead = rec_.col == 0;
        }
        if (rec_.col > 0 && rec_.col + len + (lead ? 1 : 0) >= record_limit) {
            output::end_record(rec_);
            if (it.kind == ListItem::text)
                lead = true;
        }
        if (lead)
            put_text(rec_, " ", 1);
        put_text(rec_, s, len);
    }
    output::end_record(rec_);
    written();
}

}  // namespace varnel::output
