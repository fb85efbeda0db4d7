// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttQueue.h"

#include "mqtt/MqttPublisher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

// Add: that many minutes, named m1, m2, ... in turn. Take: Unsent, as the
// thread copies it under the lock. Mark: the first ones taken went out with
// these ids. Ack: the broker acknowledged this id. Session: a new connection
// is tried. Accepted: the broker took it.
enum TOp { Add, Take, Mark, Ack, Session, Accepted };

struct TStep {
    TOp Op;
    std::vector<int> Args = {};
};

struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
    std::vector<std::string> Told;
    const char* Unsent; // runs of consecutive minutes
    std::size_t Unacknowledged;
};

const TCase Cases[] = {
    {"a minute that did not go out waits in its place",
     {{Add, {3}}, {Take}, {Mark, {1}}, {Add, {1}}},
     {},
     "m2-m4",
     4},
    {"acknowledged out of order; an unknown id changes nothing",
     {{Add, {4}}, {Take}, {Mark, {11, 12, 13, 14}}, {Ack, {13}}, {Ack, {11}}, {Ack, {99}}},
     {},
     "",
     2},
    {"a new session sends what is left again, in order",
     {{Add, {4}}, {Take}, {Mark, {1, 2, 3, 4}}, {Ack, {2}}, {Session}, {Add, {1}}},
     {},
     "m1 m3-m5",
     4},
    {"the last session's ids acknowledge nothing",
     {{Add, {3}},
      {Take},
      {Mark, {1, 2, 3}},
      {Session},
      {Take},
      {Mark, {1}},
      {Ack, {2}},
      {Ack, {1}}},
     {},
     "m2-m3",
     2},
    {"id 0 acknowledges nothing", {{Add, {2}}, {Take}, {Mark, {5}}, {Ack, {0}}}, {}, "m2", 2},
    {"1440 minutes kept without a word", {{Add, {1440}}}, {}, "m1-m1440", 1440},
    {"the 1441st drops the oldest and says so",
     {{Add, {1441}}},
     {"more than 1440 minutes unsent; dropping the oldest, from m1"},
     "m2-m1441",
     1440},
    {"no second line while dropping goes on",
     {{Add, {1441}}, {Add, {5}}},
     {"more than 1440 minutes unsent; dropping the oldest, from m1"},
     "m7-m1446",
     1440},
    {"a new session that is not accepted keeps the run",
     {{Add, {1441}}, {Session}, {Add, {1}}},
     {"more than 1440 minutes unsent; dropping the oldest, from m1"},
     "m3-m1442",
     1440},
    {"room made by an acknowledgement keeps the run",
     {{Add, {1441}}, {Take}, {Mark, {1}}, {Ack, {1}}, {Add, {2}}},
     {"more than 1440 minutes unsent; dropping the oldest, from m1"},
     "m4-m1443",
     1440},
    {"an accepted connection starts a new run",
     {{Add, {1441}}, {Accepted}, {Add, {2}}},
     {"more than 1440 minutes unsent; dropping the oldest, from m1",
      "more than 1440 minutes unsent; dropping the oldest, from m2"},
     "m4-m1443",
     1440},
    {"a sent minute dropped before its acknowledgement",
     {{Add, {1440}}, {Take}, {Mark, {1, 2}}, {Add, {1}}, {Ack, {1}}, {Ack, {2}}},
     {"more than 1440 minutes unsent; dropping the oldest, from m1"},
     "m3-m1441",
     1439},
    {"a minute dropped between Take and Mark is not found",
     {{Add, {1440}}, {Take}, {Add, {1}}, {Mark, {1, 2}}},
     {"more than 1440 minutes unsent; dropping the oldest, from m1"},
     "m3-m1441",
     1440},
};

// "m1 m3-m5": the payloads as runs of consecutive minutes, in their order.
std::string Runs(const std::vector<TMqttQueue::TUnsent>& unsent) {
    const auto number = [&](std::size_t i) { return std::stoi(unsent[i].Payload.substr(1)); };
    std::string text;
    for (std::size_t first = 0, last; first < unsent.size(); first = last + 1) {
        for (last = first; last + 1 < unsent.size() && number(last + 1) == number(last) + 1;) {
            ++last;
        }
        text += (text.empty() ? "" : " ") + unsent[first].Payload +
                (last > first ? "-" + unsent[last].Payload : "");
    }
    return text;
}

TEST(MqttQueueTest, OrderAcknowledgementResendAndDrops) {
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        TMqttQueue queue(TMqttPublisher::MaxUnsent);
        int minutes = 0;
        std::vector<TMqttQueue::TUnsent> taken;
        std::vector<std::string> told;
        for (const TStep& step : c.Steps) {
            switch (step.Op) {
            case Add:
                for (int i = 0; i < step.Args[0]; ++i) {
                    std::string line = queue.Add("m" + std::to_string(++minutes));
                    if (!line.empty()) {
                        told.push_back(std::move(line));
                    }
                }
                break;
            case Take:
                taken = queue.Unsent();
                break;
            case Mark:
                ASSERT_LE(step.Args.size(), taken.size());
                for (std::size_t i = 0; i < step.Args.size(); ++i) {
                    queue.MarkSent(taken[i].Seq, step.Args[i]);
                }
                break;
            case Ack:
                queue.Acknowledge(step.Args[0]);
                break;
            case Session:
                queue.StartSession();
                break;
            case Accepted:
                queue.ConnectionAccepted();
                break;
            }
        }
        EXPECT_EQ(told, c.Told);
        EXPECT_EQ(Runs(queue.Unsent()), c.Unsent);
        EXPECT_EQ(queue.Unacknowledged(), c.Unacknowledged);
    }
}

} // namespace
} // namespace ostrel
