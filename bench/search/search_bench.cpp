// Prints "name: value unit (ratio to baseline)" lines:
//  - a keystroke in the search field until the popup shows the reply's rows, with the loopback
//    stand-in answering at once, against the stand-in's own round trip for the same request;
//  - reading and writing the history file, against a plain QFile read and write of the same bytes.
// With --hold SECONDS it leaves the window open with the popup showing suggestions (screenshots).
#include "MainWindow/search/SearchHistoryManager.h"
#include "MainWindow/search/SearchField.h"
#include "MainWindow/search/SuggestionViews.h"
#include "MainWindow/search/SuggestionsWindowController.h"
#include "service/WebModel.h"
#include "support/ServiceStandIn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
void line(const char* name, double value, const char* unit, double baseline) {
    std::printf("%s: %.3f %s (%.2fx baseline)\n", name, value, unit, baseline > 0 ? value / baseline : 0.0);
    std::fflush(stdout);
}

// Runs the event loop until `done` holds, checking on every turn (qWaitFor sleeps 10 ms between
// checks, which would swamp the figures).
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    bool ok = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs) {
            ok = done();
            loop.quit();
        }
    });
    poll.start(0);
    loop.exec();
    return ok;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

class Delegate : public QObject, public SearchFieldDelegate {
public:
    explicit Delegate(WebModel& web) : web_(web) {}
    void searchSuggestions(const QString& text, SuggestionsCompletion completion) override {
        web_.requestKeywords(text, [completion](const std::optional<std::vector<QString>>& words) {
            completion(words ? std::optional<QStringList>(QStringList(words->begin(), words->end())) : std::nullopt);
        });
    }
    void searchVideos(const QString&) override {}

private:
    WebModel& web_;
};

// The first row's text once the popup shows suggestion rows (not the history rows).
QString firstShownRow(SearchField* field) {
    SuggestionsWindowController* popup = field->suggestionWindowController();
    if (!popup->isVisible())
        return {};
    for (auto* row :
         popup->window()->contentView()->findChildren<SuggestionRowView*>(QString(), Qt::FindDirectChildrenOnly))
        if (row->isVisible() && row->y() <= 5)
            return row->textField()->text();
    return {};
}
}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir xdg;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (xdg.path() + QLatin1Char('/') + QLatin1String(name)).toUtf8());
    QApplication app(argc, argv);
    int holdSeconds = 0;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--hold")); at >= 0)
        holdSeconds = args.value(at + 1).toInt();

    testsupport::ServiceStandIn standIn;
    if (!standIn.start())
        return 1;
    qputenv("TAVVEL_SERVICE_URL", standIn.baseUrl().toUtf8());
    standIn.setReply(
        501, testsupport::ScriptedReply::encrypted(
                 R"({"status":0,"info":"","data":{"cate":[],"hottags":[],"hotkey":["ocean","forest","city night"]}})"));
    standIn.setReply(505, testsupport::ScriptedReply::encrypted(
                              R"({"status":0,"info":"","data":["cat","cats playing","catalina island","cathedral"]})"));
    WebModel web(standIn.baseUrl(), false);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tavvel"));
    window.resize(720, 420);
    auto* layout = new QVBoxLayout(&window);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Tavvel")));
    top->addStretch();
    auto* field = new SearchField(web);
    field->setFixedWidth(260);
    top->addWidget(field);
    layout->addLayout(top);
    auto* content = new QLabel(QStringLiteral("Online library"));
    content->setAlignment(Qt::AlignCenter);
    content->setMinimumHeight(300);
    layout->addWidget(content, 1);
    Delegate delegate(web);
    field->setMyDelegate(&delegate);
    field->historyManager().setStoreHistory({QStringLiteral("sunset"), QStringLiteral("rain")});
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window) || !QTest::qWaitFor([&] { return !field->hotkeys().isEmpty(); }))
        return 1;
    field->setFocus(Qt::MouseFocusReason);

    // Baseline: the stand-in's round trip for the same request, through the same client.
    std::vector<double> roundTrips;
    for (int i = 0; i < 40; ++i) {
        bool done = false;
        QElapsedTimer t;
        t.start();
        web.requestKeywords(QStringLiteral("ca"), [&](const auto&) { done = true; });
        if (!waitUntil([&] { return done; }))
            return 1;
        roundTrips.push_back(t.nsecsElapsed() / 1e6);
    }
    std::vector<double> keystrokes;
    for (int i = 0; i < 40; ++i) {
        field->setText(QStringLiteral("c"));
        field->suggestionWindowController()->hidePopup();
        QElapsedTimer t;
        t.start();
        QTest::keyClick(field, Qt::Key_A);
        if (!waitUntil([&] { return firstShownRow(field) == QStringLiteral("cat"); }))
            return 1;
        keystrokes.push_back(t.nsecsElapsed() / 1e6);
    }
    line("search keystroke to popup rows", median(keystrokes), "ms", median(roundTrips));

    // History file: our read and write against QFile on the same bytes.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("searchHistory.info"));
    const QStringList terms = {QStringLiteral("cat"), QStringLiteral("ocean waves"), QStringLiteral("city night"),
                               QStringLiteral("forest"), QStringLiteral("\u6a31\u82b1")};
    const QByteArray bytes = SearchHistoryManager::encode(terms);
    const int rounds = 100;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        SearchHistoryManager history(path);
        history.setStoreHistory(terms);
    }
    const double ours = t.nsecsElapsed() / 1e3 / rounds;
    t.start();
    for (int i = 0; i < rounds; ++i) {
        QFile in(path);
        if (in.open(QIODevice::ReadOnly))
            in.readAll();
        QSaveFile out(path);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(bytes);
            out.commit();
        }
    }
    const double plain = t.nsecsElapsed() / 1e3 / rounds;
    line("search history read and write", ours, "us", plain);

    if (holdSeconds > 0) {
        field->setText(QStringLiteral("c"));
        QTest::keyClick(field, Qt::Key_A);
        QTest::qWait(holdSeconds * 1000);
    }
    return 0;
}
