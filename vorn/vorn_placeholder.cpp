#include "vorn/vorn.h"
