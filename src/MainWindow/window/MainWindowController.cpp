#include "MainWindow/window/MainWindowController.h"

#include "MainWindow/pages/AboutViewController.h"
#include "MainWindow/pages/ConfigWindowController.h"
#include "MainWindow/pages/NewFeaturesViewControlller.h"
#include "MainWindow/window/QRCodeController.h"
#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/window/LeftMenuBar.h"
#include "MainWindow/window/MainWindowSplitView.h"
#include "MainWindow/window/PreviewVideoWindow.h"
#include "MainWindow/search/SearchField.h"
#include "platform/gui/OpenUrl.h"
#include "service/DownloadManager.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Names a widget for tests and the accessibility bus in the same expression that makes it, so
// one line creates one part of the window.
template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QToolButton* titleButton(QWidget* parent, const char* name, const QString& text, const QString& toolTip) {
    auto* button = named(new QToolButton(parent), name);
    button->setText(text);
    button->setToolTip(toolTip);
    button->setAccessibleName(text);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
}  // namespace

MainWindowController::MainWindowController(const MainParts& parts, QObject* parent)
    : QObject(parent), parts_(parts), qrC_(std::make_unique<QRCodeController>()) {
    buildWindow();

    // The title row's search field.
    searchField_ = named(new SearchField(parts_.web(), titleRow_), "searchField");
    searchField_->setPlaceholderText(tr("Search"));
    searchField_->setAccessibleName(tr("Search"));
    titleRow_->layout()->addWidget(searchField_);

    // The content views, in menu order: 0 the library screen, 1 the about page.
    contentViews_.push_back(
        (videoLibraryViewController_ = new VideoLibraryViewController(parts_, rightSplitContentView_))->view());
    connect(videoLibraryViewController_, &VideoLibraryViewController::previewRequested, this,
            [this](const QUrl& url) { showPreviewWindow(url); });
    // Searches and suggestions from the title row go to the library screen.
    static_cast<SearchField*>(searchField_)->setMyDelegate(videoLibraryViewController_);
    contentViews_.push_back((aboutViewController_ = std::make_unique<AboutViewController>(parts_.web()))->view());

    // The left pane's menu bar; its selection chooses the content view.
    leftMenuBar_ = new LeftMenuBar(
        leftSideBar_->rect(),
        [self = QPointer(this)](int index) {
            if (self)
                self->showContent(index);
        },
        parts_.preferences(), parts_.notices(), leftSideBar_);

    // The queue restores its list and restarts unfinished downloads when the window loads.
    parts_.downloads();
    windowDidLoad();
}

MainWindowController::~MainWindowController() = default;

void MainWindowController::buildWindow() {
    window_ = named(new QMainWindow, "mainWindow");
    window_->setWindowTitle(QStringLiteral("Tavvel"));
    window_->setAccessibleName(QStringLiteral("Tavvel"));
    // No zoom button; the window keeps its own size range.
    window_->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    window_->setMinimumSize(960, 600);
    window_->resize(1120, 680);

    auto* split = named(new MainWindowSplitView(window_), "mainSplitView");
    leftSideBar_ = named(new QWidget(split), "leftSideBar");
    leftSideBar_->setFixedWidth(180);
    auto* leftLayout = new QVBoxLayout(leftSideBar_);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftSideBar_->setAutoFillBackground(true);
    QPalette sidePalette = leftSideBar_->palette();
    sidePalette.setColor(QPalette::Window, QColor(68, 88, 107));
    leftSideBar_->setPalette(sidePalette);

    auto* right = named(new QWidget(split), "rightPane");
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);

    titleRow_ = named(new QWidget(right), "titleRow");
    auto* titleLayout = new QHBoxLayout(titleRow_);
    titleLayout->setContentsMargins(12, 6, 12, 6);
    webSite_ = titleButton(titleRow_, "webSite", tr("Web Site"), tr("Open the Tavvel web site"));
    mobileApp_ = titleButton(titleRow_, "mobileApp", tr("Mobile App"), tr("Show the code of the mobile app"));
    help_ = titleButton(titleRow_, "help", tr("Help"), tr("Open the help page"));
    setting_ = titleButton(titleRow_, "setting", tr("Settings"), tr("Open the settings"));
    titleLayout->addWidget(webSite_);
    titleLayout->addWidget(mobileApp_);
    titleLayout->addWidget(help_);
    titleLayout->addStretch(1);
    titleLayout->addWidget(setting_);
    rightLayout->addWidget(titleRow_);

    rightSplitContentView_ = named(new QWidget(right), "rightSplitContentView");
    rightLayout->addWidget(rightSplitContentView_, 1);

    split->addWidget(leftSideBar_);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    window_->setCentralWidget(split);

    connect(webSite_, &QAbstractButton::clicked, this, [this] { showWebSite(webSite_); });
    connect(mobileApp_, &QAbstractButton::clicked, this, [this] { showWebSite(mobileApp_); });
    connect(help_, &QAbstractButton::clicked, this, [this] { showWebSite(help_); });
    connect(setting_, &QAbstractButton::clicked, this, &MainWindowController::showPreferences);
}

