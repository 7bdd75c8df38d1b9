// The about page, the feedback form against the service stand-in and the new-features guide.
#include "MainWindow/pages/AboutViewController.h"
#include "MainWindow/pages/FeedbackWindowController.h"
#include "MainWindow/pages/NewFeaturesViewControlller.h"
#include "pages/PagesSupport.h"
#include "platform/NotificationCenter.h"
#include "support/MainWindowTestSupport.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "service/ServiceFixture.h"
#include "support/TestPictures.h"
#include "views/ButtonWithLinkTitle.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::ScriptedReply;

namespace {
using ServicePages = ServiceTest;

// A guide reply whose new-feature pages have these colours, each leading to /<index>.
QByteArray guideReply(const QList<QColor>& colours) {
    QByteArrayList images, urls;
    for (int i = 0; i < colours.size(); ++i) {
        images << "\"data:image/png;base64," + testsupport::pngBase64(colours[i]) + '"';
        urls << "\"https://guide.test/" + QByteArray::number(i) + '"';
    }
    return R"({"status":0,"info":"","data":{"leftPanel":[],"leftPanelUrl":[],"window":[],"windowUrl":[],)"
           R"("browser":[],"browserUrl":[],"newFeature":[)" +
           images.join(',') + R"(],"newFeatureUrl":[)" + urls.join(',') + "]}}";
}
}  // namespace

TEST_F(ServicePages, AboutLinksAndTheFeedbackFormThatResetsToSuggestion) {
    testsupport::OpenedUrls recorder;
    AboutViewController about(*model);
    EXPECT_TRUE(about.view()->isHidden());
    EXPECT_EQ(about.versionLabel->text(), "Version: " + AppInfo::versionWithBuild());
    EXPECT_EQ(about.websiteButton->text(), AppInfo::website().toString());
    QTest::mouseClick(about.websiteButton, Qt::LeftButton);
    QTest::mouseClick(about.termsAndConditions, Qt::LeftButton);
    EXPECT_EQ(recorder.urls, (QList<QUrl>{AppInfo::website(), AppInfo::termsPage()}));
    EXPECT_TRUE(unnamedControls(about.view()).isEmpty());
    about.feedbackButtonAction();
    FeedbackWindowController* form = about.feedback();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->window()->isVisible());
    EXPECT_TRUE(unnamedControls(form->window()).isEmpty()) << unnamedControls(form->window()).join(", ").toStdString();

    // Empty: marked, nothing sent, still open.
    QTest::mouseClick(form->submitButton, Qt::LeftButton);
    EXPECT_TRUE(form->isMessageMarked());
    EXPECT_TRUE(form->window()->isVisible());

    QTest::mouseClick(form->bugButton, Qt::LeftButton);
    form->contentTextView->setPlainText(QStringLiteral("  "));  // spaces are a message
    form->contactTextField->setText(QStringLiteral("me@example.test"));
    QTest::mouseClick(form->submitButton, Qt::LeftButton);
    EXPECT_FALSE(form->window()->isVisible());

    // Reopened: the same form, emptied, unmarked, showing and sending a suggestion.
    about.feedbackButtonAction();
    EXPECT_EQ(about.feedback(), form);
    EXPECT_TRUE(form->contentTextView->toPlainText().isEmpty());
    EXPECT_TRUE(form->contactTextField->text().isEmpty());
    EXPECT_FALSE(form->isMessageMarked());
    EXPECT_TRUE(form->suggestionButton->isChecked());
    form->contentTextView->setPlainText(QStringLiteral("More videos, please"));
    form->submitFeedback();

    ASSERT_TRUE(standIn.waitForRequests(2));
    QTest::qWait(100);
    const auto requests = standIn.requests();
    ASSERT_EQ(requests.size(), 2);
    const struct {
        const char *type, *content, *contact;
    } expected[] = {{"1", "  ", "me@example.test"}, {"2", "More videos, please", ""}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(requests[i].code, 26);
        ASSERT_TRUE(requests[i].json);
        const QJsonObject json = *requests[i].json;
        EXPECT_EQ(json.value("type").toVariant().toString(), expected[i].type) << i;
        EXPECT_EQ(json.value("content").toString(), expected[i].content) << i;
        EXPECT_EQ(json.value("contact").toString(), expected[i].contact) << i;
        EXPECT_EQ(json.value("lng").toString(), "en-US") << i;
    }
}

TEST_F(ServicePages, GuideBuiltInPagesThenReplyPagesInReplyOrder) {
    testsupport::OpenedUrls recorder;
    NewFeaturesViewControlller guide(*model, platform::NotificationCenter::defaultCenter());
    NewFeaturePageList* pages = guide.pages();
    ASSERT_EQ(pages->rowCount(), 7);
    for (const NewFeatureModel& page : pages->newFeatureModelArray()) {
        EXPECT_FALSE(page.imageData.isNull());
        EXPECT_EQ(page.url, AppInfo::website());
    }

    // Five colours: a hash of the pictures would not keep this order.
    const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::black};
    standIn.queueReply(214, ScriptedReply::encrypted(guideReply(colours)));
    model->requestGuide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages->rowCount() == 5; }, 5000));
    for (int i = 0; i < colours.size(); ++i) {
        const NewFeatureModel& page = pages->newFeatureModelArray()[size_t(i)];
        EXPECT_EQ(page.imageData.pixelColor(0, 0), colours[i]) << i;
        EXPECT_EQ(page.url, QUrl("https://guide.test/" + QString::number(i))) << i;
    }

    // Two pages selected at once: only the lower one opens.
    QItemSelectionModel* selection = guide.collectionView()->selectionModel();
    QItemSelection both(pages->index(3), pages->index(3));
    both.select(pages->index(1), pages->index(1));
    selection->select(both, QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(recorder.urls, (QList<QUrl>{QUrl("https://guide.test/1")}));

    // A reply that cannot be read leaves the pages; an empty guide empties them.
    standIn.queueReply(214, ScriptedReply::raw("<html/>", 502));
    model->requestGuide();
    ASSERT_TRUE(standIn.waitForRequests(2));
    QTest::qWait(200);
    EXPECT_EQ(pages->rowCount(), 5);
    standIn.queueReply(214, ScriptedReply::encrypted(guideReply({})));
    model->requestGuide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return pages->rowCount() == 0; }, 5000));
    EXPECT_TRUE(unnamedControls(guide.window()).isEmpty());
}
