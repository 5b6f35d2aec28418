// The key a resumable copy records and the MySQL condition made of it. The
// record is read back from the target, so a key that this program could not
// have written must never reach a statement.

#include "connections/sourcekey.h"

#include <gtest/gtest.h>

using namespace tavrex;

TEST(SourceKey, KeysReadBackAndTheConditionsMadeOfThem)
{
    struct Case {
        QStringList columns;
        std::vector<KeyValue> values;
        const char *encoded;
        const char *condition;
    };
    const Case cases[] = {
        {{"id"}, {{KeyValue::Kind::Number, "-12"}}, "i:-12", "`id` > -12"},
        {{"a", "b`c"},
         {{KeyValue::Kind::Text, "O'Neil,\xc3\xa9"}, {KeyValue::Kind::Temporal, "2024-01-31 10:00:00.5"}},
         "t:4f274e65696c2cc3a9,d:2024-01-31 10:00:00.5",
         "(`a`,`b``c`) > (_utf8mb4 X'4f274e65696c2cc3a9','2024-01-31 10:00:00.5')"},
        {{"k"}, {{KeyValue::Kind::Bytes, QByteArray("\x00\xff", 2)}}, "b:00ff", "`k` > X'00ff'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.encoded);
        EXPECT_EQ(encodeKey(c.values), QString::fromUtf8(c.encoded));
        const auto decoded = decodeKey(QString::fromUtf8(c.encoded));
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->size(), c.values.size());
        for (size_t i = 0; i < c.values.size(); ++i) {
            EXPECT_EQ((*decoded)[i].kind, c.values[i].kind);
            EXPECT_EQ((*decoded)[i].bytes, c.values[i].bytes);
        }
        EXPECT_EQ(keyAfterCondition(c.columns, *decoded, "utf8mb4"), QString::fromUtf8(c.condition));
    }
}

TEST(SourceKey, AKeyThisProgramCouldNotHaveWrittenIsRefused)
{
    for (const char *text : {"", "i:1 or 1=1", "i:", "i:1e5", "t:zz", "t:abc", "d:2024-01-01' or '1'='1",
                             "x:12", "12", "i:1,,i:2"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(decodeKey(QString::fromUtf8(text)));
    }
    // A character set that is not a bare name, or a key of another width,
    // makes no condition.
    const std::vector<KeyValue> text{{KeyValue::Kind::Text, "a"}};
    EXPECT_TRUE(keyAfterCondition({"a"}, text, "utf8mb4 X'00' or 1").isEmpty());
    EXPECT_TRUE(keyAfterCondition({"a", "b"}, text, "utf8mb4").isEmpty());
}
