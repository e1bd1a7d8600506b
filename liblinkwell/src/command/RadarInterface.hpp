// One module connection: opens and closes the module, sends every module
// command and checks its reply, and keeps one named queue per kind of data
// message that the module sends unasked.
//
// Failures are exceptions: SarvikException carries the module's error code or
// a fixed code; std::runtime_error carries a fixed text (the reply timeout
// "Timeout waiting for response\n", parse failures). Most commands also have
// a status-code twin, named with "_no_throw" or an overload with
// out-parameters, that returns 0 on success, the SarvikException's code, or 1
// for any other failure, and writes its outputs only on success.
//
// Threads: the object has no lock for its commands. Every caller holds the
// connection's recursive mutex for the whole call (UniqueLocked), so commands
// never overlap. Data packets are queued on the connection's dispatcher
// thread. A queue read (get_packet, get_trace and every read_message_* and
// get_*_data reader) waits WITHOUT A TIME LIMIT while its queue exists and is
// empty, and so keeps the connection's mutex as long: ask the matching
// peek_message_* or get_number_of_packets first, and read only what is there.
// close(), open() and destruction may come from another thread while such a
// read waits: the read then returns at once with an empty packet (a decode
// failure, status 1).
//
// Subscription callbacks run on the connection's dispatcher thread, which
// also routes every reply. Inside a callback a command fails at once with
// std::runtime_error "Cannot wait for a reply inside a subscription
// callback\n" (status 1), and a queue read takes what is queued without
// waiting. close(), open(), reset() and destruction are allowed there: the
// old connection is closed at once and none of its callbacks runs after the
// current one returns; its dispatcher thread is joined later, on a thread of
// the library's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "command/CommunicatorSlot.hpp"
#include "command/TwinOutputs.hpp"
#include "protocol/Commands.hpp"
#include "protocol/ParseResult.hpp"
#include "protocol/Parser.hpp"
#include <linkwell/Bytes.hpp>
#include <linkwell/SarvikData.hpp>
#include <linkwell/Z3.hpp>

class AbstractFactory;
class AbstractIo;
class Logger;
struct CommandRow;
struct MessageKind;

class RadarInterface : public Sarvik::Z3 {
public:
    using PacketCallback = std::function<bool(Bytes)>;

    // ==== Connection lifecycle ==============================================

    // Starts the connection's dispatcher thread and subscribes the module
    // trace channel. With a device name it also subscribes the default
    // message queues and opens the device, throwing std::runtime_error
    // "unable to open file: <name>" when that fails. With an empty name
    // nothing is opened; open() completes the object later.
    RadarInterface(AbstractIo& io, const std::string& device_name, AbstractFactory& factory, Logger& logger);
    // Closes the connection first, so that no packet reaches this object
    // while it is being torn down.
    ~RadarInterface() override;
    RadarInterface(const RadarInterface&) = delete;
    RadarInterface& operator=(const RadarInterface&) = delete;

    // Replaces the communicator by a fresh one on the device (dropping every
    // subscription and queued packet of the old one), subscribes the trace
    // channel and the default queues and opens the device: 0, or the
    // transport's non-zero result. Never throws for a device that fails to
    // open.
    int open(const std::string& device_name);
    // open(), with a non-zero result thrown as SarvikException "method
    // failed".
    void open_throw(const std::string& device_name);
    // From here on every exchange gets an empty reply at once, every
    // subscription request is ignored and every queue is empty and absent.
    void close();
    // Restarts the module (module_reset), then reconnects: up to three times
    // close, wait 3 seconds, open the device again and restore every
    // subscription the connection had before, callbacks included. Throws
    // SarvikException "failed to reconnect after reset" (code 1) when all
    // three attempts fail; module_reset's failure passes through before any
    // reconnect.
    void reset();
    int reset_no_throw();

    // ==== Generic sending ===================================================

    // Frames the payload, sends it and returns the first packet starting
    // with the prefix, unexamined.
    Bytes send_command_single(const Bytes& payload, const Bytes& response_prefix);
    // The same, taking a reply that starts with any of the prefixes.
    Bytes send_command_multi(const Bytes& payload, const std::vector<Bytes>& response_prefixes);
    // Writes the bytes unchanged, with no framing and no wait for a reply.
    // Returns 0; throws std::runtime_error "Failed to write all bytes to
    // module\n" when the module takes nothing of them for the reply timeout.
    int send_command(const Bytes& bytes);

    // ==== Queues ============================================================

    // A queue under the name for every packet that starts with the prefix
    // (at most 1000 packets, the oldest dropped first); a queue already of
    // that name is replaced. Returns 0.
    int subscribe(const std::string& name, const Bytes& prefix);
    void unsubscribe(const std::string& name) override;
    // Packets waiting in the named queue; 0 when there is no such queue.
    int get_number_of_packets(const std::string& name) override;
    void clear(const std::string& name) override;
    // Takes the oldest packet of the named queue, waiting while it is empty
    // (see the note at the top); an empty packet at once when no queue has
    // that name or the connection is closed.
    Bytes get_packet(const std::string& name);

    // ==== Module trace channel ==============================================

    // Logs the module's text messages (A0 13) as "trace: <text>" at level 2.
    // Returns 0.
    int log_trace();
    // The trace channel's handler, run on the dispatcher thread. Returns true.
    bool log_module_trace(const Bytes& packet);
    // The text of the oldest packet of the named queue (waiting as
    // get_packet does); empty for a packet too short to carry text.
    std::string get_trace(const std::string& name);

    // ==== Settings and logging ==============================================

    // Reply timeout in seconds of the request/response commands (2 unless
    // changed); also how long any write may make no progress.
    void set_default_timeout(unsigned seconds);
    int set_log_level(int level);
    void log(unsigned level, const std::string& text);
    // The protocol codec's version and build date.
    std::string git_sha();
    std::string build_date();

    // ==== Error machinery ===================================================

