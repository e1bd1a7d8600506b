#include "flat_check.h"

void group_dax(void) { }
