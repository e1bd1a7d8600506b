#include "flat_check.h"

void group_refusals(void) { }
