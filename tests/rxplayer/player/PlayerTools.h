// Small tools shared by the player's tests, its driver and its benchmark.
#pragma once

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace playertools {

// Kernel ids of this process's threads now. The kernel hands an id out again only after it
// has gone round every id, so an id in two lists names one thread.
inline std::set<int> threadIds() {
    std::set<int> ids;
    DIR* d = opendir("/proc/self/task");
    if (!d) return ids;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ids.insert(atoi(e->d_name));
    closedir(d);
    return ids;
}

// Threads of this process now.
inline int threadCount() {
    std::set<int> ids = threadIds();
    return ids.empty() ? -1 : static_cast<int>(ids.size());
}

// Packets of the best video stream of a file; -1 when it cannot be read.
inline int videoPackets(const std::string& file) {
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) return -1;
    avformat_find_stream_info(ic, nullptr);
    int v = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket* p = av_packet_alloc();
    int n = 0;
    while (av_read_frame(ic, p) >= 0) {
        n += p->stream_index == v;
        av_packet_unref(p);
    }
    av_packet_free(&p);
    avformat_close_input(&ic);
    return n;
}

// Writes the window files of windows 0..4 and 17, shown side by side (stops exclusive), to
// the paths that fileOf gives for "/mnt/winpara_NN.ini"; false when one cannot be written.
inline bool writeShownWindows(const std::function<std::string(const std::string&)>& fileOf,
                              int count = 6) {
    const int win[6] = {0, 1, 2, 3, 4, 17};
    const int rect[6][4] = {{0, 960, 0, 540},       {960, 1920, 0, 540},
                            {0, 960, 540, 1080},    {960, 1440, 540, 1080},
                            {1440, 1920, 540, 810}, {1440, 1920, 810, 1080}};
    for (int i = 0; i < count && i < 6; i++) {
        char name[64];
        snprintf(name, sizeof name, "/mnt/winpara_%02d.ini", win[i]);
        FILE* f = fopen(fileOf(name).c_str(), "w");
        if (!f) return false;
        fprintf(f, "unused_window\nunused_window\n%d\n%d\n%d\n%d\n0\n100\n0\n100\n0\n1\n",
                rect[i][0], rect[i][1], rect[i][2], rect[i][3]);
        fclose(f);
    }
    return true;
}

}  // namespace playertools
