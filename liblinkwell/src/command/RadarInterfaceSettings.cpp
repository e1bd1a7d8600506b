// Application settings and zones: baud rate, parameter file, processing
// settings, detection and user zones, sensitivity and transmit frequency.
#include "command/RadarInterface.hpp"

#include <chrono>
#include <thread>

#include "command/CommandRow.hpp"
#include "command/ReplyValue.hpp"
#include "link/AbstractRadarCommunicator.hpp"
#include "log/ConsoleAndFileLogger.hpp"

void RadarInterface::set_baudrate(uint32_t rate)
{
    const CommandRow row = acknowledged("set_baudrate", "set baud rate command failed");
    Trace trace(logger, 3, row.name);
    auto use = communicator.use();
    judge(row, use->send(default_timeout, commands.create_set_baudrate(rate), row.awaited));
    // Only now does the module listen at the new rate.
    use->set_baudrate(rate);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

int RadarInterface::set_baudrate_no_throw(uint32_t rate)
{
    return no_throw([&] { set_baudrate(rate); });
}

void RadarInterface::set_parameter_file(const std::string& filename, const std::string& text)
{
    const CommandRow row = acknowledged("set_parameter_file", "set_parameter_file failed");
    Trace trace(logger, 3, row.name);
    const Bytes command = commands.create_set_parameter_file(filename, text);
    (logger.slog(6) << "filename: " << filename << "data: " << text).flush();
    auto use = communicator.use();
    judge(row, use->send(default_timeout, command, row.awaited));
}

std::string RadarInterface::get_parameter_file(const std::string& filename)
{
    // A module error is not among the awaited replies (a refusal ends in the
    // timeout); a packet that starts with 0x13 alone is, and fails.
    const std::vector<Bytes> text_reply { { LINKWELL_MESSAGE_REPLY, text_value }, { 0x13 } };
    return get<std::string>(getter("get_parameter_file", text_reply, "error receiving data in "),
        commands.create_get_parameter_file(filename));
}

int RadarInterface::set_parameter_file_no_throw(const std::string& filename, const std::string& text)
{
    return no_throw([&] { set_parameter_file(filename, text); });
}

int RadarInterface::get_parameter_file_no_throw(const std::string& filename, std::string& text)
{
    return no_throw([&] { return get_parameter_file(filename); }, text);
}

void RadarInterface::set_normalization(uint8_t value)
{
    set(acknowledged("set_normalization"), commands.create_set_normalization(value));
}

uint8_t RadarInterface::get_normalization()
{
    return get<uint8_t>(
        getter("get_normalization", value_or_error(byte_value, 0x10)), commands.create_get_normalization());
}

void RadarInterface::set_phase_noise_correction(uint8_t value, float correction)
{
    set(acknowledged("set_phase_noise_correction"),
        commands.create_set_phase_noise_correction(value, correction));
}

float RadarInterface::get_phase_noise_correction()
{
    return get<float>(getter("get_phase_noise_correction", value_or_error(f32_value, 0x11)),
        commands.create_get_phase_noise_correction());
}

void RadarInterface::set_decimation_factor(uint32_t factor)
{
    set(acknowledged("set_decimation_factor"), commands.create_set_decimation_factor(factor));
}

uint32_t RadarInterface::get_decimation_factor()
{
    return get<uint32_t>(getter("get_decimation_factor", value_or_error(u32_value, 0x12)),
        commands.create_get_decimation_factor());
}

void RadarInterface::set_number_format(uint8_t format)
{
    set(acknowledged("set_number_format"), commands.create_set_number_format(format));
}

uint8_t RadarInterface::get_number_format()
{
    return get<uint8_t>(
        getter("get_number_format", value_or_error(byte_value, 0x13)), commands.create_get_number_format());
}

void RadarInterface::set_legacy_output(uint8_t value)
{
    set(acknowledged("set_legacy_output"), commands.create_set_legacy_output(value));
}

uint8_t RadarInterface::get_legacy_output()
{
    return get<uint8_t>(
        getter("get_legacy_output", value_or_error(byte_value, 0x14)), commands.create_get_legacy_output());
}

int RadarInterface::set_normalization_no_throw(uint8_t value)
{
    return no_throw([&] { set_normalization(value); });
}

int RadarInterface::get_normalization_no_throw(uint8_t* value)
{
    return no_throw([&] { return get_normalization(); }, value);
}

int RadarInterface::set_phase_noise_correction_no_throw(uint8_t value, float correction)
{
    return no_throw([&] { set_phase_noise_correction(value, correction); });
}

int RadarInterface::get_phase_noise_correction_no_throw(float* correction)
{
    return no_throw([&] { return get_phase_noise_correction(); }, correction);
}

int RadarInterface::set_decimation_factor_no_throw(uint32_t factor)
{
    return no_throw([&] { set_decimation_factor(factor); });
}

int RadarInterface::get_decimation_factor_no_throw(uint32_t* factor)
{
    return no_throw([&] { return get_decimation_factor(); }, factor);
}

int RadarInterface::set_number_format_no_throw(uint8_t format)
{
    return no_throw([&] { set_number_format(format); });
}

int RadarInterface::get_number_format_no_throw(uint8_t* format)
{
    return no_throw([&] { return get_number_format(); }, format);
}

int RadarInterface::set_legacy_output_no_throw(uint8_t value)
{
    return no_throw([&] { set_legacy_output(value); });
}

int RadarInterface::get_legacy_output_no_throw(uint8_t* value)
{
    return no_throw([&] { return get_legacy_output(); }, value);
}

void RadarInterface::set_detection_zone(float start, float end)
{
    set(acknowledged("set_detection_zone", "set_detection_zone failed"),
        commands.create_set_detection_zone(start, end));
}

std::pair<float, float> RadarInterface::get_detection_zone()
{
    return get<std::pair<float, float>>(
        getter_coded("get_detection_zone", value_or_error(f32_value), "get_detection_zone failed"),
        commands.create_get_detection_zone());
}

std::tuple<float, float, float> RadarInterface::get_detection_zone_limits()
{
    return get<std::tuple<float, float, float>>(
        getter_coded(
            "get_detection_zone_limits", value_or_error(f32_value), "get_detection_zone_limits failed"),
        commands.create_get_detection_zone_limits());
}

void RadarInterface::set_application_user_zone(float start, float end)
{
    set(acknowledged("set_application_user_zone", "set_application_user_zone failed"),
        commands.create_set_application_user_zone(start, end));
}

std::pair<float, float> RadarInterface::get_application_user_zone()
{
    return get<std::pair<float, float>>(getter_coded("get_application_user_zone", value_or_error(f32_value),
                                            "get_application_user_zone failed"),
        commands.create_get_application_user_zone());
}

int RadarInterface::set_detection_zone_no_throw(float start, float end)
{
    return no_throw([&] { set_detection_zone(start, end); });
}

int RadarInterface::get_detection_zone_no_throw(float* start, float* end)
{
    return no_throw([&] { return get_detection_zone(); }, start, end);
}

int RadarInterface::get_detection_zone_limits_no_throw(float* first, float* second, float* third)
{
    return no_throw([&] { return get_detection_zone_limits(); }, first, second, third);
}

int RadarInterface::set_application_user_zone_no_throw(float start, float end)
{
    return no_throw([&] { set_application_user_zone(start, end); });
}

int RadarInterface::get_application_user_zone_no_throw(float* start, float* end)
{
    return no_throw([&] { return get_application_user_zone(); }, start, end);
}

void RadarInterface::set_sensitivity(uint32_t sensitivity)
{
    set(acknowledged("set_sensitivity", "set_sensitivity failed"),
        commands.create_set_sensitivity(sensitivity));
}

uint32_t RadarInterface::get_sensitivity()
{
    return get<uint8_t>(
        getter("get_sensitivity", value_or_error(u32_value)), commands.create_get_sensitivity());
}

void RadarInterface::set_tx_center_frequency(uint32_t frequency)
{
    set(acknowledged("set_tx_center_frequency", "set_tx_center_frequency failed"),
        commands.create_set_tx_center_frequency(frequency));
}

uint32_t RadarInterface::get_tx_center_frequency()
{
    return get<uint32_t>(getter("get_tx_center_frequency", value_or_error(u32_value)),
        commands.create_get_tx_center_frequency());
}

int RadarInterface::set_sensitivity_no_throw(uint32_t sensitivity)
{
    return no_throw([&] { set_sensitivity(sensitivity); });
}

int RadarInterface::get_sensitivity_no_throw(uint32_t* sensitivity)
{
    return no_throw([&] { return get_sensitivity(); }, sensitivity);
}

int RadarInterface::set_tx_center_frequency_no_throw(uint32_t frequency)
{
    return no_throw([&] { set_tx_center_frequency(frequency); });
}

int RadarInterface::get_tx_center_frequency_no_throw(uint32_t* frequency)
{
    return no_throw([&] { return get_tx_center_frequency(); }, frequency);
}
