#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

// A hidraw node without a kernel device: opening its path gives one end of a packet socket,
// which keeps each report's length as the kernel's node does, and the node answers the
// descriptor-size request that marks a hidraw node. The other end is the device: it records
// each output report and answers it with the replies the test chooses, on a thread of its own.
// The program's own hidraw code and hidapi run unchanged on top; only open() and ioctl() on
// this one path are taken over (by definitions in this test program).
class FakeHidrawNode {
public:
    using Report = std::vector<std::uint8_t>;
    // The input reports the device sends back for one output report (none, one or several).
    using Responder = std::function<std::vector<Report>(const Report &received)>;

    FakeHidrawNode();
    ~FakeHidrawNode();
    FakeHidrawNode(const FakeHidrawNode &) = delete;
    FakeHidrawNode &operator=(const FakeHidrawNode &) = delete;

    const std::string &path() const { return m_path; }
    void setResponder(Responder responder);
    // Input reports that arrive unasked, before the next exchange.
    void sendUnasked(const Report &report);
    // Output reports received so far, as written (report id first).
    std::vector<Report> received() const;

private:
    void serve();

    std::string m_path;
    int m_host = -1;
    int m_device = -1;
    int m_stop[2] = {-1, -1};
    mutable std::mutex m_mutex;
    Responder m_responder;
    std::vector<Report> m_received;
    std::thread m_thread;
};
