// The older chip interface of a module connection: the operations that every
// connection object offers to the library's programming interfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Bytes.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class LINKWELL_API Z3 {
public:
    virtual ~Z3();

    virtual void set_debug_level(uint8_t level) = 0;
    // The module's pong value.
    virtual uint32_t ping() = 0;
    virtual std::string get_system_info(uint8_t code) = 0;
    virtual int set_Z3_float(uint32_t id, float value) = 0;
    virtual float get_z3_float(uint32_t id) = 0;
    virtual int set_Z3_int(uint32_t id, uint32_t value) = 0;
    virtual uint32_t get_z3_int(uint32_t id) = 0;
    virtual int set_Z3_register(uint32_t address, uint32_t value) = 0;
    virtual uint32_t get_z3_register(uint32_t address) = 0;
    virtual int run_timing_measurement() = 0;
    virtual int set_fps(uint32_t fps) = 0;
    virtual RawNormalizedFrame capture_single_normalized_frame() = 0;
    virtual void set_sensor_mode(uint8_t mode) = 0;
    virtual void set_sensor_mode_and_submode(uint8_t mode, uint8_t submode) = 0;
    virtual int subscribe_to_raw_normalized(const std::string& name) = 0;
    virtual int subscribe_to_raw_normalized(const std::string& name, std::function<bool(Bytes)> callback) = 0;
    // Takes the oldest packet of the named queue, waiting without a time
    // limit while the queue exists and is empty: ask get_number_of_packets
    // first. Closing the connection wakes such a wait with a failure.
    virtual RawNormalizedFrame get_raw_normalized_frame(const std::string& name) = 0;
    virtual void unsubscribe(const std::string& name) = 0;
    virtual int get_number_of_packets(const std::string& name) = 0;
    virtual void clear(const std::string& name) = 0;
    virtual int system_run_test(uint8_t code) = 0;
};

} // namespace Sarvik
