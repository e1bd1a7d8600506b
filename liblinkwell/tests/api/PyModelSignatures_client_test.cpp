// A client of the public headers alone, built against include/ and linked to
// the shared library only: every method of the value-returning model classes
// with its exact signature, each one taken by address so that the program
// does not link when the library fails to export one, and the type
// properties clients rely on.
#include <linkwell/PyCorvid.hpp>
#include <linkwell/PyDax.hpp>
#include <linkwell/PyFalcon.hpp>
#include <linkwell/PyGannet.hpp>
#include <linkwell/PyOsprey.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

// A namespace of its own: the program's other files build tables and
// helpers of the same names.
namespace py_model_signatures {

using namespace Sarvik;

// The member of exactly this signature: one of another signature does not
// compile.
template <typename Signature, typename Class> constexpr Signature Class::*exactly(Signature Class::*method)
{
    return method;
}

// The tables keep one method a line.
// clang-format off

[[gnu::used]] const auto dax_methods = std::make_tuple(
        exactly<void(uint32_t)>(&PyDax::set_baudrate),
        exactly<std::string(uint8_t)>(&PyDax::get_system_info),
        exactly<uint32_t()>(&PyDax::ping),
        exactly<void()>(&PyDax::module_reset),
        exactly<void(uint8_t)>(&PyDax::set_normalization),
        exactly<uint8_t()>(&PyDax::get_normalization),
        exactly<void(uint8_t, float)>(&PyDax::set_phase_noise_correction),
        exactly<float()>(&PyDax::get_phase_noise_correction),
        exactly<void(uint32_t)>(&PyDax::set_decimation_factor),
        exactly<uint32_t()>(&PyDax::get_decimation_factor),
        exactly<void(uint8_t)>(&PyDax::set_number_format),
        exactly<uint8_t()>(&PyDax::get_number_format),
        exactly<void(uint8_t)>(&PyDax::set_legacy_output),
        exactly<uint8_t()>(&PyDax::get_legacy_output),
        exactly<void(float)>(&PyDax::z7driver_set_fps),
        exactly<float()>(&PyDax::z7driver_get_fps),
        exactly<void(uint8_t)>(&PyDax::z7driver_set_enable),
        exactly<void()>(&PyDax::z7driver_init),
        exactly<void(uint32_t)>(&PyDax::z7driver_set_iterations),
        exactly<uint32_t()>(&PyDax::z7driver_get_iterations),
        exactly<void(uint32_t)>(&PyDax::z7driver_set_pulses_per_step),
        exactly<uint32_t()>(&PyDax::z7driver_get_pulses_per_step),
        exactly<void(uint32_t)>(&PyDax::z7driver_set_dac_min),
        exactly<uint32_t()>(&PyDax::z7driver_get_dac_min),
        exactly<void(uint32_t)>(&PyDax::z7driver_set_dac_max),
        exactly<uint32_t()>(&PyDax::z7driver_get_dac_max),
        exactly<void(uint8_t)>(&PyDax::z7driver_set_tx_power),
        exactly<uint8_t()>(&PyDax::z7driver_get_tx_power),
        exactly<void(uint8_t)>(&PyDax::z7driver_set_downconversion),
        exactly<uint8_t()>(&PyDax::z7driver_get_downconversion),
        exactly<uint32_t()>(&PyDax::z7driver_get_frame_bin_count),
        exactly<void(float, float)>(&PyDax::z7driver_set_frame_area),
        exactly<FrameArea()>(&PyDax::z7driver_get_frame_area),
        exactly<void(float)>(&PyDax::z7driver_set_frame_area_offset),
        exactly<float()>(&PyDax::z7driver_get_frame_area_offset),
        exactly<void(uint8_t)>(&PyDax::z7driver_set_tx_center_frequency),
        exactly<uint8_t()>(&PyDax::z7driver_get_tx_center_frequency),
        exactly<void(uint8_t, uint8_t)>(&PyDax::z7driver_set_spi_register),
        exactly<uint8_t(uint8_t)>(&PyDax::z7driver_get_spi_register),
        exactly<void(uint8_t, const Bytes&)>(&PyDax::z7driver_write_to_spi_register),
        exactly<Bytes(uint8_t, uint32_t)>(&PyDax::z7driver_read_from_spi_register),
        exactly<void(uint8_t, const Bytes&)>(&PyDax::z7driver_write_to_i2c_register),
        exactly<Bytes(uint32_t)>(&PyDax::z7driver_read_from_i2c_register),
        exactly<void(uint8_t, uint8_t)>(&PyDax::z7driver_set_pif_register),
        exactly<uint8_t(uint8_t)>(&PyDax::z7driver_get_pif_register),
        exactly<void(uint8_t, uint8_t)>(&PyDax::z7driver_set_xif_register),
        exactly<uint8_t(uint8_t)>(&PyDax::z7driver_get_xif_register),
        exactly<void(uint8_t)>(&PyDax::z7driver_set_prf_div),
        exactly<uint8_t()>(&PyDax::z7driver_get_prf_div),
        exactly<void(uint32_t, uint32_t, uint32_t)>(&PyDax::set_iopin_control),
        exactly<void(uint32_t, uint32_t)>(&PyDax::set_iopin_value),
        exactly<uint32_t(uint32_t)>(&PyDax::get_iopin_value),
        exactly<int()>(&PyDax::peek_message_data_float),
        exactly<DataFloat()>(&PyDax::read_message_data_float),
        exactly<int()>(&PyDax::peek_message_radar_rf),
        exactly<RadarRfData()>(&PyDax::read_message_radar_rf),
        exactly<int()>(&PyDax::peek_message_radar_rf_normalized),
        exactly<RadarRfNormalizedData()>(&PyDax::read_message_radar_rf_normalized),
        exactly<int()>(&PyDax::peek_message_radar_baseband_float),
        exactly<RadarBasebandFloatData()>(&PyDax::read_message_radar_baseband_float),
        exactly<int()>(&PyDax::peek_message_radar_baseband_q15),
        exactly<RadarBasebandQ15Data()>(&PyDax::read_message_radar_baseband_q15),
        exactly<int()>(&PyDax::peek_message_data_string),
        exactly<int(uint32_t*, uint32_t*, std::string*)>(&PyDax::read_message_data_string),
        exactly<int()>(&PyDax::peek_message_data_byte),
        exactly<int(uint32_t*, uint32_t*, Bytes*)>(&PyDax::read_message_data_byte),
        exactly<int()>(&PyDax::peek_message_system),
        exactly<uint32_t()>(&PyDax::read_message_system),
        exactly<std::vector<int>(uint32_t)>(&PyDax::search_for_file_by_type),
        exactly<Files()>(&PyDax::find_all_files),
        exactly<void(uint32_t, uint32_t, uint32_t)>(&PyDax::create_file),
        exactly<void(uint32_t, uint32_t)>(&PyDax::open_file),
        exactly<void(uint32_t, uint32_t, uint32_t, const Bytes&)>(&PyDax::set_file_data),
        exactly<void(uint32_t, uint32_t, bool)>(&PyDax::close_file),
        exactly<uint32_t(uint32_t, uint32_t)>(&PyDax::get_file_length),
        exactly<void(uint32_t, uint32_t)>(&PyDax::delete_file),
        exactly<void(uint32_t)>(&PyDax::format_filesystem),
        exactly<Bytes(uint32_t, uint32_t, uint32_t, uint32_t)>(&PyDax::get_file_data),
        exactly<void(uint32_t, uint32_t, const Bytes&)>(&PyDax::set_file),
        exactly<Bytes(uint32_t, uint32_t)>(&PyDax::get_file)
);

[[gnu::used]] const auto osprey_methods = std::make_tuple(
        exactly<void(uint32_t)>(&PyOsprey::set_baudrate),
        exactly<std::string(uint8_t)>(&PyOsprey::get_system_info),
        exactly<uint32_t()>(&PyOsprey::ping),
        exactly<void()>(&PyOsprey::module_reset),
        exactly<void()>(&PyOsprey::reset_to_factory_preset),
        exactly<void()>(&PyOsprey::start_bootloader),
        exactly<void(uint32_t, uint32_t, const std::vector<float>&)>(&PyOsprey::inject_frame),
        exactly<void(uint32_t, uint32_t, uint32_t)>(&PyOsprey::prepare_inject_frame),
        exactly<void(uint8_t)>(&PyOsprey::set_debug_level),
        exactly<int(uint8_t, Bytes*)>(&PyOsprey::system_run_test),
        exactly<void(uint32_t)>(&PyOsprey::load_profile),
        exactly<void(uint8_t, uint8_t)>(&PyOsprey::set_sensor_mode),
        exactly<uint8_t()>(&PyOsprey::get_sensor_mode),
        exactly<void(uint32_t)>(&PyOsprey::set_sensitivity),
        exactly<uint32_t()>(&PyOsprey::get_sensitivity),
        exactly<void(uint32_t)>(&PyOsprey::set_tx_center_frequency),
        exactly<uint32_t()>(&PyOsprey::get_tx_center_frequency),
        exactly<std::pair<float, float>()>(&PyOsprey::get_detection_zone),
        exactly<void(float, float)>(&PyOsprey::set_detection_zone),
        exactly<std::tuple<float, float, float>()>(&PyOsprey::get_detection_zone_limits),
        exactly<void(uint8_t, uint8_t)>(&PyOsprey::set_led_control),
        exactly<uint8_t()>(&PyOsprey::get_led_control),
        exactly<void(uint32_t, uint32_t)>(&PyOsprey::set_output_control),
        exactly<uint32_t(uint32_t)>(&PyOsprey::get_output_control),
        exactly<void(uint32_t, uint32_t)>(&PyOsprey::set_debug_output_control),
        exactly<uint32_t(uint32_t)>(&PyOsprey::get_debug_output_control),
        exactly<int()>(&PyOsprey::peek_message_presence_single),
        exactly<PresenceSingleData()>(&PyOsprey::read_message_presence_single),
        exactly<int()>(&PyOsprey::peek_message_presence_movinglist),
        exactly<PresenceMovingListData()>(&PyOsprey::read_message_presence_movinglist),
        exactly<int()>(&PyOsprey::peek_message_baseband_ap),
        exactly<BasebandApData()>(&PyOsprey::read_message_baseband_ap),
        exactly<int()>(&PyOsprey::peek_message_baseband_iq),
        exactly<BasebandIqData()>(&PyOsprey::read_message_baseband_iq),
        exactly<int()>(&PyOsprey::reset),
        exactly<int()>(&PyOsprey::peek_message_pulsedoppler_float),
        exactly<PulseDopplerFloatData()>(&PyOsprey::read_message_pulsedoppler_float),
        exactly<int()>(&PyOsprey::peek_message_pulsedoppler_byte),
        exactly<PulseDopplerByteData()>(&PyOsprey::read_message_pulsedoppler_byte),
        exactly<int()>(&PyOsprey::peek_message_noisemap_float),
        exactly<PulseDopplerFloatData()>(&PyOsprey::read_message_noisemap_float),
        exactly<int()>(&PyOsprey::peek_message_noisemap_byte),
        exactly<PulseDopplerByteData()>(&PyOsprey::read_message_noisemap_byte),
        exactly<void()>(&PyOsprey::load_noisemap),
        exactly<void()>(&PyOsprey::store_noisemap),
        exactly<void()>(&PyOsprey::delete_noisemap),
        exactly<void(uint32_t)>(&PyOsprey::set_noisemap_control),
        exactly<uint32_t()>(&PyOsprey::get_noisemap_control),
        exactly<void(uint32_t, uint32_t)>(&PyOsprey::set_periodic_noisemap_store),
        exactly<std::pair<uint32_t, uint32_t>()>(&PyOsprey::get_periodic_noisemap_store),
        exactly<std::string(const std::string&)>(&PyOsprey::get_parameter_file),
        exactly<uint32_t()>(&PyOsprey::get_profileid),
        exactly<void(const std::string&, const std::string&)>(&PyOsprey::set_parameter_file),
        exactly<void(uint32_t, uint32_t, uint32_t)>(&PyOsprey::set_iopin_control),
        exactly<std::pair<uint32_t, uint32_t>(uint32_t)>(&PyOsprey::get_iopin_control),
        exactly<void(uint32_t, uint32_t)>(&PyOsprey::set_iopin_value),
        exactly<uint32_t(uint32_t)>(&PyOsprey::get_iopin_value)
);

// PyFalcon and PyGannet: the same methods.
template <typename Model> constexpr auto respiration_module_methods()
{
    return std::make_tuple(
        exactly<void(uint32_t)>(&Model::set_baudrate),
        exactly<std::string(uint8_t)>(&Model::get_system_info),
        exactly<uint32_t()>(&Model::ping),
        exactly<void()>(&Model::module_reset),
        exactly<void()>(&Model::reset_to_factory_preset),
        exactly<void()>(&Model::start_bootloader),
        exactly<void(uint32_t, uint32_t, const std::vector<float>&)>(&Model::inject_frame),
        exactly<void(uint32_t, uint32_t, uint32_t)>(&Model::prepare_inject_frame),
        exactly<void(uint8_t)>(&Model::set_debug_level),
        exactly<void(uint8_t, Bytes*)>(&Model::system_run_test),
        exactly<void(uint32_t)>(&Model::load_profile),
        exactly<void(uint8_t, uint8_t)>(&Model::set_sensor_mode),
        exactly<uint8_t()>(&Model::get_sensor_mode),
        exactly<void(uint32_t)>(&Model::set_sensitivity),
        exactly<uint32_t()>(&Model::get_sensitivity),
        exactly<void(uint32_t)>(&Model::set_tx_center_frequency),
        exactly<uint32_t()>(&Model::get_tx_center_frequency),
        exactly<std::pair<float, float>()>(&Model::get_detection_zone),
        exactly<void(float, float)>(&Model::set_detection_zone),
        exactly<std::tuple<float, float, float>()>(&Model::get_detection_zone_limits),
        exactly<void(uint8_t, uint8_t)>(&Model::set_led_control),
        exactly<uint8_t()>(&Model::get_led_control),
        exactly<void(uint32_t, uint32_t)>(&Model::set_output_control),
        exactly<uint32_t(uint32_t)>(&Model::get_output_control),
        exactly<void(uint32_t, uint32_t)>(&Model::set_debug_output_control),
        exactly<uint32_t(uint32_t)>(&Model::get_debug_output_control),
        exactly<int()>(&Model::peek_message_baseband_ap),
        exactly<BasebandApData()>(&Model::read_message_baseband_ap),
        exactly<int()>(&Model::peek_message_baseband_iq),
        exactly<BasebandIqData()>(&Model::read_message_baseband_iq),
        exactly<void()>(&Model::reset),
        exactly<int()>(&Model::peek_message_respiration_legacy),
        exactly<RespirationData()>(&Model::read_message_respiration_legacy),
        exactly<int()>(&Model::peek_message_respiration_sleep),
        exactly<SleepData()>(&Model::read_message_respiration_sleep),
        exactly<int()>(&Model::peek_message_respiration_movinglist),
        exactly<RespirationMovingListData()>(&Model::read_message_respiration_movinglist),
        exactly<int()>(&Model::peek_message_respiration_detectionlist),
        exactly<RespirationDetectionListData()>(&Model::read_message_respiration_detectionlist),
        exactly<int()>(&Model::peek_message_respiration_normalizedmovementlist),
        exactly<RespirationNormalizedMovementListData()>(&Model::read_message_respiration_normalizedmovementlist),
        exactly<int()>(&Model::peek_message_vital_signs),
        exactly<VitalSignsData()>(&Model::read_message_vital_signs),
        exactly<int()>(&Model::peek_message_pulsedoppler_float),
        exactly<PulseDopplerFloatData()>(&Model::read_message_pulsedoppler_float),
        exactly<int()>(&Model::peek_message_pulsedoppler_byte),
        exactly<PulseDopplerByteData()>(&Model::read_message_pulsedoppler_byte),
        exactly<int()>(&Model::peek_message_noisemap_float),
        exactly<PulseDopplerFloatData()>(&Model::read_message_noisemap_float),
        exactly<int()>(&Model::peek_message_noisemap_byte),
        exactly<PulseDopplerByteData()>(&Model::read_message_noisemap_byte),
        exactly<void()>(&Model::load_noisemap),
        exactly<void(uint32_t)>(&Model::set_noisemap_control),
        exactly<uint32_t()>(&Model::get_noisemap_control),
        exactly<void(uint32_t, uint32_t)>(&Model::set_periodic_noisemap_store),
        exactly<std::pair<uint32_t, uint32_t>()>(&Model::get_periodic_noisemap_store),
        exactly<void()>(&Model::store_noisemap),
        exactly<void()>(&Model::delete_noisemap),
        exactly<std::string(const std::string&)>(&Model::get_parameter_file),
        exactly<uint32_t()>(&Model::get_profileid),
        exactly<void(const std::string&, const std::string&)>(&Model::set_parameter_file),
        exactly<void(uint32_t, uint32_t, uint32_t)>(&Model::set_iopin_control),
        exactly<std::pair<uint32_t, uint32_t>(uint32_t)>(&Model::get_iopin_control),
        exactly<void(uint32_t, uint32_t)>(&Model::set_iopin_value),
        exactly<uint32_t(uint32_t)>(&Model::get_iopin_value)
    );
}

[[gnu::used]] const auto falcon_methods = respiration_module_methods<PyFalcon>();
[[gnu::used]] const auto gannet_methods = respiration_module_methods<PyGannet>();

[[gnu::used]] const auto corvid_methods = std::make_tuple(
        exactly<void(uint8_t)>(&PyCorvid::set_debug_level),
        exactly<void(uint32_t)>(&PyCorvid::set_log_level),
        exactly<uint32_t()>(&PyCorvid::ping),
        exactly<std::string()>(&PyCorvid::get_item_number),
        exactly<std::string()>(&PyCorvid::get_order_code),
        exactly<std::string()>(&PyCorvid::get_firmware_id),
        exactly<std::string()>(&PyCorvid::get_firmware_version),
        exactly<std::string()>(&PyCorvid::get_serial_number),
        exactly<std::string()>(&PyCorvid::get_build_info),
        exactly<std::string()>(&PyCorvid::get_app_id_list),
        exactly<void()>(&PyCorvid::reset),
        exactly<void()>(&PyCorvid::start_bootloader),
        exactly<void()>(&PyCorvid::set_sensor_mode_run),
        exactly<void()>(&PyCorvid::set_sensor_mode_idle),
        exactly<void()>(&PyCorvid::load_sleep_profile),
        exactly<void()>(&PyCorvid::load_respiration_profile),
        exactly<void()>(&PyCorvid::enable_baseband_ap),
        exactly<void()>(&PyCorvid::disable_baseband_ap),
        exactly<void()>(&PyCorvid::enable_baseband_iq),
        exactly<void()>(&PyCorvid::disable_baseband_iq),
        exactly<void(float, float)>(&PyCorvid::set_detection_zone),
        exactly<void(uint32_t)>(&PyCorvid::set_sensitivity),
        exactly<void(uint8_t, uint8_t)>(&PyCorvid::set_led_control),
        exactly<int(const std::string&)>(&PyCorvid::subscribe_to_resp_status),
        exactly<int(const std::string&)>(&PyCorvid::subscribe_to_sleep_status),
        exactly<int(const std::string&)>(&PyCorvid::subscribe_to_baseband_ap),
        exactly<int(const std::string&)>(&PyCorvid::subscribe_to_baseband_iq),
        exactly<void(const std::string&)>(&PyCorvid::unsubscribe),
        exactly<void()>(&PyCorvid::disable_resp_output),
        exactly<void()>(&PyCorvid::enable_resp_output),
        exactly<int(const std::string&)>(&PyCorvid::get_number_of_packets),
        exactly<Bytes(const std::string&)>(&PyCorvid::get_packet),
        exactly<RespirationData(std::string)>(&PyCorvid::get_respiration_data),
        exactly<SleepData(std::string)>(&PyCorvid::get_sleep_data),
        exactly<BasebandApData(std::string)>(&PyCorvid::get_baseband_ap_data),
        exactly<BasebandIqData(std::string)>(&PyCorvid::get_baseband_iq_data),
        exactly<void(const std::string&)>(&PyCorvid::clear)
);

// clang-format on

template <typename Methods> constexpr size_t count(const Methods&)
{
    return std::tuple_size_v<Methods>;
}

TEST(PyModelSignatures, EveryClassHasAllItsMethods)
{
    EXPECT_EQ(80u, count(dax_methods));
    EXPECT_EQ(57u, count(osprey_methods));
    EXPECT_EQ(65u, count(falcon_methods));
    EXPECT_EQ(65u, count(gannet_methods));
    EXPECT_EQ(37u, count(corvid_methods));
}

// Built by the connector on its connection and handed out by reference:
// neither copied nor moved, without virtual operations.
template <typename Model> constexpr bool made_on_a_connection_only()
{
    return std::
               is_constructible_v<Model, LockedRadarInterface&> && !std::is_default_constructible_v<Model> && !std::is_convertible_v<LockedRadarInterface&, Model> && !std::is_copy_constructible_v<Model> && !std::is_move_constructible_v<Model> && !std::is_copy_assignable_v<Model> && !std::is_move_assignable_v<Model> && !std::is_polymorphic_v<Model>;
}
static_assert(made_on_a_connection_only<PyDax>());
static_assert(made_on_a_connection_only<PyOsprey>());
static_assert(made_on_a_connection_only<PyFalcon>());
static_assert(made_on_a_connection_only<PyGannet>());
static_assert(made_on_a_connection_only<PyCorvid>());

// PyFalcon and PyGannet: one set of commands, two types of their own.
static_assert(!std::is_same_v<PyFalcon, PyGannet>);
static_assert(!std::is_base_of_v<PyFalcon, PyGannet> && !std::is_base_of_v<PyGannet, PyFalcon>);
static_assert(!std::is_convertible_v<PyFalcon&, PyGannet&> && !std::is_convertible_v<PyGannet&, PyFalcon&>);

} // namespace py_model_signatures
