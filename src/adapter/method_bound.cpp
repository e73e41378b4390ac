#include "adapter/method_bound.h"

namespace {

using Clock = std::chrono::steady_clock;

struct ThreadBound {
    std::chrono::milliseconds budget{0}; // 0: no bound
    bool started = false;
    Clock::time_point deadline;
};

thread_local ThreadBound current;

} // namespace

MethodBound::MethodBound(std::chrono::milliseconds budget)
    : previousBudget_(current.budget), previousStarted_(current.started),
      previousDeadline_(current.deadline) {
    current = ThreadBound{budget, false, {}};
}

MethodBound::~MethodBound() {
    current = ThreadBound{previousBudget_, previousStarted_, previousDeadline_};
}

bool MethodBoundPassed() {
    if (current.budget.count() == 0)
        return false;
    const Clock::time_point now = Clock::now();
    if (!current.started) {
        current.started = true;
        current.deadline = now + current.budget;
    }
    return now >= current.deadline;
}