void MainWindowController::windowDidLoad() {
    layoutContentViews();
    installLeftMenuBar();
    styleTitleButtons();
    // The search field reaches the library screen through its delegate, set where the screen is made.
    searchField_->setFocusPolicy(Qt::ClickFocus);
    QWidget::setTabOrder(webSite_, mobileApp_);
    QWidget::setTabOrder(mobileApp_, help_);
    QWidget::setTabOrder(help_, setting_);
    QWidget::setTabOrder(setting_, searchField_);
    parts_.web().requestGuide();
}

void MainWindowController::layoutContentViews() {
    // Every content view fills the one cell; only the visible one is seen.
    auto* cell = new QGridLayout(rightSplitContentView_);
    cell->setContentsMargins(0, 0, 0, 0);
    for (QWidget* view : contentViews_)
        cell->addWidget(view, 0, 0);
    showContent(0);
}

void MainWindowController::installLeftMenuBar() {
    leftSideBar_->layout()->addWidget(leftMenuBar_);
}

void MainWindowController::styleTitleButtons() {
    // Bare until hovered: the bezel shows only while the mouse is inside.
    for (QAbstractButton* button : {webSite_, mobileApp_, help_, setting_})
        if (auto* tool = qobject_cast<QToolButton*>(button))
            tool->setAutoRaise(true);
}

void MainWindowController::showWindow() {
    window_->show();
}

void MainWindowController::showContent(int index) {
    for (size_t i = 0; i < contentViews_.size(); ++i)
        contentViews_[i]->setVisible(static_cast<int>(i) == index);
}

void MainWindowController::showPreferences() {
    if (!configWindowController_)
        configWindowController_ = std::make_unique<ConfigWindowController>(parts_.preferences());
    configWindowController_->showWindow(window_);
}

void MainWindowController::showNewFeatures() {
    if (!newFeatures_)
        newFeatures_ = std::make_unique<NewFeaturesViewControlller>(parts_.web(), parts_.notices());
    newFeatures_->showWindow();
}

void MainWindowController::showWebSite(QObject* sender) {
    if (sender == mobileApp_)
        qrC_->showWindow();
    else if (sender == webSite_)
        platform::openWebAddress(AppInfo::website());
    else if (sender == help_)
        platform::openWebAddress(AppInfo::helpPage());
}

PreviewVideoWindow& MainWindowController::webViewWindow() {
    if (!webViewWindow_)
        webViewWindow_ = std::make_unique<PreviewVideoWindow>();
    return *webViewWindow_;
}

void MainWindowController::showPreviewWindow(const QUrl& url, QRect frame) {
    PreviewVideoWindow& preview = webViewWindow();
    if (!frame.isNull())
        preview.setGeometry(frame);
    preview.showPreview(url);
    preview.show();
    preview.raise();
    preview.activateWindow();
}
