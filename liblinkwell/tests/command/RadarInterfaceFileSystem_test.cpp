// The module's file system: every single operation with its exact bytes, the
// reply it takes and every way it fails (none carries a module code), bounds
// on what a reply claims, and whole files moved in chunks, over the
// simulated module.
#include "support/CommandTestKit.hpp"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

using namespace commandtest;
using simmodule::get_reply;
using simmodule::u32_reply;

namespace {

using R = RadarInterface;

constexpr uint32_t file_type = 0x0C;
constexpr uint32_t file_id = 0x0102;

std::string joined_text(const std::vector<int>& values)
{
    std::string out;
    for (size_t i = 0; i < values.size(); ++i)
        out += (i ? "," : "") + std::to_string(values[i]);
    return out;
}

std::string joined_text(const Sarvik::Files& files)
{
    return joined_text(files.file_types) + "|" + joined_text(files.file_identifiers);
}

uint32_t u32_in(const Bytes& command, size_t at)
{
    return uint32_t(command[at]) | uint32_t(command[at + 1]) << 8 | uint32_t(command[at + 2]) << 16
        | uint32_t(command[at + 3]) << 24;
}

// A recognisable file content of the given size.
Bytes pattern(size_t size)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 256);
    return data;
}

// ---- single operations ------------------------------------------------------

// A command that awaits an ack: whatever refuses it, the failure is a plain
// runtime error without the module's code.
template <typename Call, typename Twin>
Command acknowledged_file_operation(
    const std::string& operation, const std::string& payload, Call call, Twin status_form)
{
    return { operation, calls(call), twin(status_form), hex(payload), hex("10"), "ok", Check::ReplyRuntime,
        "parse_reply failed in " + operation, operation };
}

Command labelled(Command command, const std::string& label)
{
    command.label = label;
    return command;
}

// A twin whose output is a list or a file list, taken by reference, rendered
// as the throwing form's joined text.
template <typename Out, typename Twin>
std::function<TwinResult(RadarInterface&)> twin_joined(Out before, Twin status_form)
{
    return [before, status_form](RadarInterface& r) {
        Out out = before;
        TwinResult result;
        result.status = status_form(r, out);
        result.outputs = render(joined_text(out));
        result.untouched = joined_text(out) == joined_text(before);
        return result;
    };
}