    // Runs f; a non-zero result r is thrown as SarvikException "method
    // failed" with code r.
    void throw_if_error(std::function<int()> f);
    // Runs f: 0 when it returns; for a SarvikException, an error line "<text>
    // error code: <code>" and its code (1 when that code is 0, so that a
    // failure never reads as success); 1 for any other exception, silently.
    int try_and_catch(std::function<void()> f);

    // ==== Module identity, sensor mode and LED ==============================

    // The module's system-information text for the code; throws
    // std::runtime_error "error parsing reply in get_system_info" when the
    // reply is refused.
    std::string get_system_info(uint8_t code) override;
    // SarvikException "set sensor mode failed" (code 1) for an empty or error
    // reply. The submode is sent only for the modes 0x10 and 0x50.
    void set_sensor_mode_and_submode(uint8_t mode, uint8_t submode) override;

    // The same exchange without the throw for a refused reply: 0 with the
    // text in *info, or -1 with *info untouched. The reply timeout passes
    // through.
    int get_system_info(uint8_t code, std::string* info);

    // The module's identity texts: get_system_info with the codes 0 to 6 (a
    // refused reply throws std::runtime_error). The forms with an
    // out-parameter are their status-code twins.
    std::string get_item_number();
    int get_item_number(std::string* text);
    std::string get_order_code();
    int get_order_code(std::string* text);
    std::string get_firmware_id();
    int get_firmware_id(std::string* text);
    std::string get_firmware_version();
    int get_firmware_version(std::string* text);
    std::string get_build_info();
    int get_build_info(std::string* text);
    std::string get_app_id_list();
    int get_app_id_list(std::string* text);
    std::string get_serial_number();
    int get_serial_number(std::string* text);

    // Sensor modes 0x01 (run) and 0x11 (idle), passed as set_sensor_mode.
    void set_sensor_mode_run();
    void set_sensor_mode_idle();
    // std::runtime_error "parse_reply failed in get_sensor_mode" for a
    // refused reply or one without a data byte.
    uint8_t get_sensor_mode();
    int set_sensor_mode_and_submode_no_throw(uint8_t mode, uint8_t submode);
    int set_sensor_mode_no_throw(uint8_t mode);
    int set_sensor_mode_run_no_throw();
    int set_sensor_mode_idle_no_throw();
    int get_sensor_mode_no_throw(uint8_t* mode);

    // Both bytes go to the module unchanged. SarvikException
    // "set_led_control failed" (code 1) for an empty or error reply.
    void set_led_control(uint8_t mode, uint8_t parameter);
    // The LED mode byte; std::runtime_error "parse_reply failed in
    // get_led_control" for a refused reply or one without a data byte.
    uint8_t get_led_control();
    int set_led_control_no_throw(uint8_t mode, uint8_t parameter);
    int get_led_control_no_throw(uint8_t* mode);

    // ==== Message subscriptions and queues ==================================
    //
    // Each stream has up to three forms: a callback (run on the dispatcher
    // thread with every matching packet, whole), a queue under a caller's
    // name, and the stream's default queue. Every one returns 0.

    int subscribe_to_presence_single(const std::string& name, PacketCallback callback);
    int subscribe_to_presence_single();
    int subscribe_to_presence_movinglist(const std::string& name, PacketCallback callback);
    int subscribe_to_presence_movinglist();

    int subscribe_to_data_float(const std::string& name, PacketCallback callback);
    int subscribe_to_data_float(const std::string& name);
    // The float-data subscription, under a trace of its own.
    int subscribe_to_raw_normalized(const std::string& name) override;
    int subscribe_to_raw_normalized(const std::string& name, std::function<bool(Bytes)> callback) override;

    int subscribe_to_data_string(const std::string& name, PacketCallback callback);
    int subscribe_to_data_string(const std::string& name);
    // The string-data subscription under other names.
    int subscribe_to_debug_messages(const std::string& name, PacketCallback callback);
    int subscribe_to_debug_messages(const std::string& name);
    int subscribe_to_trace(const std::string& name);

    int subscribe_to_data_byte(const std::string& name, PacketCallback callback);
    int subscribe_to_data_byte(const std::string& name);

    int subscribe_to_baseband_iq(const std::string& name, PacketCallback callback);
    int subscribe_to_baseband_iq(const std::string& name);
    int subscribe_to_baseband_iq();
    int subscribe_to_baseband_ap(const std::string& name, PacketCallback callback);
    int subscribe_to_baseband_ap(const std::string& name);
    int subscribe_to_baseband_ap();

    int subscribe_to_pulsedoppler_float(const std::string& name, PacketCallback callback);
    int subscribe_to_pulsedoppler_float(const std::string& name);
    int subscribe_to_pulsedoppler_float();
    int subscribe_to_noisemap_float(const std::string& name, PacketCallback callback);
    int subscribe_to_noisemap_float(const std::string& name);
    int subscribe_to_noisemap_float();
    int subscribe_to_pulsedoppler_byte(const std::string& name, PacketCallback callback);
    int subscribe_to_pulsedoppler_byte(const std::string& name);
    int subscribe_to_pulsedoppler_byte();
    int subscribe_to_noisemap_byte(const std::string& name, PacketCallback callback);
    int subscribe_to_noisemap_byte(const std::string& name);
    int subscribe_to_noisemap_byte();

    int subscribe_to_resp_status(const std::string& name, PacketCallback callback);
    int subscribe_to_resp_status(const std::string& name);
    int subscribe_to_respiration_legacy();
    int subscribe_to_sleep_status(const std::string& name, PacketCallback callback);
    int subscribe_to_sleep_status(const std::string& name);
    int subscribe_to_respiration_sleep();

    int subscribe_to_respiration_movinglist(const std::string& name, PacketCallback callback);
    int subscribe_to_respiration_movinglist();
    int subscribe_to_respiration_detectionlist(const std::string& name, PacketCallback callback);
    int subscribe_to_respiration_detectionlist();
    int subscribe_to_respiration_normalizedmovementlist(const std::string& name, PacketCallback callback);
    int subscribe_to_respiration_normalizedmovementlist();

