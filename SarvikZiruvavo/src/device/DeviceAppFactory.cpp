#include "DeviceAppFactory.hpp"

#include "apps/PresenceApp.hpp"

namespace {

// The application of each supported-applications bit; the bits without one
// make nothing.
class ProgramAppFactory : public DeviceAppFactory {
public:
    DeviceApp* createApplication(quint32 applicationBit, Device& device) const override
    {
        switch (applicationBit) {
        case 0x10:
            return new PresenceApp(&device);
        default:
            return nullptr;
        }
    }
};

} // namespace

const DeviceAppFactory& DeviceAppFactory::programFactory()
{
    static const ProgramAppFactory factory;
    return factory;
}
