// The crash reports of earlier runs at start-up: every one goes to the service and is deleted
// once it answered.
#include "OnlineTestSupport.h"

#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/startup/CrashReport.h"
#include "MainWindow/startup/MainParts.h"

#include <QDir>
#include <QSet>

using testsupport::ScriptedReply;

TEST(CrashUpload, EveryReportIsUploadedAndDeleted) {
    testsupport::ServiceStandIn& standIn = onlinetest::processStandIn();
    QDir dir(crash::directory());
    ASSERT_TRUE(dir.mkpath(QStringLiteral(".")));
    const QSet<QByteArray> names{"1700000001.txt", "1700000002.txt", "1700000003.txt"};
    auto writeReports = [&] {
        for (const QByteArray& name : names) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("report " + name);
        }
    };
    auto uploaded = [&] {
        QSet<QByteArray> sent;
        for (const auto& r : standIn.requests())
            if (r.code == 25 && r.parts.size() == 3 && r.parts[2].fileName)
                sent.insert(*r.parts[2].fileName);
        return sent;
    };
    AppDelegate delegate(MainParts::make());

    writeReports();
    standIn.clearRequests();
    standIn.setReply(25, ScriptedReply::raw("ok", 200));
    delegate.uploadCrashFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.entryList(QDir::Files).isEmpty(); }));
    EXPECT_EQ(uploaded(), names);
}