const std::vector<Command>& file_table()
{
    static const std::vector<Command> table {
        acknowledged_file_operation(
            "create_file", "90 66 0c 00 00 00 02 01 00 00 58 02 00 00",
            [](R& r) { r.create_file(file_type, file_id, 600); },
            [](R& r) { return r.create_file_no_throw(file_type, file_id, 600); }),
        acknowledged_file_operation(
            "open_file", "90 72 0c 00 00 00 02 01 00 00", [](R& r) { r.open_file(file_type, file_id); },
            [](R& r) { return r.open_file_no_throw(file_type, file_id); }),
        acknowledged_file_operation(
            "set_file_data", "90 67 0c 00 00 00 02 01 00 00 00 01 00 00 02 00 00 00 aa 7e",
            [](R& r) {
                r.set_file_data(file_type, file_id, 256, { 0xAA, 0x7E });
            },
            [](R& r) {
                return r.set_file_data_no_throw(file_type, file_id, 256, { 0xAA, 0x7E });
            }),
        labelled(acknowledged_file_operation(
                     "close_file", "90 68 0c 00 00 00 02 01 00 00 01 00 00 00",
                     [](R& r) { r.close_file(file_type, file_id, true); },
                     [](R& r) { return r.close_file_no_throw(file_type, file_id, true); }),
            "close_file_after_writing"),
        labelled(acknowledged_file_operation(
                     "close_file", "90 68 0c 00 00 00 02 01 00 00 00 00 00 00",
                     [](R& r) { r.close_file(file_type, file_id, false); },
                     [](R& r) { return r.close_file_no_throw(file_type, file_id, false); }),
            "close_file_after_reading"),
        acknowledged_file_operation(
            "delete_file", "90 70 0c 00 00 00 02 01 00 00", [](R& r) { r.delete_file(file_type, file_id); },
            [](R& r) { return r.delete_file_no_throw(file_type, file_id); }),
        acknowledged_file_operation(
            "format_filesystem", "90 73 a5 00 00 00", [](R& r) { r.format_filesystem(0xA5); },
            [](R& r) { return r.format_filesystem_no_throw(0xA5); }),
        { "get_file_length", calls([](R& r) { return r.get_file_length(file_type, file_id); }),
            twin_out<uint32_t>(
                [](R& r, uint32_t* o) { return r.get_file_length_no_throw(file_type, file_id, *o); }),
            hex("90 69 0c 00 00 00 02 01 00 00"), u32_reply(0x69, 600), "600", Check::ReplyRuntime,
            "parse_reply failed in get_file_length", "get_file_length", get_reply(0x11, 0x69, { 0x58, 0x02 }),
            get_reply(0x10, 0x69, { 1 }) },
        { "get_file_data", calls([](R& r) { return r.get_file_data(file_type, file_id, 256, 3); }),
            twin_out<Bytes>(
                [](R& r, Bytes* o) { return r.get_file_data_no_throw(file_type, file_id, 256, 3, *o); }),
            hex("90 71 0c 00 00 00 02 01 00 00 00 01 00 00 03 00 00 00"), get_reply(0x10, 0x71, { 1, 2, 3 }),
            "[01 02 03]", Check::ReplyRuntime, "parse_reply failed in get_file_data", "get_file_data",
            hex("11 10 71 00 00 00 00 00 00 00 04 00 00 00 01 02 03"), u32_reply(0x71, 9) },
        // Three values read from twelve data bytes; the type is sent alone.
        { "search_for_file_by_type", calls([](R& r) { return joined_text(r.search_for_file_by_type(7)); }),
            twin_joined(std::vector<int> { -5 },
                [](R& r, std::vector<int>& o) { return r.search_for_file_by_type_no_throw(7, o); }),
            hex("90 64 07 00 00 00"), list_reply(0x64, { 10, 11, 0xFFFFFFFF }), render("10,11,-1"),
            Check::ReplyRuntime, "parse_reply failed in search_for_file_by_type", "search_for_file_by_type",
            list_reply(0x64, { 10, 11 }, 3), get_reply(0x10, 0x64, { 1 }) },
        // Five values: the first two are types, the other three identifiers.
        { "find_all_files", calls([](R& r) { return joined_text(r.find_all_files()); }),
            twin_joined(Sarvik::Files { { -5 }, {} },
                [](R& r, Sarvik::Files& o) { return r.find_all_files_no_throw(o); }),
            hex("90 65"), list_reply(0x65, { 1, 2, 10, 11, 12 }), render("1,2|10,11,12"), Check::ReplyRuntime,
            "parse_reply failed in find_all_files", "find_all_files", list_reply(0x65, { 10 }, 2),
            get_reply(0x10, 0x65, { 1 }) },
        { "find_all_files_when_there_are_none", calls([](R& r) { return joined_text(r.find_all_files()); }),
            twin_joined(Sarvik::Files { { -5 }, {} },
                [](R& r, Sarvik::Files& o) { return r.find_all_files_no_throw(o); }),
            hex("90 65"), list_reply(0x65, {}), render("|"), Check::ReplyRuntime,
            "parse_reply failed in find_all_files", "find_all_files" },
    };
    return table;
}

class FileOperations : public ::testing::TestWithParam<CommandCase> { };

