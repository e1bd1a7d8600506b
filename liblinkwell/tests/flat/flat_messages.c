#include "flat_check.h"

void group_messages(void) { }
