/* The module commands: one row per family of functions, each with the exact
 * payload the module receives, the answer it gives, and the result and
 * outputs the host sees, the output rules' boundaries included. */
#define _POSIX_C_SOURCE 200809L

#include "flat_check.h"
#include "flat_fixture.h"

#include <stdio.h>
#include <string.h>

/* Makes one call and renders its outputs (untouched ones show their
 * initial values). */
typedef int (*Call)(Z3_Type* z3, char* out, size_t size);

static int ping(Z3_Type* z3, char* out, size_t size)
{
    unsigned int pong = 7777;
    const int result = vmx_ping(z3, &pong);
    snprintf(out, size, "%u", pong);
    return result;
}

/* Identity texts by rule T into a buffer of `capacity`. */
static int identity(
    int (*get)(Z3_Type*, char*, unsigned int), unsigned int capacity, Z3_Type* z3, char* out, size_t size)
{
    char text[16] = "untouched";
    const int result = get(z3, text, capacity);
    snprintf(out, size, "%s", text);
    return result;
}

static int item_number_room_5(Z3_Type* z3, char* out, size_t size)
{
    return identity(vmx_get_item_number, 5, z3, out, size);
}

static int item_number_room_4(Z3_Type* z3, char* out, size_t size)
{
    return identity(vmx_get_item_number, 4, z3, out, size);
}

static int order_code(Z3_Type* z3, char* out, size_t size)
{
    return identity(vmx_get_order_code, 16, z3, out, size);
}

static int firmware_id(Z3_Type* z3, char* out, size_t size)
{
    return identity(vmx_get_firmware_id, 16, z3, out, size);
}

static int firmware_version(Z3_Type* z3, char* out, size_t size)
{
    return identity(vmx_get_firmware_version, 16, z3, out, size);
}

static int serial_number(Z3_Type* z3, char* out, size_t size)
{
    return identity(vmx_get_serial_number, 16, z3, out, size);
}

static int system_info_code_104(Z3_Type* z3, char* out, size_t size)
{
    char text[16] = "untouched";
    const int result = vmx_get_system_info(z3, 0x104, text, sizeof text);
    snprintf(out, size, "%s", text);
    return result;
}

static int set_sensitivity(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_set_sensitivity(z3, 5);
}

static int get_sensitivity(Z3_Type* z3, char* out, size_t size)
{
    unsigned int value = 7777;
    const int result = vmx_get_sensitivity(z3, &value);
    snprintf(out, size, "%u", value);
    return result;
}

static int get_detection_zone(Z3_Type* z3, char* out, size_t size)
{
    float start = -9, end = -9;
    const int result = vmx_get_detection_zone(z3, &start, &end);
    snprintf(out, size, "%g %g", start, end);
    return result;
}

static int set_led_control(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_set_led_control(z3, 3, 0x1C8);
}

static int sensor_mode_manual(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_set_sensor_mode_manual(z3);
}

static int sensor_mode_and_submode(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_set_sensor_mode_and_submode(z3, 0x110, 0x105);
}

static int load_sleep_profile(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_load_sleep_profile(z3);
}

static int get_profileid(Z3_Type* z3, char* out, size_t size)
{
    unsigned int id = 7777;
    const int result = vmx_get_profileid(z3, &id);
    snprintf(out, size, "%u", id);
    return result;
}

static int set_parameter_file(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_set_parameter_file(z3, "abc", "xy");
}

/* The file's text by rule C into a buffer of `capacity`; the byte after it
 * shows whether anything was written past the text. */
static int parameter_file(unsigned int capacity, Z3_Type* z3, char* out, size_t size)
{
    char text[9];
    int result;
    memset(text, 0xEE, sizeof text);
    result = vmx_get_parameter_file(z3, "abc", text, capacity);
    render_bytes((const unsigned char*)text, sizeof text, out, size);
    return result;
}

static int parameter_file_room_8(Z3_Type* z3, char* out, size_t size)
{
    return parameter_file(8, z3, out, size);
}

static int parameter_file_room_7(Z3_Type* z3, char* out, size_t size)
{
    return parameter_file(7, z3, out, size);
}

static int set_z3_int(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_set_Z3_int(z3, 5, 6);
}

static int get_z3_float(Z3_Type* z3, char* out, size_t size)
{
    float value = -9;
    const int result = vmx_get_z3_float(z3, 3, &value);
    snprintf(out, size, "%g", value);
    return result;
}

static int z7_io_pin_value(Z3_Type* z3, char* out, size_t size)
{
    unsigned char value = 0xEE;
    const int result = vmx_get_z7_io_pin_value(z3, 0x104, &value);
    snprintf(out, size, "%u", value);
    return result;
}

static int write_z7_spi(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_write_z7_spi(z3, 0x105, 0x1AA);
}

static int run_timing_measurement(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_run_timing_measurement(z3);
}

static int set_fps(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return vmx_set_fps(z3, 20);
}

