// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpServer.h"

#include "http/HttpMetrics.h"
#include "http/HttpPage.h"
#include "http/HttpRequests.h"

#include <httplib.h>
#ifndef _WIN32
#include <poll.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace ostrel {

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

#ifdef _WIN32
constexpr int SendFlags = 0;
#else
// A client gone mid-answer is an error to return, not a signal.
constexpr int SendFlags = MSG_NOSIGNAL;
#endif

// A wait of a worker is cut in slices this long, so that the end of the
// server never waits for a slow client.
constexpr auto WaitSlice = 250ms;
// A live stream looks for events this long at a time, and says it is
// alive after this long without one, so that a gone client is noticed.
constexpr auto EventWait = 1000ms;
constexpr auto KeepAliveAfter = 15s;

constexpr const char* PagePolicy = "default-src 'none'; script-src 'unsafe-inline'; "
                                   "style-src 'unsafe-inline'; connect-src 'self'; img-src data:";

void CloseSocket(socket_t sock) {
#ifdef _WIN32
    shutdown(sock, SD_BOTH);
    closesocket(sock);
#else
    shutdown(sock, SHUT_RDWR);
    close(sock);
#endif
}

void AddressOf(socket_t sock, bool peer, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    if ((peer ? getpeername(sock, raw, &length) : getsockname(sock, raw, &length)) != 0) {
        return;
    }
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> service{};
    if (getnameinfo(raw, length, host.data(), static_cast<socklen_t>(host.size()), service.data(),
                    static_cast<socklen_t>(service.size()), NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host.data();
        port = std::atoi(service.data());
    }
}

// The server's end, which every wait of a worker looks at.
struct TEnding {
    std::atomic<bool> Now{false};
};

// Waits until the socket can be read or written, until the deadline or
// the server's end.
bool WaitFor(socket_t sock, bool write, TClock::time_point deadline, const TEnding& ending) {
    while (!ending.Now.load()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TClock::now());
        if (left <= 0ms) {
            return false;
        }
        pollfd fd{};
        fd.fd = sock;
        fd.events = write ? POLLOUT : POLLIN;
        const int slice = static_cast<int>(std::min(left, WaitSlice).count());
#ifdef _WIN32
        const int ready = WSAPoll(&fd, 1, slice);
#else
        const int ready = poll(&fd, 1, slice);
#endif
        if (ready != 0) {
            return ready > 0;
        }
    }
    return false;
}

// One connection's socket as the library reads and writes it: the whole
// head within HeadBytes and RequestTime, each write within WriteTime.
class TLimitedStream final : public httplib::Stream {
public:
    TLimitedStream(socket_t sock, const THttpLimits& limits, const TEnding& ending)
        : Sock(sock), Limits(limits), Ending(ending),
          HeadDeadline(TClock::now() + limits.RequestTime) {}

    bool is_readable() const override {
        return Next < Filled || WaitFor(Sock, false, HeadDeadline, Ending);
    }
    bool is_writable() const override {
        return WaitFor(Sock, true, TClock::now() + Limits.WriteTime, Ending);
    }
    ssize_t read(char* ptr, size_t size) override {
        if (Next == Filled) {
            if (Taken >= Limits.HeadBytes || !is_readable()) {
                return -1;
            }
            const std::size_t room = std::min(Buffer.size(), Limits.HeadBytes - Taken);
            const auto got = recv(Sock, Buffer.data(), static_cast<int>(room), 0);
            if (got <= 0) {
                return got < 0 ? -1 : 0;
            }
            Next = 0;
            Filled = static_cast<std::size_t>(got);
            Taken += Filled;
        }
        const std::size_t count = std::min(size, Filled - Next);
        std::memcpy(ptr, Buffer.data() + Next, count);
        Next += count;
        return static_cast<ssize_t>(count);
    }
    ssize_t write(const char* ptr, size_t size) override {
        if (!is_writable()) {
            return -1;
        }
        return send(Sock, ptr, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), SendFlags);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        AddressOf(Sock, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        AddressOf(Sock, false, ip, port);
    }
    socket_t socket() const override { return Sock; }

private:
    const socket_t Sock;
    const THttpLimits& Limits;
    const TEnding& Ending;
    const TClock::time_point HeadDeadline;
    std::array<char, 4096> Buffer{};
    std::size_t Next = 0;
    std::size_t Filled = 0;
    std::size_t Taken = 0;
};

// A share of a limited thing, given back when it is dropped.
class TSlot {
public:
    explicit TSlot(std::function<void()> release) : Release(std::move(release)) {}
    ~TSlot() { Release(); }
    TSlot(const TSlot&) = delete;
    TSlot& operator=(const TSlot&) = delete;

private:
    std::function<void()> Release;
};

std::int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Debian's build of the library compresses what a browser accepts, brotli
// first and at its slowest setting: a page of a week's minutes took 140 ms
// so, against 3 ms as gzip at a tenth of the size. A request's encodings
// are cut to gzip (the library's own request object, which it reads only
// after this).
void AtMostGzip(httplib::Request& req) {
    const auto [first, last] = req.headers.equal_range("Accept-Encoding");
    for (auto it = first; it != last; ++it) {
        it->second = it->second.find("gzip") != std::string::npos ? "gzip" : "identity";
    }
}