    int subscribe_to_sleepstage(const std::string& name, PacketCallback callback);
    int subscribe_to_sleepstage(const std::string& name);
    int subscribe_to_sleepstage();
    int subscribe_to_vital_signs(const std::string& name, PacketCallback callback);
    int subscribe_to_vital_signs(const std::string& name);
    int subscribe_to_vital_signs();

    int subscribe_to_radar_rf(const std::string& name, PacketCallback callback);
    int subscribe_to_radar_rf(const std::string& name);
    int subscribe_to_radar_rf();
    int subscribe_to_radar_rf_normalized(const std::string& name, PacketCallback callback);
    int subscribe_to_radar_rf_normalized(const std::string& name);
    int subscribe_to_radar_rf_normalized();
    int subscribe_to_radar_baseband_float(const std::string& name, PacketCallback callback);
    int subscribe_to_radar_baseband_float(const std::string& name);
    int subscribe_to_radar_baseband_float();
    int subscribe_to_radar_baseband_q15(const std::string& name, PacketCallback callback);
    int subscribe_to_radar_baseband_q15(const std::string& name);
    int subscribe_to_radar_baseband_q15();

    // Not subscribed by default.
    int subscribe_to_performance_status(const std::string& name, PacketCallback callback);
    int subscribe_to_performance_status(const std::string& name);
    int subscribe_to_radar_settings(const std::string& name, PacketCallback callback);
    int subscribe_to_radar_settings(const std::string& name);

    // A callback for every packet that starts with the prefix.
    int subscribe(const std::string& name, const Bytes& prefix, PacketCallback callback);

    // Subscribes the 23 default queues.
    int auto_subscribe();

    // Generic string and byte data: the next packet of the default queue,
    // its content id, info word and text or bytes (everything from byte 14).
    // 0, or 1 for a missing, short or foreign packet, which is consumed all
    // the same; outputs are written only on success, null ones skipped.
    int peek_message_data_string();
    int peek_message_data_byte();
    int read_message_data_string(unsigned* content_id, unsigned* info, std::string* text);
    int read_message_data_byte(unsigned* content_id, unsigned* info, Bytes* data);

    // ==== Module file system ================================================
    //
    // Files on the module, named by a type and an identifier that go to the
    // module unchanged. Every failure of these commands (an error reply, the
    // empty reply of a closed connection, a reply that does not decode or
    // holds less than it claims) is std::runtime_error "parse_reply failed in
    // <operation>", which carries no module code: their twins return 1. The
    // reply timeout passes through.

    void create_file(unsigned type, unsigned id, unsigned length);
    void open_file(unsigned type, unsigned id);
    void set_file_data(unsigned type, unsigned id, unsigned offset, const Bytes& data);
    // flag: true after writing the file, false after reading it.
    void close_file(unsigned type, unsigned id, bool flag);
    unsigned get_file_length(unsigned type, unsigned id);
    void delete_file(unsigned type, unsigned id);
    // The data bytes of the module's reply, as many as its length field gives.
    Bytes get_file_data(unsigned type, unsigned id, unsigned offset, unsigned length);
    void format_filesystem(unsigned value);
    // The identifiers of the module's files of that type.
    std::vector<int> search_for_file_by_type(unsigned type);
    // Of the n values of the reply the first n / 2 are the file types, the
    // others the identifiers.
    Sarvik::Files find_all_files();
    // Writes a whole file: create, the data in chunks of up to 256 bytes,
    // close. It sends no open.
    void set_file(unsigned type, unsigned id, const Bytes& data);
    // Reads a whole file: open, length, the data in chunks of up to 256
    // bytes, close. A corrupt file is never returned: a length above 64 MiB
    // and a chunk of another size than asked for fail the transfer. A
    // transfer that fails part-way sends no close, and the file may stay open
    // on the module.
    Bytes get_file(unsigned type, unsigned id);

    int create_file_no_throw(unsigned type, unsigned id, unsigned length);
    int open_file_no_throw(unsigned type, unsigned id);
    int delete_file_no_throw(unsigned type, unsigned id);
    int close_file_no_throw(unsigned type, unsigned id, bool flag);
    int format_filesystem_no_throw(unsigned value);
    int set_file_data_no_throw(unsigned type, unsigned id, unsigned offset, const Bytes& data);
    int set_file_no_throw(unsigned type, unsigned id, const Bytes& data);
    int get_file_length_no_throw(unsigned type, unsigned id, unsigned& length);
    int get_file_data_no_throw(unsigned type, unsigned id, unsigned offset, unsigned length, Bytes& data);
    int get_file_no_throw(unsigned type, unsigned id, Bytes& file);
    int search_for_file_by_type_no_throw(unsigned type, std::vector<int>& identifiers);
    int find_all_files_no_throw(Sarvik::Files& files);

    // ==== Frame injection and profile id ====================================
    //
    // Failures as in the file system: std::runtime_error "parse_reply failed
    // in <operation>" without a code.

    void prepare_inject_frame(unsigned a, unsigned b, unsigned c);
    // Sends a, n and the first 2 * n values of the frame. A frame of fewer
    // values is refused (std::invalid_argument) before anything is sent.
    void inject_frame(unsigned a, unsigned n, const std::vector<float>& frame);
    unsigned get_profileid();

    int prepare_inject_frame_no_throw(unsigned a, unsigned b, unsigned c);
    int inject_frame_no_throw(unsigned a, unsigned n, const std::vector<float>& frame);
    int get_profileid_no_throw(unsigned& profile_id);

