#include "host/commands/run_support.h"

#include <cstdio>

namespace panelhost {

OpenedModule open_module(const std::string& path, Output& out) {
    if (!readable_file(path, "module")) return {nullptr, ExitStatus::bad_input};
    Report report;
    std::unique_ptr<Host> host = Host::open(path, report);
    print_findings(report, out);
    if (!host) {
        std::fprintf(stderr, "%s: not usable (%zu error(s))\n", path.c_str(), report.count(Finding::Error));
        return {nullptr, ExitStatus::module_invalid};
    }
    return {std::move(host), ExitStatus::ok};
}

// The host's own copy of the gauge: the one it installs and draws.
const GaugeModel* find_gauge(Host& host, const std::string& name) {
    return find_gauge(host.gauges(), host.module().path(), name);
}

bool apply_sets(Host& host, const std::vector<std::string>& sets, Output& out) {
    for (const std::string& s : sets) {
        std::string error, warning;
        if (!host.variables.set(s, error, &warning)) {
            std::fprintf(stderr, "--set: %s\n", error.c_str());
            return false;
        }
        if (!warning.empty()) out.warning("--set " + s + ": " + warning);
    }
    return true;
}

void warn_unused(Output& out, Host& host, const GaugeModel& gauge, const std::set<uint32_t>& given,
                 const std::string& source, const std::vector<FailureAt>& failures) {
    // A variable or failure the run was given but the gauge never used is
    // most likely a mistyped token or key: say so rather than draw as if unset.
    const std::set<uint32_t>& read = host.tokens_read[&gauge];
    std::vector<uint32_t> unread;
    for (uint32_t token : given)
        if (!read.count(token)) unread.push_back(token);
    if (!unread.empty())
        out.warning(format("%s: \"%s\" never read %s", source.c_str(), gauge.name.c_str(),
                           variable_list(unread, false).c_str()));
    std::set<uint32_t> warned;
    for (const FailureAt& f : failures) {
        bool listed = false;
        for (const ElementModel& e : gauge.elements)
            for (const stored::FailureRecord& r : e.failures) listed |= r.key == f.key;
        if (!listed && warned.insert(f.key).second)
            out.warning(format("--fail %u: no element of \"%s\" lists that failure key", unsigned(f.key),
                               gauge.name.c_str()));
    }
}

void warn_unset(Output& out, Host& host, const GaugeModel& gauge, const std::set<uint32_t>& given) {
    warn_unset(out, "\"" + gauge.name + "\"", host.tokens_read[&gauge], given);
}

void print_host_warnings(Host& host, Output& out) {
    for (const std::string& w : host.warnings) out.warning(w);
    host.warnings.clear();
}

}  // namespace panelhost
