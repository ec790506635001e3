// The matrix and multiview views: which decoders are listed, with which sources and windows.
#include "ScreensFixture.h"

class MatrixTest : public ScreensTest {
public:
    // Decoders: RXA (split 1), RXB (split 1), RXC (split 4), RXD (split 7), RXW (in the live
    // wall). Encoders TXA on 10.0.0.2, TXB on 10.0.0.21; IP source CAM on 10.0.0.2 too (its
    // address is an encoder's) and CAM2 on 10.0.0.30.
    VSServer& views() {
        loadDevices({{"RXA", "rxa", "10.0.1.1", "m1", "1", "", ""},
                     {"RXB", "rxb", "10.0.1.2", "m2", "1", "", ""},
                     {"RXC", "rxc", "10.0.1.3", "m3", "1", "", ""},
                     {"RXD", "rxd", "10.0.1.4", "m4", "1", "", ""},
                     {"RXW", "rxw", "10.0.0.10", "m5", "1", "", ""}},
                    {{"TXA", "txa", "10.0.0.2", "e1", "1", "rtsp://10.0.0.2/s", ""},
                     {"TXB", "txb", "10.0.0.21", "e2", "1", "rtsp://10.0.0.21/s", ""}},
                    {{"CAM", "cam", "10.0.0.2", "c1", "1", "rtsp://10.0.0.2/c", ""},
                     {"CAM2", "cam2", "10.0.0.30", "c2", "1", "rtsp://10.0.0.30/c", ""}});
        if (HasFatalFailure()) return *model;
        const int splits[] = {1, 1, 4, 7, 1};
        for (int i = 0; i < 5; ++i) server->decoders[i]->status = splits[i];
        // The camera file keeps no host name; the window view joins one when there is one.
        server->ipSources[0]->hostname = "cam";
        VSServer& m = wall();  // 10.0.0.10 is cell 0 of the live wall
        for (int w = 0; w < VS_UNICAST_WINDOWS; ++w) *m.pUWin[w] = VWin();
        // Slot 3: RXA with no url; slot 7: RXA with TXB's; slot 1: RXB with an unknown
        // address, slot 4: RXB with TXB's 10.0.0.21 (not TXA's 10.0.0.2).
        slot(3, "10.0.1.1", {""});
        slot(7, "10.0.1.1", {"rtsp://10.0.0.21/s"});
        slot(1, "10.0.1.2", {"rtsp://10.0.0.99/x"});
        slot(4, "10.0.1.2", {"rtsp://10.0.0.21/s"});
        slot(5, "10.0.1.3", {"rtsp://10.0.0.2/s", "", "rtsp://10.0.0.30/c", "unused_window"});
        slot(6, "10.0.1.4", {"rtsp://10.0.0.21/s", "", "", "", "rtsp://10.0.0.30/c"});
        slot(8, "10.0.0.10", {"rtsp://10.0.0.2/s"});
        return m;
    }
    void slot(int j, const std::string& ip, const std::vector<std::string>& urls) {
        model->pUnicast->ip[j] = ip;
        for (size_t k = 0; k < urls.size(); ++k) {
            VWin& w = *model->pUWin[5 * j + k];
            w.url = urls[k];
            w.used = 1;
            w.hStart = 100 * k;
            w.hEnd = 100 * k + 959;
            w.vStart = 10;
            w.vEnd = 539;
        }
    }
    static std::string row(const Matrix_MV& r) {
        std::string s = r.rxname + "|" + r.rxalias + "|" + std::to_string(r.splitnum);
        for (const auto& t : r.tx) s += "|" + t;
        return s;
    }
    template <class T>
    static std::vector<T> items(ArrayList<T>& list) {
        std::vector<T> out;
        for (ArrayListNode<T>* n = list.head->next; n && n->data; n = n->next)
            out.push_back(*n->data);
        return out;
    }
    std::vector<std::string> matrix(const std::vector<std::string>& ips, int& result) {
        ArrayList<Matrix_MV> list;
        for (std::string ip : ips) result = model->iGetMatrix(list, &ip[0]);
        std::vector<std::string> out;
        for (const auto& r : items(list)) out.push_back(row(r));
        return out;
    }
};

