// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// radmon.org, gmcmap.com, Safecast and sensor.community as their public documents describe
// their requests and replies, each on a TFakeHttpServer: the right
// credentials get the success reply and the value is noted, wrong ones the
// documented error. A test can put replies of its own before the documented
// ones (a server error, a login page, no reply).

#include "support/FakeHttpServer.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace ostrel::test {

class TFakeMapService {
public:
    virtual ~TFakeMapService() = default;
    // The next requests get these replies, in order, whatever they hold.
    void Force(std::vector<THttpAnswer> answers) {
        std::lock_guard lock(Mutex);
        Forced.insert(Forced.end(), answers.begin(), answers.end());
    }
    // Each value the service took, as the test reads it.
    std::vector<std::string> Taken() const {
        std::lock_guard lock(Mutex);
        return Values;
    }

protected:
    virtual THttpAnswer Documented(const THttpRequest& request) = 0;
    void Take(std::string value) { Values.push_back(std::move(value)); }
    bool Seen(const std::string& value) const {
        return std::find(Values.begin(), Values.end(), value) != Values.end();
    }

private:
    THttpAnswer Answer(const THttpRequest& request) {
        std::lock_guard lock(Mutex);
        if (!Forced.empty()) {
            THttpAnswer answer = Forced.front();
            Forced.pop_front();
            return answer;
        }
        return Documented(request);
    }

    mutable std::mutex Mutex;
    std::deque<THttpAnswer> Forced;
    std::vector<std::string> Values;

public:
    // Last, so that it starts once the rest is there; each service stops it
    // first.
    TFakeHttpServer Server{[this](const THttpRequest& request) { return Answer(request); }};
};

// GET /radmon.php?function=submit&user=U&password=P&value=CPM&unit=CPM:
// "OK", or other words for a wrong user or password; no time is taken, the
// value is the station's "now". Taken: the value.
class TFakeRadmon final : public TFakeMapService {
public:
    TFakeRadmon(std::string user, std::string password)
        : User(std::move(user)), Password(std::move(password)) {}
    ~TFakeRadmon() override { Server.Stop(); }

private:
    THttpAnswer Documented(const THttpRequest& request) override {
        const std::string query = request.Query();
        if (request.Method != "GET" || request.Path() != "/radmon.php" ||
            FormValue(query, "function") != "submit") {
            return {404, "text/html", "<html><body>Not Found</body></html>"};
        }
        if (FormValue(query, "user") != User || FormValue(query, "password") != Password) {
            return {200, "text/html; charset=UTF-8", "Incorrect login."};
        }
        if (FormValue(query, "unit") != "CPM") {
            return {200, "text/html; charset=UTF-8", "Incorrect unit."};
        }
        Take(FormValue(query, "value"));
        return {200, "text/html; charset=UTF-8", "OK"};
    }

    const std::string User;
    const std::string Password;
};

// GET /log2.asp?AID=A&GID=G&CPM=c&ACPM=a&uSV=d: "OK.ERR0", "ERR1" for an
// unknown account, "ERR2" for an unknown counter, "ERR4" for a bad value.
// Taken: "CPM=c ACPM=a uSV=d".
class TFakeGmcmap final : public TFakeMapService {
public:
    TFakeGmcmap(std::string account, std::string geiger)
        : Account(std::move(account)), Geiger(std::move(geiger)) {}
    ~TFakeGmcmap() override { Server.Stop(); }

private:
    THttpAnswer Documented(const THttpRequest& request) override {
        const std::string query = request.Query();
        if (request.Method != "GET" || request.Path() != "/log2.asp") {
            return {404, "text/html", "<html><body>Not Found</body></html>"};
        }
        if (FormValue(query, "AID") != Account) {
            return {200, "text/html", "ERR1"};
        }
        if (FormValue(query, "GID") != Geiger) {
            return {200, "text/html", "ERR2"};
        }
        const std::string cpm = FormValue(query, "CPM");
        if (cpm.empty() || cpm.find_first_not_of("0123456789") != std::string::npos) {
            return {200, "text/html", "ERR4"};
        }
        Take("CPM=" + cpm + " ACPM=" + FormValue(query, "ACPM") +
             " uSV=" + FormValue(query, "uSV"));
        return {200, "text/html", "OK.ERR0"};
    }

    const std::string Account;
    const std::string Geiger;
};

// POST /measurements.json?api_key=K with measurement[...] fields: 201 and
// the measurement, 401 for a wrong key, 422 for a missing field and for a
// measurement it has already. Taken: "captured_at value". The duplicate's
// reply is the service's own validation: Safecast/safecastapi,
// app/models/measurement.rb, `validates :md5sum, uniqueness: true` over
// value, latitude, longitude and captured_at.
class TFakeSafecast final : public TFakeMapService {
public:
    explicit TFakeSafecast(std::string key) : Key(std::move(key)) {}
    ~TFakeSafecast() override { Server.Stop(); }

private:
    THttpAnswer Documented(const THttpRequest& request) override {
        constexpr const char* Json = "application/json; charset=utf-8";
        if (request.Method != "POST" || request.Path() != "/measurements.json") {
            return {404, Json, R"({"status":"404","error":"Not Found"})"};
        }
        if (FormValue(request.Query(), "api_key") != Key) {
            return {401, Json, R"({"error":"You need to sign in or sign up before continuing."})"};
        }
        const auto field = [&](const char* name) {
            return FormValue(request.Body, std::string("measurement[") + name + "]");
        };
        for (const char* name : {"latitude", "longitude", "value", "unit", "captured_at"}) {
            if (field(name).empty()) {
                return {422, Json, std::string(R"({")") + name + R"(":["can't be blank"]})"};
            }
        }
        const std::string value = field("captured_at") + " " + field("value");
        if (Seen(value)) {
            return {422, Json, R"({"md5sum":["has already been taken"]})"};
        }
        Take(value);
        return {201, Json,
                R"({"id":1,"value":)" + field("value") + R"(,"captured_at":")" +
                    field("captured_at") + R"("})"};
    }

    const std::string Key;
};

// POST /v1/push-sensor-data/ as the network's radiation stations send it
// (ecocurious2/MultiGeiger, multigeiger/transmission.cpp: prepare_http and
// send_http_geiger; transmit_data_to_web takes 201 as sent): 201 for the
// sensor registered, 403 for another, 400 without X-Pin 19. Taken: the body.
class TFakeSensorCommunity final : public TFakeMapService {
public:
    explicit TFakeSensorCommunity(std::string sensor) : Sensor(std::move(sensor)) {}
    ~TFakeSensorCommunity() override { Server.Stop(); }

private:
    THttpAnswer Documented(const THttpRequest& request) override {
        if (request.Method != "POST" || request.Path() != "/v1/push-sensor-data/") {
            return {404, "text/html", "<h1>Not Found</h1>"};
        }
        if (request.Header("X-Sensor") != Sensor) {
            return {403, "application/json", ""};
        }
        if (request.Header("X-Pin") != "19") {
            return {400, "application/json", ""};
        }
        Take(request.Body);
        return {201, "application/json", ""};
    }

    const std::string Sensor;
};

} // namespace ostrel::test
