#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "live/BasicUsageEnvironment.hh"

namespace {

UsageEnvironment& environment() {
    static UsageEnvironment* env =
        BasicUsageEnvironment::createNew(*BasicTaskScheduler::createNew());
    return *env;
}

TEST(UsageEnvironment, ResultMessageCarriesTheErrorText) {
    UsageEnvironment& env = environment();
    env.setResultErrMsg("listen() failed: ", ECONNREFUSED);
    EXPECT_EQ(std::string(env.getResultMsg()),
              std::string("listen() failed: ") + strerror(ECONNREFUSED));
    env.setResultMsg("a", "b");
    env.appendToResultMsg("c");
    EXPECT_STREQ(env.getResultMsg(), "abc");
}

TEST(UsageEnvironment, ResultMessageIsSafeFromSeveralThreads) {
    // The text port's threads set result messages on the one environment of the program while
    // the main thread may read it; the sanitizer build sees a text freed under a reader.
    UsageEnvironment& env = environment();
    env.setResultErrMsg(std::string(200, 'a').c_str(), EINVAL);
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t)
        writers.emplace_back([&env, &stop, t] {
            const std::string head(200 + 50 * t, static_cast<char>('a' + t));
            while (!stop) {
                env.setResultErrMsg(head.c_str(), EINVAL);
                env.appendToResultMsg(head.c_str());
            }
        });
    // Whatever is read holds whole writes: it opens with one writer's full message text.
    std::string torn;
    for (int i = 0; i < 20000 && torn.empty(); ++i) {
        const std::string seen = env.getResultMsg();
        if (seen.size() < 200 || seen.find_first_not_of(seen[0]) != seen.find(strerror(EINVAL)))
            torn = seen;
    }
    stop = true;
    for (auto& w : writers) w.join();
    EXPECT_EQ(torn, "");
}

}  // namespace
