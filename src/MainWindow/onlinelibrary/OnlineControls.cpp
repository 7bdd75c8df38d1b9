#include "MainWindow/onlinelibrary/OnlineControls.h"

#include "MainWindow/onlinelibrary/CatalogueControls.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "MainWindow/onlinelibrary/ButtonWithColorfulLink.h"
#include "MainWindow/onlinelibrary/HotTagsLayout.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/OpenUrl.h"
#include "service/WebModel.h"
#include "shared/StyledText.h"
#include "shared/TextHelpers.h"

#include "shared/PlainText.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

#include <algorithm>

OnlineControls::OnlineControls(const MainParts& parts, WebLibraryViewModel& model, const Places& places, Hooks hooks,
                               QObject* parent)
    : QObject(parent),
      parts_(parts),
      model_(model),
      slot_(places.slot),
      categoryButton_(places.categoryButton),
      onlineTabTitle_(places.onlineTabTitle),
      menuParent_(places.menuParent),
      hooks_(std::move(hooks)) {
    QLayout* slot = slot_->layout();

    newsLinkButton_ = new ButtonWithColorfulLink(QString(), slot_);
    newsLinkButton_->setObjectName(QStringLiteral("newsLinkButton"));
    newsLinkButton_->setAccessibleName(tr("News"));
    newsLinkButton_->hide();  // until a heartbeat brings a message
    connect(newsLinkButton_, &QPushButton::clicked, this, &OnlineControls::openNewsURL);
    slot->addWidget(newsLinkButton_);

    // The first tag stands at the right edge, each next one to the left of the one before, in
    // as many rows as the width needs: every tag stays readable at any window width.
    QWidget* tagsPlace = places.tagsSlot ? places.tagsSlot : slot_;
    hottagsView_ = new QWidget(tagsPlace);
    hottagsView_->setObjectName(QStringLiteral("hottagsView"));
    new HotTagsLayout(hottagsView_);
    tagsPlace->layout()->addWidget(hottagsView_);

    // The tags are the service's sort codes.
    sortPopUp_ = new QComboBox(slot_);
    sortPopUp_->setObjectName(QStringLiteral("sortPopUp"));
    sortPopUp_->setAccessibleName(tr("Sort"));
    sortPopUp_->addItem(tr("Newest"), 1);
    sortPopUp_->addItem(tr("Hottest"), 2);
    connect(sortPopUp_, &QComboBox::activated, this, &OnlineControls::refreshVideoListOnSort);
    slot->addWidget(sortPopUp_);

    QPointer<OnlineControls> self(this);
    parts_.web().requestBaseInfo([self](const std::optional<BaseInfoResponse>& reply) {
        if (self)
            self->showHotTags(reply);
    });

    heartbeatObservation_ = parts_.notices().addObserver(
        WebModel::heartbeatUpdatedNotification, this, [this](const QVariantMap&) {
            QMetaObject::invokeMethod(this, &OnlineControls::updateNewsLink, Qt::QueuedConnection);
        });
    QMetaObject::invokeMethod(this, &OnlineControls::updateNewsLink, Qt::QueuedConnection);
}

QMenu* OnlineControls::categoryMenu() {
    auto* menu = new QMenu(menuParent_);
    menu->setObjectName(QStringLiteral("categoryMenu"));
    menu->setAccessibleName(tr("Category"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu, &QMenu::aboutToHide, this, &OnlineControls::menuDidClose);
    QPointer<QMenu> target(menu);
    QPointer<OnlineControls> self(this);
    // A cached reply fills the menu at once; a fetched one whenever it arrives.
    parts_.web().requestBaseInfo([target, self](const std::optional<BaseInfoResponse>& reply) {
        if (!reply || !target || !self)
            return;
        for (const Cate& cate : reply->data.cate) {
            QAction* item = target->addAction(literalAmpersands(shownText(cate.title)));
            item->setData(cate.id);
            connect(item, &QAction::triggered, self.data(), [self, item] {
                if (self)
                    self->switchCategory(item);
            });
        }
    });
    return menu;
}

void OnlineControls::showCategoryMenu() {
    categoryButton_->setChecked(true);
    QPointer<OnlineControls> self(this);
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

void OnlineControls::menuDidClose() {
    categoryButton_->setChecked(false);
}

void OnlineControls::switchCategory(QAction* item) {
    categoryButton_->setChecked(false);
    onlineTabTitle_->setText(item->text());
    hooks_.showOnlineKeepingCounter();
    const WebModel& client = parts_.web();
    model_.loadVideoList(
        catalogue::categoryRequest(client.latestRequest(), WebModel::clientId(), item->data().toLongLong()));
}

void OnlineControls::refreshVideoListOnSort() {
    hooks_.showOnline();
    const QVariant tag = sortPopUp_->currentData();
    const qint64 sort = sortPopUp_->currentIndex() >= 0 && tag.isValid() ? tag.toLongLong() : 1;
    model_.loadVideoList(catalogue::sortRequest(parts_.web().latestRequest(), WebModel::clientId(), sort));
}

void OnlineControls::showHotTags(const std::optional<BaseInfoResponse>& reply) {
    if (!reply)
        return;
    // One row of tags is shown; building thousands of them would only stall the window.
    const auto& all = reply->data.hottags;
    const std::vector<QString> tags(all.begin(), all.begin() + std::min<qsizetype>(kMaxHotTags, qsizetype(all.size())));
    QPointer<OnlineControls> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, tags] {
            if (!self)
                return;
            QLayout* layout = self->hottagsView_->layout();
            for (const QString& text : tags) {
                auto* tag = new ButtonWithColorfulLink(shownText(text), self->hottagsView_);
                tag->setObjectName(QStringLiteral("hottag"));
                tag->setAccessibleName(shownText(text));
                // The whole tag, also when the row is too narrow for its title.
                tag->setToolTip(plainToolTip(shownText(text)));
                tag->setTitleColor(qApp->palette().color(QPalette::WindowText));
                tag->setTitleHoverColor(blueNormalColor());
                tag->setFontSize(12);
                // The search is for the whole tag, not the shortened title the button shows.
                connect(tag, &QPushButton::clicked, self.data(), [self, text] {
                    if (self)
                        self->hottagClickAction(text);
                });
                layout->addWidget(tag);
            }
        },
        Qt::QueuedConnection);
}

void OnlineControls::hottagClickAction(const QString& tag) {
    hooks_.search(tag);
}

void OnlineControls::updateNewsLink() {
    const std::optional<HeartbeatResponse>& heartbeat = parts_.web().heartbeatResponse();
    if (!heartbeat)
        return;
    const MsgBottom& m = heartbeat->data.msg.msgBottom;
    newsLinkButton_->show();
    newsLinkButton_->setTitle(shownText(m.msg));
    newsLinkButton_->setAccessibleName(shownText(m.msg));
    // An empty colour text keeps the colour the link has.
    if (const std::optional<QColor> color = catalogue::newsColor(m.color))
        newsLinkButton_->setTitleColor(*color);
    newsLinkButton_->setFontSize(10);
    newsLinkButton_->link = catalogue::newsUrl(m.url);
}

void OnlineControls::openNewsURL() {
    // The address comes from the service: only a web page is opened, never a file or a program.
    if (newsLinkButton_->link)
        platform::openWebAddress(*newsLinkButton_->link);
}
