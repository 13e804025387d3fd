// Rating data file reader.
#pragma once

#include "input/lroc_data.h"

// Reads the whole file; `inputfile` is the 256-character blank-padded name
// (possibly all blanks).  Sets globals_.ncat and globals_.noloc.  Returns only
// on success; every fault ends the program with status 1.
int getlroc_(const char* inputfile, id_field& obsvr, id_field& cond, id_field& inum,
             label_table& rating, itable& freqnon, itable& freq, int& ntardist);
