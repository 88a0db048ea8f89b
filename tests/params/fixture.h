#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include "link/ui/configuration.h"
#include "panelmem/colours.h"
#include "params/dump24c01.h"
#include "tests/support/harness.h"
#include "ui/windows.h"

namespace veq::test {

// The rate-parameter window on the simulated bench: a link settings window validated on COM3,
// where the panel answers, and the window driven through its own controls. Numbers are French.
class ParamsWindow : public ::testing::Test {
  protected:
    struct FrenchNumbers {
        FrenchNumbers() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    };

    ParamsWindow() {
        h.context.configuration = [this]() -> ConfigurationWindow& { return cfg; };
        h.context.session = [this]() -> LinkSession& { return cfg.session(); };
        cfg.validateButton()->click();
        h.messages.shown.clear();
    }

    template <class T>
    T* find(const QString& name) {
        T* c = w.findChild<T*>(name);
        if (!c) ADD_FAILURE() << "no control " << name.toStdString();
        return c;
    }
    QScrollBar* slider(const QString& name) { return find<QScrollBar>(name); }
    QPushButton* button(const QString& name) { return find<QPushButton>(name); }
    QRadioButton* option(const QString& name) { return find<QRadioButton>(name); }
    QLineEdit* edit(const QString& name) { return find<QLineEdit>(name); }
    QLineEdit* cell(int n) { return edit(QStringLiteral("Text1(%1)").arg(n)); }
    QString label(const QString& name) { return find<QLabel>(name)->text(); }
    QString box(const QString& name) { return find<QPlainTextEdit>(name)->toPlainText(); }
    int colourOf(const QString& name) { return colourNumber(background(find<QWidget>(name))); }
    void click(const QString& name) { find<QAbstractButton>(name)->click(); }
    void clickBox(const QString& name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }
    void setSlider(const QString& name, int v) { slider(name)->setValue(v); }
    void setSliders(std::initializer_list<int> ranges) {
        int i = 0;
        for (int v : ranges) setSlider(QStringLiteral("HScroll1(%1)").arg(i++), v);
    }

    // Panel memory from address 96 on.
    void setPanel(std::initializer_list<int> bytes) {
        std::size_t a = 96;
        for (int b : bytes) h.panel->memory[a++] = static_cast<std::uint8_t>(b);
    }
    int panelByte(int a) const { return h.panel->memory[static_cast<std::size_t>(a)]; }
    std::size_t writes() { return h.port().writes.size(); }
    void selectResponseControl(const QString& text) { cfg.list(7)->setCurrentText(text); }
    std::vector<QString> messages() const { return h.messages.texts(); }

    FrenchNumbers french;
    Harness h;
    ConfigurationWindow cfg{h.context};
    Dump24c01 w{h.context};
};

inline const QString kBlank =
    QStringLiteral("Paramètre vièrge. Veuillez envoyer une premères fois les paramètres.");
inline const QString kReadOk = QStringLiteral("Lecture effectuée avec succés.");
inline const QString kWriteOk = QStringLiteral("Programmation effectuée avec succés.");
inline const QString kReadFirst = QStringLiteral(
    "Les paramètres du panneau doivent d'abord être lus avec succès (« Lire les paramètres ») "
    "avant de pouvoir le programmer : une partie de sa mémoire n'a pas été lue. Rien n'a été "
    "programmé.");
inline const QString kError = QStringLiteral(
    "Une erreur est survenue. Veuillez recommencer ou  vérifier directement sur l'afficheur.");

}  // namespace veq::test
