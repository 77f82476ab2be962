#include "net/transport/net_component.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace kavrel {
namespace {

// Every work event of one component, as text, in order.
struct TWorkLog {
    std::vector<std::string> Events;
    void Attach(TNetComponent& c) {
        c.OnWorkBegin = [this](TNetComponent&, TWorkMode m, std::int32_t max) {
            Events.push_back("begin " + std::to_string(static_cast<int>(m)) + " " +
                             std::to_string(max));
        };
        c.OnWork = [this](TNetComponent&, TWorkMode m, std::int32_t count) {
            Events.push_back("work " + std::to_string(static_cast<int>(m)) + " " +
                             std::to_string(count));
        };
        c.OnWorkEnd = [this](TNetComponent&, TWorkMode m) {
            Events.push_back("end " + std::to_string(static_cast<int>(m)));
        };
    }
};

TEST(NetComponent, NestedWorkReachesHandlersOnceWithRunningTotals) {
    TNetComponent c;
    TWorkLog log;
    log.Attach(c);
    c.AddWork(TWorkMode::wkRead, 5);  // no bracket open: nothing
    c.StartWork(TWorkMode::wkRead, 100);
    c.StartWork(TWorkMode::wkRead, 7);
    c.AddWork(TWorkMode::wkRead, 10);
    c.AddWork(TWorkMode::wkWrite, 3);  // the other mode has no bracket
    c.AddWork(TWorkMode::wkRead, 10);
    c.FinishWork(TWorkMode::wkRead);
    c.FinishWork(TWorkMode::wkRead);
    c.FinishWork(TWorkMode::wkRead);  // unbalanced: ignored
    c.StartWork(TWorkMode::wkRead, 0);
    c.AddWork(TWorkMode::wkRead, 1);
    c.FinishWork(TWorkMode::wkRead);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 0 100", "work 0 10", "work 0 20",
                                                    "end 0", "begin 0 0", "work 0 1", "end 0"}));
}

TEST(NetComponent, WorkTotalStopsAtTheTopInsteadOfWrapping) {
    TNetComponent c;
    std::int32_t last = 0;
    c.OnWork = [&](TNetComponent&, TWorkMode, std::int32_t count) { last = count; };
    const TWorkBracket bracket(c, TWorkMode::wkRead, 0);
    c.AddWork(TWorkMode::wkRead, 2000000000);
    c.AddWork(TWorkMode::wkRead, 2000000000);
    EXPECT_EQ(last, 2147483647);
}

TEST(NetComponent, BracketEndsWorkWhenTheReadRaises) {
    TNetComponent c;
    TWorkLog log;
    log.Attach(c);
    EXPECT_THROW(
        {
            const TWorkBracket bracket(c, TWorkMode::wkWrite, 3);
            throw std::runtime_error("read failed");
        },
        std::runtime_error);
    EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 1 3", "end 1"}));
}

TEST(NetComponent, StatusTexts) {
    struct {
        TNetStatus status;
        const char* argument;
        const char* expected;
    } const rows[] = {
        {TNetStatus::stResolving, "localhost", "Resolving hostname localhost."},
        {TNetStatus::stConnecting, "127.0.0.1", "Connecting to 127.0.0.1."},
        {TNetStatus::stConnected, "mail.example.com", "Connected."},
        {TNetStatus::stDisconnecting, "", "Disconnecting."},
        {TNetStatus::stDisconnected, "", "Disconnected."},
        {TNetStatus::stText, "Chunk Started", "Chunk Started"},
    };
    for (const auto& r : rows) {
        TNetComponent c;
        std::vector<std::string> seen;
        c.OnStatus = [&](TNetComponent& sender, TNetStatus s, const std::string& text) {
            EXPECT_EQ(&sender, &c);
            EXPECT_EQ(s, r.status);
            seen.push_back(text);
        };
        c.ReportStatus(r.status, r.argument);
        EXPECT_EQ(seen, std::vector<std::string>{r.expected});
    }
    TNetComponent silent;
    EXPECT_NO_THROW(silent.ReportStatus(TNetStatus::stConnected));
}

}  // namespace
}  // namespace kavrel
