#pragma once
#include "MainWindow/search/SuggestionRow.h"
#include "shared/CatalogueModels.h"

#include <QLineEdit>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class SearchHistoryManager;
class SuggestionsWindowController;
class WebModel;

// What the search field needs of the library screen. The field holds it without owning it.
class SearchFieldDelegate {
public:
    using SuggestionsCompletion = std::function<void(const std::optional<QStringList>&)>;
    virtual ~SearchFieldDelegate() = default;
    // Calls `completion` once, on the main thread, with the keywords for `text` in display
    // order, or with nothing when none could be had.
    virtual void searchSuggestions(const QString& text, SuggestionsCompletion completion) = 0;
    // Runs a search for `text` (the library screen shows its online tab with the results).
    virtual void searchVideos(const QString& text) = 0;
};

// The search box of the main window's title row. While the user types it asks its delegate for
// keyword suggestions and shows them in a popup under itself; on focus, and whenever there is
// nothing to suggest, the popup shows the search history and the service's hot keywords. Return
// searches and records the term. It never takes the focus at start (click or Ctrl+F).
class SearchField : public QLineEdit {
    Q_OBJECT
public:
    // `web` answers the base-info request for the hot keywords; it must outlive the field.
    explicit SearchField(WebModel& web, QWidget* parent = nullptr);
    ~SearchField() override;

    // `delegate` must also be a SearchFieldDelegate; the field forgets it when it is destroyed.
    void setMyDelegate(QObject* delegate);
    SearchFieldDelegate* myDelegate() const;

    SuggestionsWindowController* suggestionWindowController();
    SearchHistoryManager& historyManager();
    const SuggestionRows& hotkeys() const { return hotkeys_; }
    // The most rows of one kind the popup lists: a reply of thousands would stall the window.
    static constexpr int kMaxRows = 20;

    bool skipNextSuggestion = false;

    void search();
    void showHistoryAndHotSearch();
    void updateSuggestionsFromDelegate();
    void handleTextChange();
    void addHotkeys(const std::optional<BaseInfoResponse>& reply);
    // The text before the end of the selection (or the cursor): what the user has typed.
    QString typedPrefix() const;
    // Puts the popup's selected row into the field, selecting what it adds after the cursor.
    void updateFieldEditorWithSelected();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void receiveSuggestions(quint64 generation, const QString& prefix, const std::optional<QStringList>& keywords);
    bool isCurrent(quint64 generation, const QString& prefix) const;
    // Replies still on their way are of no use any more.
    void dropPendingSuggestions() { ++suggestionGeneration_; }

    QPointer<QObject> myDelegate_;
    SuggestionsWindowController* suggestionWindowController_ = nullptr;
    std::unique_ptr<SearchHistoryManager> historyManager_;
    SuggestionRows hotkeys_;
    quint64 suggestionGeneration_ = 0;
};
