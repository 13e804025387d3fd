// Helpers of the plot tests: a small XML well-formedness checker, a reader of
// the SVG's elements, and running the built varnel-plot.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace plotcheck {

// True when `doc` is well formed: one root element, balanced tags, quoted
// attributes, only the predefined or numeric entities, valid UTF-8.
bool well_formed(const std::string& doc, std::string& why);

struct Element {
    std::string name;
    std::map<std::string, std::string> attr;  // values with entities resolved
    std::string text;                          // text up to the next tag, entities resolved
};

// Every start or empty-element tag of the document, in order.
std::vector<Element> elements(const std::string& doc);

// Elements whose class attribute is `cls` and whose data-target is `target`.
std::vector<Element> select(const std::vector<Element>& all, const std::string& cls, int target);

// Elements whose class attribute is `cls`, and of those the ones whose
// attribute `name` is `value`.
std::vector<Element> with_class(const std::vector<Element>& all, const std::string& cls);
std::vector<Element> with_class(const std::vector<Element>& all, const std::string& cls, const std::string& name,
                                const std::string& value);

// A number attribute of an element (NaN when missing).
double number(const Element& e, const std::string& name);

// The "x,y x,y ..." list of a polyline.
std::vector<std::pair<double, double>> polyline_points(const Element& e);

// Runs varnel-plot with the given arguments (already quoted as needed);
// returns its exit status and its standard error text.
int run_plot(const std::string& args, std::string& err);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);

// A fresh empty folder for one test.
std::string temp_dir();

// Names of the entries of a folder.
std::vector<std::string> list_dir(const std::string& dir);

}  // namespace plotcheck
