// The commands of modules that run the embedded-platform firmware: system
// commands, output and processing settings, the radar chip driver, I/O pins,
// the raw data message queues and the module's file system.
//
// Every method holds the connection's lock for its whole call (waiting while
// a call from another thread or class runs) and returns 0 on success, the
// module's error code, or 1 for any other failure, the reply timeout
// included. Out-values are written only on success and must point to
// writable objects. Methods marked "throws" return what their command
// returns and let its exceptions through instead.
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

class LINKWELL_API Dax {
public:
    // Keeps the connection's address; it must outlive this object.
    explicit Dax(LockedRadarInterface& connection);
    ~Dax();
    Dax(const Dax&) = delete;
    Dax& operator=(const Dax&) = delete;

    // ---- System --------------------------------------------------------------
    int set_baudrate(uint32_t baud_rate);
    // Throws. Information codes: 0 item number, 1 order code, 2 firmware id, 3
    // firmware version, 4 build information, 5 application id list, 6 serial
    // number. 0 with the text, or -1 for a reply that does not parse.
    int get_system_info(uint8_t code, std::string* text);
    int ping(uint32_t* pong);
    int module_reset();

    // ---- Output and processing settings --------------------------------------
    int set_normalization(uint8_t value);
    int get_normalization(uint8_t* value);
    int set_phase_noise_correction(uint8_t enable, float correction_distance);
    int get_phase_noise_correction(float* correction_distance);
    int set_decimation_factor(uint32_t factor);
    int get_decimation_factor(uint32_t* factor);
    int set_number_format(uint8_t format);
    int get_number_format(uint8_t* format);
    int set_legacy_output(uint8_t value);
    int get_legacy_output(uint8_t* value);

    // ---- Radar chip driver ---------------------------------------------------
    int z7driver_set_fps(float fps);
    int z7driver_get_fps(float* fps);
    int z7driver_set_enable(uint8_t value);
    int z7driver_init();
    int z7driver_set_iterations(uint32_t value);
    int z7driver_get_iterations(uint32_t* value);
    int z7driver_set_pulses_per_step(uint32_t value);
    int z7driver_get_pulses_per_step(uint32_t* value);
    int z7driver_set_dac_min(uint32_t value);
    int z7driver_get_dac_min(uint32_t* value);
    int z7driver_set_dac_max(uint32_t value);
    int z7driver_get_dac_max(uint32_t* value);
    int z7driver_set_tx_power(uint8_t value);
    int z7driver_get_tx_power(uint8_t* value);
    int z7driver_set_downconversion(uint8_t value);
    int z7driver_get_downconversion(uint8_t* value);
    int z7driver_get_frame_bin_count(uint32_t* count);
    int z7driver_set_frame_area(float start, float end);
    int z7driver_get_frame_area(FrameArea* area);
    int z7driver_set_frame_area_offset(float offset);
    int z7driver_get_frame_area_offset(float* offset);
    int z7driver_set_tx_center_frequency(uint8_t value);
    int z7driver_get_tx_center_frequency(uint8_t* value);
    int z7driver_set_spi_register(uint8_t address, uint8_t value);
    int z7driver_get_spi_register(uint8_t address, uint8_t* value);
    int z7driver_write_to_spi_register(uint8_t address, const Bytes& values);
    int z7driver_read_from_spi_register(uint8_t address, Bytes* values, uint32_t length);
    int z7driver_write_to_i2c_register(uint8_t address, const Bytes& values);
    int z7driver_read_from_i2c_register(Bytes* values, uint32_t length);
    int z7driver_set_pif_register(uint8_t address, uint8_t value);
    int z7driver_get_pif_register(uint8_t address, uint8_t* value);
    int z7driver_set_xif_register(uint8_t address, uint8_t value);
    int z7driver_get_xif_register(uint8_t address, uint8_t* value);
    int z7driver_set_prf_div(uint8_t value);
    int z7driver_get_prf_div(uint8_t* value);

    // ---- I/O pins ------------------------------------------------------------
    int set_iopin_control(uint32_t pin, uint32_t setup, uint32_t feature);
    int set_iopin_value(uint32_t pin, uint32_t value);
    int get_iopin_value(uint32_t pin, uint32_t* value);

    // ---- Data message queues -------------------------------------------------
    // The peek_message_ methods throw and return the number of waiting
    // packets.
    int peek_message_data_float();
    int read_message_data_float(DataFloat* data);
    int peek_message_radar_rf();
    int read_message_radar_rf(RadarRfData* data);
    int peek_message_radar_rf_normalized();
    int read_message_radar_rf_normalized(RadarRfNormalizedData* data);
    int peek_message_radar_baseband_float();
    int read_message_radar_baseband_float(RadarBasebandFloatData* data);
    int peek_message_radar_baseband_q15();
    int read_message_radar_baseband_q15(RadarBasebandQ15Data* data);
    int peek_message_data_string();
    // Throws. 0 for a string-data packet, else 1 (the packet is consumed
    // either way); null pointers are skipped.
    int read_message_data_string(uint32_t* content_id, uint32_t* info, std::string* text);
    int peek_message_data_byte();
    // Throws. 0 for a byte-data packet, else 1 (the packet is consumed either
    // way); null pointers are skipped.
    int read_message_data_byte(uint32_t* content_id, uint32_t* info, Bytes* data);
    int peek_message_system();
    int read_message_system(uint32_t* status);

    // ---- Module file system: files are named by a type and an identifier -----
    int search_for_file_by_type(uint32_t type, std::vector<int>& identifiers);
    int find_all_files(Files& files);
    int create_file(uint32_t type, uint32_t identifier, uint32_t length);
    int open_file(uint32_t type, uint32_t identifier);
    int set_file_data(uint32_t type, uint32_t identifier, uint32_t offset, const Bytes& data);
    // commit: true after writing the file, false after reading it.
    int close_file(uint32_t type, uint32_t identifier, bool commit);
    int get_file_length(uint32_t type, uint32_t identifier, uint32_t& length);
    int delete_file(uint32_t type, uint32_t identifier);
    int get_file_data(uint32_t type, uint32_t identifier, uint32_t offset, uint32_t length, Bytes& data);
    int format_filesystem(uint32_t value);
    // Whole files: created with the data's length, written or read in chunks
    // of at most 256 bytes, closed.
    int set_file(uint32_t type, uint32_t identifier, const Bytes& data);
    int get_file(uint32_t type, uint32_t identifier, Bytes* data);

private:
    std::unique_ptr<ModelPrivate> d;
};

} // namespace Sarvik