    // ==== Message reading ===================================================
    //
    // For each kind: peek_message_<kind>() counts the packets in its default
    // queue (0 when it does not exist); read_message_<kind>() takes the
    // oldest and decodes it, throwing std::runtime_error "parser error of
    // ..." when the packet is missing, short or of another kind (it is
    // consumed all the same); get_<kind>_data(name) does so on any named
    // queue; the forms with a record pointer return 0 and fill the record, or
    // 1 and leave it untouched. Reads wait while the queue is empty: peek
    // first (see the note at the top).

    int peek_message_presence_single();
    Sarvik::PresenceSingleData read_message_presence_single();
    int read_message_presence_single(Sarvik::PresenceSingleData* out);
    int read_message_presence_single(unsigned int* frame_counter, unsigned int* presence_state,
        float* distance, unsigned char* direction, unsigned int* signal_quality);

    int peek_message_presence_movinglist();
    Sarvik::PresenceMovingListData read_message_presence_movinglist();
    int read_message_presence_movinglist(Sarvik::PresenceMovingListData* out);

    int peek_message_baseband_iq();
    Sarvik::BasebandIqData read_message_baseband_iq();
    int read_message_baseband_iq(Sarvik::BasebandIqData* out);
    Sarvik::BasebandIqData get_baseband_iq_data(std::string name);
    int get_baseband_iq_data(std::string name, Sarvik::BasebandIqData* out);

    int peek_message_baseband_ap();
    Sarvik::BasebandApData read_message_baseband_ap();
    int read_message_baseband_ap(Sarvik::BasebandApData* out);
    Sarvik::BasebandApData get_baseband_ap_data(std::string name);
    int get_baseband_ap_data(std::string name, Sarvik::BasebandApData* out);

    int peek_message_respiration_legacy();
    Sarvik::RespirationData read_message_respiration_legacy();
    int read_message_respiration_legacy(Sarvik::RespirationData* out);
    Sarvik::RespirationData get_respiration_data(std::string name);
    int get_respiration_data(std::string name, Sarvik::RespirationData* out);

    int peek_message_respiration_sleep();
    Sarvik::SleepData read_message_respiration_sleep();
    int read_message_respiration_sleep(Sarvik::SleepData* out);
    Sarvik::SleepData get_sleep_data(std::string name);
    int get_sleep_data(std::string name, Sarvik::SleepData* out);

    int peek_message_respiration_movinglist();
    Sarvik::RespirationMovingListData read_message_respiration_movinglist();
    int read_message_respiration_movinglist(Sarvik::RespirationMovingListData* out);

    int peek_message_respiration_detectionlist();
    Sarvik::RespirationDetectionListData read_message_respiration_detectionlist();
    int read_message_respiration_detectionlist(Sarvik::RespirationDetectionListData* out);

    int peek_message_respiration_normalizedmovementlist();
    Sarvik::RespirationNormalizedMovementListData read_message_respiration_normalizedmovementlist();
    int read_message_respiration_normalizedmovementlist(Sarvik::RespirationNormalizedMovementListData* out);

    int peek_message_vital_signs();
    Sarvik::VitalSignsData read_message_vital_signs();
    int read_message_vital_signs(Sarvik::VitalSignsData* out);

    int peek_message_sleepstage();
    Sarvik::SleepStageData read_message_sleepstage();
    int read_message_sleepstage(Sarvik::SleepStageData* out);

    int peek_message_radar_rf();
    Sarvik::RadarRfData read_message_radar_rf();
    int read_message_radar_rf(Sarvik::RadarRfData* out);
    Sarvik::RadarRfData get_radar_rf_data(std::string name);
    int get_radar_rf_data(std::string name, Sarvik::RadarRfData* out);

    int peek_message_radar_rf_normalized();
    Sarvik::RadarRfNormalizedData read_message_radar_rf_normalized();
    int read_message_radar_rf_normalized(Sarvik::RadarRfNormalizedData* out);
    Sarvik::RadarRfNormalizedData get_radar_rf_normalized_data(std::string name);
    int get_radar_rf_normalized_data(std::string name, Sarvik::RadarRfNormalizedData* out);

    int peek_message_radar_baseband_float();
    Sarvik::RadarBasebandFloatData read_message_radar_baseband_float();
    int read_message_radar_baseband_float(Sarvik::RadarBasebandFloatData* out);
    Sarvik::RadarBasebandFloatData get_radar_baseband_float_data(std::string name);
    int get_radar_baseband_float_data(std::string name, Sarvik::RadarBasebandFloatData* out);

    int peek_message_radar_baseband_q15();
    Sarvik::RadarBasebandQ15Data read_message_radar_baseband_q15();
    int read_message_radar_baseband_q15(Sarvik::RadarBasebandQ15Data* out);
    Sarvik::RadarBasebandQ15Data get_radar_baseband_q15_data(std::string name);
    int get_radar_baseband_q15_data(std::string name, Sarvik::RadarBasebandQ15Data* out);

    // Pulse-Doppler and noise map share their decoders, which accept either
    // content id: the queue alone decides what a packet is read as. The raw
    // forms hand the packet out undecoded.
    int peek_message_pulsedoppler_float();
    Sarvik::PulseDopplerFloatData read_message_pulsedoppler_float();
    int read_message_pulsedoppler_float(Sarvik::PulseDopplerFloatData* out);
    Sarvik::PulseDopplerFloatData get_pulsedoppler_float_data(std::string name);
    int get_pulsedoppler_float_data(std::string name, Sarvik::PulseDopplerFloatData* out);
    Bytes read_message_pulsedoppler_raw_float();
    Bytes get_pulsedoppler_raw_float_data(std::string name);

    int peek_message_pulsedoppler_byte();
    Sarvik::PulseDopplerByteData read_message_pulsedoppler_byte();
    int read_message_pulsedoppler_byte(Sarvik::PulseDopplerByteData* out);
    Sarvik::PulseDopplerByteData get_pulsedoppler_byte_data(std::string name);
    int get_pulsedoppler_byte_data(std::string name, Sarvik::PulseDopplerByteData* out);
    Bytes read_message_pulsedoppler_raw_byte();
    Bytes get_pulsedoppler_raw_byte_data(std::string name);

