#include "host/output.h"

#include <cstdio>

namespace panelhost {

const char* format_name(Format format) {
    switch (format) {
        case Format::text: return "text";
        case Format::json: return "json";
        case Format::junit: return "junit";
    }
    return "?";
}

bool parse_format(const std::string& text, Format& format) {
    for (Format f : {Format::text, Format::json, Format::junit}) {
        if (text == format_name(f)) {
            format = f;
            return true;
        }
    }
    return false;
}

void Output::warning(const std::string& text) {
    if (is_text()) std::fprintf(stderr, "warning: %s\n", text.c_str());
    else warnings_.push_back(text);
}

void Output::print_json(Json document) const {
    document["warnings"] = Json::array();
    for (const std::string& w : warnings_) document["warnings"].push_back(valid_utf8(w));
    std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
}

std::string valid_utf8(const std::string& text) {
    // The JSON library's own decoder does the replacing.
    return Json::parse(Json(text).dump(-1, ' ', false, Json::error_handler_t::replace)).get<std::string>();
}

namespace {

// XML 1.0 text and attribute values: the five special characters escaped,
// control characters it cannot carry at all replaced.
std::string xml_escaped(const std::string& raw) {
    std::string out;
    for (char c : valid_utf8(raw)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            case '\t': case '\n': case '\r': out += c; break;
            default: out += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
        }
    }
    return out;
}

}  // namespace

std::string junit_xml(const std::string& name, std::span<const JunitSuite> suites) {
    size_t tests = 0, failures = 0;
    for (const JunitSuite& s : suites)
        for (const JunitCase& c : s.cases) {
            ++tests;
            failures += !c.failures.empty();
        }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites name=\"" + xml_escaped(name) + "\" tests=\"" + std::to_string(tests) + "\" failures=\"" +
           std::to_string(failures) + "\">\n";
    for (const JunitSuite& s : suites) {
        size_t failed = 0;
        double seconds = 0;
        bool timed = false;
        for (const JunitCase& c : s.cases) {
            failed += !c.failures.empty();
            if (c.seconds >= 0) seconds += c.seconds, timed = true;
        }
        // Report readers show a case's time from its attribute, not its output.
        auto time = [](double s) {
            char text[48];
            std::snprintf(text, sizeof text, " time=\"%.3f\"", s);
            return std::string(text);
        };
        xml += "  <testsuite name=\"" + xml_escaped(s.name) + "\" tests=\"" + std::to_string(s.cases.size()) +
               "\" failures=\"" + std::to_string(failed) + "\" errors=\"0\"" + (timed ? time(seconds) : "") + ">\n";
        for (const JunitCase& c : s.cases) {
            xml += "    <testcase name=\"" + xml_escaped(c.name) + "\" classname=\"" + xml_escaped(c.classname) + "\"";
            if (c.seconds >= 0) xml += time(c.seconds);
            if (c.failures.empty() && c.output.empty()) {
                xml += "/>\n";
                continue;
            }
            xml += ">\n";
            for (const std::string& f : c.failures) {
                std::string first_line = f.substr(0, f.find('\n'));
                xml += "      <failure message=\"" + xml_escaped(first_line) + "\">" + xml_escaped(f) + "</failure>\n";
            }
            if (!c.output.empty()) xml += "      <system-out>" + xml_escaped(c.output) + "</system-out>\n";
            xml += "    </testcase>\n";
        }
        xml += "  </testsuite>\n";
    }
    xml += "</testsuites>\n";
    return xml;
}

}  // namespace panelhost
