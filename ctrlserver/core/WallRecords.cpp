#include "core/WallRecords.h"

#include <utility>

VWin::VWin(uint8_t win, uint8_t used, uint8_t layer, uint8_t visible, uint32_t hStart,
           uint32_t hEnd, uint32_t vStart, uint32_t vEnd, uint32_t winId, std::string url,
           std::string name)
    : win(win),
      used(used),
      layer(layer),
      visible(visible),
      hStart(hStart),
      hEnd(hEnd),
      vStart(vStart),
      vEnd(vEnd),
      winId(winId),
      url(std::move(url)),
      name(std::move(name)) {}

VSenceScreen::VSenceScreen() {
    for (int c = 0; c < WALL_CELLS; ++c) {
        screenSplitnum[c] = 1;
        disSplitnum[c] = 1;
    }
}

VSenceScreen::VSenceScreen(VSenceScreen* s) {
    if (!s) return;
    rows = s->rows;
    columns = s->columns;
    horCut = s->horCut;
    verCut = s->verCut;
    width = s->width;
    height = s->height;
    // The grid comes from a settings file; the cell arrays hold 16 whatever it says.
    int cells = static_cast<int>(rows) * static_cast<int>(columns);
    if (cells > WALL_CELLS) cells = WALL_CELLS;
    for (int c = 0; c < cells; ++c) {
        screenIP[c] = s->screenIP[c];
        screenName[c] = s->screenName[c];
        screenSplitnum[c] = s->screenSplitnum[c];
    }
    disWidth = s->disWidth;
    disHeight = s->disHeight;
    for (int d = 0; d < WALL_CELLS; ++d) {
        disIP[d] = s->disIP[d];
        disName[d] = s->disName[d];
        disSplitnum[d] = s->disSplitnum[d];
    }
}