    int peek_message_noisemap_float();
    Sarvik::PulseDopplerFloatData read_message_noisemap_float();
    int read_message_noisemap_float(Sarvik::PulseDopplerFloatData* out);
    Sarvik::PulseDopplerFloatData get_noisemap_float_data(std::string name);
    int get_noisemap_float_data(std::string name, Sarvik::PulseDopplerFloatData* out);
    Bytes read_message_noisemap_raw_float();
    Bytes get_noisemap_raw_float_data(std::string name);

    int peek_message_noisemap_byte();
    Sarvik::PulseDopplerByteData read_message_noisemap_byte();
    int read_message_noisemap_byte(Sarvik::PulseDopplerByteData* out);
    Sarvik::PulseDopplerByteData get_noisemap_byte_data(std::string name);
    int get_noisemap_byte_data(std::string name, Sarvik::PulseDopplerByteData* out);
    Bytes read_message_noisemap_raw_byte();
    Bytes get_noisemap_raw_byte_data(std::string name);

    int peek_message_data_float();
    int peek_message_data_float(const std::string& name);
    Sarvik::DataFloat read_message_data_float();
    int read_message_data_float(Sarvik::DataFloat* out);

    // The status word of the oldest system-status message.
    int peek_message_system();
    unsigned int read_message_system();
    int read_message_system_no_throw(unsigned int* status);
    int subscribe_to_system_status();

    // The oldest float-data packet of the named queue as a normalized frame.
    RawNormalizedFrame get_raw_normalized_frame(const std::string& name) override;

    // One value of the older chip interface. A refused reply (an error packet
    // is not awaited: it ends in the timeout) throws std::runtime_error.
    float get_z3_float(uint32_t id) override;
    uint32_t get_z3_int(uint32_t id) override;

    // ==== Any kind of message of the catalogue ==============================
    //
    // The per-kind operations above are these under their own names; the
    // library's other interfaces and kinds added since use these directly. A
    // kind is a tag of MessageCatalogue.hpp (messages::VitalSigns), given as
    // the template argument or as its row (messages::VitalSigns::kind).

    // The kind's subscriptions, under its subscribe Trace: a callback, a
    // queue of the caller's name, its default queue. Each returns 0.
    int subscribe_to(const MessageKind& kind, const std::string& name, PacketCallback callback);
    int subscribe_to(const MessageKind& kind, const std::string& name);
    int subscribe_to(const MessageKind& kind);
    // Packets waiting in the kind's default queue; 0 when there is none.
    int peek(const MessageKind& kind);
    // The oldest packet of the named queue (without a name: of the kind's
    // default queue), decoded into the kind's public record under the kind's
    // reader Trace. A packet that is missing, short or of another kind throws
    // std::runtime_error "<reader failure><reader Trace>" and is consumed all
    // the same; a kind without a decoder hands the packet out as it is. The
    // forms with a record pointer return 0 and fill the record, or 1 and
    // leave it untouched. Reads wait while the queue is empty (see the note
    // at the top).
    template <typename Kind> typename Kind::Public read(const std::string& queue);
    template <typename Kind> typename Kind::Public read();
    template <typename Kind> int read(const std::string& queue, typename Kind::Public* out);
    template <typename Kind> int read(typename Kind::Public* out);

    // ==== Application settings and zones ====================================

    // Setters send every value whole and fail with SarvikException: either
    // with the text given and the module's code (the parser's for no proper
    // error reply: 2 for one too short, 5 for the empty reply of a closed
    // connection), or, where no text is given, as every acknowledged command
    // ("<method>: module reponded with QRB_SPR_ERROR" with the module's code,
    // "<method> response from module is empty"). Getters throw
    // std::runtime_error "parse_reply failed in <method>" for a refused
    // reply or one whose data is too short for the value, unless said
    // otherwise.

    // Switches the module, and after its acknowledgement the connection's
    // own port, to the rate; then waits 500 ms. SarvikException "set baud
    // rate command failed" leaves both at the old rate.
    void set_baudrate(uint32_t rate);
    int set_baudrate_no_throw(uint32_t rate);

    // SarvikException "set_parameter_file failed".
    void set_parameter_file(const std::string& filename, const std::string& text);
    // The file's text exactly as sent, a trailing zero included. A module
    // error is not awaited (it ends in the reply timeout); a refused reply
    // throws std::runtime_error "error receiving data in
    // get_parameter_file".
    std::string get_parameter_file(const std::string& filename);
    int set_parameter_file_no_throw(const std::string& filename, const std::string& text);
    int get_parameter_file_no_throw(const std::string& filename, std::string& text);

    // Processing settings.
    void set_normalization(uint8_t value);
    uint8_t get_normalization();
    // The byte is written but cannot be read back: the getter returns the
    // float.
    void set_phase_noise_correction(uint8_t value, float correction);
    float get_phase_noise_correction();
    void set_decimation_factor(uint32_t factor);
    uint32_t get_decimation_factor();
    void set_number_format(uint8_t format);
    uint8_t get_number_format();
    void set_legacy_output(uint8_t value);
    uint8_t get_legacy_output();
    int set_normalization_no_throw(uint8_t value);
    int get_normalization_no_throw(uint8_t* value);
    int set_phase_noise_correction_no_throw(uint8_t value, float correction);
    int get_phase_noise_correction_no_throw(float* correction);
    int set_decimation_factor_no_throw(uint32_t factor);
    int get_decimation_factor_no_throw(uint32_t* factor);
    int set_number_format_no_throw(uint8_t format);
    int get_number_format_no_throw(uint8_t* format);
    int set_legacy_output_no_throw(uint8_t value);
    int get_legacy_output_no_throw(uint8_t* value);

