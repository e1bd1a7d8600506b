// Low-level and debugging access to a module that the model classes do not
// offer: the radar chip's pins and SPI registers through the older system
// commands, its frame rate and decimated frames, the generic data and trace
// streams under queue names of the caller's choice, raw pulse-Doppler and
// noise-map packets, parameter files, profiles and the application user
// zone.
//
// Every method holds the connection's lock for its whole call (waiting while
// a call from another thread or class runs). Unlike the model classes, most
// methods return the command's result directly and let every failure (an
// error reply, the reply timeout) through as the command's exception. Only
// read_message_data_float and the two application-user-zone methods return a
// status: 0 on success, the module's error code, or 1 for any other failure,
// with out-values written only on success.
//
// A method that takes a packet from a queue (get_packet, get_trace,
// get_z7_decim_frame, the read_message_ methods) waits, without a time limit
// and holding the lock, while the queue is empty: count it first. A name
// without a queue does not wait: it reads an empty packet.
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

class ModelPrivate;

class LINKWELL_API NotSupported {
public:
    // Keeps the connection's address; it must outlive this object.
    explicit NotSupported(LockedRadarInterface& connection);
    ~NotSupported();
    NotSupported(const NotSupported&) = delete;
    NotSupported& operator=(const NotSupported&) = delete;

    // ---- Radar chip access through the older system commands -----------------
    // The pin's value, 0 to 255.
    int get_z7_io_pin_value(uint8_t pin);
    // The setters return 0 once the module answered.
    int set_z7_io_pin_value(uint8_t pin, uint8_t value);
    int set_z7_io_pin_mode(uint8_t pin, uint8_t mode);
    int set_z7_io_pin_dir(uint8_t pin, uint8_t direction);
    int set_z7_io_pin_enable(uint8_t pin);
    int set_z7_io_pin_disable(uint8_t pin);
    // The register's value, 0 to 255.
    int read_z7_spi(uint8_t address);
    int write_z7_spi(uint8_t address, uint8_t value);
    int set_z7_fps(uint32_t fps);
    // A queue of the chip's decimated frames under the name.
    int subscribe_to_z7_desim(const std::string& name);
    // Takes the oldest packet of the named queue: 0 with its frame counter
    // and up to `capacity` samples, or 1 when it is no decimated frame, is
    // too short for one, or holds more samples than fit (the packet is gone
    // either way).
    int get_z7_decim_frame(
        const std::string& name, uint32_t* frame_counter, double* samples, uint32_t capacity);

    // ---- Generic data streams and queues by name -----------------------------
    int subscribe_to_data_float(const std::string& name);
    int peek_message_data_float(const std::string& name);
    // The connection's own float-data queue, not a named one. Returns a
    // status.
    int read_message_data_float(DataFloat* data);
    int subscribe_to_data_byte(const std::string& name);
    // A queue of the module's trace text under the name.
    int subscribe_to_trace(const std::string& name);
    // The text of the oldest packet of the named queue, after the packet's
    // header; empty for a packet too short to carry text.
    std::string get_trace(const std::string& name);
    // 0 for a name without a queue.
    int get_number_of_packets(const std::string& name);
    // The oldest packet of the named queue as it came.
    Bytes get_packet(const std::string& name);
    void clear(const std::string& name);
    // The callback gets every message of its kind, whole, on the connection's
    // dispatcher thread: it must return promptly and must not call a method
    // of this connection.
    int subscribe_to_data_float(const std::string& name, std::function<bool(Bytes)> callback);
    int subscribe_to_data_byte(const std::string& name, std::function<bool(Bytes)> callback);

    // ---- Raw pulse-Doppler and noise-map packets -----------------------------
    // The connection's own queues; the readers return the oldest packet
    // undecoded.
    int peek_message_pulsedoppler_float();
    Bytes read_message_pulsedoppler_float();
    int peek_message_noisemap_float();
    Bytes read_message_noisemap_float();
    int peek_message_pulsedoppler_byte();
    Bytes read_message_pulsedoppler_byte();
    int peek_message_noisemap_byte();
    Bytes read_message_noisemap_byte();

    // ---- Parameter file, profile and application user zone -------------------
    void set_parameter_file(const std::string& file_name, const std::string& text);
    std::string get_parameter_file(const std::string& file_name);
    void load_profile(uint32_t profile_id);
    // These two return a status.
    int set_application_user_zone(float start, float end);
    int get_application_user_zone(float* start, float* end);

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
