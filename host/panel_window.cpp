#include "host/panel_window.h"

#include <algorithm>

#include "host/picture_checks.h"
#include "stb_image.h"
#include "stb_image_resize.h"

namespace panelhost {

Image scale_picture(const Image& picture, int width, int height) {
    if (picture.width == width && picture.height == height) return picture;
    Image scaled(width, height);
    scale_picture(picture, scaled);
    return scaled;
}

void scale_picture(const Image& picture, Image& scaled) {
    const int width = scaled.width, height = scaled.height;
    scaled.pixels.resize(size_t(width) * height);
    static_assert(sizeof(Rgba) == 4);
    // Filters without negative lobes: an area average when shrinking, linear
    // when enlarging. Sharpening filters ring around a needle's edge and can
    // leave a colour brighter than its alpha allows.
    stbir_filter filter = width < picture.width || height < picture.height ? STBIR_FILTER_BOX : STBIR_FILTER_TRIANGLE;
    stbir_resize_uint8_generic(reinterpret_cast<const unsigned char*>(picture.pixels.data()), picture.width,
                               picture.height, 0, reinterpret_cast<unsigned char*>(scaled.pixels.data()), width,
                               height, 0, 4, STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, filter,
                               STBIR_COLORSPACE_LINEAR, nullptr);
}

bool read_bitmap_file(const std::string& path, Image& picture, std::string& error) {
    // More than any window's bitmap (16384 x 16384 at 8 bits).
    constexpr size_t max_file_size = size_t(512) << 20;
    std::vector<uint8_t> bytes;
    if (!read_picture_file(path, max_file_size, bytes, error)) return false;
    std::string problem;
    if (starts_as_bmp(bytes) && !check_bmp_file(bytes, problem)) {
        error = path + ": a damaged BMP file (" + problem + ")";
        return false;
    }
    PngHeader png;
    if (starts_as_png(bytes) && !check_png_chunks(bytes, png, problem)) {
        error = path + ": a damaged PNG file (" + problem + ")";
        return false;
    }
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels)) {
        error = path + ": cannot read it as a picture (" + stbi_failure_reason() + ")";
        return false;
    }
    if (width > max_window_side || height > max_window_side || int64_t(width) * height > max_window_pixels) {
        error = path + ": " + std::to_string(width) + " x " + std::to_string(height) +
                " is larger than a panel window this host draws";
        return false;
    }
    unsigned char* pixels = stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 3);
    if (!pixels) {
        error = path + ": cannot read it as a picture (" + stbi_failure_reason() + ")";
        return false;
    }
    picture = Image(width, height);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const unsigned char* p = pixels + 3 * i;
        if (p[0] || p[1] || p[2]) picture.pixels[i] = opaque(p[0], p[1], p[2]);
    }
    stbi_image_free(pixels);
    return true;
}

Host* PanelModules::host(const std::string& module, std::string& why) {
    for (const auto& o : opened_) {
        if (o->name != module) continue;
        if (!o->host) why = "module " + module + " (" + o->path + ") failed its checks";
        return o->host.get();
    }
    std::string tried;
    for (const std::string& folder : folders_) {
        std::string path = folder + module + ".gau";
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            std::fclose(f);
            auto o = std::make_unique<Opened>();
            o->name = module;
            o->path = path;
            o->host = Host::open(path, o->report);
            opened_.push_back(std::move(o));
            return host(module, why);
        }
        tried += (tried.empty() ? "" : ", ") + (folder.empty() ? std::string("./") : folder);
    }
    why = "no module " + module + ": no " + module + ".gau in " + tried;
    return nullptr;
}

FaceSizeLookup PanelModules::face_sizes() {
    return [this](const std::string& module, const std::string& gauge, std::string& why) -> std::optional<FaceSize> {
        Host* h = host(module, why);
        if (!h) return std::nullopt;
        if (const GaugeModel* g = h->gauge(gauge)) return FaceSize{g->width, g->height};
        why = "module " + module + " has no gauge \"" + gauge + "\"; it has";
        for (const GaugeModel& g : h->gauges()) why += " \"" + g.name + "\"";
        return std::nullopt;
    };
}

std::unique_ptr<PanelWindow> PanelWindow::prepare(PanelLayout& layout, LayoutWindow& window,
                                                  PanelModules& modules) {
    auto error = [&](int line, std::string text) {
        layout.messages.push_back({LayoutMessage::Error, line, std::move(text)});
        return nullptr;
    };
    std::unique_ptr<PanelWindow> panel(new PanelWindow(window));
    Image bitmap;
    if (!window.background_file.empty()) {
        std::string why;
        if (!read_bitmap_file(layout_folder(layout.source) + window.background_file, bitmap, why))
            return error(window.line, "[" + window.section + "] background: " + why);
        if (window.width == 0) window.width = bitmap.width, window.height = bitmap.height;
    }
    if (window.width == 0)
        return error(window.line, "[" + window.section + "] has neither size_mm nor a background file=, "
                                  "so its size is unknown");
    place_gauges(layout, window, modules.face_sizes());
    if (layout.has_errors()) return nullptr;

    Rgba ground{};
    if (window.background_colour) {
        const LayoutColour& c = *window.background_colour;
        ground = opaque(c.r, c.g, c.b);
    }
    panel->background_ = Image(window.width, window.height, ground);
    if (bitmap.width) blit(panel->background_, scale_picture(bitmap, window.width, window.height), 0, 0);
    for (const LayoutGauge& g : window.gauges) {
        std::string why;
        Host* host = modules.host(g.module, why);
        panel->gauges_.push_back({&g, host, host->gauge(g.gauge), {}, {}});
    }
    return panel;
}

void PanelWindow::install() {
    for (const Placed& p : gauges_)
        if (!p.host->installed(*p.gauge)) p.host->install(*p.gauge);
}

void PanelWindow::update() {
    // A gauge placed twice is still one gauge: one update a tick.
    std::set<const GaugeModel*> updated;
    for (const Placed& p : gauges_)
        if (updated.insert(p.gauge).second) p.host->update(*p.gauge);
}

Image PanelWindow::draw() {
    Image panel;
    draw(panel);
    return panel;
}

void PanelWindow::draw(Image& panel) {
    panel.width = background_.width;
    panel.height = background_.height;
    panel.pixels.assign(background_.pixels.begin(), background_.pixels.end());
    for (Placed& p : gauges_) {
        p.host->draw(*p.gauge, p.face);
        const Image* shown = &p.face;
        if (p.face.width != p.layout->width || p.face.height != p.layout->height) {
            p.scaled.width = p.layout->width;
            p.scaled.height = p.layout->height;
            scale_picture(p.face, p.scaled);
            shown = &p.scaled;
        }
        blit(panel, *shown, p.layout->x, p.layout->y);
    }
}

std::set<uint32_t> PanelWindow::tokens_read() const {
    std::set<uint32_t> tokens;
    for (const Placed& p : gauges_) {
        const auto& read = p.host->tokens_read;
        if (auto it = read.find(p.gauge); it != read.end()) tokens.insert(it->second.begin(), it->second.end());
    }
    return tokens;
}

bool PanelWindow::lists_failure(uint32_t key) const {
    for (const Placed& p : gauges_)
        for (const ElementModel& e : p.gauge->elements)
            for (const stored::FailureRecord& r : e.failures)
                if (r.key == key) return true;
    return false;
}

}  // namespace panelhost
