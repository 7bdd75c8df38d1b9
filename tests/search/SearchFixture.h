#pragma once
// A plain host window holding a search field and a button, its client on the service stand-in.
#include "MainWindow/search/SearchHistoryManager.h"
#include "MainWindow/search/SearchField.h"
#include "MainWindow/search/SuggestionViews.h"
#include "MainWindow/search/SuggestionsWindowController.h"
#include "onlinelibrary/OnlineTestSupport.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

using onlinetest::reply;

// The library screen's side, reduced to what the field asks of it: keywords from the service.
class KeywordDelegate : public QObject, public SearchFieldDelegate {
public:
    explicit KeywordDelegate(WebModel& web) : web_(web) {}
    void searchSuggestions(const QString& text, SuggestionsCompletion completion) override {
        web_.requestKeywords(text, [this, completion](const std::optional<std::vector<QString>>& words) {
            ++replies;
            completion(words ? std::optional<QStringList>(QStringList(words->begin(), words->end())) : std::nullopt);
        });
    }
    void searchVideos(const QString& text) override { searches.append(text); }
    QStringList searches;
    int replies = 0;

private:
    WebModel& web_;
};

class SearchTest : public onlinetest::ServiceTest {
public:
    void SetUp() override {
        ServiceTest::SetUp();
        standIn.setReply(501, reply(R"({"cate":[{"id":3,"title":"Nature"}],"hottags":["A"],"hotkey":["sea","sky"]})"));
        host = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(host.get());
        other = new QPushButton(QStringLiteral("Other"), host.get());
        other->setObjectName(QStringLiteral("other"));
        layout->addWidget(other);
        field = new SearchField(*client, host.get());
        layout->addWidget(field);
        layout->addStretch();
        delegate = std::make_unique<KeywordDelegate>(*client);
        field->setMyDelegate(delegate.get());
        ASSERT_TRUE(testsupport::showExposed(host.get(), QSize(480, 360)));
        host->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !field->hotkeys().isEmpty(); }));
        field->historyManager().setStoreHistory({});  // one process may run several cases
        standIn.clearRequests();
    }
    void TearDown() override {
        host.reset();
        ServiceTest::TearDown();
    }

    SuggestionsWindowController* popup() { return field->suggestionWindowController(); }
    // The texts of the visible rows, top to bottom: "[Title|Button]" for headers, "--" for
    // separators, the label for normal rows.
    QStringList shownRows() {
        QStringList out;
        if (!popup()->isVisible())
            return out;
        QList<QWidget*> rows;
        for (QWidget* w :
             popup()->window()->contentView()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (w->isVisible())
                rows.append(w);
        std::sort(rows.begin(), rows.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
        for (QWidget* w : rows) {
            if (auto* header = qobject_cast<SuggestionHeaderViewController*>(w))
                out.append(
                    QStringLiteral("[%1|%2]").arg(header->findChild<QLabel*>()->text(), header->rightButton()->text()));
            else if (qobject_cast<SuggestionSeparator*>(w))
                out.append(QStringLiteral("--"));
            else if (auto* row = qobject_cast<SuggestionRowView*>(w))
                out.append(row->textField()->text());
        }
        return out;
    }
    // A click as the window system delivers it, through the window.
    static void click(QWidget* widget, QPoint at = QPoint(-1, -1)) {
        if (at == QPoint(-1, -1))
            at = widget->rect().center();
        QWidget* top = widget->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, at));
    }
    void focusField() {
        click(field);
        ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }));
    }

    std::unique_ptr<QWidget> host;
    std::unique_ptr<KeywordDelegate> delegate;
    QPushButton* other = nullptr;
    SearchField* field = nullptr;
};
