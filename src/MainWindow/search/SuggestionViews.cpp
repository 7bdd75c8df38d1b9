#include "MainWindow/search/SuggestionViews.h"

#include "shared/StyledText.h"
#include "shared/TextHelpers.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

RoundedCornersView::RoundedCornersView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("suggestionList"));
    setAccessibleName(tr("Suggestions"));
    setFocusPolicy(Qt::NoFocus);
}

void RoundedCornersView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), rcvCornerRadius_, rcvCornerRadius_);
    painter.fillPath(path, palette().color(QPalette::Window));
    // A hairline edge: there is no window shadow to set the panel off from the content below.
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawPath(path);
}

SuggestibleTextFieldCell::SuggestibleTextFieldCell(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SuggestibleTextFieldCell::setBackgroundStyle(BackgroundStyle style) {
    style_ = style;
    QPalette pal = palette();
    const QPalette base = parentWidget() ? parentWidget()->palette() : QPalette();
    pal.setColor(QPalette::WindowText, style == BackgroundStyle::Dark ? base.color(QPalette::HighlightedText)
                                                                      : base.color(QPalette::WindowText));
    setPalette(pal);
}

HighlightingView::HighlightingView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void HighlightingView::paintEvent(QPaintEvent* event) {
    if (!isHighlighted_)
        return;
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Highlight));
}

void HighlightingView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    emit entered();
}

void HighlightingView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit exited();
}

SuggestionRowView::SuggestionRowView(const QString& text, QWidget* parent)
    : HighlightingView(parent), icon_(new QLabel(this)), text_(new SuggestibleTextFieldCell(this)) {
    setObjectName(QStringLiteral("suggestionRow"));
    // Drawn shortened; the row's label keeps the whole term, which a choice puts in the field.
    setAccessibleName(shownText(text));
    setFixedHeight(rowHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(6);
    icon_->setFixedSize(24, 24);
    icon_->setAttribute(Qt::WA_TransparentForMouseEvents);
    icon_->hide();
    text_->setText(shownText(text));
    text_->setTextFormat(Qt::PlainText);
    layout->addWidget(icon_);
    layout->addWidget(text_, 1);
}

void SuggestionRowView::setThumbnail(const QImage& image) {
    icon_->setPixmap(QPixmap::fromImage(image));
    icon_->show();
}

SuggestionHeaderViewController::SuggestionHeaderViewController(const QString& title, QWidget* parent)
    : QWidget(parent), title_(new QLabel(title, this)), rightButton_(new QPushButton(this)) {
    setObjectName(QStringLiteral("suggestionHeader"));
    setFixedHeight(rowHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 8, 0);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    title_->setTextFormat(Qt::PlainText);
    title_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The popup never takes the focus: its button is pressed by mouse, by the field's shortcut
    // or through accessibility.
    rightButton_->setObjectName(QStringLiteral("suggestionHeaderButton"));
    rightButton_->setFocusPolicy(Qt::NoFocus);
    rightButton_->setFlat(true);
    rightButton_->setCursor(Qt::PointingHandCursor);
    QPalette pal = rightButton_->palette();
    pal.setColor(QPalette::ButtonText, blueNormalColor());
    rightButton_->setPalette(pal);
    layout->addWidget(title_, 1);
    layout->addWidget(rightButton_);
    connect(rightButton_, &QPushButton::clicked, this, &SuggestionHeaderViewController::rightButtonClick);
}

void SuggestionHeaderViewController::rightButtonClick() {
    if (actionClosure) {
        // The closure may rebuild the popup, which releases this header later, not now.
        const std::function<void()> closure = actionClosure;
        closure();
    }
}

SuggestionSeparator::SuggestionSeparator(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("suggestionSeparator"));
    setFixedHeight(rowHeight);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SuggestionSeparator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    const int y = height() / 2;
    painter.drawLine(8, y, width() - 8, y);
}

std::optional<QImage> thumbnailImage(const std::optional<QUrl>& url, qreal width) {
    if (!url || !url->isLocalFile() || width <= 0)
        return std::nullopt;
    QImageReader reader(url->toLocalFile());
    const QImage source = reader.read();
    if (source.isNull() || source.width() <= 0)
        return std::nullopt;
    // The picture keeps its proportions: a wide source gives a low thumbnail.
    const qreal height = qreal(source.height()) / qreal(source.width()) * width;
    QImage image = source.scaled(qMax(1, qRound(width)), qMax(1, qRound(height)), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
    image.setText(QStringLiteral("Description"), QFileInfo(url->path()).completeBaseName());
    return image;
}

namespace {
class SuggestionListAccessible : public QAccessibleWidget {
public:
    explicit SuggestionListAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::List) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = false;
        return s;
    }
};

class SuggestionItemAccessible : public QAccessibleWidget {
public:
    explicit SuggestionItemAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ListItem) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = static_cast<const HighlightingView*>(widget())->isHighlighted();
        return s;
    }
};

QAccessibleInterface* suggestionAccessibleFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("RoundedCornersView"))
        return new SuggestionListAccessible(widget);
    if (className == QLatin1String("SuggestionRowView") || className == QLatin1String("HighlightingView"))
        return new SuggestionItemAccessible(widget);
    return nullptr;
}
}  // namespace

void installSuggestionAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(suggestionAccessibleFactory);
        return true;
    }();
    (void)installed;
}
