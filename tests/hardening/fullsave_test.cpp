// A save that runs out of room halfway leaves the configuration file that was there before.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "config/ui/fichier.h"
#include "link/ui/configuration.h"
#include "tests/support/harness.h"

namespace veq {
namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(FullDisk, FailedSaveKeepsThePreviousFile) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    // A file system of 16 KiB; only the superuser may make one, elsewhere the test is skipped.
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{mountPoint};

    test::Harness h;
    auto cfg = std::make_unique<ConfigurationWindow>(h.context);
    h.context.configuration = [&]() -> ConfigurationWindow& { return *cfg; };
    h.context.session = [&]() -> LinkSession& { return cfg->session(); };
    Fichier fichier(h.context);

    const QString path = QDir(dir.path()).filePath(QStringLiteral("atelier.zuk"));
    h.files.answers.push_back(path);
    fichier.ENREGISTRER_CONFIGURATION();
    const QByteArray good = contents(path);
    ASSERT_FALSE(good.isEmpty());
    ASSERT_TRUE(h.messages.shown.empty());

    // Fill the disk, leaving less room than a configuration takes.
    QFile filler(QDir(dir.path()).filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(256, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();

    cfg->list(0)->setCurrentIndex(11);  // COM12: a different file text
    h.files.answers.push_back(path);
    h.messages.retryAnswers = {false};  // the operator gives up
    fichier.ENREGISTRER_CONFIGURATION();

    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_TRUE(
        h.messages.shown[0].text.startsWith(QStringLiteral("Erreur lors de la création de ")));
    EXPECT_EQ(contents(path), good);
    // No half-written temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

}  // namespace
}  // namespace veq
