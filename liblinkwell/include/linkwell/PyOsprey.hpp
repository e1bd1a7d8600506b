// The commands of the presence module, in the value-returning form meant for
// a scripting-language binding: a getter returns its value, a setter or
// action returns nothing, and every failure leaves the method as the
// exception of the command (SarvikException with the module's error code,
// std::runtime_error for a missing or undecodable reply), unchanged.
//
// Every method holds the connection's lock for its whole call, waiting while
// a call from another thread or class runs; the lock is released before a
// value or an exception reaches the caller.
//
// A read_message_ method waits, without a time limit and holding the lock,
// while its queue is empty: call the matching peek_message_ method first and
// read only when it counts more than 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Bytes.hpp"
#include "LockedRadarInterface.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class ModelPrivate;

class LINKWELL_API PyOsprey {
public:
    // Keeps the connection's address; it must outlive this object. Subscribes
    // the connection's two presence queues, single then moving list, each in
    // a locked call of its own; a subscription that throws leaves no object.
    explicit PyOsprey(LockedRadarInterface& connection);
    ~PyOsprey();
    PyOsprey(const PyOsprey&) = delete;
    PyOsprey& operator=(const PyOsprey&) = delete;

    // ---- System and module lifecycle -----------------------------------------
    // Changes the module's serial rate, then the local port's.
    void set_baudrate(uint32_t baud_rate);
    // Information codes: 0 item number, 1 order code, 2 firmware id, 3
    // firmware version, 4 build information, 5 application id list, 6 serial
    // number.
    std::string get_system_info(uint8_t code);
    // The module's pong value.
    uint32_t ping();
    // Restarts the module and leaves the connection as it is.
    void module_reset();
    void reset_to_factory_preset();
    // The module leaves its application for its bootloader.
    void start_bootloader();
    void inject_frame(uint32_t first, uint32_t second, const std::vector<float>& frame);
    void prepare_inject_frame(uint32_t first, uint32_t second, uint32_t third);
    void set_debug_level(uint8_t level);
    // 0 with the test's result bytes in *result, or 1 for a reply that does
    // not parse.
    int system_run_test(uint8_t code, Bytes* result);
    void load_profile(uint32_t profile_id);
    void set_sensor_mode(uint8_t mode, uint8_t submode);
    uint8_t get_sensor_mode();

    // ---- Application settings ------------------------------------------------
    void set_sensitivity(uint32_t sensitivity);
    uint32_t get_sensitivity();
    void set_tx_center_frequency(uint32_t frequency_band);
    uint32_t get_tx_center_frequency();
    // Metres: start, end.
    std::pair<float, float> get_detection_zone();
    void set_detection_zone(float start, float end);
    // Minimum, maximum and step, in the order of the module's reply.
    std::tuple<float, float, float> get_detection_zone_limits();
    void set_led_control(uint8_t mode, uint8_t intensity);
    // The mode only.
    uint8_t get_led_control();
    void set_output_control(uint32_t output, uint32_t control);
    uint32_t get_output_control(uint32_t output);
    void set_debug_output_control(uint32_t output, uint32_t control);
    uint32_t get_debug_output_control(uint32_t output);

    // ---- Data message queues -------------------------------------------------
    // The peek_message_ methods return the number of waiting packets.
    int peek_message_presence_single();
    PresenceSingleData read_message_presence_single();
    int peek_message_presence_movinglist();
    PresenceMovingListData read_message_presence_movinglist();
    int peek_message_baseband_ap();
    BasebandApData read_message_baseband_ap();
    int peek_message_baseband_iq();
    BasebandIqData read_message_baseband_iq();
    // Restarts the module, then re-opens the connection and restores its
    // subscriptions; holds the lock for the seconds this takes. Always 0.
    int reset();
    int peek_message_pulsedoppler_float();
    PulseDopplerFloatData read_message_pulsedoppler_float();
    int peek_message_pulsedoppler_byte();
    PulseDopplerByteData read_message_pulsedoppler_byte();
    int peek_message_noisemap_float();
    PulseDopplerFloatData read_message_noisemap_float();
    int peek_message_noisemap_byte();
    PulseDopplerByteData read_message_noisemap_byte();

    // ---- Noise map -----------------------------------------------------------
    void load_noisemap();
    void store_noisemap();
    void delete_noisemap();
    void set_noisemap_control(uint32_t control);
    uint32_t get_noisemap_control();
    void set_periodic_noisemap_store(uint32_t first, uint32_t second);
    std::pair<uint32_t, uint32_t> get_periodic_noisemap_store();

    // ---- Parameter file and profile ------------------------------------------
    std::string get_parameter_file(const std::string& file_name);
    uint32_t get_profileid();
    void set_parameter_file(const std::string& file_name, const std::string& text);

    // ---- I/O pins ------------------------------------------------------------
    void set_iopin_control(uint32_t pin, uint32_t setup, uint32_t feature);
    // Setup, feature.
    std::pair<uint32_t, uint32_t> get_iopin_control(uint32_t pin);
    void set_iopin_value(uint32_t pin, uint32_t value);
    uint32_t get_iopin_value(uint32_t pin);

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