    // Zones: start and end. Setters and getters throw SarvikException
    // "<method> failed" with the module's or the parser's code (2 for a
    // reply too short for its floats); no getter checks which zone the reply
    // names.
    void set_detection_zone(float start, float end);
    std::pair<float, float> get_detection_zone();
    // The three limits in the order of the reply.
    std::tuple<float, float, float> get_detection_zone_limits();
    void set_application_user_zone(float start, float end);
    std::pair<float, float> get_application_user_zone();
    int set_detection_zone_no_throw(float start, float end);
    int get_detection_zone_no_throw(float* start, float* end);
    int get_detection_zone_limits_no_throw(float* first, float* second, float* third);
    int set_application_user_zone_no_throw(float start, float end);
    int get_application_user_zone_no_throw(float* start, float* end);

    // SarvikException "set_sensitivity failed".
    void set_sensitivity(uint32_t sensitivity);
    // Only the first data byte of the reply, widened.
    uint32_t get_sensitivity();
    // SarvikException "set_tx_center_frequency failed".
    void set_tx_center_frequency(uint32_t frequency);
    uint32_t get_tx_center_frequency();
    int set_sensitivity_no_throw(uint32_t sensitivity);
    int get_sensitivity_no_throw(uint32_t* sensitivity);
    int set_tx_center_frequency_no_throw(uint32_t frequency);
    int get_tx_center_frequency_no_throw(uint32_t* frequency);

    // ==== Noise map =========================================================

    // Store, load and delete the module's noise map, and its two settings.
    // The commands fail as every acknowledged command; the getters throw
    // std::runtime_error "parse_reply failed in <method>" for a refused reply
    // or one too short for its value.
    void store_noisemap();
    void load_noisemap();
    void delete_noisemap();
    void set_noisemap_control(uint32_t control);
    // Only the first data byte of the reply (the control word's low byte).
    uint32_t get_noisemap_control();
    void set_periodic_noisemap_store(uint32_t first, uint32_t second);
    std::pair<uint32_t, uint32_t> get_periodic_noisemap_store();
    int store_noisemap_no_throw();
    int load_noisemap_no_throw();
    int delete_noisemap_no_throw();
    int set_noisemap_control_no_throw(uint32_t control);
    int get_noisemap_control_no_throw(uint32_t* control);
    int set_periodic_noisemap_store_no_throw(uint32_t first, uint32_t second);
    int get_periodic_noisemap_store_no_throw(uint32_t* first, uint32_t* second);

    // ==== IO pins and output control ========================================

    // IO pins, data outputs (selected by the content id of their message)
    // and debug outputs. The setters fail as every acknowledged command; the
    // getters throw std::runtime_error "parse_reply failed in <method>" for
    // a refused reply or one too short for its value, except
    // get_iopin_control (see there). No getter checks the pin or selector
    // named in the reply.
    void set_iopin_control(uint32_t pin, uint32_t first, uint32_t second);
    // SarvikException "get_iopin_control failed" with the module's or the
    // parser's code.
    std::pair<uint32_t, uint32_t> get_iopin_control(uint32_t pin);
    void set_iopin_value(uint32_t pin, uint32_t value);
    uint32_t get_iopin_value(uint32_t pin);
    void set_output_control(uint32_t output, uint32_t control);
    // Only the first data byte of the reply (the low byte).
    uint32_t get_output_control(uint32_t output);
    void set_debug_output_control(uint32_t output, uint32_t control);
    // Only the first data byte of the reply (the low byte).
    uint32_t get_debug_output_control(uint32_t output);
    int set_iopin_control_no_throw(uint32_t pin, uint32_t first, uint32_t second);
    int get_iopin_control_no_throw(uint32_t pin, uint32_t* first, uint32_t* second);
    int set_iopin_value_no_throw(uint32_t pin, uint32_t value);
    int get_iopin_value(uint32_t pin, uint32_t* value);
    int set_output_control_no_throw(uint32_t output, uint32_t control);
    int get_output_control_no_throw(uint32_t output, uint32_t* control);
    int set_debug_output_control_no_throw(uint32_t output, uint32_t control);
    int get_debug_output_control_no_throw(uint32_t output, uint32_t* control);

    // ==== Profiles, output switches and module lifecycle ====================

    // The module's pong value, or 1 for an error reply, a short pong or the
    // empty reply of a closed connection.
    uint32_t ping() override;
    // Restarts the module; the connection is left as it is (reset()
    // reconnects). Fails as handle_ack does.
    void module_reset();
    // SarvikException "load profile failed" with the module's or the
    // parser's code.
    void load_profile(uint32_t profile_id);
    void load_sleep_profile(); // 0x00F17B17
    void load_respiration_profile(); // 0x1423A2D6
    // kind 1 is the I/Q baseband output, 2 amplitude/phase; disabling sends
    // no kind. SarvikException "enable baseband failed" / "disable baseband
    // failed" (code 1) for an empty or error reply.
    void enable_baseband(int kind, bool enable);
    void enable_baseband_ap();
    void disable_baseband_ap();
    void enable_baseband_iq();
    void disable_baseband_iq();
    // SarvikException "<method> failed" with the module's or the parser's
    // code.
    void enable_resp_output();
    void disable_resp_output();
    void reset_to_factory_preset();
    // The self test: 0 with the reply's data in *result, or 1 with *result
    // untouched for a refused reply (a plain acknowledgement included). The
    // reply timeout passes through.
    int system_run_test(uint8_t code, Bytes* result);
    // Sends the module into its bootloader with the key; fails as every
    // acknowledged command.
    void start_bootloader(unsigned int key);
    // Tries the key 0x3F6C2B94, then, after any failure of that, 0x7D41C0A3;
    // only the second attempt's failure reaches the caller.
    void start_bootloader();
    int load_profile_no_throw(uint32_t profile_id);
    int load_sleep_profile_no_throw();
    int load_respiration_profile_no_throw();
    // Always enables.
    int enable_baseband_no_throw(int kind);
    int enable_baseband_ap_no_throw();
    int disable_baseband_ap_no_throw();
    int enable_baseband_iq_no_throw();
    int disable_baseband_iq_no_throw();
    int enable_resp_output_no_throw();
    int disable_resp_output_no_throw();
    int reset_to_factory_preset_no_throw();
    int module_reset_no_throw();
    int start_bootloader_no_throw();
    // ping()'s twin: the pong value in *pong. A ping without any answer (a
    // closed connection) fails with SarvikException "ping response from
    // module is empty" (code 1) rather than reading as the pong 1.
    int ping(uint32_t* pong);

