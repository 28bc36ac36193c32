// The registry layer over its hive files in a private folder.
#include <QFile>

#include <gtest/gtest.h>

#include "platform/registry/Registry.h"
#include "tests/support/TestEnv.h"

namespace numora::registry {
namespace {

const char kToolKey[] = "SOFTWARE\\Numora Tools\\Info";

TEST(Registry, AKeyMarkedReadOnlyOpensForReadingOnlyAndValuesReadAsTheClassicCallsDo)
{
    test::TestEnv env;
    ASSERT_EQ(writeText(HKEY_LOCAL_MACHINE, kToolKey, "PATH", "/opt/tools/info"), ERROR_SUCCESS);
    ASSERT_EQ(seam()->setKeyReadOnly(HKEY_LOCAL_MACHINE, kToolKey, true), ERROR_SUCCESS);

    HKEY key = 0;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolKey, 0, 0x2003F, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\numora tools\\INFO", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 16u); // the text and its NUL
    char small[4];
    DWORD smallSize = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, &type, reinterpret_cast<BYTE*>(small), &smallSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(smallSize, 16u);
    char buffer[1024];
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(key, "PATH", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "/opt/tools/info");
    EXPECT_EQ(RegQueryValueExA(key, "MISSING", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExA(key, "PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    // Nothing below a read-only key is created or removed either.
    EXPECT_NE(writeText(HKEY_LOCAL_MACHINE, std::string(kToolKey) + "\\Sub", "", "x"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Numora Tools"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, kToolKey, "PATH"), "/opt/tools/info");
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, ClassesShowTheUsersOverTheMachinesAndAnUnreadableHiveIsNeverOverwritten)
{
    test::TestEnv env;
    ASSERT_EQ(writeText(HKEY_LOCAL_MACHINE, "Software\\Classes\\Demo.Class", "", "machine"), ERROR_SUCCESS);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, "Demo.Class"), "machine");
    ASSERT_EQ(writeText(HKEY_CLASSES_ROOT, "Demo.Class", "", "user"), ERROR_SUCCESS);
    EXPECT_EQ(readText(HKEY_CURRENT_USER, "Software\\Classes\\Demo.Class"), "user");
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, "Demo.Class"), "user");
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "Demo.Class"), ERROR_SUCCESS);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, "Demo.Class"), "machine");

    QFile hive(hivePath(HKEY_CURRENT_USER));
    ASSERT_TRUE(hive.open(QIODevice::WriteOnly | QIODevice::Truncate));
    hive.write("not a hive\n");
    hive.close();
    EXPECT_EQ(readText(HKEY_CURRENT_USER, "Software\\Classes\\Demo.Class"), std::nullopt);
    EXPECT_EQ(writeText(HKEY_CURRENT_USER, "Software\\Demo", "", "x"), ERROR_BADDB);
    ASSERT_TRUE(hive.open(QIODevice::ReadOnly));
    EXPECT_EQ(hive.readAll(), QByteArray("not a hive\n"));
}

// A fresh machine has none of the machine hive's folders yet: the first key
// written makes them all.
TEST(Registry, TheFirstKeyOfAHiveMakesEveryFolderMissingAboveIt)
{
    test::TestEnv env;
    const QByteArray saved = qgetenv("NUMORA_REGISTRY_DIR");
    qputenv("NUMORA_REGISTRY_DIR", QFile::encodeName(env.root() + QStringLiteral("/var/lib/numora/registry")));
    EXPECT_EQ(writeText(HKEY_LOCAL_MACHINE, kToolKey, "PATH", "/opt/tools/info"), ERROR_SUCCESS);
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, kToolKey, "PATH"), "/opt/tools/info");
    qputenv("NUMORA_REGISTRY_DIR", saved);
}

} // namespace
} // namespace numora::registry
