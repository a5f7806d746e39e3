// Reductions of option lists to short lists that rise in cost while they
// fall in error.
#pragma once

#include "vornmake/vmk.h"

// Keeps the staircase of options that are each dearer and strictly better
// than the one before, starting from the cheapest and stopping at error 0.
// The result is sorted by rising cost.
void VmkPareto(VmkOptions* o);
// Keeps the lower convex hull from the cheapest option to the one with the
// smallest error (equal slopes keep the nearer option).
void VmkHull(VmkOptions* o);
// Thins a list to at most n options, keeping the first and the last.
void VmkThin(VmkOptions* o, int n);
