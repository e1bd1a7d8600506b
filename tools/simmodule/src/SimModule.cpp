#include "simmodule/SimModule.hpp"

#include "simmodule/Deframer.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace simmodule {

namespace {

using Clock = std::chrono::steady_clock;

// Data packets are produced only while less than this is waiting for the
// host, so a slow host slows bursts down instead of growing memory.
constexpr size_t high_water = 256 * 1024;
constexpr int tcp_send_buffer = 64 * 1024;
constexpr size_t read_chunk = 64 * 1024;
constexpr size_t max_error_texts = 100;
// Longer waits are treated as "for ever"; keeps deadline arithmetic from
// overflowing.
constexpr Clock::duration longest_wait = std::chrono::hours(24 * 365 * 100);

std::system_error system_error(const char* what)
{
    return std::system_error(errno, std::generic_category(), what);
}

Clock::time_point deadline_after(Clock::duration timeout)
{
    return Clock::now() + std::clamp(timeout, Clock::duration::zero(), longest_wait);
}

void close_fd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void set_flags(int fd, bool nonblocking)
{
    if (nonblocking) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
            throw system_error("fcntl(O_NONBLOCK)");
    }
    const int fd_flags = ::fcntl(fd, F_GETFD);
    if (fd_flags < 0 || ::fcntl(fd, F_SETFD, fd_flags | FD_CLOEXEC) < 0)
        throw system_error("fcntl(FD_CLOEXEC)");
}

bool would_block(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

struct Action {
    Rule::Step step;
    std::shared_ptr<const Bytes> command;
};

struct Job {
    std::shared_ptr<const DataSource> source;
    uint64_t remaining = 0;
    uint64_t next_index = 0;
};

struct StreamConfig {
    std::shared_ptr<const DataSource> source;
    Clock::duration period {};
};

struct RunningStream {
    std::shared_ptr<const DataSource> source;
    Clock::duration period {};
    Clock::time_point next_due;
    uint64_t index = 0;
    bool failed = false;
};

} // namespace

// Everything that touches the transport runs on `worker`: it owns the file
// descriptors, the output buffer, the pending reply steps and the running
// streams. Callers change the script, queue data and read the record under
// `mutex`, and wake the worker through a pipe.
class SimModule::Impl {
public:
    explicit Impl(Transport transport);
    ~Impl();

    void open(uint16_t tcp_port);
    void start();
    void stop();
    void wake() const;

    template <class Predicate> bool wait(Duration timeout, Predicate done) const
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_until(lock, deadline_after(timeout), [&] { return done() || worker_done; });
        return done();
    }

    void note_error(const std::string& text);

    const Transport transport;
    std::string pty_path;
    uint16_t port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    // Guarded by mutex.
    std::vector<Rule> rules;
    std::vector<Bytes> received;
    std::deque<Job> pending_jobs;
    std::map<std::string, StreamConfig> streams;
    uint64_t streams_version = 0;
    std::function<void(const Bytes&)> observer;
    bool stop_requested = false;
    std::optional<HangUp> hang_up_request;
    uint64_t hang_up_requests = 0;
    uint64_t hang_ups_done = 0;
    bool is_connected = false;
    uint64_t connections = 0;
    bool worker_idle = true;
    bool worker_done = false;
    std::vector<std::string> error_texts;

    std::atomic<uint64_t> framing_errors { 0 };
    std::atomic<uint64_t> packets_sent { 0 };
    std::atomic<uint64_t> packets_dropped { 0 };

    std::thread worker;
    std::thread::id worker_id; // kept apart: join() changes worker.get_id()
    std::mutex stop_mutex; // serialises join between concurrent stop() calls

