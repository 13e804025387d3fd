// Helpers shared by the report tests.
#include "report/support/report_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "model/lroc_common.h"
#include "output/io_routs.h"

unit_file::unit_file(int lun) : lun_(lun), open_(false)
{
    std::strcpy(path_, "/tmp/varnel_report_XXXXXX");
    const int fd = mkstemp(path_);
    if (fd < 0) std::abort();
    close(fd);
    char name[256];
    std::memset(name, ' ', sizeof name);
    std::memcpy(name, path_, std::strlen(path_));
    open_file__(lun_, name, 256, " ");
    open_ = true;
}

unit_file::~unit_file()
{
    if (open_) close_file__(lun_);
    std::remove(path_);
}

std::string unit_file::text()
{
    if (open_) {
        close_file__(lun_);
        open_ = false;
    }
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void set_model(int ndist, int ncat)
{
    globals_.noloc = 0;
    globals_.ncat = ncat;
    globals_.ndist = ndist;
    globals_.npar = (ncat - 1) + 2 * (ndist - 1);
    qvals_ = {};
}

void diagonal_xp(ptable& xp, const double* variances, int n)
{
    xp = {};
    for (int i = 1; i <= n; ++i) xp(i, i) = variances[i - 1];
}

int count_lines(const std::string& text)
{
    int n = 0;
    for (char c : text)
        if (c == '\n') ++n;
    return n;
}

std::string line_of(const std::string& text, int index)
{
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = text.find('\n', start);
        if (start == std::string::npos) return "<missing>";
        ++start;
    }
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return "<missing>";
    return text.substr(start, end - start);
}
