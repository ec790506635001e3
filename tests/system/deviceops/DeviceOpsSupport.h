// Shared pieces of the device-operation tests on the test network: fake devices with scripted
// answers, a collector of datagrams in arrival order, and
// the run of deviceops_tool in the controller's box.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/Clients.h"
#include "support/Collector.h"
#include "support/FakeDevice.h"
#include "support/Process.h"
#include "support/TestNet.h"

namespace devops {

using namespace std::chrono_literals;

// A fake device in box answering through `answer` (nothing when it is empty).
std::unique_ptr<qeltest::FakeDevice> fakeDevice(qeltest::Box& box, qeltest::FakeDevice::Kind kind,
                                                qeltest::FakeDevice::Responder answer);

// The one-thread listener over several boxes (support/Collector.h).
using qeltest::Collector;
using qeltest::Seen;

// Runs deviceops_tool with the operations in `box` and returns its standard output once it
// ended (empty, with a test failure, when it did not end within `timeout`).
std::string runTool(qeltest::Box& box, const std::vector<std::string>& ops,
                    std::chrono::milliseconds timeout = 30s);

// The lines of out that begin with prefix.
std::vector<std::string> linesWith(const std::string& out, const std::string& prefix);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

}  // namespace devops
