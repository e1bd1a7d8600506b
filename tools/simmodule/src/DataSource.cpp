#include "simmodule/DataSource.hpp"

#include <stdexcept>

namespace simmodule {

DataSource::DataSource(Generator make, Form form, std::shared_ptr<const Bytes> fixed_wire)
    : make_(std::move(make))
    , form_(form)
    , fixed_wire_(std::move(fixed_wire))
{ }

DataSource DataSource::fixed(const Bytes& payload, Form form)
{
    return DataSource(nullptr, form, std::make_shared<const Bytes>(encode(payload, form)));
}

DataSource DataSource::cycle(std::vector<Bytes> payloads, Form form)
{
    if (payloads.empty())
        throw std::invalid_argument("DataSource::cycle needs at least one payload");
    auto shared = std::make_shared<const std::vector<Bytes>>(std::move(payloads));
    return DataSource([shared](uint64_t index) { return (*shared)[index % shared->size()]; }, form, nullptr);
}

DataSource DataSource::generate(Generator make, Form form)
{
    if (!make)
        throw std::invalid_argument("DataSource::generate needs a generator");
    return DataSource(std::move(make), form, nullptr);
}

void DataSource::append_wire(uint64_t index, Bytes& out) const
{
    if (fixed_wire_) {
        out.insert(out.end(), fixed_wire_->begin(), fixed_wire_->end());
        return;
    }
    append_encoded(out, make_(index), form_);
}

} // namespace simmodule
