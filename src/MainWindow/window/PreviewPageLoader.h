#pragma once
#include <QStringList>

class PreviewPageMaker;

// The preview's web page plugin (MainWindow/preview), loaded by the first preview and kept for
// the process.
namespace previewpage {
// The plugin's file name.
inline constexpr char kFileName[] = "tavvel_preview_page.so";
// Where it is looked for, in order: the folder given to lookFirstIn, if any; then the installed
// plugin folder seen from the program's ("<program folder>/../lib/tavvel"; the build tree is laid
// out the same).
QStringList candidates();
// A folder looked in before the installed one. Only test programs and benchmarks call it (they
// lie elsewhere in the build tree); the programs never do, so nothing in their environment makes
// them load code from another folder.
void lookFirstIn(const QString& folder);
// Makes Qt's global share GL context, which Qt WebEngine needs, then loads the plugin: the first
// call does both, later calls give the same answer. Null (with the reasons logged once) when no
// candidate loads.
PreviewPageMaker* maker();
}  // namespace previewpage
