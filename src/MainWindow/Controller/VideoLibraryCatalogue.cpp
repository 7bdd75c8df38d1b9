// The online catalogue's controls on the library screen: the category menu, the sort choice,
// the hot tags, the search field's delegate and the news link from the heartbeat.
#include "MainWindow/Controller/CatalogueControls.h"
#include "MainWindow/Controller/VideoLibraryViewController.h"
#include "MainWindow/Controller/WebLibraryViewModel.h"
#include "MainWindow/View/ButtonWithColorfulLink.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/OpenUrl.h"
#include "service/WebModel.h"
#include "shared/StyledText.h"
#include "views/TabTitleView.h"
#include "shared/TextHelpers.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

#include <algorithm>

void VideoLibraryViewController::setUpCatalogueControls() {
    QLayout* slot = onlineControlsSlot_->layout();

    newsLinkButton_ = new ButtonWithColorfulLink(QString(), onlineControlsSlot_);
    newsLinkButton_->setObjectName(QStringLiteral("newsLinkButton"));
    newsLinkButton_->setAccessibleName(tr("News"));
    newsLinkButton_->hide();  // until a heartbeat brings a message
    connect(newsLinkButton_, &QPushButton::clicked, this, &VideoLibraryViewController::openNewsURL);
    slot->addWidget(newsLinkButton_);

    // The first tag stands at the right edge, each next one to the left of the one before.
    hottagsView_ = new QWidget(onlineControlsSlot_);
    hottagsView_->setObjectName(QStringLiteral("hottagsView"));
    auto* tags = new QHBoxLayout(hottagsView_);
    tags->setDirection(QBoxLayout::RightToLeft);
    tags->setContentsMargins(0, 0, 0, 0);
    tags->setSpacing(0);
    slot->addWidget(hottagsView_);

    // The tags are the service's sort codes.
    sortPopUp_ = new QComboBox(onlineControlsSlot_);
    sortPopUp_->setObjectName(QStringLiteral("sortPopUp"));
    sortPopUp_->setAccessibleName(tr("Sort"));
    sortPopUp_->addItem(tr("Newest"), 1);
    sortPopUp_->addItem(tr("Hottest"), 2);
    connect(sortPopUp_, &QComboBox::activated, this, &VideoLibraryViewController::refreshVideoListOnSort);
    slot->addWidget(sortPopUp_);

    connect(this, &VideoLibraryViewController::categoryMenuRequested, this,
            &VideoLibraryViewController::showCategoryMenu);

    QPointer<VideoLibraryViewController> self(this);
    WebModel::shared().requestBaseInfo([self](const std::optional<BaseInfoResponse>& reply) {
        if (self)
            self->showHotTags(reply);
    });

    heartbeatObservation_ = platform::NotificationCenter::defaultCenter().addObserver(
        WebModel::heartbeatUpdatedNotification, this, [this](const QVariantMap&) {
            QMetaObject::invokeMethod(this, &VideoLibraryViewController::updateNewsLink, Qt::QueuedConnection);
        });
    QMetaObject::invokeMethod(this, &VideoLibraryViewController::updateNewsLink, Qt::QueuedConnection);
}

QMenu* VideoLibraryViewController::categoryMenu() {
    auto* menu = new QMenu(view_);
    menu->setObjectName(QStringLiteral("categoryMenu"));
    menu->setAccessibleName(tr("Category"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu, &QMenu::aboutToHide, this, &VideoLibraryViewController::menuDidClose);
    QPointer<QMenu> target(menu);
    QPointer<VideoLibraryViewController> self(this);
    // A cached reply fills the menu at once; a fetched one whenever it arrives.
    WebModel::shared().requestBaseInfo([target, self](const std::optional<BaseInfoResponse>& reply) {
        if (!reply || !target || !self)
            return;
        for (const Cate& cate : reply->data.cate) {
            QAction* item = target->addAction(cate.title);
            item->setData(cate.id);
            connect(item, &QAction::triggered, self.data(), [self, item] {
                if (self)
                    self->switchCategory(item);
            });
        }
    });
    return menu;
}

void VideoLibraryViewController::showCategoryMenu() {
    categoryButton_->setChecked(true);
    QPointer<VideoLibraryViewController> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (!self)
                return;
            QMenu* menu = self->categoryMenu();
            menu->popup(self->categoryButton_->mapToGlobal(QPoint(0, self->categoryButton_->height())));
        },
        Qt::QueuedConnection);
}

