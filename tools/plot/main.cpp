// varnel-plot REPORT.txt OUT.svg: draws the ROC and LROC curves of a varnel
// output file.  The picture is written to a temporary file beside OUT.svg and
// renamed into place only when complete, so a failed run leaves no SVG behind.
#include "plot/plot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace plot = varnel::plot;

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "varnel-plot: %s\n", message.c_str());
    return 1;
}

// Writes `doc` to `path` through a temporary file in the same folder.
bool write_atomically(const std::string& path, const std::string& doc, std::string& error) {
    std::string tmp = path + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < doc.size()) {
        const ssize_t n = write(fd, doc.data() + done, doc.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const int saved = done == doc.size() ? 0 : errno;
    // mkstemp creates the file private to the user; give it the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    if (close(fd) != 0 || saved != 0 || std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(saved ? saved : errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return fail("usage: varnel-plot REPORT.txt OUT.svg");
    const std::string in_name = argv[1], out_name = argv[2];

    // The picture must never replace the report it is drawn from.
    struct stat a {}, b {};
    if (stat(in_name.c_str(), &a) == 0 && stat(out_name.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino)
        return fail(out_name + " is the report itself; name another file for the picture");

    std::ifstream in(in_name, std::ios::binary);
    if (stat(in_name.c_str(), &a) == 0 && S_ISDIR(a.st_mode)) return fail("cannot read " + in_name + ": it is a folder");
    if (!in) return fail("cannot read " + in_name + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return fail("cannot read " + in_name);

    plot::Report rep;
    std::string error;
    switch (plot::parse_report(text.str(), rep, error)) {
        case plot::Parse::no_curve_table:
            return fail(in_name + " has no curve table; answer y at the file question of varnel");
        case plot::Parse::malformed:
            return fail(in_name + ": " + error);
        case plot::Parse::ok:
            break;
    }
    if (!rep.nontarget_known)
        std::fprintf(stderr, "varnel-plot: note: a non-target count is too large for the echo; no observed points\n");
    for (size_t t = 0; t < rep.targets.size(); ++t)
        if (!rep.targets[t].counts_known)
            std::fprintf(stderr, "varnel-plot: note: a count of target %zu is too large for the echo; its observed points are left out\n",
                         t + 1);
    if (!write_atomically(out_name, plot::render_svg(rep), error)) return fail(error);
    return 0;
}
