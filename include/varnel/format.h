// Format-string interpreter: the FORMAT-statement notation of the reports
// (literals, nX, Iw, Fw.d, Ew.d, Gw.d, Aw, /, $, groups k(...), repeat counts).
// A format is parsed once per write into a small fixed list of edit
// descriptors; the writer walks that list, taking one value per data
// descriptor, and puts the text into a record: a C stream, a fixed memory
// buffer, a growing string, or nowhere.  Field rules are pure functions from
// value to text.
#pragma once

#include <cstdio>
#include <string>

namespace varnel::output {

inline constexpr int max_descriptors = 64;  // edit descriptors in one format
inline constexpr int max_group_depth = 8;   // nesting of groups
inline constexpr int max_field_width = 512; // widest field (w) accepted

// One edit descriptor.  code: '(' ')' group bounds, 'L' literal, 'X', 'I',
// 'F', 'E', 'G', 'A', '/', '$', ':'.
struct Descriptor {
    char code;
    char delim;   // literal: its quote character
    int rep;      // repeat count (groups, data descriptors, '/')
    int w;        // field width (A without width: -1); nX: n
    int d;        // decimals (F, E, G); minimum digits for I (-1 if none)
    int lit;      // literal: offset of its first character in the text
    int len;      // literal: characters between the quotes (doubled quotes counted twice)
    int match;    // '(' : index of its ')'; ')' : index of its '('
};

struct Format {
    Descriptor d[max_descriptors];
    int n;         // descriptors in d; d[0] is the outer '(' and d[n-1] its ')'
    int revert;    // where the format restarts when values remain at its end
    const char* text;
};

// Parses fmt up to the parenthesis that closes its first one (text after it is
// ignored).  Returns 0, or -1 with a short reason in *why for a faulty format.
int parse_format(const char* fmt, Format& out, const char** why);

// One value handed to a write operation.
struct Value {
    enum kind_t { integer, real, text } kind;
    int i;
    double r;
    const char* s;  // text item: a field of len characters
    int len;
};

inline Value integer_value(int i) { return Value{Value::integer, i, 0.0, nullptr, 0}; }
inline Value real_value(double r) { return Value{Value::real, 0, r, nullptr, 0}; }
inline Value text_value(const char* s, int len) { return Value{Value::text, 0, 0.0, s, len < 0 ? 0 : len}; }

// The current record of an output channel.  Text goes to fp, or to str, or to
// mem (a fixed buffer, which the tests use); a record with none of them
// discards its text but keeps its column count.
struct Record {
    std::FILE* fp = nullptr;
    char* mem = nullptr;
    int mem_cap = 0;
    int mem_len = 0;
    std::string* str = nullptr;
    int col = 0;        // characters written to the current record
    int pending = 0;    // columns skipped by nX and not yet written
    bool open = false;  // the record holds text or was left open by $
    bool failed = false;  // a write failed (or mem overflowed, or a format was faulty)
    int err = 0;          // errno of the failed write
    const char* fault = nullptr;         // reason of a faulty format or value
    const char* fault_format = nullptr;  // the faulty format
};

Record file_record(std::FILE* fp);
Record memory_record(char* mem, int cap);
Record string_record(std::string& str);
Record discard_record();

// Writes text to the record, first turning pending skipped columns into blanks.
void put_text(Record& rec, const char* text, int n);
// Ends the record: a line feed; skipped columns at the end write nothing.
void end_record(Record& rec);

// One write operation: walks fmt with the values, ends the record unless the
// format holds $.  Returns 0, or -1 with a reason in *why (faulty format, a
// value of the wrong kind for its descriptor).
int write_format(Record& rec, const char* fmt, const Value* vals, int nval, const char** why);

// Field rules: each writes exactly w characters to out (no terminator).
void integer_field(char* out, int w, int m, int v);
void fixed_field(char* out, int w, int d, double v);
void exponent_field(char* out, int w, int d, double v);
void general_field(char* out, int w, int d, double v);
void text_field(char* out, int w, const char* s, int len);

// List-directed items: each appends its text (with its leading blank, where
// it has one) to out and returns its length; out needs max_list_item bytes.
inline constexpr int max_list_item = 48;
int list_integer(char* out, int v);
int list_real(char* out, double v);

}  // namespace varnel::output
