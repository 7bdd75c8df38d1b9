#pragma once
#include <QString>
#include <optional>

namespace platform {
// What a macOS bundle's information dictionary told about the running program.
// Each executable fills it from its CMake settings before anything else runs.
struct BundleInfo {
    std::optional<QString> shortVersion;
    std::optional<QString> build;
    std::optional<QString> identifier;
};

void setMainBundle(const BundleInfo& info);
BundleInfo mainBundle();

// Folder of the running executable; sibling programs and installed data are found from it.
QString executableDirectory();

// Folder of Tavvel's installed data (the sample videos), seen from the running main program:
// `<prefix>/share/tavvel` beside `<prefix>/bin`, in a build folder as in an installation.
QString dataDirectory();
}  // namespace platform
