#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "net/transport/socket_stack.h"

namespace kavrel {

// Time-outs are milliseconds; these two values are never real durations.
inline constexpr int TimeoutDefault = -1;
inline constexpr int TimeoutInfinite = -2;

enum class TNetStatus {
    stResolving = 0,
    stConnecting = 1,
    stConnected = 2,
    stDisconnecting = 3,
    stDisconnected = 4,
    stText = 5,
};

enum class TWorkMode { wkRead = 0, wkWrite = 1 };

class TNetComponent;

using TNetStatusEvent =
    std::function<void(TNetComponent& ASender, TNetStatus AStatus, const std::string& AStatusText)>;
using TWorkBeginEvent =
    std::function<void(TNetComponent& Sender, TWorkMode AWorkMode, std::int32_t AWorkCountMax)>;
using TWorkEvent =
    std::function<void(TNetComponent& Sender, TWorkMode AWorkMode, std::int32_t AWorkCount)>;
using TWorkEndEvent = std::function<void(TNetComponent& Sender, TWorkMode AWorkMode)>;
using TNotifyEvent = std::function<void(TNetComponent& Sender)>;

// The text of a status, its pattern formatted with the argument.
std::string NetStatusText(TNetStatus status, const std::string& argument);

// Base of every network object: status and progress events, and a hold on the socket layer.
class TNetComponent {
  public:
    TNetComponent() = default;
    TNetComponent(const TNetComponent&) = delete;
    TNetComponent& operator=(const TNetComponent&) = delete;
    virtual ~TNetComponent() = default;

    TNetStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;
    // Called at least every kWaitingStepMs while a name is looked up, a connect or a read
    // waits, or a reply streams in, so that a program driven from one thread keeps its window
    // answering. It may raise to abandon the operation (a program that is ending does).
    TNotifyEvent OnWaiting;
    static constexpr int kWaitingStepMs = 100;

    void ReportStatus(TNetStatus status, const std::string& argument = {});

    // Brackets nest; only the outermost one reaches OnWorkBegin and OnWorkEnd, and OnWork
    // always gets the total since the outermost StartWork.
    void StartWork(TWorkMode mode, std::int32_t max);
    void AddWork(TWorkMode mode, std::int64_t count);
    void FinishWork(TWorkMode mode);

  private:
    struct TWorkRecord {
        std::int32_t Level = 0;
        std::int32_t Max = 0;
        std::int32_t Count = 0;
    };
    TWorkRecord& Record(TWorkMode mode) { return work_[static_cast<int>(mode)]; }

    TSocketStackRef stack_;
    TWorkRecord work_[2];
};

// Keeps a work bracket balanced on every path out of a read.
class TWorkBracket {
  public:
    TWorkBracket(TNetComponent& owner, TWorkMode mode, std::int32_t max)
        : owner_(owner), mode_(mode), unwinding_(std::uncaught_exceptions()) {
        owner_.StartWork(mode_, max);
    }
    // An end handler that raises is passed on, except while a read error is already on its
    // way out: that one is the error the caller must see.
    ~TWorkBracket() noexcept(false) {
        if (std::uncaught_exceptions() == unwinding_) {
            owner_.FinishWork(mode_);
            return;
        }
        try {
            owner_.FinishWork(mode_);
        } catch (...) {
        }
    }
    TWorkBracket(const TWorkBracket&) = delete;
    TWorkBracket& operator=(const TWorkBracket&) = delete;

  private:
    TNetComponent& owner_;
    TWorkMode mode_;
    int unwinding_;
};

}  // namespace kavrel
