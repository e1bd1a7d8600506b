#include "flat_check.h"

void group_exports(void) { }
