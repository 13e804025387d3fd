// Console dialogue: prompts go to standard output, the stream of unit 6, so
// prompts and report lines appear in program order.
#pragma once

namespace varnel::console {

// Writes text to standard output (no line end added) and flushes it.
void prompt(const char* text);

// Reads one answer line from standard input into buf (at most cap - 1
// characters, NUL-terminated, line end removed).  The rest of a longer line is
// read and discarded, never left for the next prompt.  Returns the number of
// characters stored; end of input counts as an empty answer (returns 0).
int read_answer(char* buf, int cap);

}  // namespace varnel::console
