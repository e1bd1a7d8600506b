// The simulated module's bytes as the program's side holds them: a whole
// message, or a data message's payload as the Device hands it to its
// applications.
#pragma once

#include "simmodule/Framing.hpp"

#include <QByteArray>

// The bytes as they are.
QByteArray byteArrayOf(const simmodule::Bytes& bytes);

// The payload behind the message's head (0x50 and the content id).
QByteArray payloadOf(const simmodule::Bytes& message);
