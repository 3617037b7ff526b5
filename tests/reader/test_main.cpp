#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/reader/test_inputs.h"

namespace panelhost::testing {

namespace {
std::string module_path;
}

std::string built_module_path() { return module_path; }

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace panelhost::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::string& path = panelhost::testing::module_path;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--module=", 0) == 0) path = argv[i] + 9;
    if (path.empty()) {
        std::string self = argv[0];
        path = self.substr(0, self.find_last_of("\\/") + 1) + "Corvalenx.gau";
    }
    return RUN_ALL_TESTS();
}
