#include "support/PlaybackSession.hpp"

#include "support/IndexFileWriter.hpp"
#include "support/TestSupport.hpp"

#include <bitset>
#include <map>

namespace testsupport {

namespace {

std::string data_file_name(uint32_t data_type)
{
    return "sarvik_" + std::to_string(data_type) + (data_type == sleep_stage_type ? ".csv" : ".dat");
}

} // namespace

std::string write_session(
    const std::string& directory, const std::vector<StoredRecord>& records, uint32_t duration)
{
    IndexFileWriter writer(directory, playback_session_id, playback_session_start);
    std::map<uint32_t, uint32_t> files;
    for (const StoredRecord& record : records) {
        const bool user_header = std::bitset<32>(record.data_type).count() == 31;
        const uint32_t type = user_header ? ~record.data_type : record.data_type;
        auto file = files.find(type);
        if (file == files.end())
            file = files.emplace(type, writer.add_data_file(data_file_name(type))).first;
        writer.write(
            file->second, record.data_type, Bytes(record.bytes.begin(), record.bytes.end()), record.at);
    }
    for (const auto& [type, file] : files)
        writer.close_data_file(file, type, duration);
    return writer.finish("sarvik_recording_meta.dat", duration);
}

std::vector<StoredRecord> byte_records(int count, uint32_t step)
{
    std::vector<StoredRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back({ byte_data_type, "r" + std::to_string(i), static_cast<uint32_t>(i) * step });
    return records;
}

std::vector<std::string> byte_labels(int count)
{
    std::vector<std::string> labels;
    for (int i = 0; i < count; ++i)
        labels.push_back("r" + std::to_string(i));
    return labels;
}

std::string label(const Bytes& packet)
{
    if (packet.size() >= 2 && packet[0] == 0xA0 && packet[1] == 0x10)
        return std::string(packet.begin() + 2, packet.end());
    const Bytes stage_head = hex("50 02 3a 08 41");
    if (packet.size() == 17 && std::equal(stage_head.begin(), stage_head.end(), packet.begin()))
        return "stage" + std::to_string(packet[5] | packet[6] << 8 | packet[7] << 16 | packet[8] << 24);
    return to_hex(packet);
}

std::vector<std::string> labels(const std::vector<Bytes>& packets)
{
    std::vector<std::string> result;
    for (const Bytes& packet : packets)
        result.push_back(label(packet));
    return result;
}

} // namespace testsupport
