#include <gtest/gtest.h>

#include "files/native_names.h"
#include "files/wildcard.h"

TEST(Wildcard, StarAndQuestionMarkIgnoringCaseOnAnyName)
{
    const QString undecodable = native_names::decode(QByteArray("\xff\xfe.kir"));
    const std::tuple<QString, const char16_t*, bool> cases[] = {
        {"A.JPG", u"*.jpg", true},    {".jpg", u"*.jpg", true},      {"x.jpg.jpg", u"*.jpg", true},
        {"a.jpg.txt", u"*.jpg", false}, {"jpg", u"*.jpg", false},      {"a.jpeg", u"*.jp*g", true},
        {"ab.gif", u"a?.gif", true},  {"a.gif", u"a?.gif", false},   {"", u"*", true},
        {"写真.JPG", u"*.jpg", true}, {undecodable, u"*.KIR", true}, {undecodable, u"*.jpg", false},
    };
    for (const auto& [name, pattern, expected] : cases)
        EXPECT_EQ(matchesWildcard(name, pattern), expected) << name.toStdString();
}
