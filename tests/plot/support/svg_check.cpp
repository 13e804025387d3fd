#include "support/svg_check.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace plotcheck {
namespace {

bool name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':'; }

// Resolves entities of `s`; false when an '&' does not begin a known one or a '<' appears.
bool unescape(const std::string& s, std::string& out) {
    static const std::map<std::string, std::string> known = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}};
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '<') return false;
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const size_t semi = s.find(';', i);
        if (semi == std::string::npos) return false;
        const std::string name = s.substr(i + 1, semi - i - 1);
        if (known.count(name)) out += known.at(name);
        else if (name.size() > 1 && name[0] == '#' && name.find_first_not_of("0123456789", 1) == std::string::npos) out += '?';
        else return false;
        i = semi;
    }
    return true;
}

bool valid_utf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        const int len = c < 0x80 ? 1 : c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (int k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xc0) != 0x80) return false;
        if (len == 1 && c < 0x20 && c != '\n' && c != '\t' && c != '\r') return false;
        i += len;
    }
    return true;
}

// Parses one tag starting at doc[i] == '<'; fills e and sets kind: 's' start,
// 'e' empty, 'c' close.  Returns the index after '>' or npos on a fault.
size_t tag(const std::string& doc, size_t i, Element& e, char& kind) {
    size_t p = i + 1;
    kind = 's';
    if (p < doc.size() && doc[p] == '/') kind = 'c', ++p;
    const size_t n0 = p;
    while (p < doc.size() && name_char(doc[p])) ++p;
    if (p == n0) return std::string::npos;
    e.name = doc.substr(n0, p - n0);
    for (;;) {
        while (p < doc.size() && std::isspace(static_cast<unsigned char>(doc[p]))) ++p;
        if (p >= doc.size()) return std::string::npos;
        if (doc[p] == '>') return p + 1;
        if (doc[p] == '/' && kind == 's' && p + 1 < doc.size() && doc[p + 1] == '>') return kind = 'e', p + 2;
        if (kind == 'c') return std::string::npos;
        const size_t a0 = p;
        while (p < doc.size() && name_char(doc[p])) ++p;
        if (p == a0 || p + 1 >= doc.size() || doc[p] != '=' || doc[p + 1] != '"') return std::string::npos;
        const std::string name = doc.substr(a0, p - a0);
        const size_t v0 = p + 2, v1 = doc.find('"', v0);
        std::string value;
        if (v1 == std::string::npos || e.attr.count(name) || !unescape(doc.substr(v0, v1 - v0), value))
            return std::string::npos;
        e.attr[name] = value;
        p = v1 + 1;
    }
}

// Walks the document; calls back for every start or empty tag.
bool walk(const std::string& doc, std::string& why, std::vector<Element>* out) {
    if (!valid_utf8(doc)) return why = "not valid UTF-8", false;
    size_t i = 0;
    if (doc.rfind("<?xml", 0) == 0) {
        i = doc.find("?>");
        if (i == std::string::npos) return why = "unterminated prolog", false;
        i += 2;
    }
    std::vector<std::string> open;
    int roots = 0;
    while (i < doc.size()) {
        const size_t lt = doc.find('<', i);
        const std::string text = doc.substr(i, (lt == std::string::npos ? doc.size() : lt) - i);
        std::string plain;
        if (!unescape(text, plain)) return why = "bad character data near offset " + std::to_string(i), false;
        if (open.empty() && plain.find_first_not_of(" \n\t\r") != std::string::npos)
            return why = "text outside the root element", false;
        if (out && !out->empty() && !open.empty()) out->back().text += plain;
        if (lt == std::string::npos) break;
        Element e;
        char kind = 0;
        const size_t end = tag(doc, lt, e, kind);
        if (end == std::string::npos) return why = "malformed tag at offset " + std::to_string(lt), false;
        if (kind == 'c') {
            if (open.empty() || open.back() != e.name) return why = "unbalanced </" + e.name + ">", false;
            open.pop_back();
        } else {
            if (open.empty() && ++roots > 1) return why = "more than one root element", false;
            if (kind == 's') open.push_back(e.name);
            if (out) out->push_back(e);
        }
        i = end;
    }
    if (!open.empty()) return why = "unclosed <" + open.back() + ">", false;
    if (roots != 1) return why = "no root element", false;
    return true;
}

}  // namespace

bool well_formed(const std::string& doc, std::string& why) { return walk(doc, why, nullptr); }

std::vector<Element> elements(const std::string& doc) {
    std::vector<Element> all;
    std::string why;
    walk(doc, why, &all);
    return all;
}

std::vector<Element> select(const std::vector<Element>& all, const std::string& cls, int target) {
    std::vector<Element> out;
    for (const Element& e : all) {
        auto c = e.attr.find("class"), t = e.attr.find("data-target");
        if (c != e.attr.end() && c->second == cls && t != e.attr.end() && t->second == std::to_string(target))
            out.push_back(e);
    }
    return out;
}

std::vector<Element> with_class(const std::vector<Element>& all, const std::string& cls) {
    std::vector<Element> out;
    for (const Element& e : all)
        if (auto c = e.attr.find("class"); c != e.attr.end() && c->second == cls) out.push_back(e);
    return out;
}

std::vector<Element> with_class(const std::vector<Element>& all, const std::string& cls, const std::string& name,
                                const std::string& value) {
    std::vector<Element> out;
    for (const Element& e : with_class(all, cls))
        if (auto a = e.attr.find(name); a != e.attr.end() && a->second == value) out.push_back(e);
    return out;
}

double number(const Element& e, const std::string& name) {
    const auto a = e.attr.find(name);
    return a == e.attr.end() ? std::nan("") : std::stod(a->second);
}

std::vector<std::pair<double, double>> polyline_points(const Element& e) {
    std::vector<std::pair<double, double>> pts;
    std::istringstream in(e.attr.count("points") ? e.attr.at("points") : "");
    double x, y;
    char comma;
    while (in >> x >> comma >> y) pts.push_back({x, y});
    return pts;
}

int run_plot(const std::string& args, std::string& err) {
    const std::string dir = temp_dir(), errfile = dir + "/stderr";
    const int status = std::system((std::string("'") + VARNEL_PLOT_EXE + "' " + args + " 2>'" + errfile + "'").c_str());
    err = read_file(errfile);
    std::remove(errfile.c_str());
    rmdir(dir.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string temp_dir() {
    std::string t = ::testing::TempDir() + "/plotXXXXXX";
    return mkdtemp(t.data()) ? t : std::string();
}

std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

}  // namespace plotcheck
