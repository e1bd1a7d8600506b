// The place where a connection keeps its current communicator, which is
// replaced on every open and close.
//
// A caller may sit in a call on the communicator for a long time (a queue
// read waits without a time limit) while another thread closes the
// connection. Replacing therefore never destroys a communicator under a call:
// each call runs on a Use, and replace() wakes the readers of the outgoing
// communicator, waits until every Use of it has ended and only then destroys
// it, on the replacing thread.
//
// A thread must not replace while it holds a Use itself: it would wait for
// itself.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

class AbstractRadarCommunicator;

class CommunicatorSlot {
public:
    // A call in progress on the communicator that was current when it began.
    class Use {
    public:
        Use(Use&& other) noexcept;
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        Use& operator=(Use&&) = delete;

        AbstractRadarCommunicator* operator->() const { return communicator_.get(); }
        AbstractRadarCommunicator& operator*() const { return *communicator_; }

    private:
        friend class CommunicatorSlot;
        Use(CommunicatorSlot& slot, std::shared_ptr<AbstractRadarCommunicator> communicator);

        CommunicatorSlot* slot_;
        std::shared_ptr<AbstractRadarCommunicator> communicator_;
    };

    explicit CommunicatorSlot(std::unique_ptr<AbstractRadarCommunicator> first);
    // Destroys the current communicator as replace() does.
    ~CommunicatorSlot();
    CommunicatorSlot(const CommunicatorSlot&) = delete;
    CommunicatorSlot& operator=(const CommunicatorSlot&) = delete;

    Use use();

    // Installs next, then destroys the previous communicator once no call is
    // inside it any more. Calls in progress on it are interrupted (queue
    // reads and requests return empty, a blocked write fails) and leave at
    // once.
    void replace(std::unique_ptr<AbstractRadarCommunicator> next);

private:
    void retire(std::shared_ptr<AbstractRadarCommunicator> previous);
    void release(std::shared_ptr<AbstractRadarCommunicator>& communicator);

    std::mutex mutex_;
    std::condition_variable released_;
    std::shared_ptr<AbstractRadarCommunicator> current_;
};
