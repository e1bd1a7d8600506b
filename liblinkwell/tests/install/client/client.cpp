// A program of another project on the installed library: it makes objects of
// the public classes and calls through them, with no module attached.
// Prints "client ok" and exits 0 when every check holds.
#include <linkwell/Bootloader.hpp>
#include <linkwell/RecordingOptions.hpp>
#include <linkwell/SarvikException.hpp>

#include <iostream>
#include <string>

namespace {

int failures = 0;

void check(bool condition, const std::string& what)
{
    if (!condition) {
        std::cerr << "FAILED: " << what << "\n";
        ++failures;
    }
}

} // namespace

int main()
{
    {
        // A port that does not open throws nothing; the client goes again.
        Sarvik::Bootloader bootloader("/dev/linkwell-install-test-no-such-port", false, false, 0u);
    }

    Sarvik::RecordingOptions options;
    options.set_session_id("install-test");
    check(options.get_session_id() == "install-test", "recording options keep the session id");

    try {
        throw Sarvik::SarvikException("module error", 7);
    } catch (const Sarvik::SarvikException& e) {
        check(e.code == 7 && std::string(e.what()) == "module error", "the library's exception");
    }

    if (failures != 0)
        return 1;
    std::cout << "client ok\n";
    return 0;
}
