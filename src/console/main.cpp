// Program entry: the command line, then the one fixed run.
#include <cstring>

#include "console/command_line.h"
#include "console/run.h"

namespace {

constexpr int name_len = varnel::console::file_name_len;

// Fills a name field with blanks to name_len characters (terminator after).
void pad_name(char* name)
{
    int n = static_cast<int>(std::strlen(name));
    std::memset(name + n, ' ', name_len - n);
    name[name_len] = '\0';
}

}  // namespace

// Reads the command line (/D trace on, /F trace file, the data file) and runs
// the fit; status 1 when the command line is rejected.
int main(int argc, char** argv)
{
    static char description[] = "varnel, Ver. 1.04";
    static int debug = 0;
    static char debugfile[name_len + 1] = "loopdata.txt";
    static char inputfile[name_len + 1] = "";
    OPTION options[2] = {
        {'D', nullptr, &debug, "output iteration Data to file"},
        {'F', "[^\t]", debugfile, "iteration ouput File name"},
    };
    ARGUMENT arguments[1] = {{"[^\t]", inputfile, "Input_file", nullptr, 0}};

    if (process_args(argc, argv, 2, options, 1, 0, arguments, description) < 0)
        return 1;
    pad_name(debugfile);
    pad_name(inputfile);
    return varnel::console::run(debug != 0, inputfile, debugfile);
}
