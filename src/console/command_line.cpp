// Table-driven command-line processor.
#include "console/command_line.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int max_options = 256;  // room of the set of seen options

// Processor state, kept for the life of the program.
bool seen_[max_options];    // options seen on this command line
char cur_let_ = ' ';        // letter of the option being processed (upper case)
bool echo_wanted_ = false;  // switch /! was given
bool echo_done_ = false;    // the argument echo has been printed
bool disp_syntax_ = true;   // show the usage text after a fault

// Upper case of an ASCII letter; other characters unchanged.
char ToUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool is_flag(const char* fmt) { return fmt == nullptr || fmt[0] == '\0'; }

// Kind letters are matched without regard to case ("!" is not a letter).
bool kind_is(const char* fmt, char letter)
{
    return fmt != nullptr && ToUpper(fmt[0]) == letter && fmt[1] == '\0';
}

bool is_text_kind(const char* fmt)
{
    return fmt != nullptr && (fmt[0] == '[' || fmt[0] == 's' || fmt[0] == 'S');
}

// The program's own name: the invoked path after its last "/" or backslash,
// cut at its first ".".  Sets len to the name's length.
const char* prog_name(const char* argv0, int& len)
{
    if (argv0 == nullptr) {
        len = 0;
        return "";
    }
    const char* name = argv0;
    for (const char* p = argv0; *p != '\0'; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    len = 0;
    while (name[len] != '\0' && name[len] != '.')
        ++len;
    return name;
}

// Whole-text conversion of a signed integer (decimal, octal or hexadecimal).
bool scan_long(const char* value, long& out)
{
    if (value[0] == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(value, &end, 0);
    return errno == 0 && end != value && *end == '\0';
}

// Converts one value text with its kind and stores it at dest.  Returns
// false when the text is not used up entirely by the conversion.
bool convert_value(const char* value, int len, const char* kind, void* dest)
{
    long v = 0;
    if (kind_is(kind, 'N')) {
        if (!scan_long(value, v) || v < INT_MIN || v > INT_MAX)
            return false;
        *static_cast<int*>(dest) = static_cast<int>(v);
        return true;
    }
    if (kind_is(kind, 'M')) {
        if (!scan_long(value, v))
            return false;
        *static_cast<long*>(dest) = v;
        return true;
    }
    if (kind_is(kind, 'U')) {
        const char* p = value;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '-' || !scan_long(value, v) || v < 0 || v > 0xFFFF)
            return false;
        *static_cast<unsigned short*>(dest) = static_cast<unsigned short>(v);
        return true;
    }
    if (kind_is(kind, 'B')) {
        if (!scan_long(value, v) || v < INT_MIN || v > INT_MAX ||
            ((static_cast<unsigned long>(v) >> 8) & 0xFFu) != 0)
            return false;
        *static_cast<unsigned char*>(dest) = static_cast<unsigned char>(v & 0xFF);
        return true;
    }
    if (kind != nullptr && kind[0] == '!' && kind[1] == '\0') {
        if (len != 1)
            return false;
        *static_cast<char*>(dest) = ToUpper(value[0]);
        return true;
    }
    if (kind == nullptr || kind[0] == '\0')
        return false;
    // Any other kind is the scan conversion itself.  Text destinations hold
    // procargs_text_max characters and a terminator.
    if (is_text_kind(kind) && len > procargs_text_max)
        return false;
    char conv[32];
    if (std::snprintf(conv, sizeof conv, "%%%s%%n", kind) >= static_cast<int>(sizeof conv))
        return false;
    int used = -1;
    if (std::sscanf(value, conv, dest, &used) != 1)
        return false;
    return used == len;
}

// One value: the text up to the first "/" (or a text in apostrophes),
// converted with its kind into dest.  Returns the characters consumed (the
// apostrophes included), -2 when no value is given, -1 for a bad value.
int read_argument_value(const char* text, const char* kind, void* dest)
{
    if (text[0] == '\0')
        return -2;
    int rest = static_cast<int>(std::strlen(text));
    if (rest > procargs_work_max)
        return -1;
    char work[procargs_work_max + 1];
    int consumed = 0;
    int len = 0;
    const char* close = text[0] == '\'' ? std::strchr(text + 1, '\'') : nullptr;
    if (close != nullptr) {
        len = static_cast<int>(close - text - 1);
        std::memcpy(work, text + 1, len);
        consumed = len + 2;
    } else {
        while (text[len] != '\0' && text[len] != '/')
            ++len;
        if (len == 0)
            return -2;  // a switch follows at once: no value was given
        std::memcpy(work, text, len);
        consumed = len;
    }
    work[len] = '\0';
    if (!convert_value(work, len, kind, dest))
        return -1;
    return consumed;
}

// One switch word (text from its "/"): sets flags and values of the options
// it names, and further switches joined to it.  Returns 0 or a fault status.
int process_switch(const char* text, int numopts, OPTION* options)
{
    for (;;) {
        if (text[0] == '\0')
            return 0;
        if (text[1] == '\0')
            return -6;
        cur_let_ = ToUpper(text[1]);
        int k = -1;
        for (int i = 0; i < numopts && i < max_options; ++i)
            if (ToUpper(options[i].let) == cur_let_) {
                k = i;
                break;
            }
        const char* rest = text + 2;
        bool valued = false;
        if (k < 0) {
            if (cur_let_ != '!')
                return -5;
            echo_wanted_ = true;
        } else {
            if (seen_[k])
                return -4;
            seen_[k] = true;
            OPTION& o = options[k];
            if (is_flag(o.fmt)) {
                *static_cast<int*>(o.ptr) = 1;
            } else {
                if (*rest == '=')
                    ++rest;
                int r = read_argument_value(rest, o.fmt, o.ptr);
                if (r == -2)
                    return -2;
                if (r < 0)
                    return -7;
                rest += r;
                valued = true;
            }
        }
        while (*rest == ' ')
            ++rest;
        if (*rest == '\0')
            return 0;
        // A quoted value followed by other text is a bad value; a flag with
        // text after its letter takes no value.
        if (*rest != '/')
            return valued ? -7 : -3;
        text = rest;
    }
}

// Destination and kind of positional argument number n (1-based); a
// collecting argument takes this and every later word as its elements.
bool arg_slot(int n, int numargs, ARGUMENT* arguments, void*& dest, const char*& kind)
{
    for (int k = 0; k < numargs && k < n; ++k) {
        if (kind_is(arguments[k].fmt, 'A')) {
            dest = static_cast<char*>(arguments[k].ptr) +
                   static_cast<long>(n - 1 - k) * arguments[k].siz;
            kind = arguments[k].ft2;
            return true;
        }
    }
    if (n > numargs)
        return false;
    dest = arguments[n - 1].ptr;
    kind = arguments[n - 1].fmt;
    return true;
}

// Text of the current value at ptr, cut to procargs_show_max characters.
void value_text(const char* kind, const void* ptr, char (&out)[procargs_show_max + 1])
{
    out[0] = '\0';
    const int cap = procargs_show_max + 1;
    if (kind == nullptr || ptr == nullptr)
        return;
    if (is_text_kind(kind))
        std::snprintf(out, cap, "%.*s", procargs_show_max, static_cast<const char*>(ptr));
    else if (kind_is(kind, 'N') || std::strcmp(kind, "d") == 0 || std::strcmp(kind, "i") == 0)
        std::snprintf(out, cap, "%d", *static_cast<const int*>(ptr));
    else if (kind_is(kind, 'M'))
        std::snprintf(out, cap, "%ld", *static_cast<const long*>(ptr));
    else if (kind_is(kind, 'U'))
        std::snprintf(out, cap, "%u", *static_cast<const unsigned short*>(ptr));
    else if (kind_is(kind, 'B'))
        std::snprintf(out, cap, "%u", *static_cast<const unsigned char*>(ptr));
    else if (std::strcmp(kind, "!") == 0 || std::strcmp(kind, "c") == 0)
        std::snprintf(out, cap, "%c", *static_cast<const char*>(ptr));
}

// Current setting of an option in the option list; a text value is shown
// whole (it always fits its destination).
void display_default(const OPTION& o)
{
    if (is_flag(o.fmt)) {
        std::printf(" <%s>", *static_cast<const int*>(o.ptr) != 0 ? "Yes" : "No");
        return;
    }
    if (is_text_kind(o.fmt)) {
        std::printf("[%s]", static_cast<const char*>(o.ptr));
        return;
    }
    char text[procargs_show_max + 1];
    value_text(o.fmt, o.ptr, text);
    std::printf("[%s]", text);
}

// The option list: letter, two line characters, description, setting.
void display_options(int numopts, const OPTION* options)
{
    std::printf(" Options:\n");
    for (int i = 0; i < numopts; ++i) {
        std::printf("\t%c \u2500\u2500 %s ", ToUpper(options[i].let), options[i].syn);
        display_default(options[i]);
        std::printf("\n");
    }
}

// Usage text of one positional argument: its value when given, else its name.
int arg_syntax(const ARGUMENT& a, bool given, int index, int reqargs, bool print)
{
    char text[procargs_show_max + 1];
    if (given) {
        const char* kind = kind_is(a.fmt, 'A') ? a.ft2 : a.fmt;
        value_text(kind, a.ptr, text);
        return print ? std::printf("  %s", text) : 2 + static_cast<int>(std::strlen(text));
    }
    const char* syn = a.syn != nullptr ? a.syn : "";
    if (index >= reqargs)
        return print ? std::printf("  [%s]", syn) : 4 + static_cast<int>(std::strlen(syn));
    return print ? std::printf("  %s", syn) : 2 + static_cast<int>(std::strlen(syn));
}

// The syntax line: program name, options, positional arguments.
void pr_syntax(const char* argv0, int numopts, const OPTION* options, int numargs, int reqargs,
               const ARGUMENT* arguments, int given)
{
    constexpr int line_width = 80;
    constexpr int per_option = 5;
    int nlen = 0;
    const char* name = prog_name(argv0, nlen);
    int base = 1 + 8 + nlen + 1;  // "\nSyntax: " name " "
    for (int i = 0; i < numargs; ++i)
        base += arg_syntax(arguments[i], i < given, i, reqargs, false);
    std::printf("\nSyntax: %.*s ", nlen, name);
    if (numopts > 1 && base + per_option * numopts >= line_width) {
        std::printf("[%c%c] ... [%c%c]", '/', ToUpper(options[0].let), '/',
                    ToUpper(options[numopts - 1].let));
    } else {
        for (int i = 0; i < numopts; ++i)
            std::printf("[%c%c] ", '/', ToUpper(options[i].let));
    }
    for (int i = 0; i < numargs; ++i)
        arg_syntax(arguments[i], i < given, i, reqargs, true);
    std::printf("\n");
}

// The usage text: centred description, syntax line, option list.
void command_syntax(const char* argv0, int numopts, const OPTION* options, int numargs,
                    int reqargs, const ARGUMENT* arguments, const char* descrip, int given)
{
    constexpr int centre = 40;
    if (descrip != nullptr && descrip[0] != '\0') {
        int indent = centre - static_cast<int>(std::strlen(descrip)) / 2;
        std::printf("%*s%s\n", indent > 0 ? indent : 0, "", descrip);
    }
    pr_syntax(argv0, numopts, options, numargs, reqargs, arguments, given);
    display_options(numopts, options);
}

// The argument echo of switch /!: name and words on one line, filled with
// blanks to column 61.
void print_arg_list(int argc, char** argv)
{
    constexpr int line_width = 80;
    constexpr int fill_column = 61;
    int nlen = 0;
    const char* name = prog_name(argc > 0 ? argv[0] : nullptr, nlen);
    long len = std::printf(" %.*s", nlen, name);
    for (int i = 1; i < argc; ++i)
        len += std::printf(" %s", argv[i]);
    int col = static_cast<int>(len % line_width);
    if (col > fill_column) {
        std::printf("\n");
        col = 0;
    }
    std::printf("%*s\n", fill_column - col, "");
    echo_done_ = true;
}

}  // namespace

