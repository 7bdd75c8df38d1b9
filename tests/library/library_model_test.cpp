// The view models' common base on a real list widget: refresh reports, the download queue's
// notice, rebinding, and the selection that never scrolls.
#include "MainWindow/library/LibraryViewModel.h"
#include "MainWindow/locallibrary/LocalLibraryViewModel.h"
#include "platform/NotificationCenter.h"
#include "shared/LocalVideoDBManager.h"
#include "support/MainWindowTestSupport.h"

#include <QPointer>
#include <QSignalSpy>

using namespace testsupport;
using Signs = std::vector<std::optional<QString>>;  // none: "no video"

namespace {
// The signs a model reports to the detail pane from now on.
void recordReports(LibraryViewModel& model, Signs& signs) {
    model.videoDetailDidChanged = [&signs](const std::optional<VideoDetail>& d) {
        signs.push_back(d ? std::optional(d->sign) : std::nullopt);
    };
}

void postReload(const QVariantMap& info) {
    platform::NotificationCenter::defaultCenter().post(LibraryViewModel::reloadCollectionViewName(), info);
}
}  // namespace

using BaseModel = LibraryTest;

// An assignment posts once and reports item 0 (or none); reloadData posts nothing and reports
// the kept selection. An unbound model only posts.
TEST_F(BaseModel, AssignmentsAndReloadsReportTheSelectedItem) {
    struct Case {
        const char* name;
        bool bound;
        std::optional<int> count;               // none: no list
        std::optional<int> reloadWithSelected;  // reload with this row chosen (-1: none); none: assign
        Signs reports;
        int posts;
        std::vector<int> selected;
    };
    const Case cases[] = {
        {"three videos", true, 3, std::nullopt, {QStringLiteral("v0")}, 1, {0}},
        {"empty list", true, 0, std::nullopt, {std::nullopt}, 1, {}},
        {"no list", true, std::nullopt, std::nullopt, {std::nullopt}, 1, {}},
        {"unbound, three videos", false, 3, std::nullopt, {}, 1, {}},
        {"unbound, no list", false, std::nullopt, std::nullopt, {}, 1, {}},
        {"reload keeps the selection", true, 5, 3, {QStringLiteral("v3")}, 0, {3}},
        {"reload of an empty list", true, 0, -1, {std::nullopt}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WQCollectionView view;
        LibraryViewModel model(MainParts::make());
        if (c.bound)
            model.bind(&view);
        const auto list = c.count ? std::optional(videos(*c.count)) : std::nullopt;
        if (c.reloadWithSelected) {
            model.setVideoList(list);
            drain();
            view.selectRow(*c.reloadWithSelected);
        }
        Signs reports;
        recordReports(model, reports);
        AmountPosts posts;
        if (c.reloadWithSelected)
            model.reloadData();
        else
            model.setVideoList(list);
        drain();
        EXPECT_EQ(posts.count, c.posts);
        EXPECT_EQ(reports, c.reports);
        EXPECT_EQ(view.selectedRows(), c.selected);
    }
}

TEST_F(BaseModel, TheReloadNoticeRefreshesOneRowNothingOrTheWholeList) {
    LocalVideoDBManager& db = LocalVideoDBManager::shared();
    for (const VideoDetail& v : videos(4))
        ASSERT_EQ(db.insertVideo(v), LocalVideoDBManager::InsertResult::inserted);
    WQCollectionView view;
    LocalLibraryViewModel model(MainParts::make());
    model.bind(&view);
    model.reloadVideos(true);
    drain();
    ASSERT_EQ(model.videoCount(), 4);
    // A fifth row only a full reload can show.
    ASSERT_EQ(db.insertVideo(video(QStringLiteral("late"))), LocalVideoDBManager::InsertResult::inserted);

    struct Case {
        const char* name;
        QVariantMap info;
        std::vector<int> refreshedRows;
        int videosAfter;
    };
    const Case cases[] = {
        {"listed sign", {{QStringLiteral("sign"), QStringLiteral("v2")}}, {2}, 4},
        {"unknown sign", {{QStringLiteral("sign"), QStringLiteral("nope")}}, {}, 4},
        {"sign that is no text", {{QStringLiteral("sign"), 2}}, {}, 5},
        {"no user information", {}, {}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
        postReload(c.info);
        drain();
        EXPECT_EQ(model.videoCount(), c.videosAfter);
        if (c.videosAfter == 4) {
            EXPECT_EQ(resets.count() + inserts.count(), 0);
            std::vector<int> rows;
            for (const QList<QVariant>& args : changed)
                rows.push_back(args.at(0).toModelIndex().row());
            EXPECT_EQ(rows, c.refreshedRows);
        } else {
            EXPECT_GE(resets.count() + inserts.count(), 1);  // the database was read again
        }
    }
}

TEST_F(BaseModel, RebindingReleasesThePreviousModelCompletely) {
    WQCollectionView view;
    LibraryViewModel first(MainParts::make()), second(MainParts::make());
    first.bind(&view);
    first.setVideoList(videos(3, QStringLiteral("a")));
    drain();
    QPointer<QItemSelectionModel> firstSelection = view.selectionModel();
    second.bind(&view);
    second.setVideoList(videos(2, QStringLiteral("b")));
    drain();
    EXPECT_EQ(first.collectionView(), nullptr);
    EXPECT_EQ(second.collectionView(), &view);
    EXPECT_TRUE(firstSelection.isNull());
    EXPECT_EQ(view.model(), &second);

    QSignalSpy firstChanged(&first, &QAbstractItemModel::dataChanged);
    QSignalSpy secondChanged(&second, &QAbstractItemModel::dataChanged);
    postReload({{QStringLiteral("sign"), QStringLiteral("a1")}});
    postReload({{QStringLiteral("sign"), QStringLiteral("b1")}});
    drain();
    EXPECT_EQ(firstChanged.count(), 0);
    EXPECT_EQ(secondChanged.count(), 1);

    // The released model's refreshes only post; the list keeps the second model's selection.
    Signs reports;
    recordReports(first, reports);
    AmountPosts posts;
    view.selectRow(1);
    first.setVideoList(videos(4, QStringLiteral("a")));
    drain();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(posts.count, 1);
    EXPECT_EQ(view.selectedRows(), std::vector<int>{1});
    EXPECT_EQ(view.model()->rowCount(), 2);
}

TEST_F(BaseModel, SelectingItemZeroNeverScrollsAndAnAppendedPageKeepsItsPlace) {
    Grid grid;
    ASSERT_TRUE(showExposed(&grid.view, QSize(700, 400)));
    LibraryViewModel model(MainParts::make());
    model.bind(&grid.view);
    model.setVideoList(videos(40));
    drain();
    grid.view.setContentOffset(600);
    ASSERT_EQ(grid.view.contentOffset(), 600);

    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setVideoList(videos(80));  // the next page: the first 40 again plus 40 more
    drain();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(model.rowCount(), 80);
    EXPECT_EQ(grid.view.contentOffset(), 600);
    EXPECT_EQ(grid.view.selectedRows(), std::vector<int>{0});
}