TEST_P(FileOperations, SendExactlyAndJudgeTheReply)
{
    run_command(*GetParam().command, GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Table, FileOperations, ::testing::ValuesIn(cases_of(file_table())), case_name);

// A file-system failure carries no code, so the twins report it silently.
TEST(FileOperationFailures, AreNotLoggedAsModuleErrors)
{
    SimulatedConnection connection;
    connection.module().add_rule(Rule({ 0x90 }).error(42));
    EXPECT_EQ(1, connection.radar().delete_file_no_throw(1, 2));
    EXPECT_TRUE(connection.log().errors().empty()) << testsupport::dump(connection.log());
}

// ---- replies that claim more than they carry ----------------------------------

struct BoundsCase {
    std::string label;
    std::function<void(RadarInterface&)> call;
    std::string operation;
    Bytes reply;
};

void PrintTo(const BoundsCase& c, std::ostream* os)
{
    *os << c.label;
}

std::vector<BoundsCase> bounds_cases()
{
    return {
        // 4 x 0x40000001 wraps to 4 in 32 bits; the span is counted in 64.
        { "FindAllFilesHugeCount", [](R& r) { r.find_all_files(); }, "find_all_files",
            list_reply(0x65, { 1, 2 }, 0x40000001) },
        { "SearchHugeCount", [](R& r) { r.search_for_file_by_type(1); }, "search_for_file_by_type",
            list_reply(0x64, { 1 }, 0xC0000000) },
        // A header without a length field: no data at all.
        { "FileLengthWithoutData", [](R& r) { r.get_file_length(1, 2); }, "get_file_length",
            hex("11 11 69 00 00 00 00 00 00 00") },
    };
}

class FileReplyBounds : public ::testing::TestWithParam<BoundsCase> { };

TEST_P(FileReplyBounds, AreRefusedNotReadPast)
{
    const BoundsCase& c = GetParam();
    SimulatedConnection connection;
    connection.module().add_rule(Rule({ 0x90 }).reply(c.reply));
    EXPECT_EQ(runtime("parse_reply failed in " + c.operation), outcome([&] { c.call(connection.radar()); }));
}

INSTANTIATE_TEST_SUITE_P(Each, FileReplyBounds, ::testing::ValuesIn(bounds_cases()),
    [](const auto& param_info) { return param_info.param.label; });

// ---- whole files --------------------------------------------------------------

// The module's side of whole-file transfers: files kept in memory, written
// by create, data and close, read by open, length and data. Chunk replies can
// be spoiled to test the host's checks. The rules share the files with this
// object, so they stay valid for as long as the module may run them.
class FileStore {
public:
    explicit FileStore(simmodule::SimModule& module)
    {
        auto state = state_;
        module.add_rule(Rule({ 0x90, 0x66 }).reply_with([state](const Bytes& c) {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->files[key(c)] = Bytes(u32_in(c, 10));
            return std::vector<Bytes> { simmodule::ack_reply() };
        }));
        module.add_rule(Rule({ 0x90, 0x67 }).reply_with([state](const Bytes& c) {
            std::lock_guard<std::mutex> lock(state->mutex);
            Bytes& file = state->files[key(c)];
            const uint32_t offset = u32_in(c, 10);
            const uint32_t count = u32_in(c, 14);
            if (c.size() != 18 + count || offset + count > file.size())
                return std::vector<Bytes> { simmodule::error_reply(3) };
            std::copy(c.begin() + 18, c.end(), file.begin() + offset);
            return std::vector<Bytes> { simmodule::ack_reply() };
        }));
        module.add_rule(Rule({ 0x90, 0x68 }).ack());
        module.add_rule(Rule({ 0x90, 0x72 }).ack());
        module.add_rule(Rule({ 0x90, 0x69 }).reply_with([state](const Bytes& c) {
            std::lock_guard<std::mutex> lock(state->mutex);
            const auto size = static_cast<uint32_t>(state->files[key(c)].size());
            return std::vector<Bytes> { simmodule::u32_reply(
                0x69, state->reported_length ? state->reported_length : size) };
        }));
        module.add_rule(Rule({ 0x90, 0x71 }).reply_with([state](const Bytes& c) {
            std::lock_guard<std::mutex> lock(state->mutex);
            const Bytes& file = state->files[key(c)];
            const uint32_t offset = std::min<uint32_t>(u32_in(c, 10), static_cast<uint32_t>(file.size()));
            const uint32_t count
                = std::min<uint32_t>(u32_in(c, 14), static_cast<uint32_t>(file.size()) - offset);
            Bytes chunk(file.begin() + offset, file.begin() + offset + count);
            if (state->spoil)
                state->spoil(offset, chunk);
            return std::vector<Bytes> { simmodule::get_reply(0x10, 0x71, chunk) };
        }));
    }

    void put(const Bytes& data)
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->files[{ file_type, file_id }] = data;
    }
    Bytes get() const
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->files[{ file_type, file_id }];
    }
    // Changes the chunk sent for an offset.
    void spoil(std::function<void(uint32_t offset, Bytes& chunk)> f)
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->spoil = std::move(f);
    }
    // Reports this length whatever the file holds.
    void report_length(uint32_t length)
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->reported_length = length;
    }

