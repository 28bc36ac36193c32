#include <gtest/gtest.h>

#include "platform/core/Seam.h"
#include "tests/support/FakeWindowsFolder.h"
#include "tests/support/TestEnv.h"

namespace {

struct Backing {
    virtual ~Backing() = default;
    virtual int id() const = 0;
};
struct Numbered : Backing {
    explicit Numbered(int n) : n_(n) {}
    int id() const override { return n_; }
    int n_;
};

TEST(Seam, FakesNestAndEachRestoresTheBackingBeforeIt)
{
    Numbered real(0), outer(1), inner(2);
    numora::Seam<Backing> seam(real);
    EXPECT_EQ(seam->id(), 0);
    {
        auto a = seam.install(outer);
        EXPECT_EQ(seam->id(), 1);
        {
            auto b = seam.install(inner);
            EXPECT_EQ(seam->id(), 2);
            auto moved = std::move(b); // a moved guard restores once, when the last holder goes
            EXPECT_EQ(seam->id(), 2);
        }
        EXPECT_EQ(seam->id(), 1);
    }
    EXPECT_EQ(seam->id(), 0);
}

TEST(Seam, NestedFakesOfARealLayerUnwindToItsRealBacking)
{
    numora::test::TestEnv env; // points WINDIR at its own folder
    const QString real = numora::win::windowsFolder();
    {
        numora::test::FakeWindowsFolder outer(QStringLiteral("/outer"));
        {
            numora::test::FakeWindowsFolder inner(QStringLiteral("/inner"));
            EXPECT_EQ(numora::win::windowsFolder(), QStringLiteral("/inner"));
        }
        EXPECT_EQ(numora::win::windowsFolder(), QStringLiteral("/outer"));
    }
    EXPECT_EQ(numora::win::windowsFolder(), real);
    EXPECT_EQ(real, env.root() + QStringLiteral("/windows"));
}

} // namespace