void set_proc_args_syntax_off() { disp_syntax_ = false; }

// Matches the command line against the option and argument tables.
int process_args(int argc, char** argv, int numopts, OPTION* options, int numargs, int reqargs,
                 ARGUMENT* arguments, const char* descrip)
{
    for (bool& s : seen_)
        s = false;
    int status = 0;
    int nargs = 0;
    for (int i = 1; i < argc && status == 0; ++i) {
        const char* word = argv[i];
        if (word[0] == '/') {
            status = numopts > 0 ? process_switch(word, numopts, options) : 1;
            continue;
        }
        ++nargs;
        void* dest = nullptr;
        const char* kind = nullptr;
        if (!arg_slot(nargs, numargs, arguments, dest, kind)) {
            status = 2;
            continue;
        }
        if (word[0] == '\0') {
            status = nargs <= reqargs ? -8 : 0;
            continue;
        }
        int r = read_argument_value(word, kind, dest);
        if (r < 0)
            status = -1;
        else if (word[r] != '\0')
            // Only a value ended by "/" may be followed by switches.
            status = word[r] != '/' ? -1 : numopts > 0 ? process_switch(word + r, numopts, options) : 1;
    }

    bool rejected = status != 0;
    switch (status) {
    case 0:
        if (nargs < reqargs) {
            if (nargs > 0)
                std::printf("Too few arguments\n");
            rejected = true;
        }
        break;
    case 1: std::printf("No options available\n"); break;
    case 2: std::printf("Too many arguments\n"); break;
    case -1: std::printf("Bad value for argument %d\n", nargs); break;
    case -2: std::printf("Missing value for option /%c\n", cur_let_); break;
    case -3: std::printf("No value permitted for option /%c\n", cur_let_); break;
    case -4: std::printf("Option /%c appears more than once\n", cur_let_); break;
    case -5:
        if (cur_let_ != '?' && cur_let_ != '!')
            std::printf("Unknown option %c%c\n", '/', cur_let_);
        break;
    case -6: std::printf("No option specified after /\n"); break;
    case -7: std::printf("Bad value for option %c\n", cur_let_); break;
    case -8: std::printf("Missing value for argument %d\n", nargs); break;
    default: break;
    }
    if (echo_wanted_ && !echo_done_)
        print_arg_list(argc, argv);
    if (rejected) {
        if (disp_syntax_)
            command_syntax(argc > 0 ? argv[0] : nullptr, numopts, options, numargs, reqargs,
                           arguments, descrip, nargs < numargs ? nargs : numargs);
        std::fflush(stdout);
        return -1;
    }
    return nargs;
}
