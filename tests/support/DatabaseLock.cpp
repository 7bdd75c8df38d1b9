#include "support/DatabaseLock.h"

#include "shared/LocalVideoDBManager.h"

#include <sqlite3.h>

namespace testsupport {
WriteLock::WriteLock(const char* begin) {
    const LocalVideoDBManager& library = LocalVideoDBManager::shared();
    held = library.isOpen() && sqlite3_open(library.databasePath().toUtf8().constData(), &db) == SQLITE_OK &&
           sqlite3_exec(db, begin, nullptr, nullptr, nullptr) == SQLITE_OK;
}

WriteLock::~WriteLock() {
    sqlite3_close(db);
}

void WriteLock::release() const {
    sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
}
}  // namespace testsupport