void PlainAnswer(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

} // namespace

struct THttpServer::TImpl {
    class TServer final : public httplib::Server {
    public:
        explicit TServer(TImpl& owner) : Owner(owner) {}

    private:
        bool process_and_close_socket(socket_t sock) override {
            bool served = false;
            {
                TLimitedStream stream(sock, Owner.Setup.Limits, Owner.Ending);
                std::string ip;
                int port = 0;
                stream.get_remote_ip_and_port(ip, port);
                if (const auto slot = Owner.ClientSlot(ip)) {
                    bool closed = false;
                    served = process_request(stream, true, closed, nullptr);
                } else {
                    const std::string_view busy =
                        "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\n"
                        "Retry-After: 10\r\nContent-Length: 0\r\n\r\n";
                    stream.write(busy.data(), busy.size());
                }
            }
            CloseSocket(sock);
            return served;
        }

        TImpl& Owner;
    };

    TImpl(THttpServerSetup setup, std::shared_ptr<THttpBoard> board,
          std::shared_ptr<TDeliveryBoard> deliveries)
        : Setup(std::move(setup)), Board(std::move(board)), Deliveries(std::move(deliveries)) {}

    // A worker for a request from ip; none while that address has all it
    // may have. Clients on this machine are not counted.
    std::unique_ptr<TSlot> ClientSlot(const std::string& ip) {
        // An IPv4 client of a server on [::] has its address mapped.
        const std::string_view mapped = "::ffff:";
        if (IsLoopback(ip.rfind(mapped, 0) == 0 ? ip.substr(mapped.size()) : ip)) {
            return std::make_unique<TSlot>([] {});
        }
        std::lock_guard lock(Mutex);
        std::size_t& count = Clients[ip];
        if (count >= Setup.Limits.PerClient) {
            return nullptr;
        }
        ++count;
        return std::make_unique<TSlot>([this, ip] {
            std::lock_guard lock(Mutex);
            if (--Clients[ip] == 0) {
                Clients.erase(ip);
            }
        });
    }
    std::shared_ptr<TSlot> StreamSlot() {
        std::lock_guard lock(Mutex);
        if (Streams >= Setup.Limits.Streams) {
            return nullptr;
        }
        ++Streams;
        return std::make_shared<TSlot>([this] {
            std::lock_guard lock(Mutex);
            --Streams;
        });
    }

    void Route();
    void Page(const httplib::Request& req, httplib::Response& res) const;
    void Minutes(const httplib::Request& req, httplib::Response& res) const;
    void Events(httplib::Response& res);

    const THttpServerSetup Setup;
    const std::shared_ptr<THttpBoard> Board;
    const std::shared_ptr<TDeliveryBoard> Deliveries;
    TEnding Ending;
    std::mutex Mutex;
    std::map<std::string, std::size_t> Clients;
    std::size_t Streams = 0;
    TServer Server{*this};
    std::thread Listener;
    std::atomic<bool> ListenEnded{false};
    int BoundPort = 0;
};

void THttpServer::TImpl::Route() {
    using httplib::Request;
    using httplib::Response;
    using THandled = httplib::Server::HandlerResponse;
    Server.set_pre_routing_handler([this](const Request& req, Response& res) {
        AtMostGzip(const_cast<Request&>(req));
        if (req.method != "GET" && req.method != "HEAD") {
            res.set_header("Allow", "GET, HEAD");
            PlainAnswer(res, 405, "405 Method Not Allowed");
            return THandled::Handled;
        }
        const THttpSettings& settings = Setup.Settings;
        if (!settings.User.empty() &&
            !Authorized(req.get_header_value("Authorization"), settings.User, settings.Password)) {
            res.set_header("WWW-Authenticate", "Basic realm=\"Ostrel\", charset=\"UTF-8\"");
            PlainAnswer(res, 401, "401 Unauthorized");
            return THandled::Handled;
        }
        return THandled::Unhandled;
    });
    Server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const Request&, Response& res) {
            if (res.body.empty() && res.status == 404) {
                PlainAnswer(res, 404, "404 Not Found");
            }
            return THandled::Unhandled;
        }));
    Server.Get("/", [this](const Request& req, Response& res) { Page(req, res); });
    Server.Get("/metrics", [this](const Request&, Response& res) {
        const std::vector<TDeliveryCounts> deliveries = Deliveries->Read();
        res.set_content(MetricsText(Board->Status(), deliveries, Setup.Version, Setup.Station),
                        MetricsContentType);
    });
    Server.Get("/api/minutes", [this](const Request& req, Response& res) { Minutes(req, res); });
    Server.Get("/api/state", [this](const Request&, Response& res) {
        res.set_header("Cache-Control", "no-cache");
        res.set_content(Board->StateJson(), "application/json");
    });
    Server.Get("/events", [this](const Request&, Response& res) { Events(res); });
}