private:
    void run();
    void serve();
    bool sync_with_callers(Clock::time_point now);
    void run_actions();
    void fill_data(Clock::time_point now);
    bool host_has_read_everything();
    bool append_packet(const DataSource& source, uint64_t index, const std::string& what);
    void flush();
    void publish_state();
    int poll_timeout() const;
    void read_peer(Bytes& buffer);
    void handle_command(Bytes payload);
    void accept_client();
    void drop_connection(HangUp how);
    void drain_wake_pipe();
    size_t pending_out() const { return out.size() - out_pos; }

    template <class F> bool guarded(const std::string& what, F&& f)
    {
        try {
            f();
            return true;
        } catch (const std::exception& e) {
            note_error(what + ": " + e.what());
        } catch (...) {
            note_error(what + ": unknown exception");
        }
        return false;
    }

    int wake_read = -1;
    int wake_write = -1;
    // Worker-owned once the thread runs.
    int listen_fd = -1;
    int peer_fd = -1; // TCP client or pseudo-terminal master
    int pty_slave_fd = -1;
    Deframer deframer;
    Bytes out;
    size_t out_pos = 0;
    std::deque<Action> actions;
    std::optional<Clock::time_point> pause_until;
    struct Drain {
        std::optional<Clock::time_point> deadline;
        std::optional<Clock::time_point> empty_since;
    } drain; // a hang-up step waiting for the host to read the line empty
    std::deque<Job> jobs;
    std::map<std::string, RunningStream> running;
    uint64_t seen_streams_version = ~uint64_t(0);
};

SimModule::Impl::Impl(Transport kind)
    : transport(kind)
{ }

SimModule::Impl::~Impl()
{
    close_fd(listen_fd);
    close_fd(peer_fd);
    close_fd(pty_slave_fd);
    close_fd(wake_read);
    close_fd(wake_write);
}

