// Writes the damaged copies the suite checks to a directory, so that any
// panelhost can be run over them one process each (to count crashes and
// hangs): DIR/NNN.gau and DIR/manifest.tsv (number, kind, one field or
// not, the words the finding must hold, what was bent).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/reader/module_damages.h"
#include "tests/reader/test_inputs.h"

namespace panelhost::testing {
std::string built_module_path() { return ""; }
}  // namespace panelhost::testing

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_damaged_copies MODULE SEED DIR\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> module((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<panelhost::testing::Damage> copies =
        panelhost::testing::damaged_copies(module, uint32_t(std::strtoul(argv[2], nullptr, 10)));
    std::string dir = argv[3];
    std::ofstream manifest(dir + "/manifest.tsv");
    for (size_t i = 0; i < copies.size(); ++i) {
        const panelhost::testing::Damage& d = copies[i];
        char name[16];
        std::snprintf(name, sizeof name, "%03zu", i + 1);
        std::ofstream(dir + "/" + name + ".gau", std::ios::binary)
            .write(reinterpret_cast<const char*>(d.bytes.data()), std::streamsize(d.bytes.size()));
        manifest << name << '\t' << d.kind << '\t' << d.single_field << '\t' << (d.names.empty() ? "-" : d.names) << '\t'
                 << d.what << '\n';
    }
    std::printf("%zu damaged copies in %s\n", copies.size(), dir.c_str());
    return 0;
}
