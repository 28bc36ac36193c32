// The placement control as a host meets it: registered and created through
// the library's entry points and the class factory, called by dispatch id,
// restoring, sampling and storing a window's placement.
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <climits>
#include <cstdlib>

#include "platform/com/ControlHost.h"
#include "platform/com/ScreenTwips.h"
#include "platform/core/Error.h"
#include "platform/registry/Registry.h"
#include "tests/placement/KwendoFixture.h"

namespace numora::test {
namespace {

using com::ComError;
using com::ComPtr;
using com::Variant;
using Placement = std::map<QString, QString>;

const Placement kStoredPlacement{
    {"MainWindow", "0"}, {"MainLeft", "1500"}, {"MainTop", "1200"}, {"MainWidth", "9000"}, {"MainHeight", "6000"}};

ComPtr<RecordingContainer> container(short state, float left, float top, float width, float height)
{
    return ComPtr<RecordingContainer>::adopt(new RecordingContainer(state, left, top, width, height));
}

TEST_F(KwendoTest, RegistersItselfAndControlsExistOnlyWhileRegistered)
{
    const NUMORA_VERSIONINFO* version = library.versionInfo();
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(version->flags & NUMORA_VERSION_SELFREGISTER);
    EXPECT_EQ(version->fileVersionMajor, 1);
    EXPECT_EQ(version->fileVersionMinor, 0);

    // The control and both pages are registered to the library's own file.
    char file[PATH_MAX];
    ASSERT_NE(::realpath(NUMORA_KWENDO_LIBRARY, file), nullptr);
    using registry::HKEY_CLASSES_ROOT;
    EXPECT_EQ(registry::readText(HKEY_CLASSES_ROOT, "Kwendo.Ravelle\\CLSID"), "{CBFA5B40-42D3-11D4-99C0-0090275A8A92}");
    for (const char* clsid : {"{CBFA5B40-42D3-11D4-99C0-0090275A8A92}", "{CBFA5B45-42D3-11D4-99C0-0090275A8A92}",
                              "{CBFA5B43-42D3-11D4-99C0-0090275A8A92}"})
        EXPECT_EQ(registry::readText(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid + "\\InprocServer32"),
                  std::string(file));

    // The type library under its locale, 0x0409; registering again drops
    // the locale 0 an earlier build registered it under.
    ASSERT_EQ(registry::writeText(registry::HKEY_CURRENT_USER,
                                  "Software\\Classes\\TypeLib\\{CBFA5B46-42D3-11D4-99C0-0090275A8A92}\\1.0\\0\\linux",
                                  "", file),
              registry::ERROR_SUCCESS);
    ASSERT_EQ(library.registerServer(), S_OK);
    EXPECT_EQ(registry::readText(HKEY_CLASSES_ROOT, "TypeLib\\{CBFA5B46-42D3-11D4-99C0-0090275A8A92}\\1.0\\409\\linux"),
              std::string(file));
    EXPECT_FALSE(
        registry::readText(HKEY_CLASSES_ROOT, "TypeLib\\{CBFA5B46-42D3-11D4-99C0-0090275A8A92}\\1.0\\0\\linux"));

    QWidget window;
    {
        const auto control = com::createControl(KWENDO_PROGID_RAVELLE, &window);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(library.canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(library.canUnloadNow(), S_OK);

    EXPECT_EQ(library.unregisterServer(), S_OK);
    EXPECT_EQ(com::createControl(KWENDO_PROGID_RAVELLE, &window), nullptr);
    EXPECT_FALSE(
        registry::readText(HKEY_CLASSES_ROOT, "CLSID\\{CBFA5B45-42D3-11D4-99C0-0090275A8A92}\\InprocServer32"));
    EXPECT_EQ(library.unregisterServer(), S_OK); // nothing left to remove is no failure

    // A registration the registry refuses is reported, not taken for done.
    ASSERT_EQ(registry::seam()->setKeyReadOnly(registry::HKEY_CURRENT_USER, "Software\\Classes", true),
              registry::ERROR_SUCCESS);
    EXPECT_EQ(library.registerServer(), SELFREG_E_CLASS);
    EXPECT_EQ(com::createControl(KWENDO_PROGID_RAVELLE, &window), nullptr);
}

TEST_F(KwendoTest, FirstRunKeepsTheWindowWhereItIsAndStoresItEvenBeforeTheFirstTick)
{
    const auto window = container(0, 1200.5f, 900, 9525, 6600.5f);
    auto control = createControl(window.get());
    initReg(control.get(), QStringLiteral("  Numora "), QStringLiteral(" Setting"));
    // Nothing stored is nothing applied: a window never placed stays the
    // window manager's to place.
    EXPECT_EQ(window->putLog(), QString());
    EXPECT_FALSE(QFile::exists(settingsFile()));

    control.reset();
    EXPECT_EQ(stored(), (Placement{{"MainWindow", "0"},
                                   {"MainLeft", "1200.5"},
                                   {"MainTop", "900"},
                                   {"MainWidth", "9525"},
                                   {"MainHeight", "6600"}}));
}

TEST_F(KwendoTest, StoredTextsReachTheWindowUnchangedAndOnlyTheHeightIsRounded)
{
    store({{"MainWindow", "0"},
           {"MainLeft", "-1234.5"},
           {"MainTop", "0"},
           {"MainWidth", "9000.25"},
           {"MainHeight", "6601.5"}});
    const auto window = container(0, 0, 0, 100, 100);
    auto control = createControl(window.get());
    initReg(control.get(), QStringLiteral("Numora"), QStringLiteral("Setting"));
    EXPECT_EQ(window->putLog(), QStringLiteral(R"(WindowState=0 Left="-1234.5" Top="0" Width="9000.25" Height=6602)"));
    control.reset();
    EXPECT_EQ(stored()["MainLeft"], QStringLiteral("-1234.5"));
    EXPECT_EQ(stored()["MainHeight"], QStringLiteral("6602"));

    // In the user's locale: a decimal comma is read and written as such.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    store({{"MainLeft", "1234,5"}, {"MainHeight", "6600,5"}});
    const auto second = container(0, 0, 0, 100, 100);
    control = createControl(second.get());
    initReg(control.get(), QStringLiteral("Numora"), QStringLiteral("Setting"));
    EXPECT_EQ(second->putLog(), QStringLiteral(R"(WindowState=0 Left="1234,5" Top="0" Width="9000.25" Height=6600)"));
    second->values["Left"] = Variant::r4(300.25f);
    call(control.get(), DISPID_RAVELLE_UPDATESETTING);
    control.reset();
    EXPECT_EQ(stored()["MainLeft"], QStringLiteral("300,25"));
}

TEST_F(KwendoTest, AStoredValueThatIsNoNumberFailsTheRestoreAndLeavesTheStoreAlone)
{
    struct Case {
        const char* key;
        const char* value;
        long error;
        const char* applied; // what reached the window before the failure
    };
    const Case cases[] = {
        {"MainHeight", "abc", 13, ""}, {"MainHeight", "3000000000", 6, ""},      {"MainWindow", "256", 6, ""},
        {"MainWindow", "", 13, ""},    {"MainLeft", "abc", 13, "WindowState=0"}, // refused by the window itself
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        QFile::remove(settingsFile());
        Placement placement = kStoredPlacement;
        placement[QLatin1String(c.key)] = QLatin1String(c.value);
        store(placement);
        const auto window = container(0, 15, 15, 6000, 4000);
        if (QLatin1String(c.key) == QLatin1String("MainLeft"))
            window->refuse = QStringLiteral("Left");
        auto control = createControl(window.get());
        try {
            initReg(control.get(), QStringLiteral("Numora"), QStringLiteral("Setting"));
            ADD_FAILURE() << "InitReg succeeded";
        } catch (const ComError& e) {
            EXPECT_EQ(e.number(), c.error);
        }
        EXPECT_EQ(window->putLog(), QLatin1String(c.applied));
        control.reset(); // before the first tick: nothing is overwritten
        EXPECT_EQ(stored(), placement);
    }
}

TEST_F(KwendoTest, MinimisedOrMaximisedAtTheEndStoresTheLastNormalPlacement)
{
    for (const SHORT state : {SHORT(1), SHORT(2)}) {
        SCOPED_TRACE(state);
        QFile::remove(settingsFile());
        const auto window = container(0, 1500, 1200, 9000, 6000);
        auto control = createControl(window.get());
        initReg(control.get(), QStringLiteral("Numora"), QStringLiteral("Setting"));
        call(control.get(), DISPID_RAVELLE_UPDATESETTING);
        window->values = {{"WindowState", Variant::i2(state)},
                          {"Left", Variant::r4(0)},
                          {"Top", Variant::r4(0)},
                          {"Width", Variant::r4(20000)},
                          {"Height", Variant::r4(15000)}};
        call(control.get(), DISPID_RAVELLE_UPDATESETTING);
        control.reset();
        EXPECT_EQ(stored(), kStoredPlacement);
    }

    // A state written by something else is applied, and never stored.
    store({{"MainWindow", "2"}, {"MainLeft", "3000"}});
    const auto window = container(0, 0, 0, 100, 100);
    auto control = createControl(window.get());
    initReg(control.get(), QStringLiteral("Numora"), QStringLiteral("Setting"));
    EXPECT_TRUE(window->putLog().startsWith(QStringLiteral(R"(WindowState=2 Left="3000")")));
    control.reset();
    EXPECT_EQ(stored()["MainWindow"], QStringLiteral("2"));
}

TEST_F(KwendoTest, NamesOfSpacesNeitherRestoreNorSampleNorStore)
{
    store(kStoredPlacement);
    const auto window = container(0, 15, 15, 6000, 4000);
    auto control = createControl(window.get());
    initReg(control.get(), QStringLiteral("   "), QStringLiteral(" "));
    call(control.get(), DISPID_RAVELLE_REFRESH);
    call(control.get(), DISPID_RAVELLE_UPDATESETTING);
    EXPECT_TRUE(window->puts.empty());
    control.reset();
    EXPECT_EQ(stored(), kStoredPlacement);
    EXPECT_EQ(QDir(env.root() + QStringLiteral("/config")).entryList(QDir::Files),
              QStringList{QStringLiteral("Numora.ini")});
}

TEST_F(KwendoTest, TwoControlsShareOneState)
{
    const auto first = container(0, 105, 90, 6000, 4500);
    const auto second = container(0, 5000, 5000, 2000, 2000);
    auto a = createControl(first.get());
    initReg(a.get(), QStringLiteral("Numora"), QStringLiteral("Setting"));
    call(a.get(), DISPID_RAVELLE_SETINTERVAL, {Variant::i4(250)});
    EXPECT_EQ(call(a.get(), DISPID_RAVELLE_GETINTERVAL).toI4(), 250);

    auto b = createControl(second.get());
    EXPECT_EQ(call(a.get(), DISPID_RAVELLE_GETINTERVAL).toI4(), 500); // a new control resets it for both
    initReg(b.get(), QStringLiteral("Numora"), QStringLiteral("Second"));
    call(a.get(), DISPID_RAVELLE_UPDATESETTING); // a samples its own window under b's names
    b.reset();
    EXPECT_EQ(stored(QStringLiteral("Second"))["MainLeft"], QStringLiteral("105"));
    EXPECT_EQ(stored(QStringLiteral("Second"))["MainHeight"], QStringLiteral("4500"));
}

TEST_F(KwendoTest, ARealWindowIsRestoredUsableOnAScreenAndStoredWhereItWasLeft)
{
    // A window is usable with its title bar and 100 pixels across and down on
    // the screen.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const auto storeFrame = [&](const QRect& frame) {
        const auto text = [](double twips) { return com::numberText(twips); };
        store({{"MainWindow", "0"},
               {"MainLeft", text(frame.x() * com::twipsPerPixelX())},
               {"MainTop", text(frame.y() * com::twipsPerPixelY())},
               {"MainWidth", text(frame.width() * com::twipsPerPixelX())},
               {"MainHeight", text(frame.height() * com::twipsPerPixelY())}});
    };
    struct Case {
        const char* what;
        QRect stored;
        QRect restored;
    };
    const Case cases[] = {
        {"at 0,0", {0, 0, 300, 200}, {0, 0, 300, 200}},
        {"a sliver at the right edge", {area.right() - 29, 40, 300, 200}, {area.right() + 1 - 100, 40, 300, 200}},
        {"its title bar above the screen", {60, area.top() - 15, 300, 200}, {60, area.top(), 300, 200}},
        {"larger than the screen",
         {-50, 10, area.width() + 400, area.height() + 300},
         {-50, 10, area.width(), area.height()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        storeFrame(c.stored);
        QWidget window;
        window.setGeometry(120, 90, 250, 150); // not where any case stores it
        auto control = com::createControl(KWENDO_PROGID_RAVELLE, &window);
        ASSERT_NE(control, nullptr);
        control->Invoke(DISPID_RAVELLE_INITREG, {QStringLiteral("Numora"), QStringLiteral("Setting")});
        EXPECT_EQ(window.frameGeometry(), c.restored);
    }

    // Stored while a second, larger screen was attached: the window comes
    // onto this one, and the stored place is kept for a screen that comes back.
    store({{"MainWindow", "0"},
           {"MainLeft", "9000000"},
           {"MainTop", "-9000000"},
           {"MainWidth", "0"},
           {"MainHeight", "0"}});
    QWidget window;
    window.resize(300, 200);
    auto control = com::createControl(KWENDO_PROGID_RAVELLE, &window);
    ASSERT_NE(control, nullptr);
    control->Invoke(DISPID_RAVELLE_INITREG, {QStringLiteral("Numora"), QStringLiteral("Setting")});
    EXPECT_TRUE(area.contains(window.frameGeometry().topLeft()))
        << window.frameGeometry().x() << "," << window.frameGeometry().y();
    EXPECT_FALSE(window.size().isEmpty());
    EXPECT_EQ(stored()["MainLeft"], QStringLiteral("9000000"));

    // Sampled as the window lets the control go: the place it was left at.
    window.show();
    window.move(40, 30);
    window.move(44, 33);
    control.reset();
    EXPECT_EQ(stored()["MainLeft"], com::numberText(44 * com::twipsPerPixelX()));
    EXPECT_EQ(stored()["MainTop"], com::numberText(33 * com::twipsPerPixelY()));

    // A value the window refuses reaches the host as the control's error.
    store({{"MainWidth", "wide"}});
    control = com::createControl(KWENDO_PROGID_RAVELLE, &window);
    try {
        control->Invoke(DISPID_RAVELLE_INITREG, {QStringLiteral("Numora"), QStringLiteral("Setting")});
        ADD_FAILURE() << "InitReg succeeded";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 13);
        EXPECT_EQ(e.description(), "Type mismatch");
    }
}

} // namespace
} // namespace numora::test
