// Heap allocation counter for the tests that show a routine works in fixed
// storage: compare allocation_count() before and after the call.
#pragma once

// Heap allocations (operator new) made by this thread since the program began.
long allocation_count();
