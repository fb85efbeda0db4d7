// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the tests, on a thread of its
// own: it reads each request whole, asks the test's handler for the reply
// and closes the connection after it. It can answer nothing (a server that
// takes a connection and never replies) and can be stopped and started again
// on the same port, as a service that goes away and comes back. Loopback
// only; every wait is bounded.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ostrel::test {

struct THttpRequest {
    std::string Method;
    std::string Target; // path and query, as sent
    std::string Body;
    std::string Head; // the request line and the header lines

    // The value of the header name as curl spells what it is given.
    std::string Header(const std::string& name) const {
        const std::size_t at = (Head + "\r\n").find("\r\n" + name + ": ");
        return at == std::string::npos
                   ? std::string()
                   : Head.substr(at + name.size() + 4,
                                 Head.find("\r\n", at + 2) - at - name.size() - 4);
    }

    std::string Path() const { return Target.substr(0, Target.find('?')); }
    std::string Query() const {
        const std::size_t mark = Target.find('?');
        return mark == std::string::npos ? std::string() : Target.substr(mark + 1);
    }
};

struct THttpAnswer {
    int Status = 200;
    std::string ContentType = "text/html; charset=UTF-8";
    std::string Body;
    bool Silent = false; // keep the connection and never answer
};

// "%41" and "+" as a form decodes them.
inline std::string FormDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '+') {
            decoded += ' ';
        } else if (text[k] == '%' && k + 2 < text.size()) {
            decoded +=
                static_cast<char>(std::stoi(std::string(text.substr(k + 1, 2)), nullptr, 16));
            k += 2;
        } else {
            decoded += text[k];
        }
    }
    return decoded;
}

// The value of name in a query or a form body, decoded; "" when missing.
inline std::string FormValue(std::string_view form, std::string_view name) {
    std::size_t start = 0;
    while (start <= form.size()) {
        const std::size_t end = std::min(form.find('&', start), form.size());
        const std::string_view pair = form.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (FormDecoded(pair.substr(0, equals)) == name) {
            return equals == std::string_view::npos ? std::string()
                                                    : FormDecoded(pair.substr(equals + 1));
        }
        start = end + 1;
    }
    return {};
}

class TFakeHttpServer {
public:
    using THandler = std::function<THttpAnswer(const THttpRequest&)>;

    explicit TFakeHttpServer(THandler handler) : Handler(std::move(handler)) { Start(); }
    ~TFakeHttpServer() { Stop(); }
    TFakeHttpServer(const TFakeHttpServer&) = delete;
    TFakeHttpServer& operator=(const TFakeHttpServer&) = delete;

    // Listens again on the same port.
    void Start() {
        if (Thread.joinable()) {
            return;
        }
        Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(Listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(Port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(Listener, 16) != 0) {
            ::close(Listener);
            Listener = -1;
            return;
        }
        socklen_t size = sizeof address;
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &size);
        Port = ntohs(address.sin_port);
        Stopping = false;
        Thread = std::thread([this] { Serve(); });
    }
    // Nobody listens any more: connections are refused. Connections held
    // without an answer are closed.
    void Stop() {
        if (!Thread.joinable()) {
            return;
        }
        Stopping = true;
        Thread.join();
        ::close(Listener);
        Listener = -1;
        for (const int held : Held) {
            ::close(held);
        }
        Held.clear();
    }
    bool Listening() const { return Listener >= 0; }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(Port); }
    std::vector<THttpRequest> Requests() const {
        std::lock_guard lock(Mutex);
        return Seen;
    }
    std::size_t RequestCount() const {
        std::lock_guard lock(Mutex);
        return Seen.size();
    }

    std::uint16_t Port = 0;

private:
    void Serve() {
        while (!Stopping) {
            pollfd listening{Listener, POLLIN, 0};
            if (::poll(&listening, 1, 20) <= 0) {
                continue;
            }
            const int connection = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) {
                continue;
            }
            THttpRequest request;
            if (!Read(connection, request)) {
                ::close(connection);
                continue;
            }
            {
                std::lock_guard lock(Mutex);
                Seen.push_back(request);
            }
            const THttpAnswer answer = Handler(request);
            if (answer.Silent) {
                Held.push_back(connection);
                continue;
            }
            const std::string bytes = "HTTP/1.1 " + std::to_string(answer.Status) +
                                      " Fake\r\nContent-Type: " + answer.ContentType +
                                      "\r\nContent-Length: " + std::to_string(answer.Body.size()) +
                                      "\r\nConnection: close\r\n\r\n" + answer.Body;
            for (std::size_t sent = 0; sent < bytes.size();) {
                const ssize_t n =
                    ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
            ::close(connection);
        }
    }

    // The head and a body of Content-Length bytes, within two seconds.
    bool Read(int connection, THttpRequest& request) {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        std::size_t headEnd = std::string::npos;
        std::size_t wanted = std::string::npos;
        while (std::chrono::steady_clock::now() < deadline) {
            if (headEnd == std::string::npos && (headEnd = bytes.find("\r\n\r\n")) != bytes.npos) {
                wanted = headEnd + 4 + ContentLength(bytes.substr(0, headEnd));
            }
            if (wanted != std::string::npos && bytes.size() >= wanted) {
                const std::string line = bytes.substr(0, bytes.find("\r\n"));
                const std::size_t space = line.find(' ');
                request.Method = line.substr(0, space);
                request.Target = line.substr(space + 1, line.rfind(' ') - space - 1);
                request.Body = bytes.substr(headEnd + 4, wanted - headEnd - 4);
                request.Head = bytes.substr(0, headEnd);
                return true;
            }
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, 20) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return false;
            }
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return false;
    }

    static std::size_t ContentLength(std::string head) {
        std::transform(head.begin(), head.end(), head.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const std::size_t at = head.find("\r\ncontent-length:");
        return at == std::string::npos ? 0 : std::stoul(head.substr(at + 17));
    }

    THandler Handler;
    int Listener = -1;
    std::atomic<bool> Stopping{false};
    std::thread Thread;
    std::vector<int> Held;
    mutable std::mutex Mutex;
    std::vector<THttpRequest> Seen;
};

} // namespace ostrel::test
