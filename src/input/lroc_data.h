// Rating data of a run: identifiers, labels and the input-order count tables.
#pragma once

#include "numeric/tables.h"

using id_field = char[64];       // blank-padded, no terminator
using label_field = char[16];    // blank-padded, no terminator
using label_table = label_field[17];
