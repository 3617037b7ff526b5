// Whole panel windows: every gauge a layout window names, drawn by its own
// module, scaled to its box and put over the window's background.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/base/image.h"
#include "host/panel_host.h"
#include "host/panel_layout.h"

namespace panelhost {

// The picture resampled to width x height (stb's filters; premultiplied
// channels resample independently, so see-through edges stay clean).
Image scale_picture(const Image& picture, int width, int height);
// The same into `scaled`, at its width and height, reusing its storage.
void scale_picture(const Image& picture, Image& scaled);

// A .bmp file as a picture, pure black see-through as in gauge bitmaps;
// false with `error` set when it cannot be read.
bool read_bitmap_file(const std::string& path, Image& picture, std::string& error);

// The gauge modules a layout names, each opened once, from the first of its
// folders that holds MODULE.gau.
class PanelModules {
public:
    explicit PanelModules(std::vector<std::string> folders) : folders_(std::move(folders)) {}

    // The module's host, opened on first use; null with `why` set when there
    // is no such file or it failed its checks.
    Host* host(const std::string& module, std::string& why);
    // A layout's lookup of face sizes through these modules.
    FaceSizeLookup face_sizes();

    struct Opened {
        std::string name;  // as the layout wrote it
        std::string path;
        Report report;                // its findings, errors or not
        std::unique_ptr<Host> host;  // null when it failed
    };
    const std::vector<std::unique_ptr<Opened>>& opened() const { return opened_; }
    const std::vector<std::string>& folders() const { return folders_; }

private:
    std::vector<std::string> folders_;
    std::vector<std::unique_ptr<Opened>> opened_;
};

class PanelWindow {
public:
    // Reads the window's background (file= beside the layout), takes the
    // window's size from it when size_mm leaves it open, and places the
    // gauges. Null when anything was wrong: the layout's messages say what.
    static std::unique_ptr<PanelWindow> prepare(PanelLayout& layout, LayoutWindow& window, PanelModules& modules);

    const LayoutWindow& window() const { return window_; }

    // Every gauge installed; each update() is one tick of all of them.
    void install();
    void update();
    // The background, then each gauge in the layout's order, scaled to its box.
    Image draw();
    // The same into `panel`, reusing its storage and the gauges' own
    // canvases: a run of frames allocates nothing after the first.
    void draw(Image& panel);

    // The variables the window's gauges have read, and whether one of them
    // lists a failure key.
    std::set<uint32_t> tokens_read() const;
    bool lists_failure(uint32_t key) const;

private:
    explicit PanelWindow(const LayoutWindow& window) : window_(window) {}
    struct Placed {
        const LayoutGauge* layout;
        Host* host;
        const GaugeModel* gauge;
        Image face, scaled;  // as last drawn
    };
    const LayoutWindow& window_;  // inside the layout, which outlives this
    Image background_;
    std::vector<Placed> gauges_;
};

}  // namespace panelhost
