#include "DeviceAppFactory.hpp"

#include "apps/AdultRespirationApp.hpp"
#include "apps/AdultRespirationLoMemApp.hpp"
#include "apps/BabyRespirationApp.hpp"
#include "apps/BabyRespirationLoMemApp.hpp"
#include "apps/BasebandApp.hpp"
#include "apps/DaxApp.hpp"
#include "apps/PresenceApp.hpp"
#include "apps/RespirationApp.hpp"
#include "apps/SleepApp.hpp"

namespace {

// The program's applications, one per bit of the supported-applications
// mask; bits without an application make nothing.
class ProgramAppFactory : public DeviceAppFactory {
public:
    DeviceApp* createApplication(quint32 applicationBit, Device& device) const override
    {
        switch (applicationBit) {
        case 0x2:
            return new RespirationApp(&device);
        case 0x8:
            return new SleepApp(&device);
        case 0x10:
            return new PresenceApp(&device);
        case 0x20:
            return new AdultRespirationApp(&device);
        case 0x40:
            return new BabyRespirationApp(&device);
        case 0x80:
            return new BasebandApp(&device);
        case 0x100:
            return new DaxApp(&device);
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