void SimModule::Impl::open(uint16_t tcp_port)
{
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_NONBLOCK | O_CLOEXEC) != 0)
        throw system_error("pipe2");
    wake_read = pipe_fds[0];
    wake_write = pipe_fds[1];

    if (transport == Transport::Pty) {
        if (::openpty(&peer_fd, &pty_slave_fd, nullptr, nullptr, nullptr) != 0)
            throw system_error("openpty");
        set_flags(peer_fd, true);
        set_flags(pty_slave_fd, false);
        // A raw line passes every byte untouched, even before the host sets
        // its own line settings. Keeping the slave open ourselves lets the
        // host close and reopen the port without hanging up the master.
        termios settings {};
        if (::tcgetattr(pty_slave_fd, &settings) != 0)
            throw system_error("tcgetattr");
        ::cfmakeraw(&settings);
        if (::tcsetattr(pty_slave_fd, TCSANOW, &settings) != 0)
            throw system_error("tcsetattr");
        char name[256];
        const int error = ::ttyname_r(pty_slave_fd, name, sizeof name);
        if (error != 0)
            throw std::system_error(error, std::generic_category(), "ttyname_r");
        pty_path = name;
        is_connected = true;
        connections = 1;
        return;
    }

    listen_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listen_fd < 0)
        throw system_error("socket");
    const int one = 1;
    ::setsockopt(listen_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(tcp_port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw system_error("bind");
    if (::listen(listen_fd, 8) != 0)
        throw system_error("listen");
    socklen_t length = sizeof address;
    if (::getsockname(listen_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw system_error("getsockname");
    port = ntohs(address.sin_port);
}

void SimModule::Impl::start()
{
    // The worker locks the mutex before its first callback, so it sees
    // worker_id set.
    std::lock_guard<std::mutex> lock(mutex);
    worker = std::thread([this] { run(); });
    worker_id = worker.get_id();
}

void SimModule::Impl::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop_requested = true;
    }
    wake();
    if (worker_id == std::this_thread::get_id())
        return; // a callback asked; the thread ends after it returns
    std::lock_guard<std::mutex> lock(stop_mutex);
    if (worker.joinable())
        worker.join();
}

void SimModule::Impl::wake() const
{
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost.
    [[maybe_unused]] ssize_t ignored = ::write(wake_write, &byte, 1);
}

void SimModule::Impl::note_error(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (error_texts.size() < max_error_texts)
        error_texts.push_back(text);
}

void SimModule::Impl::run()
{
    guarded("module thread", [this] { serve(); });
    drop_connection(HangUp::Close);
    close_fd(listen_fd);
    close_fd(pty_slave_fd);
    {
        std::lock_guard<std::mutex> lock(mutex);
        worker_done = true;
        is_connected = false;
        worker_idle = true;
    }
    changed.notify_all();
}

void SimModule::Impl::serve()
{
    Bytes buffer(read_chunk);
    for (;;) {
        // Script steps first: a step that changes streams or queues data
        // (from a reply maker) then takes effect before any more data goes.
        run_actions();
        if (!sync_with_callers(Clock::now()))
            return;
        if (peer_fd >= 0) {
            fill_data(Clock::now());
            flush();
        }
        publish_state();

        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = { wake_read, POLLIN, 0 };
        int listen_index = -1;
        int peer_index = -1;
        if (listen_fd >= 0 && peer_fd < 0) {
            listen_index = static_cast<int>(count);
            fds[count++] = { listen_fd, POLLIN, 0 };
        }
        if (peer_fd >= 0) {
            peer_index = static_cast<int>(count);
            fds[count++] = { peer_fd, static_cast<short>(POLLIN | (pending_out() ? POLLOUT : 0)), 0 };
        }
        if (::poll(fds, count, poll_timeout()) < 0) {
            if (errno == EINTR)
                continue;
            throw system_error("poll");
        }
        if (fds[0].revents)
            drain_wake_pipe();
        if (listen_index >= 0 && fds[listen_index].revents)
            accept_client();
        if (peer_index >= 0) {
            const short events = fds[peer_index].revents;
            if (events & (POLLIN | POLLHUP | POLLERR))
                read_peer(buffer);
            if (peer_fd >= 0 && (events & POLLOUT))
                flush();
        }
    }
}

bool SimModule::Impl::sync_with_callers(Clock::time_point now)
{
    std::optional<HangUp> hang_up;
    uint64_t hang_up_ticket = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stop_requested)
            return false;
        if (peer_fd >= 0 && !pending_jobs.empty()) {
            std::move(pending_jobs.begin(), pending_jobs.end(), std::back_inserter(jobs));
            pending_jobs.clear();
            worker_idle = false;
        }
        if (hang_up_request) {
            hang_up = hang_up_request;
            hang_up_request.reset();
            hang_up_ticket = hang_up_requests;
        }
        if (streams_version != seen_streams_version) {
            // Streams whose settings did not change keep their pace and index.
            std::map<std::string, RunningStream> next;
            for (const auto& [name, config] : streams) {
                auto it = running.find(name);
                if (it != running.end() && it->second.source == config.source
                    && it->second.period == config.period)
                    next.emplace(name, std::move(it->second));
                else
                    next.emplace(name, RunningStream { config.source, config.period, now, 0, false });
            }
            running.swap(next);
            seen_streams_version = streams_version;
        }
    }
    if (hang_up) {
        drop_connection(*hang_up);
        {
            std::lock_guard<std::mutex> lock(mutex);
            hang_ups_done = std::max(hang_ups_done, hang_up_ticket);
        }
        changed.notify_all();
    }
    return true;
}

void SimModule::Impl::run_actions()
{
    while (!actions.empty()) {
        if (peer_fd < 0) {
            actions.clear();
            pause_until.reset();
            return;
        }
        Action& action = actions.front();
        switch (action.step.kind) {
        case Rule::Step::Kind::Pause:
            if (!pause_until)
                pause_until = Clock::now() + std::chrono::duration_cast<Clock::duration>(action.step.pause);
            if (Clock::now() < *pause_until)
                return;
            pause_until.reset();
            break;
        case Rule::Step::Kind::Write:
            out.insert(out.end(), action.step.wire.begin(), action.step.wire.end());
            break;
        case Rule::Step::Kind::Compute: {
            std::vector<Bytes> replies;
            guarded("reply maker", [&] { replies = action.step.make(*action.command); });
            for (const Bytes& reply : replies)
                append_frame(out, reply.data(), reply.size());
            break;
        }
        case Rule::Step::Kind::HangUp:
            // Everything answered before the hang-up reaches the host first.
            flush();
            if (peer_fd >= 0 && (pending_out() || !host_has_read_everything()))
                return;
            drop_connection(action.step.how);
            return;
        }
        actions.pop_front();
    }
}

