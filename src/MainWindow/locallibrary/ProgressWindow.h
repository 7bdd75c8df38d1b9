#pragma once
#include <QWidget>

#include "MainWindow/locallibrary/ImportBatch.h"

// The small window an import batch shows over the main window while it runs: a busy bar and a
// line of text. It is a tool window of the main window, so it stays above it.
class ProgressWindowController : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindowController(QWidget* mainWindow);

    // Centred on the main window (when there is one), shown and made the active window.
    void showProgressWindow();
};

// Tells the user about one file that was not imported. Opens without blocking; the batch goes on.
// With the file, its name is shown and the text says what went wrong with it.
void showImportResultAlert(QWidget* parent, ImportVideoStatus status, const QUrl& file = {},
                           const ImportDiagnosis& diagnosis = ImportProblem::notVideo);
// The alert's text; empty for a status that needs no alert.
QString importResultText(ImportVideoStatus status, const ImportDiagnosis& diagnosis);

// The hooks of a batch shown over `anchor`'s window: a progress window of its own and the alerts.
ImportBatchHooks importWindowHooks(QWidget* anchor, std::function<void()> reload);