static int driver_set_fps(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return dax_z7driver_set_fps(z3, 1.5f);
}

static int driver_frame_area(Z3_Type* z3, char* out, size_t size)
{
    float start = -9, end = -9;
    const int result = dax_z7driver_get_frame_area(z3, &start, &end);
    snprintf(out, size, "%g %g", start, end);
    return result;
}

static int driver_prf_div(Z3_Type* z3, char* out, size_t size)
{
    unsigned char value = 0xEE;
    const int result = dax_z7driver_get_prf_div(z3, &value);
    snprintf(out, size, "%u", value);
    return result;
}

static int driver_spi_register(Z3_Type* z3, char* out, size_t size)
{
    (void)out;
    (void)size;
    return dax_z7driver_set_spi_register(z3, 0x112, 0x134);
}

static int driver_pif_register(Z3_Type* z3, char* out, size_t size)
{
    unsigned char value = 0xEE;
    const int result = dax_z7driver_get_pif_register(z3, 0x106, &value);
    snprintf(out, size, "%u", value);
    return result;
}

static int pin_control(Z3_Type* z3, char* out, size_t size)
{
    unsigned int setup = 7777, feature = 7777;
    const int result = dax_get_iopin_control(z3, 3, &setup, &feature);
    snprintf(out, size, "%u %u", setup, feature);
    return result;
}

static int pin_value(Z3_Type* z3, char* out, size_t size)
{
    unsigned int value = 7777;
    const int result = dax_get_iopin_value(z3, 3, &value);
    snprintf(out, size, "%u", value);
    return result;
}

struct CommandRow {
    const char* label;
    const char* prefix; /* of the module's rule */
    const char* reply; /* NULL: an error reply with `error`, or silence for 0 */
    unsigned int error;
    Call call;
    const char* payload;
    int result;
    const char* output;
};

#define SN1 "11 13 58 00 00 00 00 00 00 00 04 00 00 00 53 4e 2d 31"
#define GAIN_TEXT "11 13 23 76 ba 32 00 00 00 00 08 00 00 00 67 61 69 6e 3d 33 0a 00"

