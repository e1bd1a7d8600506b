// The message queues that the library's command interface subscribes for
// itself whenever it opens a connection (and again when a reset reopens it).
// The program reads a module's packets through its own handler only, so it
// removes them all: a queue nobody reads would keep the last thousand packets
// of its kind for as long as the connection lives.
#pragma once

#include <string>
#include <vector>

namespace Sarvik {
class Transport;
}

// The name of every default queue, the handler-fed float-data name among them.
const std::vector<std::string>& libraryQueueNames();

// The float-data queue's name, which a worker takes over for its own handler
// of 0xA0 packets.
extern const char* const floatDataQueueName;

// Unsubscribes every default queue; names the connection does not hold are
// harmless.
void unsubscribeLibraryQueues(Sarvik::Transport& transport);
