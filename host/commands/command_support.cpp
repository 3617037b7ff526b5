#include "host/commands/command_support.h"

#include <cstdio>

#include "host/file_system.h"
#include "host/png_file.h"
#include "host/variable_catalogue.h"

namespace panelhost {

namespace {

// "a/b/c" -> "a", "a/b", "a/b/c"; a root ("/", "C:\") is never one of them.
std::vector<std::string> folders_down_to(const std::string& path) {
    std::vector<std::string> prefixes;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
        std::string prefix = path.substr(0, i);
        if (prefix.back() == ':' || prefix.back() == '/' || prefix.back() == '\\') continue;
        prefixes.push_back(prefix);
    }
    return prefixes;
}

// Why the folder `folder` cannot hold a new file; empty when it can.
std::string folder_problem(const std::string& folder) {
    for (const std::string& prefix : folders_down_to(folder)) {
        switch (path_kind(prefix)) {
            case PathKind::folder: continue;
            case PathKind::file: return prefix + " is a file, not a folder";
            case PathKind::missing: return "there is no folder " + prefix;
        }
    }
    return "";
}

std::string parent_of(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

bool readable_file(const std::string& path, const char* what) {
    std::string problem = path_kind(path) == PathKind::folder ? "is a folder, not a file" : "";
    if (problem.empty()) {
        std::string reason = reading_problem(path);
        if (!reason.empty()) problem = "cannot read the " + std::string(what) + ": " + reason;
    }
    if (problem.empty()) return true;
    std::fprintf(stderr, "%s: %s\n", path.c_str(), problem.c_str());
    return false;
}

void print_findings(const Report& report, Output& out) {
    for (const Finding& f : report.findings) {
        if (f.level == Finding::Error) std::fprintf(stderr, "error: %s\n", f.text.c_str());
        else if (f.level == Finding::Warning) out.warning(f.text);
        else if (out.is_text()) std::printf("%s\n", f.text.c_str());
    }
}

CheckedRecords read_records(const std::string& path, Output& out) {
    CheckedRecords read;
    if (!readable_file(path, "module")) {
        read.status = ExitStatus::bad_input;
        return read;
    }
    Report report;
    read.checked = check_module_file(path, report);
    print_findings(report, out);
    if (!read.checked.passed) {
        std::fprintf(stderr, "%s: not usable (%zu error(s))\n", path.c_str(), report.count(Finding::Error));
        read.status = ExitStatus::module_invalid;
    }
    return read;
}

const GaugeModel* find_gauge(const std::vector<GaugeModel>& gauges, const std::string& path,
                             const std::string& name) {
    for (const GaugeModel& g : gauges)
        if (g.name == name) return &g;
    std::fprintf(stderr, "no gauge named \"%s\" in %s; it has:", escaped(name).c_str(), path.c_str());
    for (const GaugeModel& g : gauges) std::fprintf(stderr, " \"%s\"", escaped(g.name).c_str());
    std::fprintf(stderr, "\n");
    return nullptr;
}

const GaugeModel* find_gauge(const ModuleModel& module, const std::string& path, const std::string& name) {
    return find_gauge(module.gauges, path, name);
}

bool parse_failures(const std::vector<std::string>& fails, std::vector<FailureAt>& out, bool rows) {
    for (const std::string& f : fails) {
        size_t at = f.find('@');
        uint32_t key = 0, row = 1;
        bool good = parse_key(f.substr(0, at), 0, key) &&
                    (at == std::string::npos || (rows && parse_key(f.substr(at + 1), 10, row) && row <= 10000000));
        if (!good) {
            std::fprintf(stderr, "--fail takes a failure key%s, not \"%s\"\n", rows ? " and an optional @ROW" : "",
                         f.c_str());
            return false;
        }
        out.push_back({key, int(row)});
    }
    return true;
}

std::set<uint32_t> tokens_of(const std::vector<std::string>& sets) {
    std::set<uint32_t> tokens;
    for (const std::string& s : sets) {
        uint32_t token = 0;
        if (parse_key(s.substr(0, s.find('=')), 10, token)) tokens.insert(token);
    }
    return tokens;
}

std::string variable_list(const std::vector<uint32_t>& tokens, bool with_names) {
    std::string list;
    for (uint32_t t : tokens) {
        list += format("%s%u", list.empty() ? "" : ", ", unsigned(t));
        const VariableInfo* info = variable_info(t);
        if (with_names && info) list += format(" (%s)", info->name);
    }
    return (tokens.size() == 1 ? "variable " : "variables ") + list;
}

void warn_unset(Output& out, const std::string& reader, const std::set<uint32_t>& read,
                const std::set<uint32_t>& given) {
    std::vector<uint32_t> unset;
    for (uint32_t token : read)
        if (!given.count(token)) unset.push_back(token);
    if (unset.empty()) return;
    out.warning(format("%s read %s, which %s never set: %s 0", reader.c_str(), variable_list(unset, true).c_str(),
                       unset.size() == 1 ? "was" : "were", unset.size() == 1 ? "it read" : "they read"));
}

bool output_file_possible(const std::string& path) {
    std::string problem = path_kind(path) == PathKind::folder ? path + " is a folder" : folder_problem(parent_of(path));
    if (problem.empty()) return true;
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), problem.c_str());
    return false;
}

bool output_is_no_input(const std::string& output, std::initializer_list<ReadFile> inputs) {
    for (const ReadFile& input : inputs) {
        if (output.empty() || input.path.empty() || !same_file(output, input.path)) continue;
        std::fprintf(stderr, "cannot write %s: it is %s, %s, which this command reads; name another output\n",
                     output.c_str(), input.what, input.path.c_str());
        return false;
    }
    return true;
}

bool make_folders(const std::string& path) {
    for (const std::string& prefix : folders_down_to(path)) {
        PathKind kind = path_kind(prefix);
        if (kind == PathKind::folder) continue;
        std::string problem = kind == PathKind::file ? prefix + " is a file, not a folder" : "";
        if (kind == PathKind::missing) {
            std::string reason = folder_making_problem(prefix);
            if (!reason.empty()) problem = "cannot make the folder " + prefix + ": " + reason;
        }
        if (!problem.empty()) {
            std::fprintf(stderr, "cannot write into %s: %s\n", path.c_str(), problem.c_str());
            return false;
        }
    }
    return true;
}

bool save_png(const Image& image, const std::string& path) {
    std::string error;
    if (write_png(image, path, error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

}  // namespace panelhost