    // ==== Z7 chip driver commands ===========================================
    //
    // The setters await an ack or an error and fail as handle_ack does: the
    // module's error code in a SarvikException. The readers await {0x11, the
    // value's type, the low byte of the parameter id} or an error; an error
    // or empty reply throws std::runtime_error "parse_reply failed in
    // <method>" without a code, and so does a reply with too few data bytes
    // for its value. Bulk reads return every data byte of the reply.

    void z7driver_init();
    void z7driver_set_fps(float fps);
    void z7driver_set_pulsesperstep(uint32_t value);
    void z7driver_set_iterations(uint32_t value);
    void z7driver_set_downconversion(uint8_t value);
    void z7driver_set_frame_area(float start, float end);
    void z7driver_set_dac_min(uint32_t value);
    void z7driver_set_dac_max(uint32_t value);
    void z7driver_set_frame_area_offset(float offset);
    void z7driver_set_enable(uint8_t value);
    void z7driver_set_tx_center_frequency(uint8_t value);
    void z7driver_set_tx_power(uint8_t value);
    void z7driver_set_spi_register(uint8_t address, uint8_t value);
    void z7driver_set_pif_register(uint8_t address, uint8_t value);
    void z7driver_set_xif_register(uint8_t address, uint8_t value);
    void z7driver_set_prf_div(uint8_t value);
    void z7driver_write_to_spi_register(uint8_t address, const Bytes& data);
    void z7driver_write_to_i2c_register(uint8_t address, const Bytes& data);

    float z7driver_get_fps();
    uint32_t z7driver_get_pulsesperstep();
    uint32_t z7driver_get_iterations();
    uint8_t z7driver_get_downconversion();
    Sarvik::FrameArea z7driver_get_frame_area();
    uint32_t z7driver_get_dac_min();
    uint32_t z7driver_get_dac_max();
    float z7driver_get_frame_area_offset();
    uint8_t z7driver_get_tx_center_frequency();
    uint8_t z7driver_get_tx_power();
    uint8_t z7driver_get_spi_register(uint8_t address);
    uint8_t z7driver_get_pif_register(uint8_t address);
    uint8_t z7driver_get_xif_register(uint8_t address);
    uint8_t z7driver_get_prf_div();
    uint32_t z7driver_get_frame_bin_count();
    // The length goes to the module unchanged.
    Bytes z7driver_read_from_spi_register(uint8_t address, uint32_t length);
    Bytes z7driver_read_from_i2c_register(uint32_t length);

    int z7driver_init_no_throw();
    int z7driver_set_fps_no_throw(float fps);
    int z7driver_set_frame_area_offset_no_throw(float offset);
    int z7driver_set_frame_area_no_throw(float start, float end);
    int z7driver_set_iterations_no_throw(uint32_t value);
    int z7driver_set_pulsesperstep_no_throw(uint32_t value);
    int z7driver_set_dac_min_no_throw(uint32_t value);
    int z7driver_set_dac_max_no_throw(uint32_t value);
    int z7driver_set_downconversion_no_throw(uint8_t value);
    int z7driver_set_enable_no_throw(uint8_t value);
    int z7driver_set_tx_center_frequency_no_throw(uint8_t value);
    int z7driver_set_tx_power_no_throw(uint8_t value);
    int z7driver_set_prf_div_no_throw(uint8_t value);
    int z7driver_set_spi_register_no_throw(uint8_t address, uint8_t value);
    int z7driver_set_pif_register_no_throw(uint8_t address, uint8_t value);
    int z7driver_set_xif_register_no_throw(uint8_t address, uint8_t value);
    int z7driver_write_to_spi_register_no_throw(uint8_t address, const Bytes& data);
    int z7driver_write_to_i2c_register_no_throw(uint8_t address, const Bytes& data);
    int z7driver_get_iterations_no_throw(uint32_t* value);
    int z7driver_get_pulsesperstep_no_throw(uint32_t* value);
    int z7driver_get_dac_min_no_throw(uint32_t* value);
    int z7driver_get_dac_max_no_throw(uint32_t* value);
    int z7driver_get_frame_bin_count_no_throw(uint32_t* value);
    int z7driver_get_downconversion_no_throw(uint8_t* value);
    int z7driver_get_tx_center_frequency_no_throw(uint8_t* value);
    int z7driver_get_tx_power_no_throw(uint8_t* value);
    // Four twins bear the reader's own name.
    int z7driver_get_prf_div(uint8_t* value);
    int z7driver_get_fps_no_throw(float* fps);
    int z7driver_get_frame_area_offset(float* offset);
    int z7driver_get_spi_register_no_throw(uint8_t address, uint8_t* value);
    int z7driver_get_pif_register(uint8_t address, uint8_t* value);
    int z7driver_get_xif_register(uint8_t address, uint8_t* value);
    int z7driver_get_frame_area_no_throw(Sarvik::FrameArea* area);
    // The result replaces the vector's contents.
    int z7driver_read_from_spi_register_no_throw(uint8_t address, Bytes* data, uint32_t length);
    int z7driver_read_from_i2c_register_no_throw(Bytes* data, uint32_t length);

    // ==== Direct chip and system commands ===================================
    //
    // These await one answer prefix only: a module error packet is never the
    // answer, so a refused command ends in the reply timeout.