static const struct CommandRow rows[] = {
    { "ping", "01", "01 34 12 00 00", 0, ping, "01 ae ea aa ee", 0, "4660" },
    { "ping refused reads as pong 1", "01", NULL, 7, ping, "01 ae ea aa ee", 0, "1" },
    { "item number with its NUL fits", "90 58", SN1, 0, item_number_room_5, "90 58 00", 0, "SN-1" },
    { "item number one byte short", "90 58", SN1, 0, item_number_room_4, "90 58 00", 1, "untouched" },
    { "order code", "90 58", SN1, 0, order_code, "90 58 01", 0, "SN-1" },
    { "firmware id", "90 58", SN1, 0, firmware_id, "90 58 02", 0, "SN-1" },
    { "firmware version", "90 58", SN1, 0, firmware_version, "90 58 03", 0, "SN-1" },
    { "serial number", "90 58", SN1, 0, serial_number, "90 58 06", 0, "SN-1" },
    { "system info code is a byte", "90 58", SN1, 0, system_info_code_104, "90 58 04", 0, "SN-1" },
    { "system info refused", "90 58", NULL, 1, serial_number, "90 58 06", 1, "untouched" },
    { "setter acknowledged", "10 10", "10", 0, set_sensitivity, "10 10 2b 11 a5 10 05 00 00 00", 0, "" },
    { "setter's module error passes", "10 10", NULL, 7, set_sensitivity, "10 10 2b 11 a5 10 05 00 00 00", 7,
        "" },
    { "setter unanswered", "ff", NULL, 0, set_sensitivity, "10 10 2b 11 a5 10 05 00 00 00", 1, "" },
    { "getter", "10 11", "11 11 2b 11 a5 10 00 00 00 00 04 00 00 00 2c 01 00 00", 0, get_sensitivity,
        "10 11 2b 11 a5 10", 0, "44" },
    { "getter refused", "10 11", NULL, 9, get_sensitivity, "10 11 2b 11 a5 10", 1, "7777" },
    { "getter of two values", "10 11", "11 12 1c 0a a1 96 00 00 00 00 08 00 00 00 00 00 00 3f 00 00 80 40", 0,
        get_detection_zone, "10 11 1c 0a a1 96", 0, "0.5 4" },
    { "byte arguments keep their low bytes", "24", "10", 0, set_led_control, "24 03 c8", 0, "" },
    { "sensor mode manual", "20", "10", 0, sensor_mode_manual, "20 12", 0, "" },
    { "sensor mode and submode", "20", "10", 0, sensor_mode_and_submode, "20 10 05", 0, "" },
    { "sleep profile", "21", "10", 0, load_sleep_profile, "21 17 7b f1 00", 0, "" },
    { "profile id", "90 74", "11 11 74 00 00 00 00 00 00 00 04 00 00 00 d6 a2 23 14", 0, get_profileid,
        "90 74", 0, "337879766" },
    { "parameter file written", "10 10", "10", 0, set_parameter_file,
        "10 10 23 76 ba 32 04 00 00 00 03 00 00 00 61 62 63 00 78 79 00", 0, "" },
    { "parameter file exactly fits", "10 11", GAIN_TEXT, 0, parameter_file_room_8,
        "10 11 23 76 ba 32 04 00 00 00 61 62 63 00", 0, "67 61 69 6e 3d 33 0a 00 ee" },
    { "parameter file one byte short", "10 11", GAIN_TEXT, 0, parameter_file_room_7,
        "10 11 23 76 ba 32 04 00 00 00 61 62 63 00", 1, "ee ee ee ee ee ee ee ee ee" },
    { "guarded setter returns its answer", "90 11", "11 00 11 00 00 00 00 00 00 00 04 00 00 00 09 00 00 00",
        0, set_z3_int, "90 11 05 00 00 00 06 00 00 00", 9, "" },
    { "guarded getter", "90 14", "11 12 14 00 00 00 00 00 00 00 04 00 00 00 00 00 a0 bf", 0, get_z3_float,
        "90 14 03 00 00 00", 0, "-1.25" },
    { "guarded getter, short answer", "90 14", "11 12 14 00 00 00 00 00 00 00 03 00 00 00 01 02 03", 0,
        get_z3_float, "90 14 03 00 00 00", 1, "-9" },
    { "chip pin value", "90 36", "11 11 99 00 00 00 00 00 00 00 04 00 00 00 01 02 00 00", 0, z7_io_pin_value,
        "90 36 04", 0, "1" },
    { "chip register write", "90 33", "11 00 33 00 00 00 00 00 00 00 04 00 00 00 00 00 00 00", 0,
        write_z7_spi, "90 33 85 aa", 0, "" },
    { "timing measurement reads as 0", "90 20", "11 00 20 00 00 00 00 00 00 00 04 00 00 00 0c 00 00 00", 0,
        run_timing_measurement, "90 20", 0, "" },
    { "frame rate", "90 51", "10", 0, set_fps, "90 51 1a 00 00 00 14 00 00 00", 0, "" },
    { "chip driver setter", "50 10", "10", 0, driver_set_fps, "50 10 10 00 00 00 00 00 c0 3f", 0, "" },
    { "chip driver setter refused", "50 10", NULL, 5, driver_set_fps, "50 10 10 00 00 00 00 00 c0 3f", 5,
        "" },
    { "chip driver frame area", "50 11", "11 12 14 00 00 00 00 00 00 00 08 00 00 00 00 00 00 3f 00 00 20 40",
        0, driver_frame_area, "50 11 14 00 00 00", 0, "0.5 2.5" },
    { "chip driver frame area refused", "50 11", NULL, 6, driver_frame_area, "50 11 14 00 00 00", 1,
        "-9 -9" },
    { "chip driver getter of the pointer form", "50 11", "11 10 25 00 00 00 00 00 00 00 01 00 00 00 10", 0,
        driver_prf_div, "50 11 25 00 00 00", 0, "16" },
    { "chip register setter", "50 10", "10", 0, driver_spi_register, "50 10 22 00 00 00 12 34", 0, "" },
    { "chip register getter", "50 11", "11 10 23 00 00 00 00 00 00 00 01 00 00 00 5a", 0, driver_pif_register,
        "50 11 23 00 00 00 06", 0, "90" },
    { "pin control", "40 11", "11 11 03 00 00 00 00 00 00 00 08 00 00 00 01 00 00 00 02 00 00 00", 0,
        pin_control, "40 11 03 00 00 00", 0, "1 2" },
    { "pin control refused passes the module's code", "40 11", NULL, 6, pin_control, "40 11 03 00 00 00", 6,
        "7777 7777" },
    { "pin value", "40 21", "11 11 03 00 00 00 00 00 00 00 04 00 00 00 01 00 00 80", 0, pin_value,
        "40 21 03 00 00 00", 0, "2147483649" },
};

void group_commands(void)
{
    struct Fixture f;
    size_t i;
    CHECK(fixture_open(&f));
    /* The one row that waits for an answer waits a second, not two. */
    CHECK_INT(0, vmx_set_default_timeout(f.z3, 1));
    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const struct CommandRow* row = &rows[i];
        char output[128] = "";
        flat_case("%s", row->label);
        sim_clear_rules(f.sim);
        sim_clear_received(f.sim);
        if (row->reply)
            sim_reply(f.sim, row->prefix, row->reply);
        else if (row->error)
            sim_error(f.sim, row->prefix, row->error);
        CHECK_INT(row->result, row->call(f.z3, output, sizeof output));
        CHECK_TEXT(row->output, output);
        CHECK(sim_wait_received(f.sim, 1, 2000));
        CHECK_TEXT(row->payload, sim_received_hex(f.sim, 0));
    }
    fixture_close(&f);
}
