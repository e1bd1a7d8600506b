// The commands of the older respiration and sleep module built on the
// previous radar chip: a getter per identity item, profiles, sensor modes
// and outputs switched by methods without arguments, and message queues
// that the caller subscribes under names of its own choice, then counts,
// reads and clears by the same name.
//
// Every method holds the connection's lock for its whole call (waiting while
// a call from another thread or class runs) and returns 0 on success, the
// module's error code, or 1 for any other failure, the reply timeout
// included. Out-values are written only on success and must point to
// writable objects. Methods marked "throws" return what their command
// returns and let its exceptions through instead.
//
// Copies share one private part and so one connection; the last copy frees
// it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Bytes.hpp"
#include "LockedRadarInterface.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class CorvidPrivate;

class LINKWELL_API Corvid {
public:
    // Keeps the connection's address; it must outlive every copy.
    explicit Corvid(LockedRadarInterface& connection);
    Corvid(const Corvid&) = default;
    Corvid& operator=(const Corvid&) = default;
    ~Corvid();

    // ---- Logging and identity ------------------------------------------------
    // The module's debug output level.
    int set_debug_level(uint8_t level);
    // The level of the connection's own logger (taken as a signed number);
    // nothing goes to the module.
    int set_log_level(uint32_t level);
    int ping(uint32_t* pong);
    int get_item_number(std::string* text);
    int get_order_code(std::string* text);
    int get_firmware_id(std::string* text);
    int get_firmware_version(std::string* text);
    int get_serial_number(std::string* text);
    int get_build_info(std::string* text);
    int get_app_id_list(std::string* text);

    // ---- Module lifecycle, sensor mode and profiles --------------------------
    // Restarts the module, then re-opens the connection and restores its
    // subscriptions; holds the lock for the seconds this takes.
    int reset();
    int start_bootloader();
    int set_sensor_mode_run();
    int set_sensor_mode_idle();
    int load_sleep_profile();
    int load_respiration_profile();

    // ---- Outputs and settings ------------------------------------------------
    int enable_baseband_ap();
    int disable_baseband_ap();
    int enable_baseband_iq();
    int disable_baseband_iq();
    int disable_resp_output();
    int enable_resp_output();
    // Metres.
    int set_detection_zone(float start, float end);
    int set_sensitivity(uint32_t sensitivity);
    int set_led_control(uint8_t mode, uint8_t intensity);

    // ---- Queues named by the caller ------------------------------------------
    // Each subscription throws and returns 0: a queue under the name that
    // collects every message of its kind, in addition to any other queue.
    int subscribe_to_resp_status(const std::string& name);
    int subscribe_to_sleep_status(const std::string& name);
    int subscribe_to_baseband_ap(const std::string& name);
    int subscribe_to_baseband_iq(const std::string& name);
    // Throws. The packets waiting in the named queue; 0 for a name without
    // one.
    int get_number_of_packets(const std::string& name);
    // The oldest packet of the named queue, decoded. They wait, without a
    // time limit and holding the lock, while the queue is empty: count it
    // first. A name without a queue fails at once.
    int get_respiration_data(std::string name, RespirationData* data);
    int get_sleep_data(std::string name, SleepData* data);
    int get_baseband_ap_data(std::string name, BasebandApData* data);
    int get_baseband_iq_data(std::string name, BasebandIqData* data);
    // Throws. Empties the named queue.
    void clear(const std::string& name);

    // ---- Callback subscriptions ----------------------------------------------
    // Each throws and returns 0. The callback gets every message of its kind,
    // whole, on the connection's dispatcher thread: it must return promptly
    // and must not call a method of this connection.
    int subscribe_to_resp_status(const std::string& name, std::function<bool(Bytes)> callback);
    int subscribe_to_sleep_status(const std::string& name, std::function<bool(Bytes)> callback);
    int subscribe_to_baseband_ap(const std::string& name, std::function<bool(Bytes)> callback);
    int subscribe_to_baseband_iq(const std::string& name, std::function<bool(Bytes)> callback);

private:
    std::shared_ptr<CorvidPrivate> d;
};

} // namespace Sarvik