TEST_F(MatrixTest, MatrixRows) {
    views();
    ASSERT_FALSE(HasFatalFailure());
    struct Case {
        const char* what;
        std::vector<std::string> ips;
        int result;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"all decoders, table order; the first slot that yields decides",
         {"255.255.255.255"},
         2,
         {"RXA|RXA_rxa|1|null||||", "RXB|RXB_rxb|1|TXB_txb||||"}},
        {"one decoder", {"10.0.1.2"}, 1, {"RXB|RXB_rxb|1|TXB_txb||||"}},
        {"named twice: listed once, the count of the last call",
         {"10.0.1.1", "10.0.1.1"},
         0,
         {"RXA|RXA_rxa|1|null||||"}},
        {"a multiview decoder", {"10.0.1.3"}, 0, {}},
        {"a wall decoder", {"10.0.0.10"}, 0, {}},
        {"no decoder", {""}, 0, {}},
    };
    for (const Case& c : cases) {
        int result = -1;
        EXPECT_EQ(matrix(c.ips, result), c.rows) << c.what;
        EXPECT_EQ(result, c.result) << c.what;
    }
    // The encoder wins over an IP source of the same address.
    model->pUWin[15]->url = "rtsp://10.0.0.2/s";
    int result = 0;
    EXPECT_EQ(matrix({"10.0.1.1"}, result),
              (std::vector<std::string>{"RXA|RXA_rxa|1|TXA_txa||||"}));
}

TEST_F(MatrixTest, MultiviewRows) {
    views();
    ASSERT_FALSE(HasFatalFailure());
    ArrayList<Matrix_MV> list;
    char all[] = "255.255.255.255";
    EXPECT_EQ(model->iGetMultiView(list, all), 2);
    std::vector<std::string> rows;
    for (const auto& r : items(list)) rows.push_back(row(r));
    // An IP source wins over an encoder of the same address; "unused_window" matches nothing;
    // a split above 5 lists five windows.
    EXPECT_EQ(rows, (std::vector<std::string>{"RXC|RXC_rxc|4|CAM||CAM2||",
                                              "RXD|RXD_rxd|7|TXB_txb||||CAM2"}));

    ArrayList<Matrix_MV_plus_WIN> wins;
    char rxc[] = "10.0.1.3";
    EXPECT_EQ(model->iGetMultiViewWin(wins, rxc), 1);
    EXPECT_EQ(model->iGetMultiViewWin(wins, rxc), 0) << "same host name: not listed twice";
    const auto w = items(wins);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].splitnum, 4);
    EXPECT_EQ(w[0].alias, "RXC");
    EXPECT_EQ(w[0].name, "rxc");
    EXPECT_EQ(w[0].tx[0], "CAM_cam");
    EXPECT_EQ(w[0].tx[1], "");
    EXPECT_EQ(w[0].tx[2], "CAM2_");
    struct Rect {
        int k, h, v, width, height;
    };
    // Extent is last pixel minus first; a window without a source, and window 4 of a split-4
    // decoder, stay zero.
    const Rect rects[] = {{0, 0, 10, 959, 529},
                          {1, 0, 0, 0, 0},
                          {2, 200, 10, 959, 529},
                          {3, 0, 0, 0, 0},
                          {4, 0, 0, 0, 0}};
    for (const Rect& r : rects) {
        EXPECT_EQ(w[0].win[r.k].hstart, r.h) << r.k;
        EXPECT_EQ(w[0].win[r.k].vstart, r.v) << r.k;
        EXPECT_EQ(w[0].win[r.k].width, r.width) << r.k;
        EXPECT_EQ(w[0].win[r.k].height, r.height) << r.k;
    }
    char none[] = "";
    EXPECT_EQ(model->iGetMultiView(list, none), 0);
    char wallRx[] = "10.0.0.10";
    EXPECT_EQ(model->iGetMultiViewWin(wins, wallRx), 0);
}
