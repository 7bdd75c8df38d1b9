#pragma once
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <memory>

// The last search terms of the search field: at most five, newest first, no repeats. They live in
// "searchHistory.info" in the shared container's Caches as an XML property list (an array of
// strings), rewritten whole and atomically on every change, on a thread of its own in the order
// of the changes (the window's thread never waits for a slow disk).
class SearchHistoryManager {
public:
    static constexpr int maximumCount = 5;
    // The most of the file that is read: a file grown far past five terms is read from its start.
    static constexpr qint64 kMaxFileBytes = 256 * 1024;

    // Reads the file once; writes nothing.
    SearchHistoryManager();
    // A manager on another file (benchmarks and tests of foreign files).
    explicit SearchHistoryManager(QString filePath);
    // Waits for the writes still queued.
    ~SearchHistoryManager();
    void waitForWrites();

    static const QString& searchHistoryURL();

    const QStringList& storeHistory() const { return storeHistory_; }
    // Replaces the list and writes it (the clear button assigns the empty list).
    void setStoreHistory(const QStringList& terms);

    // Moves `term` to the front (a term equal to it under Unicode normalisation is removed first)
    // and keeps the newest five. Control characters are removed first, so no pasted term can make
    // the file unreadable; a term that is empty then is not recorded.
    void addSearchHistory(const QString& term);

    // The file's terms in file order; a missing file, a parse error, a root other than an array
    // or an element other than a string gives the empty list.
    static QStringList loadSearchHistory(const QString& filePath);
    // The property-list bytes of `terms`, as they are written.
    static QByteArray encode(const QStringList& terms);
    static QStringList decode(const QByteArray& bytes);
    // `term` without the characters that an XML document cannot hold or that no search means.
    static QString withoutControlCharacters(const QString& term);

private:
    void write() const;

    QString filePath_;
    QStringList storeHistory_;
    std::unique_ptr<QThreadPool> writes_;  // one thread, so the last change is the last written
};
