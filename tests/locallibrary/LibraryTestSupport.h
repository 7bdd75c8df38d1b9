#pragma once
// Shared pieces of the local library tests: the generated clips, a wait that keeps the event
// loop running, and an importer that runs the real import but hands its answers back in the ways
// a caller must cope with.
#include <QCoreApplication>
#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>

#include "service/LocalLibraryModel.h"

namespace librarytest {

// A clip made by tests/support/make_test_videos.sh, copied under `name` into `folder`.
QString copyOfClip(const QTemporaryDir& folder, const QString& clip, const QString& name = {});

// Points the web service at a closed loopback port, so every import reads its file.
void useUnreachableService();

// A list of events that any thread may add to.
class EventLog {
public:
    void add(const QString& event);
    QStringList events() const;
    bool contains(const QString& event) const { return events().contains(event); }
    void clear();

private:
    mutable QMutex mutex_;
    QStringList events_;
};

// How an importer hands its answer back.
enum class Delivery {
    Synchronous,  // inside the importVideo call, on the caller's thread
    OtherThread,  // from a thread of its own
    Late,         // on the main thread, a while after the real import ended
};

// The real import, with its answers relayed in the chosen way. The synchronous form answers
// from the database alone ("already there" for a known file, else "unsupported").
class RelayingImporter : public LocalLibraryModel {
public:
    explicit RelayingImporter(Delivery delivery) : delivery_(delivery) {}
    void importVideo(const QUrl& url, bool checkOnline, ImportCompletion completion) override;

    std::atomic<int> calls{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};

private:
    Delivery delivery_;
};

}  // namespace librarytest
