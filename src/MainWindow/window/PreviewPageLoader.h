#pragma once
#include <QStringList>

class PreviewPageMaker;

// The preview's web page plugin (MainWindow/preview), loaded by the first preview and kept for
// the process.
namespace previewpage {
// The plugin's file name.
inline constexpr char kFileName[] = "tavvel_preview_page.so";
// Where it is looked for, in order: in a build with tests or benchmarks only, the folder
// TAVVEL_PLUGIN_DIR names (those programs lie elsewhere in the build tree); then the installed plugin folder seen from
// the program's ("<program folder>/../lib/tavvel"; the build tree is laid out the same).
QStringList candidates();
// Makes Qt's global share GL context, which Qt WebEngine needs, then loads the plugin: the first
// call does both, later calls give the same answer. Null (with the reasons logged once) when no
// candidate loads.
PreviewPageMaker* maker();
}  // namespace previewpage
