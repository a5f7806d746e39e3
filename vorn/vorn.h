// Vorn format and decoder: the interface the players, korutil and vornmake
// build against.
#pragma once

#include <stddef.h>
#include <stdint.h>
