#include "DeviceAppFactory.hpp"

#include "apps/BasebandApp.hpp"
#include "apps/DaxApp.hpp"
#include "apps/PresenceApp.hpp"

namespace {

// The program's applications, one per bit of the supported-applications
// mask; bits without an application make nothing.
class ProgramAppFactory : public DeviceAppFactory {
public:
    DeviceApp* createApplication(quint32 applicationBit, Device& device) const override
    {
        switch (applicationBit) {
        case 0x10:
            return new PresenceApp(&device);
        case 0x80:
            return new BasebandApp(&device);
        case 0x100:
            return new DaxApp(&device);
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
