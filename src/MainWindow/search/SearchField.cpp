#include "MainWindow/search/SearchField.h"

#include "MainWindow/search/SearchHistoryManager.h"
#include "MainWindow/search/SuggestionsWindowController.h"
#include "platform/Log.h"
#include "service/WebModel.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QShortcut>

SearchField::SearchField(WebModel& web, QWidget* parent) : QLineEdit(parent) {
    setObjectName(QStringLiteral("searchField"));
    setAccessibleName(tr("Search"));
    setPlaceholderText(tr("Search"));
    // Never the first focus of the window (the popup would open at start); a click or Ctrl+F
    // brings the user here.
    setFocusPolicy(Qt::ClickFocus);
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        setFocus(Qt::ShortcutFocusReason);
        selectAll();
    });

    QPointer<SearchField> self(this);
    web.requestBaseInfo([self](const std::optional<BaseInfoResponse>& reply) {
        if (self)
            self->addHotkeys(reply);
    });

    connect(this, &QLineEdit::textEdited, this, &SearchField::handleTextChange);  // typed, not set by code
    connect(this, &QLineEdit::returnPressed, this, &SearchField::search);
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (suggestionWindowController_)
            suggestionWindowController_->hidePopup();
    });
}

SearchField::~SearchField() = default;

void SearchField::setMyDelegate(QObject* delegate) {
    myDelegate_ = delegate;
}

SearchFieldDelegate* SearchField::myDelegate() const {
    return dynamic_cast<SearchFieldDelegate*>(myDelegate_.data());
}

SuggestionsWindowController* SearchField::suggestionWindowController() {
    if (!suggestionWindowController_) {
        suggestionWindowController_ = new SuggestionsWindowController(this);
        connect(suggestionWindowController_, &SuggestionsWindowController::fieldActionRequested, this,
                &SearchField::search);
    }
    return suggestionWindowController_;
}

SearchHistoryManager& SearchField::historyManager() {
    if (!historyManager_)
        historyManager_ = std::make_unique<SearchHistoryManager>();
    return *historyManager_;
}

QString SearchField::typedPrefix() const {
    // Text the user selected after the cursor counts as typed; positions are UTF-16 units.
    return text().left(hasSelectedText() ? selectionEnd() : cursorPosition());
}

void SearchField::showHistoryAndHotSearch() {
    SuggestionRows rows;
    SuggestionRow historyHeader;
    historyHeader.label = tr("Search History");
    historyHeader.detailedLabel = tr("Clear");
    historyHeader.header = true;
    QPointer<SearchField> self(this);
    historyHeader.action = [self] {
        if (!self)
            return;
        self->historyManager().setStoreHistory({});
        self->showHistoryAndHotSearch();
    };
    rows.append(historyHeader);
    for (const QString& term : historyManager().storeHistory())
        rows.append(SuggestionRow::normal(term));
    SuggestionRow separator;
    separator.separator = true;
    rows.append(separator);
    SuggestionRow hotHeader;
    hotHeader.label = tr("Hot Search");
    hotHeader.header = true;
    rows.append(hotHeader);
    rows.append(hotkeys_);

    SuggestionsWindowController* popup = suggestionWindowController();
    popup->setSuggestions(rows);
    if (!popup->isVisible())
        popup->showPopup(this);
}

void SearchField::updateSuggestionsFromDelegate() {
    dropPendingSuggestions();
    if (!hasFocus()) {
        showHistoryAndHotSearch();
        platform::logLine(QStringLiteral("👾failed to get field editor"));
        return;
    }
    if (text().isEmpty()) {
        showHistoryAndHotSearch();
        return;
    }
    SearchFieldDelegate* delegate = myDelegate();
    if (!delegate)
        return;
    const QString prefix = typedPrefix();
    const quint64 generation = suggestionGeneration_;
    QPointer<SearchField> self(this);
    delegate->searchSuggestions(prefix, [self, generation, prefix](const std::optional<QStringList>& keywords) {
        if (self)
            self->receiveSuggestions(generation, prefix, keywords);
    });
}

// A reply counts only while it answers the latest request for the text now in the field, and
// the field is still being edited: an old prefix never overwrites a newer one or reopens a
// popup that was closed.
bool SearchField::isCurrent(quint64 generation, const QString& prefix) const {
    return generation == suggestionGeneration_ && hasFocus() && typedPrefix() == prefix;
}

void SearchField::receiveSuggestions(quint64 generation, const QString& prefix,
                                     const std::optional<QStringList>& keywords) {
    if (!isCurrent(generation, prefix))
        return;
    if (!keywords || keywords->isEmpty()) {
        suggestionWindowController()->hidePopup();
        showHistoryAndHotSearch();
        return;
    }
    SuggestionRows rows;
    for (const QString& keyword : keywords->mid(0, kMaxRows))
        rows.append(SuggestionRow::normal(keyword));
    // After the current event, like every reply; the field may have moved on by then.
    QMetaObject::invokeMethod(
        this,
        [this, generation, prefix, rows] {
            if (!isCurrent(generation, prefix))
                return;
            SuggestionsWindowController* popup = suggestionWindowController();
            popup->setSuggestions(rows);
            if (!popup->isVisible())
                popup->showPopup(this);
        },
        Qt::QueuedConnection);
}

void SearchField::handleTextChange() {
    if (skipNextSuggestion) {
        suggestionWindowController()->hidePopup();
        skipNextSuggestion = false;
        return;
    }
    updateSuggestionsFromDelegate();
}

void SearchField::search() {
    dropPendingSuggestions();
    if (SearchFieldDelegate* delegate = myDelegate())
        delegate->searchVideos(text());
    const QString term = text();
    if (!term.isEmpty())
        historyManager().addSearchHistory(term);
}

void SearchField::addHotkeys(const std::optional<BaseInfoResponse>& reply) {
    if (!reply)
        return;
    for (const QString& keyword : reply->data.hotkey) {
        if (hotkeys_.size() >= kMaxRows)
            break;
        hotkeys_.append(SuggestionRow::normal(keyword));
    }
}

void SearchField::updateFieldEditorWithSelected() {
    const std::optional<SuggestionRow> row = suggestionWindowController()->selectedRow();
    if (!row || !row->label || !hasFocus())
        return;
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const QString label = *row->label;
    setText(label);
    if (start < label.size())
        setSelection(start, int(label.size()) - start);
    else
        setCursorPosition(int(label.size()));
}

void SearchField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Coming back to the window is no new start of editing.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        showHistoryAndHotSearch();
}

void SearchField::focusOutEvent(QFocusEvent* event) {
    dropPendingSuggestions();
    QLineEdit::focusOutEvent(event);
    if (suggestionWindowController_)
        suggestionWindowController_->hidePopup();
}

void SearchField::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (modifiers == Qt::NoModifier) {
            // The popup's selection moves; the field's cursor does not.
            SuggestionsWindowController* popup = suggestionWindowController();
            event->key() == Qt::Key_Up ? popup->moveUp() : popup->moveDown();
            updateFieldEditorWithSelected();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (modifiers == Qt::NoModifier) {
            SuggestionsWindowController* popup = suggestionWindowController();
            if (popup->isVisible()) {
                dropPendingSuggestions();
                popup->hidePopup();
            } else {
                updateSuggestionsFromDelegate();
            }
            event->accept();
            return;
        }
        break;
    case Qt::Key_Delete:
        // The keyboard's way to the history's "Clear".
        if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && suggestionWindowController()->runHeaderAction()) {
            event->accept();
            return;
        }
        break;
    default: break;
    }
    QLineEdit::keyPressEvent(event);
}
