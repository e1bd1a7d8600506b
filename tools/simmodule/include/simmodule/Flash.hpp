// A bootloader's flash: the pages the host wrote, kept so that a test can
// compare them with the image it meant to write, and the rules with which a
// module in its bootloader answers the host.
//
//   Flash flash;
//   BootloaderScript script;
//   script.info = "SARVIK BOOTLOADER V:1.4.0 H:Falcon R:SerialNumber = \"SIMF1\"";
//   script.flash = flash;
//   module.set_rules(bootloader_rules(script));
//   ...
//   EXPECT_EQ(expected_page, flash.page(128));
//
// Copies share one store; every method is thread-safe (the rules run on the
// module's thread).
#pragma once

#include "simmodule/Framing.hpp"
#include "simmodule/Rule.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace simmodule {

class Flash {
public:
    Flash();

    // Stores a page (replacing an earlier write of the same page).
    void write(uint16_t page, const Bytes& bytes);
    // The page's bytes as last written, or nothing.
    std::optional<Bytes> page(uint16_t page) const;
    // Every page written, by number.
    std::map<uint16_t, Bytes> pages() const;
    // The page numbers in the order the writes came, repeats included.
    std::vector<uint16_t> writes() const;
    // How often the application was started.
    unsigned starts() const;
    void count_start();
    // The next `times` writes of that page are refused.
    void refuse(uint16_t page, unsigned times = 1);
    // Whether this write of the page is refused (counting one refusal).
    bool take_refusal(uint16_t page);
    // The next `times` application starts are refused.
    void refuse_start(unsigned times = 1);
    bool take_start_refusal();
    void clear();

private:
    struct Store;
    std::shared_ptr<Store> store_;
};

// How a module in its bootloader answers.
struct BootloaderScript {
    // Its information text (any bytes), the answer to C0 00 behind E0.
    std::string info;
    // Where the page writes (C0 10, page number high and low byte, a zero
    // byte, the page's bytes) go.
    Flash flash;
    // Page writes and application starts go to the flash, which may refuse
    // some (Flash::refuse, Flash::refuse_start): those get an error reply
    // (no E0).
};

// The rules of a bootloader: C0 00 answered with the text, C0 10 and C0 20
// acknowledged (E0) unless the flash refuses them, everything else error 1. `on_start` (may be empty) runs on
// the module's thread when an accepted start comes, before its answer goes out: it must not call the module.
std::vector<Rule> bootloader_rules(const BootloaderScript& script, std::function<void()> on_start = {});

} // namespace simmodule
