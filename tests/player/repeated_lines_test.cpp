// A line said again and again is written once, then counted.
#include "platform/Log.h"

#include <gtest/gtest.h>

#include <QStringList>

TEST(RepeatedLines, WritesEachTextOnceThenItsCount) {
    const struct {
        const char* name;
        QStringList lines;  // "text@ms"
        QStringList written;
        int perMinute = 0;
    } cases[] = {
        {"different lines all pass", {"a@0", "b@1", "c@2"}, {"a", "b", "c"}},
        {"a line in a row", {"a@0", "a@1", "a@2", "b@3"}, {"a", "b", "repeated 2 times: a"}},
        {"a cycle of a damaged file that loops",
         {"a@0", "b@1", "a@2", "b@3", "a@4", "b@5"},
         {"a", "b", "repeated 2 times: a", "repeated 2 times: b"}},
        {"the count once a period has passed, then counted anew",
         {"a@0", "a@10", "a@600000", "a@600001", "a@700000"},
         {"a", "repeated 2 times: a", "repeated 2 times: a"}},
        {"a forgotten text's count is written, and the text is new again",
         {"a@0", "a@1", "b@2", "c@3", "a@4"},
         {"a", "b", "repeated 1 times: a", "c", "a"}},
        {"texts that differ only in their numbers are one",
         {"size 12 > 7@0", "size 3 > 7@1", "size 12 > 7@2", "a@3", "ok@4", "ok@5"},
         {"size 12 > 7", "a", "repeated 2 times: size # > #", "ok", "repeated 1 times: ok"}},
        {"at most so many lines a minute, then what was left out",
         {"a@0", "b@1", "c@2", "d@3", "e@60000", "f@60001"},
         {"a", "b", "2 more lines left out in the last minute", "e", "f"},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList written;
        {
            platform::RepeatedLines filter([&](const QString& line) { written.append(line); }, 600000, 2, c.perMinute);
            for (const QString& entry : c.lines) {
                const QStringList parts = entry.split(u'@');
                filter.add(parts[0], parts[1].toLongLong());
            }
        }  // what is left is written when the filter goes
        EXPECT_EQ(written, c.written);
    }
}
