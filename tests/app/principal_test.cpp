#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/lib/principal.h"
#include "link/ui/configuration.h"
#include "params/dump24c01.h"
#include "tests/support/harness.h"
#include "ui/windows.h"

namespace veq {
namespace {

struct PrincipalTest : ::testing::Test {
    PrincipalTest() {
        principal.setEndApplication([this] { ++ended; });
        principal.setApplicationFolder(QStringLiteral("/opt/veq"));
    }
    ConfigurationWindow& config() { return principal.configuration(); }
    void select(const QString& com) { config().list(0)->setCurrentText(com); }
    void validate() { config().validateButton()->click(); }
    QWidget* frame(QWidget* w) { return frameOf(w); }

    test::Harness h;
    Principal principal{h.context};
    int ended = 0;
};

TEST_F(PrincipalTest, MenusOfferExactlyTheOperatorEntries) {
    struct Expect {
        const char* name;
        const char* caption;
        bool visible, enabled;
    };
    const Expect table[] = {
        {"MENU_NOUVELLE", "&Nouvelle configuration", true, false},
        {"MENU_OUVRIR", "&Ouvrir une configuration", true, false},
        {"MENU_ENREGISTRER", "&Enregistrer une configuration", true, false},
        {"MENU_QUITTER", "&Quitter", true, true},
        {"MENU_CONFIGURER", "Configuration", true, true},
        {"MENU_DETECT", "Détection port COM", true, true},
        {"MENU_PARA", "&Paramètres d'affichage de la cadence.", true, true},
        {"MENU_AFF", "&Luminosité", true, false},
        {"MENU_MISEALH", "&Lire les microswitches", true, false},
        {"MENU_EVEN", "&Chronomètre", false, false},
        {"MENU_LECTURE", "&Lecture de l'heure", false, false},
        {"MENU_DERMISEH", "Lecture de la dernière mise à l'heure", false, false},
        {"MENU_DCF77", "Moniteur DCF77", false, false},
        {"MENU_LUM", "&Luminosité", false, false},
        {"MENURELAIS1", "Option Relais ", false, false},
        {"MENURELAIS2", "Option Record", false, false},
        {"MENU_Aide", "Aide", true, true},
    };
    for (const Expect& e : table) {
        QAction* a = principal.menuAction(e.name);
        ASSERT_NE(a, nullptr) << e.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(e.caption)) << e.name;
        EXPECT_EQ(a->isVisible(), e.visible) << e.name;
        EXPECT_EQ(principal.isAvailable(e.name), e.enabled) << e.name;
        if (e.visible) {
            EXPECT_EQ(a->isEnabled(), e.enabled) << e.name;
        }
    }
    QStringList menus;
    for (QAction* m : principal.menuBar()->actions()) menus << m->text();
    EXPECT_EQ(menus, QStringList({"&Fichier", "&Configuration", "&Fenêtre", "&?"}));
    EXPECT_EQ(principal.windowTitle(), " Cadence moyenne sur VEQ.");
}

TEST_F(PrincipalTest, StartShowsLinkSettingsWithInitialSelectionsAndPortClosed) {
    principal.MDIForm_Load();
    EXPECT_TRUE(principal.windowState() & Qt::WindowMaximized);
    ConfigurationWindow& c = config();
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(c.windowTitle(), " Configuration.");
    const QStringList expected = {
        "COM3:", "Filaire ", "4 Digits 99 sec 99 cen", "Tri couleur ", "NON", "NON", "NON", "OUI"};
    for (int k = 0; k < ConfigurationWindow::kListCount; ++k)
        EXPECT_EQ(c.list(k)->currentText(), expected[k]) << k;
    EXPECT_EQ(c.list(0)->count(), 12);
    EXPECT_EQ(c.portFlag(), "False");
    EXPECT_FALSE(h.port().isOpen());
    // Only the link settings window exists at start.
    EXPECT_EQ(principal.mdiArea()->subWindowList().size(), 1);
}

TEST_F(PrincipalTest, ValidationOpensThePortAndShowsTheParameterWindow) {
    principal.MDIForm_Load();
    validate();
    test::expectShown(h.messages,
                      {{"Ouverture du port COM3: effectuée avec succès.", Icon::Information}});
    EXPECT_EQ(config().portFlag(), "True");
    EXPECT_TRUE(h.port().isOpen());
    EXPECT_EQ(h.port().commPort(), 3);
    EXPECT_EQ(h.port().settings(), "9600,N,8,1");
    EXPECT_TRUE(principal.parameters().isVisible());
    EXPECT_TRUE(frame(&config())->isMinimized());
    // Five of the hidden entries are switched on again; all stay invisible.
    for (const char* on : {"MENU_EVEN", "MENU_LECTURE", "MENU_LUM", "MENURELAIS1", "MENURELAIS2"}) {
        EXPECT_TRUE(principal.isAvailable(on)) << on;
        EXPECT_FALSE(principal.menuAction(on)->isVisible()) << on;
    }
    for (const char* off : {"MENU_DERMISEH", "MENU_DCF77"})
        EXPECT_FALSE(principal.isAvailable(off)) << off;

    // Validating again reopens the same port.
    validate();
    EXPECT_EQ(h.messages.texts().back(), "Ouverture du port COM3: effectuée avec succès.");
    EXPECT_EQ(h.port().opens(), 2);
    EXPECT_TRUE(h.port().isOpen());

    // "Configuration" brings the minimised window back to the normal state; the port stays open.
    principal.MENU_CONFIGURER_Click();
    EXPECT_FALSE(frame(&config())->isMinimized());
    EXPECT_TRUE(h.port().isOpen());
    EXPECT_EQ(config().portFlag(), "True");
}

TEST_F(PrincipalTest, PortNumbersMatchWholeItemsOnly) {
    for (int n : {12, 10, 1}) h.bus.attach(n, std::make_shared<sim::Panel>());
    for (int n : {12, 10, 1}) {
        select(QStringLiteral("COM%1:").arg(n));
        validate();
        EXPECT_EQ(h.messages.texts().back(),
                  QStringLiteral("Ouverture du port COM%1: effectuée avec succès.").arg(n));
        EXPECT_EQ(h.port().commPort(), n);
    }
}

TEST_F(PrincipalTest, FailedOpeningWarnsAndEveryOperationIsRefused) {
    principal.MDIForm_Load();
    select("COM7:");
    validate();
    test::expectShown(h.messages, {{"L'ouverture du port COM7 à échouée !", Icon::Critical}});
    EXPECT_EQ(config().portFlag(), "False");
    EXPECT_FALSE(h.port().isOpen());
    EXPECT_FALSE(frame(&config())->isMinimized());
    EXPECT_EQ(principal.mdiArea()->subWindowList().size(), 1) << "no parameter window";

    // A busy port fails the same way; choosing a good port then works.
    h.bus.attach(5, std::make_shared<sim::Panel>());
    h.bus.setBusy(5, true);
    select("COM5:");
    validate();
    EXPECT_EQ(h.messages.texts().back(), "L'ouverture du port COM5 à échouée !");
    select("COM3:");
    validate();
    EXPECT_EQ(config().portFlag(), "True");
}

TEST_F(PrincipalTest, GuardWarnsBeforeValidation) {
    principal.MDIForm_Load();
    principal.MENU_PARA_Click();
    Dump24c01& params = principal.parameters();
    EXPECT_TRUE(params.isVisible());
    for (const char* button : {"but_lit_para", "but_ecrit_para"}) {
        h.messages.shown.clear();
        params.findChild<QPushButton*>(button)->click();
        SCOPED_TRACE(button);
        test::expectShown(h.messages, {{"Pas de port COM ouvert. Veuillez valider la "
                                        "Configuration dans le menu Configuration.",
                                        Icon::Warning}});
    }
    EXPECT_TRUE(h.port().writes.empty());
    // The menu shows the same window again.
    principal.MENU_PARA_Click();
    EXPECT_EQ(&principal.parameters(), &params);
}

TEST_F(PrincipalTest, NewConfigurationReleasesThePortAndReloads) {
    principal.MDIForm_Load();
    validate();
    ASSERT_TRUE(h.port().isOpen());
    ASSERT_TRUE(h.bus.busy(3));
    config().list(1)->setCurrentIndex(1);
    QPointer<ConfigurationWindow> old = &config();

    principal.MENU_NOUVELLE_Click();
    EXPECT_TRUE(old.isNull());
    ConfigurationWindow& fresh = config();
    EXPECT_FALSE(h.port().isOpen());
    EXPECT_EQ(fresh.portFlag(), "False");
    EXPECT_EQ(fresh.list(0)->currentText(), "COM3:");
    EXPECT_EQ(fresh.list(1)->currentText(), "Filaire ");
    EXPECT_TRUE(fresh.isVisible());
    EXPECT_FALSE(frame(&fresh)->isMinimized());
    EXPECT_FALSE(h.bus.busy(3)) << "the port went with the old window";

    // With the port released, the same COM opens again.
    validate();
    EXPECT_EQ(fresh.portFlag(), "True");
}

TEST_F(PrincipalTest, ClosingTheLinkSettingsWindowDiscardsIt) {
    principal.MDIForm_Load();
    validate();
    QPointer<ConfigurationWindow> old = &config();
    frame(old)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(config().portFlag(), "False");
    EXPECT_FALSE(h.port().isOpen());
    EXPECT_FALSE(h.bus.busy(3));
}

TEST_F(PrincipalTest, QuitAndCloseEndAtOnceSendingNothing) {
    principal.MDIForm_Load();
    validate();
    const size_t messages = h.messages.shown.size();
    principal.MENU_QUITTER_Click();
    EXPECT_EQ(ended, 1);
    principal.close();
    EXPECT_EQ(ended, 2);
    EXPECT_TRUE(h.port().writes.empty());
    EXPECT_EQ(h.messages.shown.size(), messages);
    EXPECT_TRUE(h.files.asked.empty());
}

TEST_F(PrincipalTest, HelpOpensTheDocumentAndIgnoresFailure) {
    h.documents.result = false;
    principal.MENU_Aide_Click();
    ASSERT_EQ(h.documents.opened.size(), 1u);
    // Native separators: "\\opt\\veq\\VEQ_KLD.doc" on Windows.
    EXPECT_EQ(QDir::fromNativeSeparators(h.documents.opened[0]), "/opt/veq/VEQ_KLD.doc");
    EXPECT_TRUE(h.messages.shown.empty());
}

TEST_F(PrincipalTest, HelpTakesTheApplicationsFolderFirstThenTheInstalledGuide) {
    struct Case {
        bool inAppFolder, installed;
        const char* opened;  // relative to the installation's root
    };
    const Case cases[] = {
        {true, true, "bin/VEQ_KLD.doc"},
        {false, true, "share/doc/veq-cadence/VEQ_KLD.doc"},
        {false, false, "bin/VEQ_KLD.doc"},
    };
    const QString here = QDir::currentPath();
    for (const Case& c : cases) {
        QTemporaryDir root;
        ASSERT_TRUE(QDir(root.path()).mkpath("bin"));
        ASSERT_TRUE(QDir(root.path()).mkpath("share/doc/veq-cadence"));
        auto touch = [&](const char* rel) {
            QFile f(root.filePath(rel));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        };
        if (c.inAppFolder) touch("bin/VEQ_KLD.doc");
        if (c.installed) touch("share/doc/veq-cadence/VEQ_KLD.doc");
        principal.setApplicationFolder(root.filePath("bin"));
        h.documents.opened.clear();
        principal.MENU_Aide_Click();
        ASSERT_EQ(h.documents.opened.size(), 1u);
        EXPECT_EQ(h.documents.opened[0], QDir::toNativeSeparators(root.filePath(c.opened)))
            << c.opened;
    }
    QDir::setCurrent(here);
}

}  // namespace
}  // namespace veq