private:
    struct State {
        std::mutex mutex;
        std::map<std::pair<uint32_t, uint32_t>, Bytes> files;
        std::function<void(uint32_t, Bytes&)> spoil;
        uint32_t reported_length = 0;
    };

    static std::pair<uint32_t, uint32_t> key(const Bytes& c) { return { u32_in(c, 2), u32_in(c, 6) }; }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// The commands the module received, by their operation byte and, for the
// data commands, offset and size: "66 600", "67 0+256", "68 1" ...
std::vector<std::string> transfer(const simmodule::SimModule& module)
{
    std::vector<std::string> steps;
    for (const Bytes& c : module.received()) {
        char op[3];
        std::snprintf(op, sizeof op, "%02x", c.at(1));
        std::string step = op;
        switch (c.at(1)) {
        case 0x66:
            step += " " + std::to_string(u32_in(c, 10));
            break;
        case 0x67:
        case 0x71:
            step += " " + std::to_string(u32_in(c, 10)) + "+" + std::to_string(u32_in(c, 14));
            break;
        case 0x68:
            step += " " + std::to_string(u32_in(c, 10));
            break;
        default:
            break;
        }
        steps.push_back(step);
    }
    return steps;
}

struct ChunkCase {
    size_t size;
    std::vector<std::string> set_steps;
    std::vector<std::string> get_steps;
};

class WholeFile : public ::testing::TestWithParam<ChunkCase> { };

TEST_P(WholeFile, SetFileWritesInChunksWithoutOpening)
{
    const ChunkCase& c = GetParam();
    SimulatedConnection connection;
    FileStore store(connection.module());
    connection.module().clear_received();
    const Bytes data = pattern(c.size);

    connection.radar().set_file(file_type, file_id, data);
    EXPECT_EQ(c.set_steps, transfer(connection.module()));
    EXPECT_EQ(data, store.get());
}

