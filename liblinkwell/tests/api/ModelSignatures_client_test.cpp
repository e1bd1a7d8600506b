// A client of the public headers alone, built against include/ and linked to
// the shared library only: every method of the model classes with its exact
// signature, each one taken by address so that the program does not link
// when the library fails to export one, and the type properties clients rely
// on.
#include <linkwell/Corvid.hpp>
#include <linkwell/Dax.hpp>
#include <linkwell/Falcon.hpp>
#include <linkwell/Gannet.hpp>
#include <linkwell/NotSupported.hpp>
#include <linkwell/Osprey.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

// A namespace of its own: the program's other files build tables and
// helpers of the same names.
namespace model_signatures {

using namespace Sarvik;

// The member of exactly this signature: one of another signature does not
// compile.
template <typename Signature, typename Class> constexpr Signature Class::*exactly(Signature Class::*method)
{
    return method;
}

// The tables keep one method a line.
// clang-format off

// The methods that Osprey, Falcon and Gannet share.
template <typename Model> constexpr auto application_module_methods()
{
    return std::make_tuple(
        exactly<int(uint32_t)>(&Model::set_baudrate),
        exactly<int(uint8_t, std::string*)>(&Model::get_system_info),
        exactly<int(uint32_t*)>(&Model::ping),
        exactly<int(uint8_t)>(&Model::set_debug_level),
        exactly<int()>(&Model::reset),
        exactly<int()>(&Model::module_reset),
        exactly<int()>(&Model::reset_to_factory_preset),
        exactly<int()>(&Model::start_bootloader),
        exactly<int(uint32_t, uint32_t, const std::vector<float>&)>(&Model::inject_frame),
        exactly<int(uint32_t, uint32_t, uint32_t)>(&Model::prepare_inject_frame),
        exactly<int(uint8_t, Bytes*)>(&Model::system_run_test),
        exactly<int(uint32_t)>(&Model::load_profile),
        exactly<int(uint8_t, uint8_t)>(&Model::set_sensor_mode),
        exactly<int(uint8_t*)>(&Model::get_sensor_mode),
        exactly<int(uint32_t)>(&Model::set_sensitivity),
        exactly<int(uint32_t*)>(&Model::get_sensitivity),
        exactly<int(uint32_t)>(&Model::set_tx_center_frequency),
        exactly<int(uint32_t*)>(&Model::get_tx_center_frequency),
        exactly<int(float, float)>(&Model::set_detection_zone),
        exactly<int(float*, float*)>(&Model::get_detection_zone),
        exactly<int(float*, float*, float*)>(&Model::get_detection_zone_limits),
        exactly<int(uint8_t, uint8_t)>(&Model::set_led_control),
        exactly<int(uint8_t*)>(&Model::get_led_control),
        exactly<int(uint32_t, uint32_t)>(&Model::set_output_control),
        exactly<int(uint32_t, uint32_t*)>(&Model::get_output_control),
        exactly<int(uint32_t, uint32_t)>(&Model::set_debug_output_control),
        exactly<int(uint32_t, uint32_t*)>(&Model::get_debug_output_control),
        exactly<int()>(&Model::peek_message_baseband_ap),
        exactly<int(BasebandApData*)>(&Model::read_message_baseband_ap),
        exactly<int()>(&Model::peek_message_baseband_iq),
        exactly<int(BasebandIqData*)>(&Model::read_message_baseband_iq),
        exactly<int()>(&Model::peek_message_pulsedoppler_float),
        exactly<int(PulseDopplerFloatData*)>(&Model::read_message_pulsedoppler_float),
        exactly<int()>(&Model::peek_message_pulsedoppler_byte),
        exactly<int(PulseDopplerByteData*)>(&Model::read_message_pulsedoppler_byte),
        exactly<int()>(&Model::peek_message_noisemap_float),
        exactly<int(PulseDopplerFloatData*)>(&Model::read_message_noisemap_float),
        exactly<int()>(&Model::peek_message_noisemap_byte),
        exactly<int(PulseDopplerByteData*)>(&Model::read_message_noisemap_byte),
        exactly<int()>(&Model::load_noisemap),
        exactly<int()>(&Model::delete_noisemap),
        exactly<int()>(&Model::store_noisemap),
        exactly<int(uint32_t)>(&Model::set_noisemap_control),
        exactly<int(uint32_t*)>(&Model::get_noisemap_control),
        exactly<int(uint32_t, uint32_t)>(&Model::set_periodic_noisemap_store),
        exactly<int(uint32_t*, uint32_t*)>(&Model::get_periodic_noisemap_store),
        exactly<int(const std::string&, std::string*)>(&Model::get_parameter_file),
        exactly<int(uint32_t*)>(&Model::get_profileid),
        exactly<int(const std::string*, const std::string*)>(&Model::set_parameter_file),
        exactly<int(uint32_t, uint32_t, uint32_t)>(&Model::set_iopin_control),
        exactly<int(uint32_t, uint32_t*, uint32_t*)>(&Model::get_iopin_control),
        exactly<int(uint32_t, uint32_t)>(&Model::set_iopin_value),
        exactly<int(uint32_t, uint32_t*)>(&Model::get_iopin_value)
    );
}

template <typename Model> constexpr auto respiration_module_methods()
{
    return std::make_tuple(
        exactly<int()>(&Model::peek_message_respiration_legacy),
        exactly<int(RespirationData*)>(&Model::read_message_respiration_legacy),
        exactly<int()>(&Model::peek_message_respiration_sleep),
        exactly<int(SleepData*)>(&Model::read_message_respiration_sleep),
        exactly<int()>(&Model::peek_message_respiration_movinglist),
        exactly<int(RespirationMovingListData*)>(&Model::read_message_respiration_movinglist),
        exactly<int()>(&Model::peek_message_respiration_detectionlist),
        exactly<int(RespirationDetectionListData*)>(&Model::read_message_respiration_detectionlist),
        exactly<int()>(&Model::peek_message_respiration_normalizedmovementlist),
        exactly<int(RespirationNormalizedMovementListData*)>(&Model::read_message_respiration_normalizedmovementlist),
        exactly<int()>(&Model::peek_message_vital_signs),
        exactly<int(VitalSignsData*)>(&Model::read_message_vital_signs)
    );
}

[[gnu::used]] const auto dax_methods = std::make_tuple(
        exactly<int(uint32_t)>(&Dax::set_baudrate),
        exactly<int(uint8_t, std::string*)>(&Dax::get_system_info),
        exactly<int(uint32_t*)>(&Dax::ping),
        exactly<int()>(&Dax::module_reset),
        exactly<int(uint8_t)>(&Dax::set_normalization),
        exactly<int(uint8_t*)>(&Dax::get_normalization),
        exactly<int(uint8_t, float)>(&Dax::set_phase_noise_correction),
        exactly<int(float*)>(&Dax::get_phase_noise_correction),
        exactly<int(uint32_t)>(&Dax::set_decimation_factor),
        exactly<int(uint32_t*)>(&Dax::get_decimation_factor),
        exactly<int(uint8_t)>(&Dax::set_number_format),
        exactly<int(uint8_t*)>(&Dax::get_number_format),
        exactly<int(uint8_t)>(&Dax::set_legacy_output),
        exactly<int(uint8_t*)>(&Dax::get_legacy_output),
        exactly<int(float)>(&Dax::z7driver_set_fps),
        exactly<int(float*)>(&Dax::z7driver_get_fps),
        exactly<int(uint8_t)>(&Dax::z7driver_set_enable),
        exactly<int()>(&Dax::z7driver_init),
        exactly<int(uint32_t)>(&Dax::z7driver_set_iterations),
        exactly<int(uint32_t*)>(&Dax::z7driver_get_iterations),
        exactly<int(uint32_t)>(&Dax::z7driver_set_pulses_per_step),
        exactly<int(uint32_t*)>(&Dax::z7driver_get_pulses_per_step),
        exactly<int(uint32_t)>(&Dax::z7driver_set_dac_min),
        exactly<int(uint32_t*)>(&Dax::z7driver_get_dac_min),
        exactly<int(uint32_t)>(&Dax::z7driver_set_dac_max),
        exactly<int(uint32_t*)>(&Dax::z7driver_get_dac_max),
        exactly<int(uint8_t)>(&Dax::z7driver_set_tx_power),
        exactly<int(uint8_t*)>(&Dax::z7driver_get_tx_power),
        exactly<int(uint8_t)>(&Dax::z7driver_set_downconversion),
        exactly<int(uint8_t*)>(&Dax::z7driver_get_downconversion),
        exactly<int(uint32_t*)>(&Dax::z7driver_get_frame_bin_count),
        exactly<int(float, float)>(&Dax::z7driver_set_frame_area),
        exactly<int(FrameArea*)>(&Dax::z7driver_get_frame_area),
        exactly<int(float)>(&Dax::z7driver_set_frame_area_offset),
        exactly<int(float*)>(&Dax::z7driver_get_frame_area_offset),
        exactly<int(uint8_t)>(&Dax::z7driver_set_tx_center_frequency),
        exactly<int(uint8_t*)>(&Dax::z7driver_get_tx_center_frequency),
        exactly<int(uint8_t, uint8_t)>(&Dax::z7driver_set_spi_register),
        exactly<int(uint8_t, uint8_t*)>(&Dax::z7driver_get_spi_register),
        exactly<int(uint8_t, const Bytes&)>(&Dax::z7driver_write_to_spi_register),
        exactly<int(uint8_t, Bytes*, uint32_t)>(&Dax::z7driver_read_from_spi_register),
        exactly<int(uint8_t, const Bytes&)>(&Dax::z7driver_write_to_i2c_register),
        exactly<int(Bytes*, uint32_t)>(&Dax::z7driver_read_from_i2c_register),
        exactly<int(uint8_t, uint8_t)>(&Dax::z7driver_set_pif_register),
        exactly<int(uint8_t, uint8_t*)>(&Dax::z7driver_get_pif_register),
        exactly<int(uint8_t, uint8_t)>(&Dax::z7driver_set_xif_register),
        exactly<int(uint8_t, uint8_t*)>(&Dax::z7driver_get_xif_register),
        exactly<int(uint8_t)>(&Dax::z7driver_set_prf_div),
        exactly<int(uint8_t*)>(&Dax::z7driver_get_prf_div),
        exactly<int(uint32_t, uint32_t, uint32_t)>(&Dax::set_iopin_control),
        exactly<int(uint32_t, uint32_t)>(&Dax::set_iopin_value),
        exactly<int(uint32_t, uint32_t*)>(&Dax::get_iopin_value),
        exactly<int()>(&Dax::peek_message_data_float),
        exactly<int(DataFloat*)>(&Dax::read_message_data_float),
        exactly<int()>(&Dax::peek_message_radar_rf),
        exactly<int(RadarRfData*)>(&Dax::read_message_radar_rf),
        exactly<int()>(&Dax::peek_message_radar_rf_normalized),
        exactly<int(RadarRfNormalizedData*)>(&Dax::read_message_radar_rf_normalized),
        exactly<int()>(&Dax::peek_message_radar_baseband_float),
        exactly<int(RadarBasebandFloatData*)>(&Dax::read_message_radar_baseband_float),
        exactly<int()>(&Dax::peek_message_radar_baseband_q15),
        exactly<int(RadarBasebandQ15Data*)>(&Dax::read_message_radar_baseband_q15),
        exactly<int()>(&Dax::peek_message_data_string),
        exactly<int(uint32_t*, uint32_t*, std::string*)>(&Dax::read_message_data_string),
        exactly<int()>(&Dax::peek_message_data_byte),
        exactly<int(uint32_t*, uint32_t*, Bytes*)>(&Dax::read_message_data_byte),
        exactly<int()>(&Dax::peek_message_system),
        exactly<int(uint32_t*)>(&Dax::read_message_system),
        exactly<int(uint32_t, std::vector<int>&)>(&Dax::search_for_file_by_type),
        exactly<int(Files&)>(&Dax::find_all_files),
        exactly<int(uint32_t, uint32_t, uint32_t)>(&Dax::create_file),
        exactly<int(uint32_t, uint32_t)>(&Dax::open_file),
        exactly<int(uint32_t, uint32_t, uint32_t, const Bytes&)>(&Dax::set_file_data),
        exactly<int(uint32_t, uint32_t, bool)>(&Dax::close_file),
        exactly<int(uint32_t, uint32_t, uint32_t&)>(&Dax::get_file_length),
        exactly<int(uint32_t, uint32_t)>(&Dax::delete_file),
        exactly<int(uint32_t, uint32_t, uint32_t, uint32_t, Bytes&)>(&Dax::get_file_data),
        exactly<int(uint32_t)>(&Dax::format_filesystem),
        exactly<int(uint32_t, uint32_t, const Bytes&)>(&Dax::set_file),
        exactly<int(uint32_t, uint32_t, Bytes*)>(&Dax::get_file)
);

[[gnu::used]] const auto osprey_methods = std::tuple_cat(application_module_methods<Osprey>(),
    std::make_tuple(
        exactly<int()>(&Osprey::peek_message_presence_single),
        exactly<int(PresenceSingleData*)>(&Osprey::read_message_presence_single),
        exactly<int()>(&Osprey::peek_message_presence_movinglist),
        exactly<int(PresenceMovingListData*)>(&Osprey::read_message_presence_movinglist)
    ));

[[gnu::used]] const auto falcon_methods
    = std::tuple_cat(application_module_methods<Falcon>(), respiration_module_methods<Falcon>());

[[gnu::used]] const auto gannet_methods
    = std::tuple_cat(application_module_methods<Gannet>(), respiration_module_methods<Gannet>());

[[gnu::used]] const auto corvid_methods = std::make_tuple(
        exactly<int(uint8_t)>(&Corvid::set_debug_level),
        exactly<int(uint32_t)>(&Corvid::set_log_level),
        exactly<int(uint32_t*)>(&Corvid::ping),
        exactly<int(std::string*)>(&Corvid::get_item_number),
        exactly<int(std::string*)>(&Corvid::get_order_code),
        exactly<int(std::string*)>(&Corvid::get_firmware_id),
        exactly<int(std::string*)>(&Corvid::get_firmware_version),
        exactly<int(std::string*)>(&Corvid::get_serial_number),
        exactly<int(std::string*)>(&Corvid::get_build_info),
        exactly<int(std::string*)>(&Corvid::get_app_id_list),
        exactly<int()>(&Corvid::reset),
        exactly<int()>(&Corvid::start_bootloader),
        exactly<int()>(&Corvid::set_sensor_mode_run),
        exactly<int()>(&Corvid::set_sensor_mode_idle),
        exactly<int()>(&Corvid::load_sleep_profile),
        exactly<int()>(&Corvid::load_respiration_profile),
        exactly<int()>(&Corvid::enable_baseband_ap),
        exactly<int()>(&Corvid::disable_baseband_ap),
        exactly<int()>(&Corvid::enable_baseband_iq),
        exactly<int()>(&Corvid::disable_baseband_iq),
        exactly<int()>(&Corvid::disable_resp_output),
        exactly<int()>(&Corvid::enable_resp_output),
        exactly<int(float, float)>(&Corvid::set_detection_zone),
        exactly<int(uint32_t)>(&Corvid::set_sensitivity),
        exactly<int(uint8_t, uint8_t)>(&Corvid::set_led_control),
        exactly<int(const std::string&)>(&Corvid::subscribe_to_resp_status),
        exactly<int(const std::string&)>(&Corvid::subscribe_to_sleep_status),
        exactly<int(const std::string&)>(&Corvid::subscribe_to_baseband_ap),
        exactly<int(const std::string&)>(&Corvid::subscribe_to_baseband_iq),
        exactly<int(const std::string&)>(&Corvid::get_number_of_packets),
        exactly<int(std::string, RespirationData*)>(&Corvid::get_respiration_data),
        exactly<int(std::string, SleepData*)>(&Corvid::get_sleep_data),
        exactly<int(std::string, BasebandApData*)>(&Corvid::get_baseband_ap_data),
        exactly<int(std::string, BasebandIqData*)>(&Corvid::get_baseband_iq_data),
        exactly<void(const std::string&)>(&Corvid::clear),
        exactly<int(const std::string&, std::function<bool(Bytes)>)>(&Corvid::subscribe_to_resp_status),
        exactly<int(const std::string&, std::function<bool(Bytes)>)>(&Corvid::subscribe_to_sleep_status),
        exactly<int(const std::string&, std::function<bool(Bytes)>)>(&Corvid::subscribe_to_baseband_ap),
        exactly<int(const std::string&, std::function<bool(Bytes)>)>(&Corvid::subscribe_to_baseband_iq)
);

[[gnu::used]] const auto not_supported_methods = std::make_tuple(
        exactly<int(uint8_t)>(&NotSupported::get_z7_io_pin_value),
        exactly<int(uint8_t, uint8_t)>(&NotSupported::set_z7_io_pin_value),
        exactly<int(uint8_t, uint8_t)>(&NotSupported::set_z7_io_pin_mode),
        exactly<int(uint8_t, uint8_t)>(&NotSupported::set_z7_io_pin_dir),
        exactly<int(uint8_t)>(&NotSupported::set_z7_io_pin_enable),
        exactly<int(uint8_t)>(&NotSupported::set_z7_io_pin_disable),
        exactly<int(uint8_t)>(&NotSupported::read_z7_spi),
        exactly<int(uint8_t, uint8_t)>(&NotSupported::write_z7_spi),
        exactly<int(uint32_t)>(&NotSupported::set_z7_fps),
        exactly<int(const std::string&)>(&NotSupported::subscribe_to_z7_desim),
        exactly<int(const std::string&, uint32_t*, double*, uint32_t)>(&NotSupported::get_z7_decim_frame),
        exactly<int(const std::string&)>(&NotSupported::subscribe_to_data_float),
        exactly<int(const std::string&)>(&NotSupported::peek_message_data_float),
        exactly<int(DataFloat*)>(&NotSupported::read_message_data_float),
        exactly<int(const std::string&)>(&NotSupported::subscribe_to_data_byte),
        exactly<int(const std::string&)>(&NotSupported::subscribe_to_trace),
        exactly<std::string(const std::string&)>(&NotSupported::get_trace),
        exactly<int(const std::string&)>(&NotSupported::get_number_of_packets),
        exactly<Bytes(const std::string&)>(&NotSupported::get_packet),
        exactly<void(const std::string&)>(&NotSupported::clear),
        exactly<int(const std::string&, std::function<bool(Bytes)>)>(&NotSupported::subscribe_to_data_float),
        exactly<int(const std::string&, std::function<bool(Bytes)>)>(&NotSupported::subscribe_to_data_byte),
        exactly<int()>(&NotSupported::peek_message_pulsedoppler_float),
        exactly<Bytes()>(&NotSupported::read_message_pulsedoppler_float),
        exactly<int()>(&NotSupported::peek_message_noisemap_float),
        exactly<Bytes()>(&NotSupported::read_message_noisemap_float),
        exactly<int()>(&NotSupported::peek_message_pulsedoppler_byte),
        exactly<Bytes()>(&NotSupported::read_message_pulsedoppler_byte),
        exactly<int()>(&NotSupported::peek_message_noisemap_byte),
        exactly<Bytes()>(&NotSupported::read_message_noisemap_byte),
        exactly<void(const std::string&, const std::string&)>(&NotSupported::set_parameter_file),
        exactly<std::string(const std::string&)>(&NotSupported::get_parameter_file),
        exactly<void(uint32_t)>(&NotSupported::load_profile),
        exactly<int(float, float)>(&NotSupported::set_application_user_zone),
        exactly<int(float*, float*)>(&NotSupported::get_application_user_zone)
);

// clang-format on

template <typename Methods> constexpr size_t count(const Methods&)
{
    return std::tuple_size_v<Methods>;
}

TEST(ModelSignatures, EveryClassHasAllItsMethods)
{
    EXPECT_EQ(80u, count(dax_methods));
    EXPECT_EQ(57u, count(osprey_methods));
    EXPECT_EQ(65u, count(falcon_methods));
    EXPECT_EQ(65u, count(gannet_methods));
    EXPECT_EQ(39u, count(corvid_methods));
    EXPECT_EQ(35u, count(not_supported_methods));
}

// Built by the connector on its connection and handed out by reference: the
// classes are neither copied nor moved, except Corvid, whose copies share one
// private part.
template <typename Model> constexpr bool made_on_a_connection_only()
{
    return std::
               is_constructible_v<Model, LockedRadarInterface&> && !std::is_default_constructible_v<Model> && !std::is_convertible_v<LockedRadarInterface&, Model> && !std::is_copy_constructible_v<Model> && !std::is_move_constructible_v<Model> && !std::is_copy_assignable_v<Model> && !std::is_move_assignable_v<Model> && !std::is_polymorphic_v<Model>;
}
static_assert(made_on_a_connection_only<Dax>());
static_assert(made_on_a_connection_only<Osprey>());
static_assert(made_on_a_connection_only<Falcon>());
static_assert(made_on_a_connection_only<Gannet>());
static_assert(made_on_a_connection_only<NotSupported>());
static_assert(
    std::is_constructible_v<Corvid,
        LockedRadarInterface&> && !std::is_convertible_v<LockedRadarInterface&, Corvid> && std::is_copy_constructible_v<Corvid> && std::is_copy_assignable_v<Corvid> && !std::is_polymorphic_v<Corvid>);

// Falcon and Gannet: one set of commands, two types of their own.
static_assert(!std::is_same_v<Falcon, Gannet>);
static_assert(!std::is_base_of_v<Falcon, Gannet> && !std::is_base_of_v<Gannet, Falcon>);
static_assert(!std::is_convertible_v<Falcon&, Gannet&> && !std::is_convertible_v<Gannet&, Falcon&>);

} // namespace model_signatures
