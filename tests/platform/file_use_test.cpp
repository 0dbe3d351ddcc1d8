#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "platform/file_use.h"
#include "platform/posix_io.h"
#include "support/file_holder.h"
#include "support/temp_tree.h"

namespace dw::platform {
namespace {

using test::FileHolder;
using Hold = FileHolder::Hold;

FileUse useOf(const QByteArray& path) {
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    return fd ? writersOf(fd.get()) : FileUse::Unknown;
}

// What another process's hold on a file makes of it: only a hold that can change the
// bytes is a use.
TEST(FileUse, AnotherProcessThatCanWriteTheFileMakesItInUse) {
    struct Case {
        const char* what;
        Hold hold;
        FileUse expected;
    };
    const Case cases[] = {
        {"open for reading", Hold::Reading, FileUse::Free},
        {"open for writing", Hold::Writing, FileUse::InUse},
        {"mapped shared and writable, descriptor closed", Hold::SharedMap, FileUse::InUse},
        {"mapped private and read-only, descriptor closed", Hold::PrivateMap, FileUse::Free},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempTree t;
        const QByteArray path = t.file("held.bin", QByteArray(8192, 'h'));
        EXPECT_EQ(useOf(path), FileUse::Free);
        FileHolder holder(path, c.hold);
        ASSERT_TRUE(holder.ready());
        EXPECT_EQ(useOf(path), c.expected);
        UniqueFd folder(::open(t.root().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        EXPECT_EQ(writersOfEntry(folder.get(), "held.bin"), c.expected);
        holder.release();
        EXPECT_EQ(useOf(path), FileUse::Free);
    }
}

TEST(FileUse, OurOwnWriterCountsAndWhatIsNoRegularFileIsUnknown) {
    test::TempTree t;
    const QByteArray path = t.file("mine.txt", "mine");
    {
        UniqueFd writer(::open(path.constData(), O_WRONLY | O_CLOEXEC));
        ASSERT_TRUE(writer);
        EXPECT_EQ(useOf(path), FileUse::InUse);
    }
    EXPECT_EQ(useOf(path), FileUse::Free);
    t.fifo("pipe");
    t.symlink("link", path);
    t.dir("folder");
    UniqueFd folder(::open(t.root().constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    // None of these is opened for long or waited on: the FIFO has no writer.
    for (const char* name : {"pipe", "link", "folder", "missing"}) {
        EXPECT_EQ(writersOfEntry(folder.get(), name), FileUse::Unknown) << name;
    }
}

}  // namespace
}  // namespace dw::platform
