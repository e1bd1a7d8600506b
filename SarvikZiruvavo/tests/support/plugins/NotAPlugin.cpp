// A shared library that is not a Qt plug-in. Its code runs as soon as it is
// loaded, which sets an environment variable the tests look for: the plug-in
// loader must never load it.
#include <cstdlib>

extern "C" int sarvikNotAPluginAnswer()
{
    return 42;
}

namespace {

struct LoadedMarker {
    LoadedMarker() { setenv(NOT_A_PLUGIN_MARKER, "1", 1); }
} marker;

} // namespace
