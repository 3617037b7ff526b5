// panelhost: runs the gauges of a 2000-generation gauge module without the
// simulator: checks the module, renders gauges to PNG, plays a flight from a
// CSV time series, answers mouse questions and measures the conversions.
// The commands live in host/commands/, one file each.
#include "host/command_line.h"
#include "host/file_system.h"

int main(int argc, char** argv) {
    panelhost::failed_writes_as_errors();
    return panelhost::run_command_line(argc, argv);
}