TEST_P(WholeFile, GetFileReadsInChunksAndCloses)
{
    const ChunkCase& c = GetParam();
    SimulatedConnection connection;
    FileStore store(connection.module());
    const Bytes data = pattern(c.size);
    store.put(data);
    connection.module().clear_received();

    Bytes read { 0xEE };
    EXPECT_EQ(0, connection.radar().get_file_no_throw(file_type, file_id, read));
    EXPECT_EQ(data, read);
    EXPECT_EQ(c.get_steps, transfer(connection.module()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, WholeFile,
    ::testing::Values(ChunkCase { 0, { "66 0", "68 1" }, { "72", "69", "68 0" } },
        ChunkCase { 256, { "66 256", "67 0+256", "68 1" }, { "72", "69", "71 0+256", "68 0" } },
        ChunkCase { 257, { "66 257", "67 0+256", "67 256+1", "68 1" },
            { "72", "69", "71 0+256", "71 256+1", "68 0" } },
        ChunkCase { 600, { "66 600", "67 0+256", "67 256+256", "67 512+88", "68 1" },
            { "72", "69", "71 0+256", "71 256+256", "71 512+88", "68 0" } }),
    [](const auto& param_info) { return "Bytes" + std::to_string(param_info.param.size); });

// A chunk of another size than asked would leave a hole or a surplus in the
// file: the transfer fails there, sends nothing more and returns nothing.
struct SpoiledChunkCase {
    std::string label;
    std::function<void(uint32_t, Bytes&)> spoil;
    std::vector<std::string> steps;
};

class SpoiledChunk : public ::testing::TestWithParam<SpoiledChunkCase> { };

TEST_P(SpoiledChunk, FailsTheTransfer)
{
    const SpoiledChunkCase& c = GetParam();
    SimulatedConnection connection;
    FileStore store(connection.module());
    store.put(pattern(600));
    store.spoil(c.spoil);
    connection.module().clear_received();

    EXPECT_EQ("runtime_error: get_file: ",
        outcome([&] { return connection.radar().get_file(file_type, file_id); }).substr(0, 25));
    Bytes read { 0xEE };
    connection.module().clear_received();
    EXPECT_EQ(1, connection.radar().get_file_no_throw(file_type, file_id, read));
    EXPECT_EQ(Bytes { 0xEE }, read);
    EXPECT_EQ(c.steps, transfer(connection.module()));
}

INSTANTIATE_TEST_SUITE_P(Each, SpoiledChunk,
    ::testing::Values(SpoiledChunkCase { "ShortMiddleChunk",
                          [](uint32_t offset, Bytes& chunk) {
                              if (offset == 256)
                                  chunk.pop_back();
                          },
                          { "72", "69", "71 0+256", "71 256+256" } },
        SpoiledChunkCase { "ShortLastChunk",
            [](uint32_t offset, Bytes& chunk) {
                if (offset == 512)
                    chunk.pop_back();
            },
            { "72", "69", "71 0+256", "71 256+256", "71 512+88" } },
        SpoiledChunkCase { "LongChunk",
            [](uint32_t offset, Bytes& chunk) {
                if (offset == 0)
                    chunk.push_back(0);
            },
            { "72", "69", "71 0+256" } },
        SpoiledChunkCase { "EmptyChunk",
            [](uint32_t offset, Bytes& chunk) {
                if (offset == 256)
                    chunk.clear();
            },
            { "72", "69", "71 0+256", "71 256+256" } }),
    [](const auto& param_info) { return param_info.param.label; });

TEST(GetFile, ShortChunkNamesWhatWasMissing)
{
    SimulatedConnection connection;
    FileStore store(connection.module());
    store.put(pattern(300));
    store.spoil([](uint32_t offset, Bytes& chunk) {
        if (offset == 256)
            chunk.resize(40);
    });
    EXPECT_EQ(runtime("get_file: 40 bytes at offset 256, 44 asked for"),
        outcome([&] { return connection.radar().get_file(file_type, file_id); }));
}

// A length beyond 64 MiB would take hundreds of thousands of round trips:
// it is refused before the first data request.
TEST(GetFile, RefusesAnOversizeLength)
{
    SimulatedConnection connection;
    FileStore store(connection.module());
    store.report_length((64u << 20) + 1);
    connection.module().clear_received();
    EXPECT_EQ(runtime("get_file: the module reports 67108865 bytes, more than the limit of 67108864"),
        outcome([&] { return connection.radar().get_file(file_type, file_id); }));
    EXPECT_EQ((std::vector<std::string> { "72", "69" }), transfer(connection.module()));
}

TEST(SetFile, StopsAtTheFirstRefusedChunk)
{
    SimulatedConnection connection;
    FileStore store(connection.module());
    connection.module().add_rule_first(Rule(hex("90 67 0c 00 00 00 02 01 00 00 00 01 00 00")).error(5));
    connection.module().clear_received();
    EXPECT_EQ(runtime("parse_reply failed in set_file_data"),
        outcome([&] { connection.radar().set_file(file_type, file_id, pattern(600)); }));
    EXPECT_EQ(
        (std::vector<std::string> { "66 600", "67 0+256", "67 256+256" }), transfer(connection.module()));
    EXPECT_EQ(1, connection.radar().set_file_no_throw(file_type, file_id, pattern(600)));
}

// A file written and read back over a pseudo-terminal opened as a serial
// port, bytes that need escaping included.
TEST(WholeFileOverSerial, RoundTrips)
{
    SimulatedConnection connection(simmodule::Transport::Pty);
    FileStore store(connection.module());
    Bytes data = pattern(700);
    for (size_t i = 0; i < data.size(); i += 5)
        data[i] = static_cast<uint8_t>(0x7D + i % 3);
    connection.radar().set_file(file_type, file_id, data);
    EXPECT_EQ(data, connection.radar().get_file(file_type, file_id));
}

} // namespace
