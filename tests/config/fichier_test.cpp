#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <sys/stat.h>  // mkfifo
#endif

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/lib/principal.h"
#include "config/configfile.h"
#include "config/ui/fichier.h"
#include "link/ui/configuration.h"
#include "tests/config/expected.h"
#include "tests/support/harness.h"
#include "ui/windows.h"

namespace veq {
namespace {

const QDateTime kMoment(QDate(2024, 3, 5), QTime(14, 7, 9));
const QLocale kFrench(QLocale::French, QLocale::France);
// The selections of a new link settings window.
const std::vector<int> kInitial = {2, 0, 2, 0, 0, 0, 0, 1};

QByteArray contents(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Message boxes whose retry answer runs an action first (the operator fixes the cause).
class FixingMessages : public test::FakeMessages {
  public:
    bool askRetry(const QString& text, const QString& title) override {
        const bool retry = FakeMessages::askRetry(text, title);
        if (fix) {
            fix();
            fix = nullptr;
        }
        return retry;
    }
    std::function<void()> fix;
};

class FichierTest : public testing::Test {
  protected:
    FichierTest() {
        h.context.configuration = [this]() -> ConfigurationWindow& { return *cfg; };
        h.context.session = [this]() -> LinkSession& { return cfg->session(); };
        cfg = std::make_unique<ConfigurationWindow>(h.context);
        fichier.setNow([] { return kMoment; });
        fichier.setLocale(kFrench);
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    int selected(int list) const { return cfg->list(list)->currentIndex(); }
    std::vector<int> allSelected() const {
        std::vector<int> v;
        for (int k = 0; k < 8; ++k) v.push_back(selected(k));
        return v;
    }
    void save(const QString& name) {
        h.files.answers.push_back(name);
        fichier.ENREGISTRER_CONFIGURATION();
    }
    void open(const QString& name) {
        h.files.answers.push_back(name);
        fichier.OUVRIR_CONFIGURATION();
    }
    // A link settings window as after "Nouvelle configuration".
    void newConfiguration() { cfg = std::make_unique<ConfigurationWindow>(h.context); }

    test::Harness h;
    std::unique_ptr<ConfigurationWindow> cfg;
    Fichier fichier{h.context};
    QTemporaryDir dir;
    // A second FICHIER whose retry boxes go to `fixing`.
    FixingMessages fixing;
    WindowContext fixingContext{h.clock,
                                fixing,
                                h.files,
                                h.documents,
                                h.context.makePort,
                                [this]() -> LinkSession& { return cfg->session(); },
                                [this]() -> ConfigurationWindow& { return *cfg; }};
    Fichier retrying{fixingContext};
};

TEST_F(FichierTest, SaveAsksTheSaveDialogAndWritesTheExactBytes) {
    save(path("Configuration_PTX.zuk"));

    EXPECT_EQ(contents(path("Configuration_PTX.zuk")), test::initialConfigurationFile());
    ASSERT_EQ(h.files.asked.size(), 1u);
    EXPECT_TRUE(h.files.asked[0].save);
    EXPECT_EQ(h.files.asked[0].title, "Enregistrer un fichier de configuration PTX");
    EXPECT_EQ(h.files.asked[0].filter,
              "Fichiers configuration(*.ZUK)|*.ZUK|Tous les fichiers(*.*)|*.*|");
    EXPECT_EQ(h.files.asked[0].initialName, "Configuration_PTX");
    EXPECT_TRUE(h.messages.shown.empty());
    // Only the new file is in the folder: no temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
    // The port is not touched by a save.
    EXPECT_EQ(cfg->portFlag(), "False");
    EXPECT_FALSE(h.port().isOpen());
}

TEST_F(FichierTest, NewConfigurationThenSaveFromTheMainWindow) {
    Principal main(h.context);  // takes over the way to the link settings window
    main.setEndApplication([] {});
    main.configuration().list(0)->setCurrentIndex(7);
    main.MENU_NOUVELLE_Click();
    main.fichier().setNow([] { return kMoment; });
    main.fichier().setLocale(kFrench);
    h.files.answers.push_back(path("new.zuk"));

    main.MENU_ENREGISTRER_Click();

    EXPECT_EQ(contents(path("new.zuk")), test::initialConfigurationFile());
    // The menu entries stay switched off; their operations are there all the same.
    EXPECT_FALSE(main.menuAction("MENU_ENREGISTRER")->isEnabled());
    EXPECT_FALSE(main.menuAction("MENU_OUVRIR")->isEnabled());
}

TEST_F(FichierTest, RoundTripsOfTheLastTwoPorts) {
    h.bus.attach(11, std::make_shared<sim::Panel>());
    const std::vector<int> choices[] = {{10, 1, 0, 0, 1, 1, 1, 0}, {11, 1, 3, 0, 0, 1, 0, 1}};
    for (const auto& c : choices) {
        SCOPED_TRACE(testing::Message() << "list 1 at " << c[0]);
        newConfiguration();
        for (int k = 0; k < 8; ++k) cfg->list(k)->setCurrentIndex(c[k]);
        const QString file = path(QStringLiteral("com%1.zuk").arg(c[0] + 1));
        save(file);
        EXPECT_TRUE(contents(file).startsWith(QByteArray::number(c[0]) + "\r\n"));

        newConfiguration();
        h.messages.shown.clear();
        open(file);

        EXPECT_EQ(allSelected(), c);
        // The loaded settings were validated: COM11 holds a panel, COM12 nothing.
        if (c[0] == 10) {
            test::expectShown(h.messages, {{"Ouverture du port COM11: effectuée avec succès.",
                                            Icon::Information}});
            EXPECT_EQ(cfg->portFlag(), "True");
            EXPECT_EQ(h.port().commPort(), 11);
        } else {
            test::expectShown(h.messages,
                              {{"L'ouverture du port COM12 à échouée !", Icon::Critical}});
            EXPECT_EQ(cfg->portFlag(), "False");
        }
    }
    ASSERT_GE(h.files.asked.size(), 2u);
    EXPECT_FALSE(h.files.asked[1].save);
    EXPECT_EQ(h.files.asked[1].title, "Ouvrir un fichier de configuration PTX");
    EXPECT_EQ(h.files.asked[1].filter,
              "Fichiers configuration(*.zuk)|*.zuk|Tous les fichiers(*.*)|*.*|");
    EXPECT_EQ(h.files.asked[1].initialName, "Configuration_PTX");
}

TEST_F(FichierTest, EightLinesAloneReadLikeAWholeFile) {
    writeFile(path("short.zuk"), "2\r\n1\r\n0\r\n0\r\n1\r\n0\r\n1\r\n1");
    open(path("short.zuk"));
    EXPECT_EQ(allSelected(), (std::vector<int>{2, 1, 0, 0, 1, 0, 1, 1}));
    EXPECT_EQ(cfg->portFlag(), "True");  // validated on COM3, where the panel is
}

TEST_F(FichierTest, NothingAppliedNorValidatedFromAnInvalidFirstLine) {
    writeFile(path("empty.zuk"), "");
    writeFile(path("words.zuk"), "COM3:\r\n0\r\n2\r\n0\r\n0\r\n0\r\n0\r\n1\r\n");
    for (const char* name : {"empty.zuk", "words.zuk"}) {
        SCOPED_TRACE(name);
        newConfiguration();
        cfg->list(1)->setCurrentIndex(1);
        cfg->show();
        showMinimisedState(cfg.get());
        open(path(QString::fromLatin1(name)));

        EXPECT_EQ(allSelected(), (std::vector<int>{2, 1, 2, 0, 0, 0, 0, 1}));
        EXPECT_TRUE(h.messages.shown.empty());
        EXPECT_EQ(cfg->portFlag(), "False");
        // The window is left shown, restored and focused.
        EXPECT_TRUE(cfg->isVisible());
        EXPECT_FALSE(cfg->isMinimized());
    }
}

TEST_F(FichierTest, AnInvalidLineTwoStopsAfterLineOne) {
    writeFile(path("five.zuk"), "7\r\n5\r\n0\r\n0\r\n1\r\n1\r\n1\r\n0\r\n");
    cfg->list(7)->setCurrentIndex(0);
    open(path("five.zuk"));
    EXPECT_EQ(allSelected(), (std::vector<int>{7, 0, 2, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(cfg->portFlag(), "False");
}

TEST_F(FichierTest, CancelledOrEmptyNamesEndSilently) {
    writeFile(path("keep.zuk"), "old");
    cfg->hide();
    h.files.answers = {QString(), QString(""), QString(), QString("")};
    fichier.ENREGISTRER_CONFIGURATION();
    fichier.ENREGISTRER_CONFIGURATION();
    fichier.OUVRIR_CONFIGURATION();
    fichier.OUVRIR_CONFIGURATION();
    EXPECT_EQ(h.files.asked.size(), 4u);
    EXPECT_TRUE(h.messages.shown.empty());
    EXPECT_EQ(contents(path("keep.zuk")), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(cfg->isHidden());
}

TEST_F(FichierTest, SavingWhileMinimisedRestoresTheLinkSettingsAndKeepsTheNameAsTyped) {
    cfg->show();
    showMinimisedState(cfg.get());
    ASSERT_TRUE(cfg->isMinimized());
    save(path("maconfig"));  // no extension added
    EXPECT_FALSE(cfg->isMinimized());
    EXPECT_TRUE(cfg->isVisible());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"maconfig"});
}

#ifdef Q_OS_UNIX  // pipes
TEST_F(FichierTest, SaveReplacesAGoodFileOnlyWithACompleteOne) {
    writeFile(path("c.zuk"), "previous");
    save(path("c.zuk"));
    EXPECT_EQ(contents(path("c.zuk")), test::initialConfigurationFile());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);

    // A folder or a pipe in place of the file is never replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.zuk"));
    ASSERT_EQ(mkfifo(path("pipe.zuk").toLocal8Bit().constData(), 0600), 0);
    for (const char* name : {"folder.zuk", "pipe.zuk"}) {
        SCOPED_TRACE(name);
        h.messages.shown.clear();
        save(path(QString::fromLatin1(name)));
        test::expectShown(h.messages, {{"Erreur lors de la création de " +
                                            path(QString::fromLatin1(name)) + ". Essayer à nouveau",
                                        Icon::None}});
    }
    EXPECT_TRUE(QFileInfo(path("folder.zuk")).isDir());
    struct stat st {};
    ASSERT_EQ(stat(path("pipe.zuk").toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
#endif

TEST_F(FichierTest, FailedSaveOffersRetryOrCancel) {
    const QString target = path("missing/folder/c.zuk");

    // Cancelled: one box, no file.
    h.files.answers.push_back(target);
    retrying.ENREGISTRER_CONFIGURATION();
    test::expectShown(
        fixing, {{"Erreur lors de la création de " + target + ". Essayer à nouveau", Icon::None}});
    EXPECT_EQ(kAppTitle, "VEQ_Cadence");  // the title every box above was checked against
    EXPECT_FALSE(QFile::exists(target));

    // The operator creates the folder and tries again: the same name is written, with no new
    // dialog.
    fixing.shown.clear();
    fixing.retryAnswers = {true};
    fixing.fix = [this] { QDir(dir.path()).mkpath("missing/folder"); };
    h.files.answers.push_back(target);
    retrying.ENREGISTRER_CONFIGURATION();
    EXPECT_EQ(fixing.shown.size(), 1u);
    EXPECT_EQ(h.files.asked.size(), 2u);
    EXPECT_TRUE(contents(target).startsWith("2\r\n0\r\n2\r\n"));
}

TEST_F(FichierTest, FailedOpenOffersRetryOrCancel) {
    const QString target = path("later.zuk");
    const std::pair<QString, Icon> error = {"Erreur d'ouverture de " + target, Icon::None};

    fixing.retryAnswers = {true, true, false};
    h.files.answers.push_back(target);
    retrying.OUVRIR_CONFIGURATION();
    test::expectShown(fixing, {error, error, error});
    EXPECT_EQ(cfg->portFlag(), "False");

    fixing.shown.clear();
    fixing.retryAnswers = {true};
    fixing.fix = [&] { writeFile(target, "4\r\n0\r\n2\r\n0\r\n0\r\n0\r\n0\r\n1\r\n"); };
    h.files.answers.push_back(target);
    retrying.OUVRIR_CONFIGURATION();
    // One error, then the file was read, applied and validated by the link settings window.
    EXPECT_EQ(fixing.shown.size(), 1u);
    EXPECT_EQ(selected(0), 4);
    test::expectShown(h.messages, {{"L'ouverture du port COM5 à échouée !", Icon::Critical}});
}

#ifdef Q_OS_UNIX  // a pipe and /dev/zero
TEST_F(FichierTest, HostileFilesNeitherHangNorApplyGarbage) {
    // Eight good lines followed by megabytes: applied, and only the start of the file is read.
    QByteArray huge = "5\r\n1\r\n1\r\n0\r\n1\r\n0\r\n0\r\n1\r\n";
    huge += QByteArray(8 * 1024 * 1024, 'x');
    writeFile(path("huge.zuk"), huge);
    open(path("huge.zuk"));
    EXPECT_EQ(allSelected(), (std::vector<int>{5, 1, 1, 0, 1, 0, 0, 1}));
    EXPECT_LE(fichier.readText().size(), configfile::kReadLimit);

    // Binary bytes and an endless first line: nothing applied, no message.
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37 + 11) & 0xFF);
    writeFile(path("binary.zuk"), binary);
    writeFile(path("longline.zuk"), QByteArray(2 * 1024 * 1024, '1'));
    for (const char* name : {"binary.zuk", "longline.zuk"}) {
        SCOPED_TRACE(name);
        newConfiguration();
        h.messages.shown.clear();
        open(path(QString::fromLatin1(name)));
        EXPECT_EQ(allSelected(), kInitial);
        EXPECT_TRUE(h.messages.shown.empty());
    }

    // A pipe with no writer, a folder and a device: an error box each, nothing read.
    ASSERT_EQ(mkfifo(path("pipe.zuk").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.zuk"));
    for (const QString& name :
         {path("pipe.zuk"), path("folder.zuk"), QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(name.toStdString());
        newConfiguration();
        h.messages.shown.clear();
        open(name);
        test::expectShown(h.messages, {{"Erreur d'ouverture de " + name, Icon::None}});
        EXPECT_TRUE(fichier.readText().isEmpty());
        EXPECT_EQ(allSelected(), kInitial);
    }
}
#endif

}  // namespace
}  // namespace veq
