#include "protocol/PacketParserCallback.hpp"

PacketParserCallback::~PacketParserCallback() = default;
