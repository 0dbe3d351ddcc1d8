#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <utility>

#include "platform/posix_io.h"

namespace dw::platform {
namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesExactlyOnceWhereverItsOwnershipMoves) {
    int raw[2];
    ASSERT_EQ(::pipe(raw), 0);
    ::close(raw[1]);
    {
        UniqueFd first(raw[0]);
        UniqueFd second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.get(), raw[0]);
        UniqueFd third;
        third = std::move(second);
        EXPECT_TRUE(isOpen(raw[0]));
        EXPECT_EQ(third.close(), 0);
        EXPECT_FALSE(isOpen(raw[0]));
        EXPECT_EQ(third.close(), 0);  // nothing held: nothing closed again
    }
    int again[2];
    ASSERT_EQ(::pipe(again), 0);
    {
        UniqueFd kept(again[0]);
        UniqueFd dropped(again[1]);
        EXPECT_EQ(kept.release(), again[0]);
    }
    EXPECT_TRUE(isOpen(again[0]));
    EXPECT_FALSE(isOpen(again[1]));
    ::close(again[0]);
}

TEST(WriteAll, WritesEverythingAtTheOffsetOrThePosition) {
    char name[] = "/tmp/posix-io-XXXXXX";
    const UniqueFd fd(::mkstemp(name));
    ASSERT_TRUE(fd.valid());
    ::unlink(name);
    const QByteArray big(3 * 1024 * 1024 + 7, 'b');
    ASSERT_TRUE(writeAll(fd.get(), QByteArray("head")));
    ASSERT_TRUE(writeAll(fd.get(), big.constData(), big.size(), 10));
    EXPECT_EQ(::lseek(fd.get(), 0, SEEK_CUR), 4);  // an offset leaves the position alone
    EXPECT_EQ(::lseek(fd.get(), 0, SEEK_END), 10 + big.size());

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const UniqueFd broken(ends[1]);
    ::signal(SIGPIPE, SIG_IGN);
    errno = 0;
    EXPECT_FALSE(writeAll(broken.get(), QByteArray("x")));
    EXPECT_EQ(errno, EPIPE);
    EXPECT_EQ(errnoText(EPIPE), QStringLiteral("Broken pipe"));
}

}  // namespace
}  // namespace dw::platform
