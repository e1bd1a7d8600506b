#include "DeviceAppFactory.hpp"

#include "apps/AdultRespirationApp.hpp"
#include "apps/AdultRespirationLoMemApp.hpp"
#include "apps/BabyRespirationApp.hpp"
#include "apps/BabyRespirationLoMemApp.hpp"
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
        case 0x20:
            return new AdultRespirationApp(&device);
        case 0x40:
            return new BabyRespirationApp(&device);
        case 0x200:
            return new AdultRespirationLoMemApp(&device);
        case 0x400:
            return new BabyRespirationLoMemApp(&device);
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
