#include "ModuleMessages.hpp"

QByteArray byteArrayOf(const simmodule::Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

QByteArray payloadOf(const simmodule::Bytes& message)
{
    return QByteArray(reinterpret_cast<const char*>(message.data()) + 5, int(message.size()) - 5);
}
