// The wall model fixture with the model's device texts captured, fixture device files for the
// device server beside it, and short ways to lay out walls and windows.
#pragma once

#include <string>
#include <vector>

#include "WallModelFixture.h"

// One device of a fixture device file.
struct DevSpec {
    std::string name, hostname, ip, mac, version;
    std::string url0, url1;  // encoders and IP sources
};

class WallOpsTest : public WallModelTest {
public:
    // Builds the model and captures every decoder text it queues into texts.
    VSServer& startWatched() {
        VSServer& m = start();
        m.devTextTap = [this](const std::string& t) { texts.push_back(t); };
        return m;
    }

    // Writes the decoder, encoder and IP-source files and rebuilds the device server from
    // them (the model, which refers to it, is dropped first).
    void loadDevices(const std::vector<DevSpec>& decoders, const std::vector<DevSpec>& encoders,
                     const std::vector<DevSpec>& ipSources) {
        model.reset();
        server.reset();  // it would write its own tables back over the files
        writeDeviceFile("/mnt/qeldevDecoder.ini", "decoder", decoders);
        writeDeviceFile("/mnt/qeldevEncoder.ini", "encoder", encoders);
        writeDeviceFile("/mnt/qeldevIPSource.ini", "ipsource", ipSources);
        DevServer& dev = DevServerTest::start();
        ASSERT_EQ(dev.decoderCount, static_cast<int>(decoders.size()));
        ASSERT_EQ(dev.encoderCount, static_cast<int>(encoders.size()));
        ASSERT_EQ(dev.ipSourceCount, static_cast<int>(ipSources.size()));
    }

    // Sets window w of a family to the rectangle, used, with the flags given.
    static void place(std::unique_ptr<VWin>& w, uint32_t h0, uint32_t h1, uint32_t v0, uint32_t v1,
                      uint8_t visible = 1, uint8_t layer = 0) {
        w->used = 1;
        w->visible = visible;
        w->layer = layer;
        w->hStart = h0;
        w->hEnd = h1;
        w->vStart = v0;
        w->vEnd = v1;
    }

    // Every live-wall window unused and hidden, at 0.
    void clearLiveWall() {
        for (int w = 0; w < VS_WALL_WINDOWS; ++w) {
            *model->pVWin[w] = VWin(w, 0, 0, 0, 0, 0, 0, 0, w, "", "");
            *model->pVWinOrg[w] = *model->pVWin[w];
        }
    }

    std::vector<std::string> texts;

private:
    void writeDeviceFile(const std::string& file, const std::string& kind,
                         const std::vector<DevSpec>& devices) {
        KeyList keys;
        keys.emplace_back(kind + "_count", static_cast<int>(devices.size()));
        for (size_t i = 0; i < devices.size(); ++i) {
            char prefix[32];
            snprintf(prefix, sizeof prefix, "%s%02d_", kind.c_str(), static_cast<int>(i));
            const std::string p = prefix;
            const DevSpec& d = devices[i];
            keys.emplace_back(p + "ip", d.ip);
            keys.emplace_back(p + "name", d.name);
            keys.emplace_back(p + "hostname", d.hostname);
            keys.emplace_back(p + "mac", d.mac);
            keys.emplace_back(p + "version", d.version);
            keys.emplace_back(p + "url0", d.url0);
            keys.emplace_back(p + "url1", d.url1);
        }
        writeKeys(file, keys);
    }
};