bool SimModule::Impl::host_has_read_everything()
{
    // A socket delivers what was sent before the close. Closing the master
    // of a pseudo-terminal discards what the host has not read yet, so wait
    // until the line's input queue has stayed empty for a moment (the kernel
    // moves written bytes into it asynchronously, later on a busy machine),
    // or give up after a grace period as a module that is unplugged would.
    if (transport != Transport::Pty)
        return true;
    const Clock::time_point now = Clock::now();
    if (!drain.deadline)
        drain.deadline = now + std::chrono::seconds(2);
    int queued = 0;
    if (::ioctl(pty_slave_fd, FIONREAD, &queued) != 0 || queued > 0)
        drain.empty_since.reset();
    else if (!drain.empty_since)
        drain.empty_since = now;
    const bool done = (drain.empty_since && now - *drain.empty_since >= std::chrono::milliseconds(100))
        || now >= *drain.deadline;
    if (done)
        drain = Drain {};
    return done;
}

void SimModule::Impl::fill_data(Clock::time_point now)
{
    for (auto& [name, stream] : running) {
        if (stream.failed)
            continue;
        while (stream.next_due <= now && pending_out() < high_water) {
            if (!append_packet(*stream.source, stream.index, "stream " + name)) {
                stream.failed = true;
                break;
            }
            ++stream.index;
            stream.next_due += stream.period;
            ++packets_sent;
        }
        if (!stream.failed && stream.next_due <= now) {
            // The host is not keeping up: the packets that were due now are lost.
            const auto behind = static_cast<uint64_t>((now - stream.next_due) / stream.period) + 1;
            packets_dropped += behind;
            stream.index += behind;
            stream.next_due += stream.period * behind;
        }
    }
    while (!jobs.empty() && pending_out() < high_water) {
        Job& job = jobs.front();
        if (!append_packet(*job.source, job.next_index, "burst")) {
            jobs.pop_front();
            continue;
        }
        ++job.next_index;
        ++packets_sent;
        if (--job.remaining == 0)
            jobs.pop_front();
    }
}

bool SimModule::Impl::append_packet(const DataSource& source, uint64_t index, const std::string& what)
{
    return guarded(what, [&] { source.append_wire(index, out); });
}

void SimModule::Impl::flush()
{
    while (peer_fd >= 0 && out_pos < out.size()) {
        const uint8_t* data = out.data() + out_pos;
        const size_t size = out.size() - out_pos;
        const ssize_t written = transport == Transport::Tcp ? ::send(peer_fd, data, size, MSG_NOSIGNAL)
                                                            : ::write(peer_fd, data, size);
        if (written > 0) {
            out_pos += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && would_block(errno)) {
            if (errno == EINTR)
                continue;
            break;
        }
        drop_connection(HangUp::Close); // the host has gone
        return;
    }
    if (out_pos == out.size()) {
        out.clear();
        out_pos = 0;
    } else if (out_pos >= high_water) {
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(out_pos));
        out_pos = 0;
    }
}

void SimModule::Impl::publish_state()
{
    const bool idle = actions.empty() && jobs.empty() && pending_out() == 0;
    bool notify = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (idle != worker_idle) {
            worker_idle = idle;
            notify = true;
        }
    }
    if (notify)
        changed.notify_all();
}

