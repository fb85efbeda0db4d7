// SPDX-License-Identifier: GPL-3.0-or-later
#include "headless/HeadlessLogger.h"

#include "outputs/Outputs.h"

#include <exception>
#include <utility>

namespace ostrel {

namespace {

inline constexpr const char* NoCounterText = "ostrel: no counter answered";

// Each finished minute's line, as the window's list shows it, one line of
// text a minute, flushed once a tick so that a reader sees every minute at
// once; and the end of logging told to whom it may concern.
class TLinesOut final : public TLogOutput {
public:
    TLinesOut(std::ostream& out, std::function<void()> gone) : Out(out), Gone(std::move(gone)) {}
    void MinuteFinished(const TFinishedMinute& minute) noexcept override {
        try {
            Out << minute.Line << '\n';
        } catch (...) {
            // A closed standard output costs the lines there, not the log.
        }
    }
    void TickEnded() noexcept override {
        try {
            Out.flush();
        } catch (...) {
        }
    }
    void CounterGone() noexcept override {
        if (Gone) {
            Gone();
        }
    }

private:
    std::ostream& Out;
    std::function<void()> Gone;
};

void Tell(std::ostream& err, const std::string& text) {
    err << (text + "\n") << std::flush;
}

} // namespace

THeadlessLogger::THeadlessLogger(THeadlessOptions options) : Options(std::move(options)) {
    TLoggerOptions logger;
    logger.LibraryCandidates = Options.Places.LibraryCandidates;
    logger.SettingsPath = Options.Places.SettingsPath;
    logger.FormatSettings = Options.FormatSettings;
    logger.RunTick = [this](const std::function<void()>& tick) {
        try {
            tick();
        } catch (const std::exception& error) {
            Tell(Options.Err, std::string("ostrel: ") + error.what());
        }
    };
    std::ostream& err = Options.Err;
    TOutputContext context{Options.Places.SettingsPath, Options.Places.StateFolder,
                           Options.HostName,
                           [&err](const std::string& text) { Tell(err, "ostrel: " + text); }};
    context.StationName = Options.Places.StationName;
    context.Instance = Options.Places.Instance;
    context.CounterModel = Options.Places.CounterModel;
    TOutputSet outputs = MakeOutputs(std::move(context));
    logger.Outputs = std::move(outputs.Outputs);
    logger.Alarm = outputs.Alarm;
    logger.Outputs.push_back(std::make_unique<TLinesOut>(Options.Out, Options.Gone));
    Session = std::make_unique<TLogger>(std::move(logger), Views.Views());
}

bool THeadlessLogger::Begin() {
    if (!Session->LoadCounterLibrary()) {
        Tell(Options.Err, Translate(LibraryMissingText));
        return false;
    }
    Session->ReadSettings();
    Session->New();
    Session->ResumeLeftLog(Options.Err);
    Session->Start();
    if (!Logging()) {
        Tell(Options.Err, NoCounterText);
        return false;
    }
    return true;
}

bool THeadlessLogger::End() {
    try {
        Session->End();
    } catch (const std::exception& error) {
        Tell(Options.Err, std::string("ostrel: ") + error.what());
        return false;
    }
    return true;
}

} // namespace ostrel
