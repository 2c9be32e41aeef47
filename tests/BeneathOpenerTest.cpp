// Opening folders below a start folder: plain subfolders open, a link on the
// way or a way out does not, with openat2 and step by step alike.
#include "BeneathOpener.h"

#include "TestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(BeneathOpener, NoLinkIsFollowedOnTheWay)
{
    TempFolder dir;
    PutFile(dir.file("a/b/f.txt"), "x");
    PutFile(dir.file("outside/f.txt"), "x");
    ASSERT_EQ(::symlink(dir.file("outside").c_str(), dir.file("a/link").c_str()), 0);
    ASSERT_EQ(::symlink("b", dir.file("a/near").c_str()), 0);
    const int start = ::open(dir.file("a").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(start, 0);
    struct Case
    {
        const char *relative;
        bool opens;
    };
    const Case cases[] = {{"b", true},
                          {"b/", true},
                          {"", true},
                          {"./b", true},
                          {"link", false},
                          {"near", false},
                          {"b/../../outside", false},
                          {"missing", false}};
    for (auto method : {BeneathOpener::Method::Best, BeneathOpener::Method::StepByStep})
        for (const Case &c : cases) {
            SCOPED_TRACE(c.relative);
            const int fd = BeneathOpener::OpenFolderBeneath(start, c.relative, method);
            EXPECT_EQ(fd >= 0, c.opens);
            if (fd >= 0)
                ::close(fd);
        }
    ::close(start);

    // A folder outside the start folder is opened as given, links and all.
    BeneathOpener opener;
    ASSERT_EQ(opener.SetStart(dir.file("a")), 0);
    EXPECT_EQ(opener.Enter(dir.file("a/b")), 0);
    EXPECT_NE(opener.Enter(dir.file("a/link")), 0);
    EXPECT_EQ(opener.Enter(dir.file("outside")), 0);
    struct stat st;
    const int fd = opener.OpenFile("f.txt", false, st);
    EXPECT_GE(fd, 0);
    ::close(fd);
}

} // namespace
