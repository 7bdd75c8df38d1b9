// Drags over the library list, built as the drag events Qt delivers to the list's viewport.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>

#include "MainWindow/locallibrary/ViewWithDrag.h"

namespace {

struct Answer {
    bool enter = false, move = false, drop = false;
    std::optional<QList<QUrl>> imported;  // none: never called
};

Answer dragOver(const QList<QUrl>& urls, bool localTab) {
    QListView list;
    list.resize(400, 300);
    ViewWithDrag drag(list.viewport());
    Answer answer;
    drag.isLocalTabShown = [localTab] { return localTab; };
    drag.importVideos = [&answer](const QList<QUrl>& files) { answer.imported = files; };
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(100, 100);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &enter);
    answer.enter = enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &move);
    answer.move = move.isAccepted() && move.dropAction() == Qt::CopyAction;
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.viewport(), &drop);
    answer.drop = drop.isAccepted();
    return answer;
}

QUrl local(const char* path) {
    return QUrl::fromLocalFile(QString::fromLatin1(path));
}

}  // namespace

TEST(DropZone, TakesLocalMovAndMp4FilesOnTheLocalTabOnly) {
    struct Case {
        const char* name;
        QList<QUrl> urls;
        bool localTab;
        QList<QUrl> imported;  // empty: refused
    };
    const QUrl upper = local("/videos/Beach.MOV");
    const QUrl lower = local("/videos/city.mp4");
    const QUrl mixedCase = local("/videos/Rain.Mp4");
    const Case cases[] = {
        {"capital MOV and mp4", {upper, lower}, true, {upper, lower}},
        {"mixed case", {mixedCase}, true, {mixedCase}},
        {"others are left out", {local("/videos/notes.txt"), lower, local("/videos/clip.mkv")}, true, {lower}},
        {"other types only", {local("/videos/clip.mkv"), local("/videos/movie.avi")}, true, {}},
        {"no extension", {local("/videos/mp4")}, true, {}},
        {"web address", {QUrl(QStringLiteral("https://example.invalid/wave.mp4"))}, true, {}},
        {"web address beside a file", {QUrl(QStringLiteral("https://example.invalid/a.mp4")), upper}, true, {upper}},
        {"online or download tab", {upper, lower}, false, {}},
        {"nothing", {}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Answer answer = dragOver(c.urls, c.localTab);
        const bool accepted = !c.imported.isEmpty();
        EXPECT_EQ(answer.enter, accepted);
        EXPECT_EQ(answer.move, accepted);
        EXPECT_EQ(answer.drop, accepted);
        EXPECT_EQ(answer.imported, accepted ? std::optional(c.imported) : std::nullopt);
    }
}
