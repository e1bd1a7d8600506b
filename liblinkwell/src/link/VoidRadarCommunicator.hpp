// The communicator of a closed connection: every call is harmless and every
// exchange yields an empty result at once.
#pragma once

#include "link/AbstractRadarCommunicator.hpp"

class VoidRadarCommunicator : public AbstractRadarCommunicator {
public:
    // Always 1: there is nothing to open.
    int open(const std::string& name) override;
    Bytes send(unsigned timeout, Bytes command, std::vector<Bytes> reply_prefixes) override;
    void set_baudrate(unsigned baudrate) override;
    void send(unsigned timeout, Bytes command) override;
    void subscribe(std::string name, Bytes prefix) override;
    void subscribe(const std::string& name, std::function<bool(Bytes)> callback, Bytes prefix) override;
    void unsubscribe(std::string name) override;
    int get_number_of_packets(std::string name) override;
    Bytes get_packet(std::string name) override;
    void clear(std::string name) override;
    Bytes send(unsigned timeout, Bytes command, Bytes reply_prefix) override;
    Subscriptions get_subscriptions() const override;

    virtual void set_max_packet_buffer_count(const std::string& name, int count);
};
