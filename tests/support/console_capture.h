// Runs a piece of code with scripted console answers on standard input and
// returns what it wrote on standard output (prompts and unit 6 alike).
#pragma once

#include <functional>
#include <string>

std::string run_with_console(const std::string& answers, const std::function<void()>& body);