int SimModule::Impl::poll_timeout() const
{
    if (drain.deadline)
        return 5; // nothing signals that the host has read the line: look again soon
    std::optional<Clock::time_point> wake_at = pause_until;
    if (peer_fd >= 0 && pending_out() < high_water) {
        if (!jobs.empty())
            return 0;
        for (const auto& entry : running) {
            const RunningStream& stream = entry.second;
            if (!stream.failed && (!wake_at || stream.next_due < *wake_at))
                wake_at = stream.next_due;
        }
    }
    if (!wake_at)
        return -1;
    const auto left = *wake_at - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX));
}

void SimModule::Impl::read_peer(Bytes& buffer)
{
    const ssize_t got = transport == Transport::Tcp ? ::recv(peer_fd, buffer.data(), buffer.size(), 0)
                                                    : ::read(peer_fd, buffer.data(), buffer.size());
    if (got < 0 && would_block(errno))
        return;
    if (got <= 0) {
        drop_connection(HangUp::Close); // the host closed, or the line failed
        return;
    }
    std::vector<Bytes> packets = deframer.feed(buffer.data(), static_cast<size_t>(got));
    framing_errors = deframer.errors();
    for (Bytes& packet : packets)
        handle_command(std::move(packet));
}

void SimModule::Impl::handle_command(Bytes payload)
{
    std::function<void(const Bytes&)> watch;
    std::optional<Rule> rule;
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(payload);
        worker_idle = false;
        for (auto it = rules.begin(); it != rules.end(); ++it) {
            if (!it->matches(payload))
                continue;
            rule = *it;
            if (it->use())
                rules.erase(it);
            break;
        }
        watch = observer;
    }
    changed.notify_all();
    if (watch)
        guarded("command observer", [&] { watch(payload); });
    if (!rule)
        return;
    auto command = std::make_shared<const Bytes>(std::move(payload));
    for (const Rule::Step& step : rule->steps())
        actions.push_back(Action { step, command });
}

void SimModule::Impl::accept_client()
{
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (!would_block(errno) && errno != ECONNABORTED)
            note_error(std::string("accept: ") + std::generic_category().message(errno));
        return;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // A module holds little unsent: without a bound the kernel would let
    // megabytes of stream data queue ahead of a command's reply.
    const int send_buffer = tcp_send_buffer;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &send_buffer, sizeof send_buffer);
    peer_fd = fd;
    deframer.reset();
    const Clock::time_point now = Clock::now();
    for (auto& entry : running)
        entry.second.next_due = now;
    {
        std::lock_guard<std::mutex> lock(mutex);
        is_connected = true;
        ++connections;
    }
    changed.notify_all();
}

void SimModule::Impl::drop_connection(HangUp how)
{
    if (peer_fd < 0)
        return;
    if (transport == Transport::Tcp && how == HangUp::Reset) {
        const linger abortive { 1, 0 };
        ::setsockopt(peer_fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    close_fd(peer_fd);
    // The master is gone, so the host's port reports the hang-up and the
    // pseudo-terminal's path disappears. The slave stays open until the
    // module ends: while any end is open the kernel keeps the terminal's
    // number, so a pseudo-terminal opened meanwhile (by another test running
    // beside this one) cannot take the old path and be opened by a host that
    // is trying to reconnect here.
    out.clear();
    out_pos = 0;
    actions.clear();
    pause_until.reset();
    drain = Drain {};
    jobs.clear();
    deframer.reset();
    {
        std::lock_guard<std::mutex> lock(mutex);
        is_connected = false;
    }
    changed.notify_all();
}

void SimModule::Impl::drain_wake_pipe()
{
    char sink[64];
    while (::read(wake_read, sink, sizeof sink) > 0) { }
}

// --- SimModule ---------------------------------------------------------------

SimModule::SimModule(Transport transport, uint16_t tcp_port)
    : impl_(std::make_unique<Impl>(transport))
{
    impl_->open(tcp_port);
    impl_->start();
}

SimModule::~SimModule()
{
    impl_->stop();
}

Transport SimModule::transport() const
{
    return impl_->transport;
}

const std::string& SimModule::pty_path() const
{
    return impl_->pty_path;
}

uint16_t SimModule::tcp_port() const
{
    return impl_->port;
}

void SimModule::stop()
{
    impl_->stop();
}

void SimModule::add_rule(Rule rule)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->rules.push_back(std::move(rule));
}

void SimModule::add_rule_first(Rule rule)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->rules.insert(impl_->rules.begin(), std::move(rule));
}

