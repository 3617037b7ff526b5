// bench: how long the conversion routines and full redraws take.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "host/commands/run_support.h"

namespace panelhost {

namespace {

double seconds_now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

struct RoutineTime {
    const GaugeModel* gauge;
    const ElementModel* element;
    double direct_ns, guarded_ns;
};

ExitStatus bench(const Arguments& a) {
    Output out(a.format);
    OpenedModule opened = open_module(a.operands[0], out);
    if (!opened.host) return opened.status;
    Host& host = *opened.host;
    // Every known variable at its middle preview reading.
    host.variables.set_previews(1);
    for (const GaugeModel& g : host.gauges()) {
        host.install(g);
        host.update(g);
    }
    const int calls = a.iterations ? a.iterations : 100000;
    if (out.is_text())
        std::printf("conversion routines, %d calls each: ns per call, direct and through the host's guarded call\n",
                    calls);
    std::vector<RoutineTime> times;
    for (const GaugeModel& g : host.gauges()) {
        for (size_t i = 0; i < g.elements.size(); ++i) {
            const ElementModel& e = g.elements[i];
            const void* routine_address = Host::conversion_routine(e);
            if (!routine_address) continue;
            void* record = reinterpret_cast<void*>(uintptr_t(e.address));
            auto routine = (double(__stdcall*)(void*))routine_address;
            // Best of five runs: other work on the machine only ever adds time.
            double direct = 1e30, guarded = 1e30;
            volatile double sink = 0;
            for (int run = 0; run < 5; ++run) {
                double start = seconds_now();
                for (int c = 0; c < calls; ++c) sink = sink + routine(record);  // straight through the pointer
                direct = std::min(direct, (seconds_now() - start) / calls * 1e9);
                start = seconds_now();
                for (int c = 0; c < calls; ++c) sink = sink + host.convert(g, i);
                guarded = std::min(guarded, (seconds_now() - start) / calls * 1e9);
            }
            times.push_back({&g, &e, direct, guarded});
            if (out.is_text())
                std::printf("  %-20s %-58s %7.1f ns %7.1f ns\n", ("\"" + g.name + "\"").c_str(), e.name.c_str(),
                            direct, guarded);
        }
    }
    const int rounds = a.iterations ? std::max(1, a.iterations / 1000) : 100;
    double best = 1e30, total = 0;
    std::vector<Image> canvases(host.gauges().size());  // reused, as a run of frames does
    for (int r = 0; r < rounds; ++r) {
        double start = seconds_now();
        for (size_t g = 0; g < host.gauges().size(); ++g) {
            host.update(host.gauges()[g]);
            host.draw(host.gauges()[g], canvases[g]);
        }
        double ms = (seconds_now() - start) * 1e3;
        best = std::min(best, ms);
        total += ms;
    }
    print_host_warnings(host, out);
    if (out.is_text()) {
        std::printf("full update and draw of all %zu gauges: %.2f ms best, %.2f ms mean of %d rounds\n",
                    host.gauges().size(), best, total / rounds, rounds);
        return ExitStatus::ok;
    }
    Json doc = {{"command", "bench"}, {"module", valid_utf8(a.operands[0])}, {"calls_per_routine", calls},
                {"routines", Json::array()}};
    for (const RoutineTime& t : times)
        doc["routines"].push_back({{"gauge", valid_utf8(t.gauge->name)},
                                   {"element", valid_utf8(t.element->name)},
                                   {"direct_ns", t.direct_ns},
                                   {"guarded_ns", t.guarded_ns}});
    doc["full_redraw"] = {{"gauges", host.gauges().size()},
                          {"rounds", rounds},
                          {"best_ms", best},
                          {"mean_ms", total / rounds}};
    out.print_json(doc);
    return ExitStatus::ok;
}

}  // namespace

extern const Command bench_command = {
    .name = "bench",
    .operands = {"MODULE"},
    .summary = "time the conversion routines and full redraws",
    .description = "Prints nanoseconds per conversion-routine call for every routine of every gauge, called "
                   "directly and through the host's guarded call, and milliseconds per full update and draw of "
                   "all gauges (best and mean).",
    .options = {{OptionId::iterations}},
    .formats = {Format::text, Format::json},
    .run = bench,
};

}  // namespace panelhost
