#include "support/DatabaseLock.h"

#include "shared/LocalVideoDBManager.h"

#include <QFile>
#include <QStringList>
#include <sqlite3.h>

namespace testsupport {
WriteLock::WriteLock(const char* begin, const QString& path) {
    QString file = path;
    if (file.isEmpty()) {
        const LocalVideoDBManager& library = LocalVideoDBManager::shared();
        if (!library.isOpen())
            return;
        file = library.databasePath();
    }
    held = sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK &&
           sqlite3_exec(db, begin, nullptr, nullptr, nullptr) == SQLITE_OK;
}

WriteLock::~WriteLock() {
    sqlite3_close(db);
}

void WriteLock::release() const {
    sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
}

std::optional<QString> runSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QStringList values;
    auto collect = [](void* out, int count, char** row, char**) {
        if (count > 0)
            static_cast<QStringList*>(out)->append(QString::fromUtf8(row[0] ? row[0] : "NULL"));
        return 0;
    };
    const bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql, collect, &values, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (!ok)
        return std::nullopt;
    return values.join(QLatin1Char('\n'));
}

bool overwriteBytes(const QString& path, qint64 offset, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(offset) && file.write(bytes) == bytes.size();
}
}  // namespace testsupport