void SimModule::set_rules(std::vector<Rule> rules)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->rules = std::move(rules);
}

void SimModule::clear_rules()
{
    set_rules({});
}

void SimModule::start_stream(const std::string& name, DataSource source, double packets_per_second)
{
    if (!(packets_per_second > 0) || !std::isfinite(packets_per_second))
        throw std::invalid_argument("stream rate must be a positive number of packets per second");
    const auto period = std::max(Clock::duration(1),
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / packets_per_second)));
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->streams[name] = StreamConfig { std::make_shared<const DataSource>(std::move(source)), period };
        ++impl_->streams_version;
    }
    impl_->wake();
}

void SimModule::stop_stream(const std::string& name)
{
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->streams.erase(name);
        ++impl_->streams_version;
    }
    impl_->wake();
}

void SimModule::stop_all_streams()
{
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->streams.clear();
        ++impl_->streams_version;
    }
    impl_->wake();
}

void SimModule::send_burst(DataSource source, uint64_t count)
{
    if (count == 0)
        return;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->pending_jobs.push_back(
            Job { std::make_shared<const DataSource>(std::move(source)), count, 0 });
    }
    impl_->wake();
}

void SimModule::send_packet(const Bytes& payload, Form form)
{
    send_burst(DataSource::fixed(payload, form), 1);
}

void SimModule::send_raw(const Bytes& bytes)
{
    send_packet(bytes, Form::Raw);
}

bool SimModule::wait_until_sent(Duration timeout) const
{
    return impl_->wait(timeout, [this] { return impl_->pending_jobs.empty() && impl_->worker_idle; });
}

std::vector<Bytes> SimModule::received() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->received;
}

size_t SimModule::received_count() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->received.size();
}

Bytes SimModule::received_at(size_t index) const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return index < impl_->received.size() ? impl_->received[index] : Bytes {};
}

void SimModule::clear_received()
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->received.clear();
}

bool SimModule::wait_for_received(size_t count, Duration timeout) const
{
    return impl_->wait(timeout, [&] { return impl_->received.size() >= count; });
}

void SimModule::set_command_observer(std::function<void(const Bytes&)> observer)
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->observer = std::move(observer);
}

uint64_t SimModule::framing_errors() const
{
    return impl_->framing_errors.load();
}

bool SimModule::connected() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->is_connected;
}

uint64_t SimModule::connection_count() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->connections;
}

bool SimModule::wait_for_connected(Duration timeout) const
{
    return impl_->wait(timeout, [this] { return impl_->is_connected; });
}

bool SimModule::wait_for_connection_count(uint64_t count, Duration timeout) const
{
    return impl_->wait(timeout, [&] { return impl_->connections >= count; });
}

bool SimModule::wait_for_disconnected(Duration timeout) const
{
    return impl_->wait(timeout, [this] { return !impl_->is_connected; });
}

void SimModule::hang_up(HangUp how)
{
    uint64_t ticket;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->hang_up_request = how;
        ticket = ++impl_->hang_up_requests;
    }
    impl_->wake();
    if (impl_->worker_id == std::this_thread::get_id())
        return; // asked from a callback: done when the callback returns
    impl_->wait(longest_wait, [&] { return impl_->hang_ups_done >= ticket; });
}

uint64_t SimModule::data_packets_sent() const
{
    return impl_->packets_sent.load();
}

uint64_t SimModule::stream_packets_dropped() const
{
    return impl_->packets_dropped.load();
}

std::vector<std::string> SimModule::errors() const
{
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->error_texts;
}

} // namespace simmodule
