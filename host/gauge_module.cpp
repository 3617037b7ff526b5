#include "host/gauge_module.h"

#include "host/module_call.h"
#include "host/reader/check_module.h"

namespace panelhost {

std::unique_ptr<GaugeModule> GaugeModule::load(const std::string& path, Report& report) {
    CheckedModule checked = check_module_file(path, report);
    if (!checked.passed) return nullptr;
    std::unique_ptr<GaugeModule> module(new GaugeModule);
    module->path_ = path;
    module->file_ = std::move(checked.file);
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    // A full path, so the loader never goes searching for a same-named file.
    std::string load_path = n && n < MAX_PATH ? std::string(full, n) : path;
    DWORD error;
    {
        // The loader applies the relocations (checked above) and runs the
        // module's entry routine.
        ModuleCallScope scope("entry routine (run by the loader)");
        module->handle_ = LoadLibraryA(load_path.c_str());
        error = GetLastError();
    }
    if (!module->handle_) {
        report.error(format("%s: the Windows loader refused the module, although its file passed every check: %s",
                            escaped(path).c_str(), windows_error(error, "the module").c_str()));
        return nullptr;
    }
    const ModuleFile& file = *module->file_;
    module->image_ = std::make_unique<LoadedImage>(uintptr_t(module->handle_), file);
    const LoadedImage& image = *module->image_;
    // What the entry routine and the loader left, read by the same rules;
    // warnings were given for the file already.
    Report loaded;
    module->records_ = read_module(image, image.relocated(file.import_table()), image.relocated(file.linkage()),
                                   module->file_->bitmaps(), loaded);
    for (const Finding& f : loaded.findings)
        if (f.level == Finding::Error) report.error("after loading: " + f.text);
    if (loaded.has_errors()) return nullptr;
    return module;
}

GaugeModule::~GaugeModule() {
    if (handle_) FreeLibrary(handle_);
}

}  // namespace panelhost
