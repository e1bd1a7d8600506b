// What the process holds right now, read from /proc: its threads and its
// open file descriptors. Tests compare the counts before and after an object
// has come and gone to show that it left nothing running or open.
#pragma once

namespace testsupport {

int thread_count();
int open_descriptor_count();

// Waits until both counts are back at the given ones (a thread that has been
// joined may linger in /proc for a moment); false when they are not after
// five seconds.
bool resources_back_to(int threads, int descriptors);

} // namespace testsupport
