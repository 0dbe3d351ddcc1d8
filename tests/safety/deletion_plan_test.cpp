#include <gtest/gtest.h>

#include <QFile>

#include <unistd.h>

#include "platform/environment.h"
#include "platform/file_remover.h"
#include "safety/deletion_plan.h"
#include "safety/harbor_fixture.h"
#include "safety/safe_harbor.h"
#include "support/temp_tree.h"

namespace dw {
namespace {

using platform::RemoveCode;
using test::present;
using test::TempTree;

// A real tree with a Safe Harbor over part of it: kept/ on the folder list, bin/ on the
// search path, sys/ one of the system's trees, and "*.sys" files protected.
class Plan : public ::testing::Test {
protected:
    TempTree tree_;
    QByteArray r_ = platform::shortPath(tree_.root());
    SafeHarbor harbor_;

    void SetUp() override { test::coverWithHarbor(tree_, r_, harbor_); }

    QByteArray file(const QByteArray& rel, qint64 size) {
        tree_.fileOfSize(rel, size);
        return r_ + "/" + rel;
    }
    QByteArray link(const QByteArray& existing, const QByteArray& rel) {
        const QByteArray name = r_ + "/" + rel;
        EXPECT_EQ(::link(existing.constData(), name.constData()), 0) << name.constData();
        return name;
    }
    DeletionPlan split(const QList<QByteArray>& files) {
        DeletionPlan plan;
        plan.setFiles(files);
        plan.split(harbor_);
        return plan;
    }
};

TEST_F(Plan, SplitsAgainstTheSafeHarborAndChecksEveryFileItWillActOn) {
    const QByteArray a = file("free/a.txt", 100);
    const QByteArray odd = file("free/ odd\n\xff name", 50);
    const QByteArray gone = r_ + "/free/gone.txt";
    const QByteArray folder = tree_.dir("free/folder");
    const QByteArray kept = file("kept/k.txt", 7);
    const QByteArray tool = file("bin/tool", 3);
    const QByteArray lib = file("sys/libc.so", 5);
    const QByteArray driver = file("free/x.sys", 9);

    DeletionPlan plan;
    plan.setFiles({lib, a, gone, odd, a, kept, folder, tool, driver});
    ASSERT_EQ(plan.splitSteps(), 2 * 8);
    QList<qsizetype> steps;
    plan.split(harbor_, [&steps](qsizetype done) { steps.append(done); });
    ASSERT_EQ(steps.size(), 16);
    EXPECT_EQ(steps.front(), 1);
    EXPECT_EQ(steps.back(), 16);

    EXPECT_EQ(plan.toActOn(), (QList<QByteArray>{odd, a, folder, gone}));
    EXPECT_EQ(plan.protectedFiles(), (QList<QByteArray>{tool, driver, kept, lib}));
    EXPECT_EQ(plan.harborReason(lib), SafeHarbor::kReasonSystemFolder);
    EXPECT_EQ(plan.harborReason(tool), SafeHarbor::kReasonSearchPath);
    EXPECT_EQ(plan.harborReason(kept), SafeHarbor::kReasonFolderList);
    EXPECT_EQ(plan.harborReason(driver), SafeHarbor::kReasonExtension);
    EXPECT_EQ(plan.harborReason(a), SafeHarbor::kNotProtected);

    // Each file to act on carries its check: what it is, or why nothing will be done.
    const SafeHarborSplit checked = plan.checked();
    ASSERT_EQ(checked.deletable, plan.toActOn());
    ASSERT_EQ(checked.identities.size(), 4u);
    ASSERT_EQ(checked.checkCodes.size(), 4);
    EXPECT_TRUE(checked.identities[0] && checked.identities[1]);
    EXPECT_EQ(checked.identities[1]->size, 100);
    EXPECT_EQ(checked.checkCodes[1], RemoveCode::None);
    EXPECT_FALSE(checked.identities[2]);
    EXPECT_EQ(checked.checkCodes[2], RemoveCode::IsFolder);
    EXPECT_FALSE(checked.identities[3]);
    EXPECT_EQ(checked.checkReasons[3], QStringLiteral("No such file or directory"));
    EXPECT_EQ(checked.checkCodes[3], RemoveCode::SystemError);

    // A file that was gone, and a folder, free nothing; the protected files are not counted.
    EXPECT_EQ(plan.bytesFreedBy(gone), 0);
    EXPECT_EQ(plan.bytesFreedBy(kept), test::allocatedBytes(kept));
    EXPECT_EQ(plan.bytesFreedBy(folder), 0);
    EXPECT_EQ(plan.savings(), test::allocatedBytes(a) + test::allocatedBytes(odd));
    EXPECT_TRUE(plan.savingsExact());
}

TEST_F(Plan, AFileOfSeveralNamesFreesItsBytesOnlyWhileEveryNameIsToGo) {
    // Sizes of whole blocks: what each file takes on the disk is its size.
    const QByteArray h1 = file("free/h1", 8192);
    const QByteArray h2 = link(h1, "free/h2");
    const QByteArray c = file("free/c", 4096);
    const QByteArray k1 = file("free/k1", 12288);
    link(k1, "elsewhere-k2");  // a name the plan never holds
    const QByteArray p1 = file("free/p1", 16384);
    const QByteArray p2 = link(p1, "kept/p2");  // a name the Safe Harbor protects
    ASSERT_EQ(test::allocatedBytes(h1), 8192) << "the temporary folder's blocks are not 4 KiB";

    const struct {
        const char* what;
        QList<QByteArray> files;
        qint64 savings;
    } cases[] = {
        {"one name of two", {h1, c}, 4096},
        {"both names: the bytes once", {h1, h2, c}, 8192 + 4096},
        {"the other name outside the plan", {k1, c}, 4096},
        {"the other name protected", {p1, p2}, 0},
    };
    for (const auto& k : cases) {
        const DeletionPlan plan = split(k.files);
        EXPECT_EQ(plan.savings(), k.savings) << k.what;
        // What one file is worth does not hang on its other names.
        EXPECT_EQ(plan.bytesFreedBy(k.files.front()), k.files.front() == h1   ? 8192
                                                      : k.files.front() == k1 ? 12288
                                                                              : 16384)
            << k.what;
    }

    // The savings follow the moves, without reading the disk again.
    DeletionPlan plan = split({h1, h2, c, p1, p2});
    EXPECT_EQ(plan.savings(), 8192 + 4096);
    plan.protect({h2});
    EXPECT_EQ(plan.savings(), 4096);
    EXPECT_EQ(plan.protectedFiles(), (QList<QByteArray>{h2, p2}));
    ASSERT_EQ(::unlink(c.constData()), 0);
    plan.actOn({h2, p2});
    EXPECT_EQ(plan.savings(), 8192 + 4096 + 16384);
    EXPECT_TRUE(plan.protectedFiles().isEmpty());
}

TEST_F(Plan, AFileMovedOverIsCheckedWhenItArrivesAndRunsActOnlyOnTheCheckedFiles) {
    const QByteArray a = file("free/a.txt", 100);
    const QByteArray kept = file("kept/k.txt", 7);
    const QByteArray later = file("kept/later.txt", 8);
    const qint64 aBlocks = test::allocatedBytes(a);
    DeletionPlan plan = split({a, kept, later});
    ASSERT_EQ(plan.protectedFiles(), (QList<QByteArray>{kept, later}));

    plan.actOn({kept});
    // Replaced after its check: the run leaves the new file alone and says why.
    const QByteArray other = file("kept/other.txt", 70);
    ASSERT_EQ(::rename(other.constData(), kept.constData()), 0);
    // A path that is on neither side is ignored.
    plan.actOn({r_ + "/free/never-given"});
    EXPECT_EQ(plan.toActOn(), (QList<QByteArray>{a, kept}));

    QList<CleanFileResult> results;
    CleanRunHooks hooks;
    hooks.fileDone = [&results](const CleanFileResult& r) { results.append(r); };
    const CleanRunSummary s = plan.deleteFiles(hooks);
    EXPECT_EQ(s.files, 2);
    EXPECT_EQ(s.doneCount, 1);
    EXPECT_EQ(s.doneSize, 100);
    EXPECT_EQ(s.doneBytes, aBlocks);
    ASSERT_EQ(results.size(), 2);
    EXPECT_TRUE(results[0].done);
    EXPECT_FALSE(results[1].done);
    EXPECT_EQ(results[1].code, RemoveCode::ReplacedFile);
    EXPECT_FALSE(present(a));
    EXPECT_TRUE(present(kept));
    EXPECT_TRUE(present(later));
}

TEST_F(Plan, AFileNeverCheckedIsNeverActedOn) {
    const QByteArray a = file("free/a.txt", 100);
    DeletionPlan plan;
    plan.setFiles({a});
    const SafeHarborSplit checked = plan.checked();
    ASSERT_EQ(checked.identities.size(), 1u);
    EXPECT_FALSE(checked.identities[0]);
    EXPECT_EQ(checked.checkReasons[0], QStringLiteral("it was not checked"));
    const CleanRunSummary s = plan.deleteFiles();
    EXPECT_EQ(s.doneCount, 0);
    EXPECT_TRUE(present(a));
}

}  // namespace
}  // namespace dw
