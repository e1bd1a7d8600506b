#include "flat_check.h"

void group_packets(void) { }