void VideoLibraryViewController::menuDidClose() {
    categoryButton_->setChecked(false);
}

void VideoLibraryViewController::switchCategory(QAction* item) {
    categoryButton_->setChecked(false);
    onlineTabTitle_->setText(item->text());
    switchTabKeepingCounter(onlineTab_);
    const WebModel& client = WebModel::shared();
    webLibraryViewModel()->loadVideoList(
        catalogue::categoryRequest(client.latestRequest(), WebModel::clientId(), item->data().toLongLong()));
}

void VideoLibraryViewController::refreshVideoListOnSort() {
    switchTab(onlineTab_);
    const QVariant tag = sortPopUp_->currentData();
    const qint64 sort = sortPopUp_->currentIndex() >= 0 && tag.isValid() ? tag.toLongLong() : 1;
    webLibraryViewModel()->loadVideoList(
        catalogue::sortRequest(WebModel::shared().latestRequest(), WebModel::clientId(), sort));
}

void VideoLibraryViewController::showHotTags(const std::optional<BaseInfoResponse>& reply) {
    if (!reply)
        return;
    // One row of tags is shown; building thousands of them would only stall the window.
    const auto& all = reply->data.hottags;
    const std::vector<QString> tags(all.begin(), all.begin() + std::min<qsizetype>(kMaxHotTags, qsizetype(all.size())));
    QPointer<VideoLibraryViewController> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, tags] {
            if (!self)
                return;
            QLayout* layout = self->hottagsView_->layout();
            for (const QString& text : tags) {
                auto* tag = new ButtonWithColorfulLink(shownText(text), self->hottagsView_);
                tag->setObjectName(QStringLiteral("hottag"));
                tag->setAccessibleName(text);
                tag->setTitleColor(qApp->palette().color(QPalette::WindowText));
                tag->setTitleHoverColor(blueNormalColor());
                tag->setFontSize(12);
                connect(tag, &QPushButton::clicked, self.data(), [self, tag] {
                    if (self)
                        self->hottagClickAction(tag);
                });
                layout->addWidget(tag);
            }
        },
        Qt::QueuedConnection);
}

void VideoLibraryViewController::hottagClickAction(ButtonWithColorfulLink* tag) {
    searchVideos(tag->text());
}

void VideoLibraryViewController::updateNewsLink() {
    const std::optional<HeartbeatResponse>& heartbeat = WebModel::shared().heartbeatResponse();
    if (!heartbeat)
        return;
    const MsgBottom& m = heartbeat->data.msg.msgBottom;
    newsLinkButton_->show();
    newsLinkButton_->setText(m.msg);
    newsLinkButton_->setAccessibleName(m.msg);
    // An empty colour text keeps the colour the link has.
    if (const std::optional<QColor> color = catalogue::newsColor(m.color))
        newsLinkButton_->setTitleColor(*color);
    newsLinkButton_->setFontSize(10);
    newsLinkButton_->link = catalogue::newsUrl(m.url);
}

void VideoLibraryViewController::openNewsURL() {
    // The address comes from the service: only a web page is opened, never a file or a program.
    if (newsLinkButton_->link)
        platform::openWebAddress(*newsLinkButton_->link);
}

void VideoLibraryViewController::searchSuggestions(const QString& text, SuggestionsCompletion completion) {
    WebModel::shared().requestKeywords(text, [completion](const std::optional<std::vector<QString>>& words) {
        if (completion)
            completion(words ? std::optional<QStringList>(QStringList(words->begin(), words->end())) : std::nullopt);
    });
}

void VideoLibraryViewController::searchVideos(const QString& text) {
    switchTabKeepingCounter(onlineTab_);
    webLibraryViewModel()->searchByKeywords(text);
}
