// What every library object the program makes for a module shares: a library
// log level derived from the program's own, and a LoggerIo that carries the
// library's lines into the program's log.
#pragma once

#include <QString>

struct SarvikDeviceInfo;

namespace Sarvik {
class DataPlayer;
class Linkwell;
} // namespace Sarvik

// Appended to a module's display name while it holds a crash dump.
extern const QString crashDumpMarker;

// 9 when the program logs at level 2 or more, 3 at level 1, otherwise 0.
int libraryLogLevel();

// A new connection owned by the caller: on the recording's player for a
// playback record (null without a player; the player must outlive the
// connection), on the record's serial port otherwise. The library's
// exceptions pass to the caller.
Sarvik::Linkwell* createLinkwell(const SarvikDeviceInfo& info, Sarvik::DataPlayer* player);
