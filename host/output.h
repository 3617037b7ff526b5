// How a command hands its results over: as text for a person, as one JSON
// document, or as a JUnit XML report for a CI server. Warnings go to stderr
// in text form and into the document otherwise, so that stdout holds only
// the document.
#pragma once

#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <vector>

namespace panelhost {

enum class Format { text, json, junit };

const char* format_name(Format format);
// "text", "json" or "junit"; false for anything else.
bool parse_format(const std::string& text, Format& format);

// Key order as written, so a document reads in the order it was built.
using Json = nlohmann::ordered_json;

class Output {
public:
    explicit Output(Format format) : format_(format) {}
    Format format() const { return format_; }
    bool is_text() const { return format_ == Format::text; }

    // Text: printed at once, "warning: ..." on stderr. Otherwise kept for the
    // document's "warnings".
    void warning(const std::string& text);
    const std::vector<std::string>& warnings() const { return warnings_; }

    // Prints `document` to stdout with "warnings" appended.
    void print_json(Json document) const;

private:
    Format format_;
    std::vector<std::string> warnings_;
};

// Text from a module (gauge names, messages quoting it) may be any bytes:
// anything that is not UTF-8 becomes U+FFFD, so JSON and XML stay valid.
std::string valid_utf8(const std::string& text);

// A JUnit report: suites of cases, each passed or failed with messages.
struct JunitCase {
    std::string name;
    std::string classname;
    std::vector<std::string> failures = {};  // none: passed
    std::string output = {};                 // for <system-out>: details, warnings
    double seconds = -1;                     // how long it ran; negative: not timed
};

struct JunitSuite {
    std::string name;
    std::vector<JunitCase> cases;
};

std::string junit_xml(const std::string& name, std::span<const JunitSuite> suites);

}  // namespace panelhost
