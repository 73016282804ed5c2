#include <gtest/gtest.h>

#include "platform/native_names.h"
#include "platform/wildcard.h"

namespace {

TEST(Wildcard, StarAndQuestionMarkIgnoringCase)
{
    EXPECT_TRUE(matchesWildcard(u"a.jpg", u"*.jpg"));
    EXPECT_TRUE(matchesWildcard(u"A.JPG", u"*.jpg"));
    EXPECT_TRUE(matchesWildcard(u".jpg", u"*.jpg"));
    EXPECT_TRUE(matchesWildcard(u"x.jpg.jpg", u"*.jpg"));
    EXPECT_FALSE(matchesWildcard(u"a.jpg.txt", u"*.jpg"));
    EXPECT_FALSE(matchesWildcard(u"jpg", u"*.jpg"));
    EXPECT_FALSE(matchesWildcard(u"a.jpeg", u"*.jpg"));
    EXPECT_TRUE(matchesWildcard(u"a.jpeg", u"*.jp*g"));
    EXPECT_TRUE(matchesWildcard(u"ab.gif", u"a?.gif"));
    EXPECT_FALSE(matchesWildcard(u"a.gif", u"a?.gif"));
    EXPECT_TRUE(matchesWildcard(u"anything", u"*"));
    EXPECT_TRUE(matchesWildcard(u"", u"*"));
    EXPECT_FALSE(matchesWildcard(u"", u"?"));
}

TEST(Wildcard, JapaneseAndUndecodableNamesMatch)
{
    EXPECT_TRUE(matchesWildcard(u"写真.JPG", u"*.jpg"));
    const QString undecodable = native_names::decode(QByteArray("\xff\xfe.kir"));
    EXPECT_TRUE(matchesWildcard(undecodable, u"*.KIR"));
    EXPECT_FALSE(matchesWildcard(undecodable, u"*.jpg"));
}

} // namespace
