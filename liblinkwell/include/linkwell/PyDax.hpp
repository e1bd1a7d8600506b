// The commands of modules that run the embedded-platform firmware, in the
// value-returning form meant for a scripting-language binding: a getter
// returns its value, a setter or action returns nothing, and every failure
// leaves the method as the exception of the command (SarvikException with
// the module's error code, std::runtime_error for a missing or undecodable
// reply), unchanged.
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
#include <vector>

#include "Bytes.hpp"
#include "LockedRadarInterface.hpp"
#include "SarvikData.hpp"
#include "linkwell_export.h"

namespace Sarvik {

class ModelPrivate;

class LINKWELL_API PyDax {
public:
    // Keeps the connection's address; it must outlive this object. Sends
    // nothing to the module.
    explicit PyDax(LockedRadarInterface& connection);
    ~PyDax();
    PyDax(const PyDax&) = delete;
    PyDax& operator=(const PyDax&) = delete;

    // ---- System --------------------------------------------------------------
    void set_baudrate(uint32_t baud_rate);
    // Information codes: 0 item number, 1 order code, 2 firmware id, 3
    // firmware version, 4 build information, 5 application id list, 6 serial
    // number.
    std::string get_system_info(uint8_t code);
    // The module's pong value.
    uint32_t ping();
    void module_reset();

    // ---- Output and processing settings --------------------------------------
    void set_normalization(uint8_t value);
    uint8_t get_normalization();
    void set_phase_noise_correction(uint8_t enable, float correction_distance);
    float get_phase_noise_correction();
    void set_decimation_factor(uint32_t factor);
    uint32_t get_decimation_factor();
    void set_number_format(uint8_t format);
    uint8_t get_number_format();
    void set_legacy_output(uint8_t value);
    uint8_t get_legacy_output();

    // ---- Radar chip driver ---------------------------------------------------
    void z7driver_set_fps(float fps);
    float z7driver_get_fps();
    void z7driver_set_enable(uint8_t value);
    void z7driver_init();
    void z7driver_set_iterations(uint32_t value);
    uint32_t z7driver_get_iterations();
    void z7driver_set_pulses_per_step(uint32_t value);
    uint32_t z7driver_get_pulses_per_step();
    void z7driver_set_dac_min(uint32_t value);
    uint32_t z7driver_get_dac_min();
    void z7driver_set_dac_max(uint32_t value);
    uint32_t z7driver_get_dac_max();
    void z7driver_set_tx_power(uint8_t value);
    uint8_t z7driver_get_tx_power();
    void z7driver_set_downconversion(uint8_t value);
    uint8_t z7driver_get_downconversion();
    uint32_t z7driver_get_frame_bin_count();
    void z7driver_set_frame_area(float start, float end);
    FrameArea z7driver_get_frame_area();
    void z7driver_set_frame_area_offset(float offset);
    float z7driver_get_frame_area_offset();
    void z7driver_set_tx_center_frequency(uint8_t value);
    uint8_t z7driver_get_tx_center_frequency();
    void z7driver_set_spi_register(uint8_t address, uint8_t value);
    uint8_t z7driver_get_spi_register(uint8_t address);
    void z7driver_write_to_spi_register(uint8_t address, const Bytes& values);
    Bytes z7driver_read_from_spi_register(uint8_t address, uint32_t length);
    void z7driver_write_to_i2c_register(uint8_t address, const Bytes& values);
    Bytes z7driver_read_from_i2c_register(uint32_t length);
    void z7driver_set_pif_register(uint8_t address, uint8_t value);
    uint8_t z7driver_get_pif_register(uint8_t address);
    void z7driver_set_xif_register(uint8_t address, uint8_t value);
    uint8_t z7driver_get_xif_register(uint8_t address);
    void z7driver_set_prf_div(uint8_t value);
    uint8_t z7driver_get_prf_div();

    // ---- I/O pins ------------------------------------------------------------
    void set_iopin_control(uint32_t pin, uint32_t setup, uint32_t feature);
    void set_iopin_value(uint32_t pin, uint32_t value);
    uint32_t get_iopin_value(uint32_t pin);

    // ---- Data message queues -------------------------------------------------
    // The peek_message_ methods return the number of waiting packets.
    int peek_message_data_float();
    DataFloat read_message_data_float();
    int peek_message_radar_rf();
    RadarRfData read_message_radar_rf();
    int peek_message_radar_rf_normalized();
    RadarRfNormalizedData read_message_radar_rf_normalized();
    int peek_message_radar_baseband_float();
    RadarBasebandFloatData read_message_radar_baseband_float();
    int peek_message_radar_baseband_q15();
    RadarBasebandQ15Data read_message_radar_baseband_q15();
    int peek_message_data_string();
    // 0 for a string-data packet, its three parts written, else 1 (the packet
    // is consumed either way); null pointers are skipped.
    int read_message_data_string(uint32_t* content_id, uint32_t* info, std::string* text);
    int peek_message_data_byte();
    // 0 for a byte-data packet, its three parts written, else 1 (the packet
    // is consumed either way); null pointers are skipped.
    int read_message_data_byte(uint32_t* content_id, uint32_t* info, Bytes* data);
    int peek_message_system();
    // The module's system status code.
    uint32_t read_message_system();

    // ---- Module file system: files are named by a type and an identifier -----
    std::vector<int> search_for_file_by_type(uint32_t type);
    Files find_all_files();
    void create_file(uint32_t type, uint32_t identifier, uint32_t length);
    void open_file(uint32_t type, uint32_t identifier);
    void set_file_data(uint32_t type, uint32_t identifier, uint32_t offset, const Bytes& data);
    // commit: true after writing the file, false after reading it.
    void close_file(uint32_t type, uint32_t identifier, bool commit);
    uint32_t get_file_length(uint32_t type, uint32_t identifier);
    void delete_file(uint32_t type, uint32_t identifier);
    void format_filesystem(uint32_t key);
    Bytes get_file_data(uint32_t type, uint32_t identifier, uint32_t offset, uint32_t length);
    // Whole files, in one locked call: created with the data's length,
    // written or read in chunks of at most 256 bytes, closed.
    void set_file(uint32_t type, uint32_t identifier, const Bytes& data);
    Bytes get_file(uint32_t type, uint32_t identifier);

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
