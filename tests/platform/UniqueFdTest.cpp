#include "platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <type_traits>
#include <utility>

namespace {

int openNull() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

} // namespace

static_assert(!std::is_copy_constructible_v<UniqueFd> && !std::is_copy_assignable_v<UniqueFd>);
static_assert(std::is_nothrow_move_constructible_v<UniqueFd> && std::is_nothrow_move_assignable_v<UniqueFd>);

TEST(UniqueFd, ClosesWhatItHoldsWhenItGoes) {
    int raw = -1;
    {
        const UniqueFd fd(openNull());
        raw = fd.get();
        ASSERT_TRUE(fd);
        EXPECT_TRUE(isOpen(raw));
    }
    EXPECT_FALSE(isOpen(raw));
}

TEST(UniqueFd, AMoveHandsOverTheOnlyOwnership) {
    UniqueFd first(openNull());
    const int raw = first.get();
    UniqueFd second(std::move(first));
    EXPECT_EQ(first.get(), -1);
    EXPECT_EQ(second.get(), raw);

    UniqueFd third(openNull());
    const int replaced = third.get();
    third = std::move(second);
    EXPECT_FALSE(isOpen(replaced)) << "the descriptor a move replaced stayed open";
    EXPECT_EQ(third.get(), raw);
    EXPECT_TRUE(isOpen(raw));
}

TEST(UniqueFd, ReleaseGivesUpWithoutClosingAndResetCloses) {
    UniqueFd fd(openNull());
    const int released = fd.release();
    EXPECT_FALSE(fd);
    EXPECT_TRUE(isOpen(released));

    fd.reset(released);
    EXPECT_EQ(fd.get(), released);
    fd.reset();
    EXPECT_FALSE(fd);
    EXPECT_FALSE(isOpen(released));
}
