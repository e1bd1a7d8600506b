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
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Bytes.hpp"
#include "SarvikData.hpp"
#include "Z3.hpp"
#include "command/CommunicatorSlot.hpp"
#include "command/TwinOutputs.hpp"
#include "protocol/Commands.hpp"
#include "protocol/ParseResult.hpp"
#include "protocol/Parser.hpp"

class AbstractFactory;
class AbstractIo;
class Logger;

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
    // Writes the bytes unchanged, with no framing and no wait. Returns 0.
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
    // changed).
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

    // ==== Frame injection and profile id ====================================

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
    int read_message_presence_single(unsigned int* frame_counter, unsigned int* presence_state, float* distance,
        unsigned char* direction, unsigned int* signal_quality);

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

    // ==== Application settings and zones ====================================

    // ==== Noise map =========================================================

    // ==== IO pins and output control ========================================

    // ==== Profiles, output switches and module lifecycle ====================

    // The module's pong value, or 1 for an error reply or a short pong.
    uint32_t ping() override;
    // Restarts the module; the connection is left as it is (reset()
    // reconnects). Fails as handle_ack does.
    void module_reset();

    // ==== Z7 chip driver commands ===========================================

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

protected:
    // The wait of reset() for the module to come back: 3 seconds.
    virtual void pause_before_reconnect();

private:
    // Runs call() through try_and_catch and, only when it returned, moves
    // its result into the outputs (see TwinOutputs.hpp). Every twin is one
    // call of this.
    template <typename Call, typename... Outs>
    int no_throw(Call&& call, Outs&&... outs)
    {
        return try_and_catch([&] {
            if constexpr (sizeof...(Outs) == 0)
                call();
            else
                twin_outputs::store_all(call(), outs...);
        });
    }

    // A decoding reader: takes the oldest packet of the queue, decodes it
    // with the parser function, checks that the record's arrays lie inside
    // the packet and copies it into its public record. A refused packet
    // throws std::runtime_error error_prefix + trace_name.
    template <typename Codec>
    auto read_decoded(const char* trace_name, const std::string& queue, const char* error_prefix,
        int (Parser::*decode)(const Parser::Packet&, ParseResult<Codec>*) const);

    // A raw reader: the oldest packet of the queue, unexamined.
    Bytes read_raw(const char* trace_name, const std::string& queue);

    int subscribe_queue(const char* trace_name, const std::string& name, Bytes prefix);
    int subscribe_callback(const char* trace_name, const std::string& name, PacketCallback callback, Bytes prefix);

    // The reply decoded, or nothing when the parser refuses it. Its data
    // points into the packet.
    std::optional<Reply> decode_reply(const Bytes& packet) const;
    // The answer value of the older system commands.
    int answer_value(const Bytes& answer) const;
    // Sends with the default timeout, taking a reply that starts with any of
    // the prefixes.
    Bytes exchange(const Bytes& command, std::vector<Bytes> reply_prefixes);
    // The older commands' exchange: one prefix.
    Bytes exchange_single(const Bytes& command, Bytes reply_prefix, unsigned timeout);

    AbstractIo& io;
    AbstractFactory& factory;
    std::string device_name;
    Logger& logger;
    CommunicatorSlot communicator;
    Commands commands;
    Parser parser;
    unsigned default_timeout;

    std::string baseband_ap_queue_name;
    std::string baseband_iq_queue_name;
    std::string pulsedoppler_float_queue_name;
    std::string noisemap_float_queue_name;
    std::string pulsedoppler_byte_queue_name;
    std::string noisemap_byte_queue_name;
    std::string data_float_queue_name;
    std::string data_string_queue_name;
    std::string data_byte_queue_name;
    std::string system_status_queue_name;
    std::string resp_status_queue_name;
    std::string sleep_status_queue_name;
    std::string respiration_movinglist_queue_name;
    std::string respiration_detectionlist_queue_name;
    std::string respiration_normalizedmovementlist_queue_name;
    std::string vital_signs_queue_name;
    std::string sleepstage_queue_name;
    std::string radar_rf_queue_name;
    std::string radar_rf_normalized_queue_name;
    std::string radar_baseband_float_queue_name;
    std::string radar_baseband_q15_queue_name;
};
