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
    const QDir dir(crash::directory());
    const QSet<QByteArray> names{"1700000001.txt", "1700000002.txt", "1700000003.txt"};
    AppDelegate delegate(MainParts::make());

    for (const QByteArray& name : names)
        testsupport::writeFile(dir.filePath(QString::fromLatin1(name)), "report " + name);
    standIn.clearRequests();
    standIn.setReply(25, ScriptedReply::raw("ok", 200));
    delegate.uploadCrashFiles();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.entryList(QDir::Files).isEmpty(); }));
    QSet<QByteArray> uploaded;
    for (const auto& r : standIn.requests())
        if (r.code == 25 && r.parts.size() == 3 && r.parts[2].fileName)
            uploaded.insert(*r.parts[2].fileName);
    EXPECT_EQ(uploaded, names);
}
