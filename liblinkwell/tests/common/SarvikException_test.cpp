#include <linkwell/SarvikData.hpp>
#include <linkwell/SarvikException.hpp>
#include <linkwell/Z3.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

using Sarvik::SarvikException;

TEST(SarvikException, CarriesMessageAndCodeThroughARuntimeErrorCatch)
{
    struct Case {
        std::function<void()> raise;
        const char* text;
        int code;
    };
    const Case cases[] = {
        { [] { throw SarvikException("set sensor mode failed", 1); }, "set sensor mode failed", 1 },
        { [] { throw SarvikException(std::string("ping: module reponded with QRB_SPR_ERROR"), 42); },
            "ping: module reponded with QRB_SPR_ERROR", 42 },
        { [] { throw SarvikException("code zero", 0); }, "code zero", 0 },
        { [] { throw SarvikException(static_cast<const char*>(nullptr), 7); }, "", 7 },
    };
    for (const auto& c : cases) {
        try {
            c.raise();
            ADD_FAILURE() << "nothing thrown";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(c.text, e.what());
            const auto* sarvik = dynamic_cast<const SarvikException*>(&e);
            ASSERT_NE(nullptr, sarvik);
            EXPECT_EQ(c.code, sarvik->code);
        }
    }
}

TEST(SarvikException, CopiesKeepTheCode)
{
    SarvikException original("failed", 32);
    SarvikException copy = original;
    EXPECT_EQ(32, copy.code);
    EXPECT_STREQ("failed", copy.what());
}

// Connection objects are deleted through the interface pointer.
static_assert(std::has_virtual_destructor_v<Sarvik::Z3>);
static_assert(std::is_abstract_v<Sarvik::Z3>);

TEST(SarvikData, BasebandRecordsCopyAndMoveTheirSamples)
{
    Sarvik::BasebandIqData iq;
    iq.num_bins = 2;
    iq.i_data = { 1.0f, 2.0f };
    iq.q_data = { 3.0f, 4.0f };
    Sarvik::BasebandIqData copy = iq;
    Sarvik::BasebandIqData moved = std::move(iq);
    EXPECT_EQ(copy.i_data, moved.i_data);
    EXPECT_EQ((std::vector<float> { 3.0f, 4.0f }), moved.q_data);

    Sarvik::BasebandApData ap;
    ap.amplitude = { 5.0f };
    ap.phase = { 6.0f };
    Sarvik::BasebandApData assigned;
    assigned = ap;
    EXPECT_EQ(ap.amplitude, assigned.amplitude);
    EXPECT_EQ(ap.phase, assigned.phase);
}