void THttpServer::TImpl::Page(const httplib::Request& req, httplib::Response& res) const {
    const THttpLanguage language = PageLanguage(req.get_header_value("Accept-Language"));
    res.set_header("Vary", "Accept-Language");
    res.set_header("Cache-Control", "no-cache");
    res.set_header("Content-Security-Policy", PagePolicy);
    res.set_content(PageHtml(language, Setup.Station), "text/html; charset=utf-8");
}

void THttpServer::TImpl::Minutes(const httplib::Request& req, httplib::Response& res) const {
    TMinutesQueryText text;
    const auto param = [&req](const char* key) {
        return req.has_param(key) ? std::optional<std::string>(req.get_param_value(key))
                                  : std::nullopt;
    };
    text.From = param("from");
    text.To = param("to");
    text.Limit = param("limit");
    text.Format = param("format");
    const TMinutesQueryResult read = ReadMinutesQuery(text, UnixNow());
    if (!read.Query) {
        PlainAnswer(res, 400, read.Error);
        return;
    }
    const TMinutesQuery& query = *read.Query;
    std::vector<THttpMinute> minutes = Board->Span(query.From, query.To, query.Limit + 1);
    std::optional<std::string> next;
    if (minutes.size() > query.Limit) {
        next = "/api/minutes?from=" + std::to_string(minutes.back().Key) +
               "&to=" + std::to_string(query.To) + "&limit=" + std::to_string(query.Limit) +
               (query.Csv ? "&format=csv" : "");
        minutes.pop_back();
        res.set_header("Link", "<" + *next + ">; rel=\"next\"");
    }
    res.set_header("Cache-Control", "no-cache");
    if (query.Csv) {
        res.set_content(MinutesCsv(minutes), "text/csv; charset=utf-8");
    } else {
        res.set_content(MinutesJson(minutes, next), "application/json");
    }
}

void THttpServer::TImpl::Events(httplib::Response& res) {
    std::shared_ptr<TSlot> slot = StreamSlot();
    if (!slot) {
        res.set_header("Retry-After", "10");
        PlainAnswer(res, 503, "503 Service Unavailable: too many live pages");
        return;
    }
    struct TStream {
        bool Started = false;
        std::uint64_t Seen = 0;
        TClock::time_point LastWrite;
    };
    auto stream = std::make_shared<TStream>();
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "text/event-stream", [this, slot, stream](std::size_t, httplib::DataSink& sink) {
            std::string text;
            if (!stream->Started) {
                stream->Started = true;
                const auto [last, state] = Board->Subscribe();
                stream->Seen = last;
                // A page reconnects this soon after the logger has gone.
                text = "retry: 2000\n\n" + state;
            } else {
                const THttpEvents events = Board->WaitForEvents(stream->Seen, EventWait);
                if (events.Ended) {
                    return false;
                }
                stream->Seen = events.Last;
                for (const std::string& event : events.Texts) {
                    text += event;
                }
                if (text.empty() && TClock::now() - stream->LastWrite > KeepAliveAfter) {
                    text = ":\n\n";
                }
            }
            if (text.empty()) {
                return true;
            }
            stream->LastWrite = TClock::now();
            return sink.write(text.data(), text.size());
        });
}

THttpServer::THttpServer(THttpServerSetup setup, std::shared_ptr<THttpBoard> board,
                         std::shared_ptr<TDeliveryBoard> deliveries)
    : Impl(std::make_unique<TImpl>(std::move(setup), std::move(board), std::move(deliveries))) {
    const std::size_t workers = Impl->Setup.Limits.Workers;
    Impl->Server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    Impl->Route();
}

THttpServer::~THttpServer() {
    Stop();
}

std::string THttpServer::Start() {
    const THttpAddress& listen = Impl->Setup.Settings.Listen;
    int port = listen.Port;
    if (port == 0) {
        port = Impl->Server.bind_to_any_port(listen.Host);
    } else if (!Impl->Server.bind_to_port(listen.Host, port)) {
        port = -1;
    }
    if (port <= 0) {
        const bool v6 = listen.Host.find(':') != std::string::npos;
        return "cannot listen on " + (v6 ? "[" + listen.Host + "]" : listen.Host) + ":" +
               std::to_string(listen.Port);
    }
    Impl->BoundPort = port;
    Impl->Listener = std::thread([this] {
        Impl->Server.listen_after_bind();
        Impl->ListenEnded = true;
    });
    // The library's stop() does nothing before its loop has begun.
    while (!Impl->Server.is_running() && !Impl->ListenEnded) {
        std::this_thread::sleep_for(1ms);
    }
    return {};
}

int THttpServer::Port() const {
    return Impl->BoundPort;
}

void THttpServer::Stop() {
    if (!Impl->Listener.joinable()) {
        return;
    }
    Impl->Ending.Now = true;
    Impl->Board->End();
    Impl->Server.stop();
    Impl->Listener.join();
}

} // namespace ostrel
