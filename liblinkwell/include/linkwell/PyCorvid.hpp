// The commands of the older respiration and sleep module built on the
// previous radar chip, in the value-returning form meant for a
// scripting-language binding: a getter returns its value, a setter or action
// returns nothing, and every failure leaves the method as the exception of
// the command (SarvikException with the module's error code,
// std::runtime_error for a missing or undecodable reply), unchanged. Its
// message queues are subscribed under names of the caller's choice, then
// counted, read and cleared by the same name.
//
// Every method holds the connection's lock for its whole call, waiting while
// a call from another thread or class runs; the lock is released before a
// value or an exception reaches the caller.
#pragma once

#include <cstdint>
#include <string>

#include "Bytes.hpp"
#include "LockedRadarInterface.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class LINKWELL_API PyCorvid {
public:
    // Keeps the connection's address; it must outlive this object. Sends
    // nothing to the module.
    explicit PyCorvid(LockedRadarInterface& connection);
    ~PyCorvid();
    PyCorvid(const PyCorvid&) = delete;
    PyCorvid& operator=(const PyCorvid&) = delete;

    // ---- Logging and identity ------------------------------------------------
    // The module's debug output level.
    void set_debug_level(uint8_t level);
    // The level of the connection's own logger (taken as a signed number);
    // nothing goes to the module.
    void set_log_level(uint32_t level);
    // The module's pong value.
    uint32_t ping();
    std::string get_item_number();
    std::string get_order_code();
    std::string get_firmware_id();
    std::string get_firmware_version();
    std::string get_serial_number();
    std::string get_build_info();
    std::string get_app_id_list();

    // ---- Module lifecycle, sensor mode and profiles --------------------------
    // Restarts the module, then re-opens the connection and restores its
    // subscriptions; holds the lock for the seconds this takes.
    void reset();
    void start_bootloader();
    void set_sensor_mode_run();
    void set_sensor_mode_idle();
    void load_sleep_profile();
    void load_respiration_profile();

    // ---- Outputs and settings ------------------------------------------------
    void enable_baseband_ap();
    void disable_baseband_ap();
    void enable_baseband_iq();
    void disable_baseband_iq();
    // Metres.
    void set_detection_zone(float start, float end);
    void set_sensitivity(uint32_t sensitivity);
    void set_led_control(uint8_t mode, uint8_t intensity);

    // ---- Queues named by the caller ------------------------------------------
    // Each subscription returns 0: a queue under the name that collects every
    // message of its kind, in addition to any other queue.
    int subscribe_to_resp_status(const std::string& name);
    int subscribe_to_sleep_status(const std::string& name);
    int subscribe_to_baseband_ap(const std::string& name);
    int subscribe_to_baseband_iq(const std::string& name);
    // Removes the named queue.
    void unsubscribe(const std::string& name);
    void disable_resp_output();
    void enable_resp_output();
    // The packets waiting in the named queue; 0 for a name without one.
    int get_number_of_packets(const std::string& name);
    // The oldest packet of the named queue, whole; an empty one at once for a
    // name without a queue. This and the decoding getters below wait, without
    // a time limit and holding the lock, while the queue is empty: count it
    // first.
    Bytes get_packet(const std::string& name);
    RespirationData get_respiration_data(std::string name);
    SleepData get_sleep_data(std::string name);
    BasebandApData get_baseband_ap_data(std::string name);
    BasebandIqData get_baseband_iq_data(std::string name);
    // Empties the named queue.
    void clear(const std::string& name);

private:
    LockedRadarInterface* connection_;
};

} // namespace Sarvik
