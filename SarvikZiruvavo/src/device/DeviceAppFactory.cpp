#include "DeviceAppFactory.hpp"

#include "apps/RespirationApp.hpp"
#include "apps/SleepApp.hpp"

namespace {

// The application of each bit of the supported-applications mask; bits
// whose applications are still to come make nothing.
class ProgramAppFactory : public DeviceAppFactory {
public:
    DeviceApp* createApplication(quint32 applicationBit, Device& device) const override
    {
        switch (applicationBit) {
        case 0x2:
            return new RespirationApp(&device);
        case 0x8:
            return new SleepApp(&device);
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
