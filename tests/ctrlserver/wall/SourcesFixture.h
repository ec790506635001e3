// The live wall of the screens fixture with known decoders in its cells and beside it,
// encoders and IP cameras with two streams each, and short ways to run the unicast, url,
// multicast and clear handlers.
#pragma once

#include <string>
#include <vector>

#include "ScreensFixture.h"
#include "wall/VSServerUtil.h"

class SourcesTest : public ScreensTest {
public:
    // Decoders: the wall cells' cellIp(0..3), then freeIp(0..3) that no cell holds.
    // Encoders 10.0.1.1 ("ENC1") and 10.0.1.2 (no name); IP camera 10.0.2.1 ("CAM1").
    void loadDefaultDevices() {
        std::vector<DevSpec> decoders;
        for (int c = 0; c < 4; ++c) decoders.push_back(dec(cellIp(c), "RX" + std::to_string(c)));
        for (int i = 0; i < 4; ++i) decoders.push_back(dec(freeIp(i), "FREE" + std::to_string(i)));
        loadDevices(decoders,
                    {src("ENC1", "10.0.1.1", "rtsp://10.0.1.1/main", "rtsp://10.0.1.1/sub"),
                     src("", "10.0.1.2", "rtsp://10.0.1.2/a", "rtsp://10.0.1.2/b")},
                    {src("CAM1", "10.0.2.1", "rtsp://10.0.2.1/cam0", "rtsp://10.0.2.1/cam1")});
    }
    // The screens fixture's wall over fresh device tables: the sending thread mirrors the
    // split texts of an earlier case into the decoder table.
    VSServer& wall() {
        loadDefaultDevices();
        return ScreensTest::wall();
    }
    static std::string freeIp(int i) { return "10.0.0.2" + std::to_string(i); }

    static DevSpec dec(const std::string& ip, const std::string& name) {
        return DevSpec{
            name, "host-" + name, ip, "00:11:22:33:44:" + ip.substr(ip.size() - 2), "1.0", "", ""};
    }
    static DevSpec src(const std::string& name, const std::string& ip, const std::string& url0,
                       const std::string& url1) {
        return DevSpec{name,  "host-" + ip, ip,  "00:22:33:44:55:" + ip.substr(ip.size() - 1),
                       "1.0", url0,         url1};
    }

    int uniSrc(const std::string& args, unsigned wallCheck = 0) {
        std::string text = "config set unicast src params " + args;
        const std::string before = text;
        const int r = model->cmdUnicastSetRXScreen(&text[0], wallCheck, 1);
        EXPECT_EQ(text, before) << "the caller's text changed";
        return r;
    }
    int uniSplit(const std::string& args, unsigned direct = 1) {
        return run(&VSServer::cmdUnicastSetSplit, "config set unicast split params " + args,
                   direct);
    }
    int uniUrl(const std::string& args) {
        return run(&VSServer::cmdUnicastSetUrl, "config set unicast url params " + args);
    }
    int uniWin(int w, int h0, int h1, int v0, int v1) {
        return run(&VSServer::cmdVSSetUniWin, "config set unicast win params " + std::to_string(w) +
                                                  " " + std::to_string(h0) + " " +
                                                  std::to_string(h1) + " " + std::to_string(v0) +
                                                  " " + std::to_string(v1));
    }
    int uniDbl(int w) {
        return run(&VSServer::cmdVSSetUniDbl, "config set unicast dbl params " + std::to_string(w));
    }

    // The texts one url text gives.
    static std::string url(const std::string& ip, int w, const std::string& u) {
        return vsUrlText(ip, w, u);
    }
    // The six texts the multicast screen gives each decoder.
    static std::vector<std::string> multicastTexts(const std::string& ip, const std::string& u) {
        std::vector<std::string> t{vsSplitText(ip, 1, 0), vsUrlText(ip, 0, u)};
        for (int k = 1; k < 5; ++k) t.push_back(vsUrlText(ip, k, VS_UNUSED_WINDOW));
        return t;
    }
    static void append(std::vector<std::string>& a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
    }

    // A multicast source stored as if set earlier, in the record and its file.
    void setMulticast(const std::string& url, const std::string& name) {
        model->pMulticast->winUrl = url;
        model->pMulticast->winUrlName = name;
        model->confMulticast->WriteString("winUrl", url, false);
        model->confMulticast->WriteString("winUrlName", name, true);
    }
    bool multicastEmpty() {
        return model->pMulticast->winUrl.empty() && model->pMulticast->winUrlName.empty() &&
               value("/mnt/qelconfMulticast.ini", "winUrl") == "" &&
               value("/mnt/qelconfMulticast.ini", "winUrlName") == "";
    }
};