    // SarvikException "set_debug_level returned error" (code 1) for an empty
    // answer.
    void set_debug_level(uint8_t level) override;
    // The answer's value, or 1 for an answer that is empty or carries no
    // value.
    int set_Z3_float(uint32_t id, float value) override;
    int set_Z3_int(uint32_t id, uint32_t value) override;
    int set_Z3_register(uint32_t address, uint32_t value) override;
    // std::runtime_error "parse_reply failed in get_z3_register" for a
    // refused or short answer.
    uint32_t get_z3_register(uint32_t address) override;
    // Waits 70 seconds for its answer, whatever the default timeout.
    int run_timing_measurement() override;
    // 0 once acknowledged; 1 for an empty answer (a closed connection).
    int set_fps(uint32_t fps) override;
    // std::runtime_error "parser error of reply in
    // capture_single_normalized_frame" for a refused or short answer.
    RawNormalizedFrame capture_single_normalized_frame() override;
    // set_sensor_mode_and_submode(mode, 0).
    void set_sensor_mode(uint8_t mode) override;
    // 0 once acknowledged; 1 for an empty answer (a closed connection).
    int system_run_test(uint8_t code) override;

    int set_debug_level_no_throw(uint8_t level);

    // The module's system configuration values: 0 once acknowledged, 1 for an
    // empty answer (a closed connection).
    int set_sys_config_int(uint32_t id, uint32_t value);
    int set_sys_config_float(uint32_t id, float value);

    // The Z7 chip's pins, SPI registers and frame rate. The setters return 0 once answered and 1 for an empty
    // answer (a closed connection); the readers return the first data byte of the answer and throw
    // std::runtime_error for an answer without one.
    uint8_t get_z7_io_pin_value(uint8_t pin);
    int set_z7_io_pin_value(uint8_t pin, uint8_t value);
    int set_z7_io_pin_mode(uint8_t pin, uint8_t mode);
    int set_z7_io_pin_dir(uint8_t pin, uint8_t direction);
    int set_z7_io_pin_enable(uint8_t pin);
    int set_z7_io_pin_disable(uint8_t pin);
    uint8_t read_z7_spi(uint8_t address);
    // Sets bit 7 of the address, which marks the write.
    int write_z7_spi(uint8_t address, uint8_t value);
    int set_z7_fps(uint32_t fps);

    // A queue under the name for the chip's decimated frames (raw length
    // packets, 0x51). Returns 0.
    int subscribe_to_z7_desim(const std::string& name);
    // Takes the oldest frame of the named queue (waiting while it is empty,
    // see the note at the top), stores its counter and its 48-bit signed
    // samples as doubles: 0, or 1 for a packet of another kind, one too short
    // for its header, or more samples than `capacity` (the counter is stored
    // all the same). The packet is consumed in every case.
    int get_z7_decim_frame(
        const std::string& name, uint32_t* frame_counter, double* samples, uint32_t capacity);

protected:
    // The wait of reset() for the module to come back: 3 seconds.
    virtual void pause_before_reconnect();
    // The older commands' exchange: sends the command and waits at most
    // `timeout` seconds for an answer that starts with the one prefix. Tests
    // see through it which timeout a command waits with.
    virtual Bytes exchange_single(const Bytes& command, Bytes reply_prefix, unsigned timeout);

private:
    // Runs call() through try_and_catch and, only when it returned, moves
    // its result into the outputs (see TwinOutputs.hpp). Every twin is one
    // call of this.
    template <typename Call, typename... Outs> int no_throw(Call&& call, Outs&&... outs)
    {
        return try_and_catch([&] {
            if constexpr (sizeof...(Outs) == 0)
                call();
            else
                twin_outputs::store_all(call(), outs...);
        });
    }

    // ---- commands as rows (CommandRow.hpp) ----------------------------------

    // Sends the command with the default timeout, awaiting the row's replies,
    // and judges the answer as the row says, all under the row's Trace.
    void set(const CommandRow& row, const Bytes& command);
    // The same for a getter: the value of type T read from its reply's data
    // (ReplyValue.hpp), or the row's failure.
    template <typename T> T get(const CommandRow& row, const Bytes& command);

    // A getter's exchange: the data of its reply, which must hold at least
    // `needed` bytes; otherwise refused, with the module's or the decoder's
    // code.
    struct ReplyData {
        bool refused;
        uint32_t code;
        Bytes data;
    };
    ReplyData reply_data(const CommandRow& row, const Bytes& command, std::size_t needed);
    // The data of a getter's reply whose length field counts items of
    // `item_size` bytes, or the row's failure; a reply too short to carry its
    // length field is refused.
    Bytes get_items(const CommandRow& row, const Bytes& command, unsigned item_size);
    ReplyData exchange_for_reply(const CommandRow& row, const Bytes& command, std::size_t needed,
        unsigned item_size, bool whole_header);
    // A setter's answer judged as the row says.
    void judge(const CommandRow& row, const Bytes& answer) const;
    // A getter's failure, as the row says.
    [[noreturn]] void refuse(const CommandRow& row, uint32_t code) const;
    // The older commands' exchange (exchange_single) under the row's Trace,
    // awaiting the row's one reply.
    Bytes answer(const CommandRow& row, const Bytes& command, unsigned timeout);
    Bytes answer(const CommandRow& row, const Bytes& command)
    {
        return answer(row, command, default_timeout);
    }

    // ---- messages of the catalogue (MessageCatalogue.hpp) -------------------

    // read<Kind>(queue) under another Trace: the name of the caller's own
    // reader, which its failure text carries as well.
    template <typename Kind>
    typename Kind::Public read_traced(const char* trace_name, const std::string& queue);
    // The oldest packet of the queue, undecoded, under the Trace.
    Bytes read_raw(const char* trace_name, const std::string& queue);

    AbstractIo& io;
    AbstractFactory& factory;
    std::string device_name;
    Logger& logger;
    CommunicatorSlot communicator;
    Commands commands;
    Parser parser;
    unsigned default_timeout;
};
