// Formatted records on one output channel: the writes through which every
// report and trace line is made.  A format string in the FORMAT-statement
// notation (format.h) decides the exact text.
#pragma once

#include "varnel/format.h"

namespace varnel::output {

// One item of a list-directed record.
struct ListItem {
    enum kind_t { integer, real, text } kind;
    int i;
    double r;
    const char* s;
};
inline ListItem list_item(int v) { return {ListItem::integer, v, 0.0, nullptr}; }
inline ListItem list_item(double v) { return {ListItem::real, 0, v, nullptr}; }
inline ListItem list_item(const char* v) { return {ListItem::text, 0, 0.0, v}; }

class Printer {
public:
    explicit Printer(Record& rec) : rec_(rec) {}
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    virtual ~Printer() = default;

    Record& record() { return rec_; }
    // A write failed or a format was faulty (record().err, record().fault say why).
    bool failed() const { return rec_.failed; }

    // Ends the current record.
    void end_record();
    // A format of literals, positioning and record ends.
    void text(const char* fmt);
    // One text item: the field of len characters at s (an A descriptor pads
    // or cuts it); never reads past the field.
    void field(const char* fmt, const char* s, int len);
    // One write of the given integers and reals, in order.
    template <class... T>
    void write(const char* fmt, T... v)
    {
        const Value values[] = {to_value(v)...};
        write_values(fmt, values, static_cast<int>(sizeof...(T)));
    }
    void write_values(const char* fmt, const Value* values, int n);

    // Rows: the label, then one write per element with fmt; the record is
    // ended unless end is false.
    // Indices first..last.
    void index_row(const char* label, const char* fmt, int first, int last, bool end = true);
    // Elements first..last of a 1-based array (element 1 at values[0]).
    void value_row(const char* label, const char* fmt, const double* values, int first, int last,
                   bool end = true);
    // For j = first..last the value (j - 1) * stride elements after values[0]:
    // one row of a column-major matrix whose column length is stride.
    void strided_row(const char* label, const char* fmt, const double* values, int first, int last,
                     int stride, bool end = true);
    // As strided_row with two or three matrices, one write per column j.
    void strided_row(const char* label, const char* fmt, const double* a, const double* b,
                     int first, int last, int stride);
    void strided_row(const char* label, const char* fmt, const double* a, const double* b,
                     const double* c, int first, int last, int stride);

    // List-directed record: items one after another, a new record before any
    // item that would reach column 80, a line feed at the end.
    void list(const ListItem* items, int n);

protected:
    // Called after every operation; a channel that must not go on after a
    // failed write checks the record here.
    virtual void written() {}

private:
    static Value to_value(int v) { return integer_value(v); }
    static Value to_value(double v) { return real_value(v); }

    Record& rec_;
};

}  // namespace varnel::output
