#pragma once
// A library context whose line is one end of a socket pair, with the target
// playing the detector on the other end: bytes put on the line before a
// receive, or a peer thread that answers each request with the next of its
// answers. After the last answer, or at an empty one, the peer hangs up, so
// that a frame that never completes ends at once; with keepOpen the line
// stays open and silent, and such a frame ends at the gap as on a real line.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "protocol/ModbusRtu.h"
#include "support/Check.h"

class SocketLine {
public:
    // A fast line, so that a frame drained for its own wire time ends soon.
    explicit SocketLine(int baud = 921600) {
        // The host writes requests to a peer that may have hung up.
        ::signal(SIGPIPE, SIG_IGN);
        int sv[2];
        FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) == 0);
        peer_ = sv[1];
        ctx_ = modbus_new_rtu("/dev/null", baud, 'N', 8, 1, nullptr, 0, nullptr, nullptr, 0);
        FUZZ_CHECK(ctx_ && modbus_connect_fd(ctx_, sv[0]) == 0);
    }
    ~SocketLine() {
        ::shutdown(peer_, SHUT_RDWR);  // wakes the peer thread
        if (thread_.joinable()) thread_.join();
        modbus_close(ctx_);
        modbus_free(ctx_);
        ::close(peer_);
    }
    SocketLine(const SocketLine&) = delete;
    SocketLine& operator=(const SocketLine&) = delete;

    modbus_t* ctx() const { return ctx_; }

    void put(const std::vector<uint8_t>& bytes) { writeAll(bytes); }
    void hangUp() { ::shutdown(peer_, SHUT_WR); }
    // Drops what the host has sent so far.
    void discardRequests() {
        uint8_t junk[4096];
        while (::recv(peer_, junk, sizeof junk, MSG_DONTWAIT) > 0) {
        }
    }

    void serve(std::vector<std::vector<uint8_t>> answers, bool keepOpen) {
        thread_ = std::thread([this, answers = std::move(answers), keepOpen] {
            if (answers.empty() && !keepOpen) hangUp();
            for (size_t next = 0;;) {
                pollfd p{peer_, POLLIN, 0};
                if (::poll(&p, 1, -1) <= 0) return;
                uint8_t request[4096];
                if (::read(peer_, request, sizeof request) <= 0) return;
                if (next == answers.size()) continue;
                const auto& answer = answers[next++];
                writeAll(answer);
                if ((answer.empty() || next == answers.size()) && !keepOpen) hangUp();
            }
        });
    }

private:
    void writeAll(const std::vector<uint8_t>& bytes) {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t w = ::send(peer_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (w <= 0) return;
            at += static_cast<size_t>(w);
        }
    }

    modbus_t* ctx_ = nullptr;
    int peer_ = -1;
    std::thread thread_;
};
