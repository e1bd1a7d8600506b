#include "DeviceAppFactory.hpp"

namespace {

// Makes no application: the program's application classes are to come, and
// take their places here, one per bit.
class ProgramAppFactory : public DeviceAppFactory {
public:
    DeviceApp* createApplication(quint32, Device&) const override { return nullptr; }
};

} // namespace

const DeviceAppFactory& DeviceAppFactory::programFactory()
{
    static const ProgramAppFactory factory;
    return factory;
}
