#include <linkwell/PacketParserCallback.hpp>

PacketParserCallback::~PacketParserCallback() = default;
