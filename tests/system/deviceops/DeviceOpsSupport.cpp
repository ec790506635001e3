#include "DeviceOpsSupport.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace devops {

std::unique_ptr<qeltest::FakeDevice> fakeDevice(qeltest::Box& box, qeltest::FakeDevice::Kind kind,
                                                qeltest::FakeDevice::Responder answer) {
    auto fake = std::make_unique<qeltest::FakeDevice>(box, kind);
    EXPECT_TRUE(fake->ok()) << fake->error();
    fake->setResponder(
        answer ? answer : [](const qeltest::Datagram&) { return std::vector<std::string>(); });
    return fake;
}

std::string runTool(qeltest::Box& box, const std::vector<std::string>& ops,
                    std::chrono::milliseconds timeout) {
    auto p = box.start(qeltest::programPath("deviceops_tool"), ops);
    if (!p) return "";
    if (!p->waitForStdout("@end\n", timeout)) {
        ADD_FAILURE() << "deviceops_tool did not end:\n" << p->output();
        return "";
    }
    p->waitExit(5s);
    return p->stdoutText();
}

std::vector<std::string> linesWith(const std::string& out, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    return lines;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::string dir = path.substr(0, path.rfind('/'));
    qeltest::runCommand({"mkdir", "-p", dir});
    std::ofstream out(path, std::ios::binary);
    out << text;
}

}  // namespace devops
