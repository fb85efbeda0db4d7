// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP output: hands each finished minute, the log's minutes and the
// counter's state to its server under a short lock, and nothing else; the
// server answers on threads of its own.

#include "http/HttpBoard.h"
#include "http/HttpServer.h"
#include "records/LogOutput.h"
#include "records/MinuteInstants.h"

#include <functional>
#include <memory>
#include <string>

namespace ostrel {

// Prints "ostrel: HTTP: <text>" as one line on the standard error stream.
void ReportHttpToStderr(const std::string& text);

class THttpOutput final : public TLogOutput {
public:
    // The server starts at once; a failure to listen goes to report, and
    // the output then only keeps its board.
    THttpOutput(THttpServerSetup setup, std::shared_ptr<TDeliveryBoard> deliveries,
                const std::function<void(const std::string&)>& report = ReportHttpToStderr);
    ~THttpOutput() override;

    void LogBegan() noexcept override;
    void LogOpened(const TOpenedLog& log) noexcept override;
    void DoseRatesChanged(const TOpenedLog& log) noexcept override;
    void CounterConnected(std::uint32_t deviceId) noexcept override;
    void CounterGone() noexcept override;
    void MinuteFinished(const TFinishedMinute& minute) noexcept override;
    void ProgramEnding() noexcept override;

private:
    void Rebuilt(const TOpenedLog& log) noexcept;

    std::shared_ptr<THttpBoard> Board = std::make_shared<THttpBoard>();
    THttpServer Server;
};

// The log's minutes as the board keeps them: each record with its instant,
// its line's label and dose rate.
std::vector<THttpMinute> BoardMinutes(const TOpenedLog& log);

// The output of the settings file's [HTTP] section, named after the
// station (its name, else the host's); none without the section. What cannot be
// used there, and a port that cannot be listened on, go to the standard
// error stream.
std::unique_ptr<TLogOutput> MakeHttpOutput(const TOutputContext& context);

} // namespace ostrel
