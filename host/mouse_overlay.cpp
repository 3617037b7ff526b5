#include "host/mouse_overlay.h"

#include <algorithm>

#include "host/record_words.h"
#include "host/base/report.h"

namespace panelhost {

namespace {

constexpr int line_height = 12;  // the built-in font's line at scale 1
constexpr int margin = 6;
constexpr int swatch = 8;
const Rgba legend_ground = opaque(40, 44, 50);
const Rgba legend_text = opaque(230, 232, 236);
const Rgba label_ground = opaque(16, 16, 16);

// Arrow, 9 pixels wide and 8 high: a triangle on a shaft.
void draw_arrow(Image& canvas, int centre_x, int centre_y, bool up, Rgba colour) {
    for (int row = 0; row < 8; ++row) {
        int from_tip = up ? row : 7 - row;
        int half = from_tip < 5 ? from_tip : 1;  // the head widens for five rows, then the shaft
        int y = centre_y - 4 + row;
        for (int x = centre_x - half; x <= centre_x + half; ++x)
            if (canvas.contains(x, y)) canvas.at(x, y) = colour;
    }
}

void fill(Image& canvas, int left, int top, int width, int height, Rgba colour) {
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            if (canvas.contains(x, y)) canvas.at(x, y) = colour;
}

// "3 child 40, 210, 25 x 21: cursor up arrow, key event 0x10070"
std::string legend_line(const MouseArea& area) {
    const stored::MouseRect& r = area.record;
    std::string line = format("%d %s %d, %d, %d x %d%s: cursor %s", area.index, mouse_area_kind(area), area.x,
                              area.y, area.width, area.height, covers_whole_face(area) ? " (whole face)" : "",
                              cursor_name(r.cursor));
    if (r.help_id) line += format(", help 0x%04X", unsigned(r.help_id));
    if (r.event_id) line += format(", key event 0x%05X", unsigned(r.event_id));
    return line;
}

}  // namespace

Rgba mouse_area_colour(size_t index) {
    static const Rgba palette[] = {
        opaque(255, 70, 70),  opaque(70, 200, 255), opaque(255, 205, 0),  opaque(120, 255, 90),
        opaque(255, 110, 225), opaque(170, 140, 255), opaque(255, 150, 60), opaque(80, 255, 215),
    };
    return palette[index % std::size(palette)];
}

Image with_mouse_areas(const Image& picture, const GaugeModel& gauge) {
    std::vector<std::string> lines;
    int legend_width = 0;
    for (const MouseArea& area : gauge.mouse_areas) {
        lines.push_back(legend_line(area));
        legend_width = std::max(legend_width, swatch + 4 + text_width(lines.back()));
    }
    if (lines.empty()) {
        lines.push_back("no mouse areas");
        legend_width = text_width(lines.back());
    }
    const int legend_height = 2 * margin + int(lines.size()) * line_height;
    Image canvas(std::max(picture.width, legend_width + 2 * margin), picture.height + legend_height);
    for (int y = 0; y < picture.height; ++y)
        std::copy_n(&picture.at(0, y), picture.width, &canvas.at(0, y));
    fill(canvas, 0, picture.height, canvas.width, legend_height, legend_ground);

    // Boxes in list order, so an inner area's outline is drawn over its parent's.
    for (size_t i = 0; i < gauge.mouse_areas.size(); ++i) {
        const MouseArea& area = gauge.mouse_areas[i];
        if (area.width <= 0 || area.height <= 0) continue;
        const Rgba colour = mouse_area_colour(i);
        // Clipped to the gauge: the legend is no part of the face.
        int right = std::min(area.x + area.width - 1, picture.width - 1);
        int bottom = std::min(area.y + area.height - 1, picture.height - 1);
        draw_outline(canvas, std::max(area.x, 0), std::max(area.y, 0), right, bottom, colour);
    }
    // Numbers and arrows after every outline, so no outline crosses them.
    for (size_t i = 0; i < gauge.mouse_areas.size(); ++i) {
        const MouseArea& area = gauge.mouse_areas[i];
        const Rgba colour = mouse_area_colour(i);
        std::string number = std::to_string(area.index);
        // A parent's first child may share its corner: the parent's number
        // goes just above its box where there is room.
        bool above = area.record.rect_type == stored::mouse_parent && area.y >= 11;
        int label_x = std::max(area.x, 0) + 2, label_y = above ? area.y - 10 : std::max(area.y, 0) + 2;
        if (label_x < picture.width && label_y < picture.height) {
            fill(canvas, label_x - 1, label_y - 1, text_width(number) + 1, 9, label_ground);
            draw_text(canvas, label_x, label_y, number, colour);
        }
        int cursor = area.record.cursor;
        if ((cursor == 1 || cursor == 2) && area.width >= 9 && area.height >= 8)
            draw_arrow(canvas, area.x + area.width / 2, area.y + area.height / 2 + (area.height > 16 ? 2 : 0),
                       cursor == 1, colour);
    }

    int y = picture.height + margin;
    for (size_t i = 0; i < lines.size(); ++i, y += line_height) {
        if (i < gauge.mouse_areas.size()) fill(canvas, margin, y + 1, swatch, swatch, mouse_area_colour(i));
        draw_text(canvas, margin + swatch + 4, y + 1, lines[i], legend_text);
    }
    return canvas;
}

}  // namespace panelhost
