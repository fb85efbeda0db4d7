// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttQueue.h"

#include "mqtt/MqttPublisher.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

// A publisher's life as one line: "+3" logs three minutes, m1, m2, m3 in
// turn; "take" is Unsent as the thread copies it under the lock; "mark:7,8"
// says the first ones taken went out with these ids; "ack:8" is the
// broker's acknowledgement; "session" tries a new connection; "accepted" is
// the broker taking it.
struct TCase {
    const char* Script;
    std::vector<std::string> Told;
    const char* Unsent; // runs of consecutive minutes
    std::size_t Unacknowledged;
};

const std::string Dropping = "more than 1440 minutes unsent; dropping the oldest, from ";

const TCase Cases[] = {
    // A minute that did not go out waits in its place.
    {"+3 take mark:1 +1", {}, "m2-m4", 4},
    // Acknowledged out of order; an unknown id changes nothing.
    {"+4 take mark:11,12,13,14 ack:13 ack:11 ack:99", {}, "", 2},
    // A new session sends what is left again, in order.
    {"+4 take mark:1,2,3,4 ack:2 session +1", {}, "m1 m3-m5", 4},
    // The last session's ids acknowledge nothing in the new one.
    {"+3 take mark:1,2,3 session take mark:1 ack:2 ack:1", {}, "m2-m3", 2},
    // 0 marks the unsent, so it acknowledges none of them.
    {"+2 take mark:5 ack:0", {}, "m2", 2},
    // A day of minutes is kept without a word; the next drops the oldest.
    {"+1440", {}, "m1-m1440", 1440},
    {"+1441", {Dropping + "m1"}, "m2-m1441", 1440},
    // One line for the run: not while dropping goes on, not for a new
    // session the broker has not taken, not after room was made.
    {"+1441 +5", {Dropping + "m1"}, "m7-m1446", 1440},
    {"+1441 session +1", {Dropping + "m1"}, "m3-m1442", 1440},
    {"+1441 take mark:1 ack:1 +2", {Dropping + "m1"}, "m4-m1443", 1440},
    // A connection the broker takes starts a new run.
    {"+1441 accepted +2", {Dropping + "m1", Dropping + "m2"}, "m4-m1443", 1440},
    // A sent minute dropped before its acknowledgement.
    {"+1440 take mark:1,2 +1 ack:1 ack:2", {Dropping + "m1"}, "m3-m1441", 1439},
    // A minute dropped between take and mark is not found.
    {"+1440 take +1 mark:7", {Dropping + "m1"}, "m2-m1441", 1440},
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
        SCOPED_TRACE(c.Script);
        TMqttQueue queue(TMqttPublisher::MaxUnsent);
        int minutes = 0;
        std::vector<TMqttQueue::TUnsent> taken;
        std::vector<std::string> told;
        std::istringstream script(c.Script);
        for (std::string step; script >> step;) {
            const std::size_t colon = step.find(':');
            const std::string op = step.substr(0, colon);
            std::vector<int> ids;
            std::istringstream list(colon == std::string::npos ? "" : step.substr(colon + 1));
            for (std::string id; std::getline(list, id, ',');) {
                ids.push_back(std::stoi(id));
            }
            if (op[0] == '+') {
                for (int n = std::stoi(op.substr(1)); n > 0; --n) {
                    std::string line = queue.Add("m" + std::to_string(++minutes));
                    if (!line.empty()) {
                        told.push_back(std::move(line));
                    }
                }
            } else if (op == "take") {
                taken = queue.Unsent();
            } else if (op == "mark") {
                ASSERT_LE(ids.size(), taken.size());
                for (std::size_t i = 0; i < ids.size(); ++i) {
                    queue.MarkSent(taken[i].Seq, ids[i]);
                }
            } else if (op == "ack") {
                queue.Acknowledge(ids.at(0));
            } else if (op == "session") {
                queue.StartSession();
            } else {
                ASSERT_EQ(op, "accepted");
                queue.ConnectionAccepted();
            }
        }
        EXPECT_EQ(told, c.Told);
        EXPECT_EQ(Runs(queue.Unsent()), c.Unsent);
        EXPECT_EQ(queue.Unacknowledged(), c.Unacknowledged);
    }
}

} // namespace
} // namespace ostrel
