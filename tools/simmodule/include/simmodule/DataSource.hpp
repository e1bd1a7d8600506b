// Where the packets of a data stream or burst come from.
#pragma once

#include "simmodule/Framing.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace simmodule {

// Yields the n-th packet (n counts from 0) of a stream or burst, in one wire
// form. Generators run on the module's thread, one call at a time; whatever
// they throw is caught there and ends that stream or burst.
class DataSource {
public:
    using Generator = std::function<Bytes(uint64_t index)>;

    // The same payload every time (encoded once).
    static DataSource fixed(const Bytes& payload, Form form = Form::Framed);
    // The payloads in turn, starting over after the last.
    static DataSource cycle(std::vector<Bytes> payloads, Form form = Form::Framed);
    // Payloads made on demand, e.g. with a frame counter from the index.
    static DataSource generate(Generator make, Form form = Form::Framed);

    Form form() const { return form_; }
    // Appends the wire bytes of packet `index`.
    void append_wire(uint64_t index, Bytes& out) const;

private:
    DataSource(Generator make, Form form, std::shared_ptr<const Bytes> fixed_wire);

    Generator make_;
    Form form_;
    std::shared_ptr<const Bytes> fixed_wire_;
};

} // namespace simmodule
