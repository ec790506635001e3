#pragma once

#include "live/UsageEnvironment.hh"

class BasicTaskScheduler : public TaskScheduler {
public:
    static BasicTaskScheduler* createNew();
    void doEventLoop(char volatile* watchVariable = nullptr) override;

protected:
    BasicTaskScheduler() = default;
};

class BasicUsageEnvironment : public UsageEnvironment {
public:
    static BasicUsageEnvironment* createNew(TaskScheduler& scheduler);

protected:
    explicit BasicUsageEnvironment(TaskScheduler& scheduler) : UsageEnvironment(scheduler) {}
};
