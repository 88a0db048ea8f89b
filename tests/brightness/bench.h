#pragma once

#include <gtest/gtest.h>

#include <vector>

#include <QAbstractButton>
#include <QComboBox>
#include <QPushButton>

#include "link/frame.h"
#include "link/ui/configuration.h"
#include "panelmem/colours.h"
#include "panelmem/grid.h"
#include "tests/support/harness.h"

namespace veq::test {

using Frames = std::vector<QByteArray>;

// Appends one write per command; with `times` > 1 the command is sent that many times, one
// write each. A burst is one write: use burst().
inline void add(Frames& out, std::initializer_list<QByteArray> commands, int times = 1) {
    for (int t = 0; t < times; ++t)
        for (const QByteArray& c : commands) out.push_back(frame(Prefix::P_31, c));
}
inline void burst(Frames& out, const QByteArray& command, int n) {
    out.push_back(frame(Prefix::P_31, command, n));
}

// The whole-memory read of the brightness and microswitch windows, as written to the line.
inline void wholeRead(Frames& out, bool endsWithRRR) {
    burst(out, "SSS", 5);
    add(out, {"SSS", "ZA0", "Y00", "ZA1"});
    add(out, {"X1X"}, 128);
    add(out, {"X6X"});
    if (endsWithRRR) add(out, {"RRR"});
}

inline const QString kReadDone = QStringLiteral("Lecture effectuée avec succés.");
inline const QString kProgrammingDone = QStringLiteral("Programmation effectuée avec succés.");
inline const QString kPanelError = QStringLiteral(
    "Une erreur est survenue. Veuillez recommencer ou  vérifier directement sur l'afficheur.");
inline const QString kNoPort = QStringLiteral(
    "Pas de port COM ouvert. Veuillez valider la Configuration dans le menu Configuration.");

// A link settings window of our own whose port is validated on COM3, where the simulated panel
// sits; the panel's memory holds a pattern unlike anything the windows write.
class Bench : public ::testing::Test {
  protected:
    explicit Bench(bool validate = true) {
        h.context.configuration = [this]() -> ConfigurationWindow& { return cfg; };
        h.context.session = [this]() -> LinkSession& { return cfg.session(); };
        for (std::size_t a = 0; a < 128; ++a) h.panel->memory[a] = (a * 29 + 7) & 0xFF;
        if (validate) {
            cfg.validateButton()->click();
            EXPECT_EQ(cfg.portFlag(), "True");
            h.messages.shown.clear();
        }
    }

    // SEL_REP's text; any text but "NON" and "OUI" is added as an item first.
    void setResponseControl(const QString& text) {
        QComboBox* rep = cfg.list(7);
        if (rep->findText(text) < 0) rep->addItem(text);
        rep->setCurrentText(text);
        ASSERT_EQ(cfg.responseControl(), text);
    }

    void store(int address, int value) {
        h.panel->memory[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(value);
    }
    int stored(int address) const { return h.panel->memory[static_cast<std::size_t>(address)]; }
    Frames sent() const {
        Frames out;
        for (const auto& w : h.lastPort->writes) out.push_back(w.bytes);
        return out;
    }
    double timeOf(std::size_t write) const { return h.lastPort->writes.at(write).time; }
    void forget() {
        h.lastPort->writes.clear();
        h.messages.shown.clear();
    }

    template <typename T>
    static T* find(QWidget& window, const QString& name) {
        T* w = window.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    static void click(QWidget& window, const QString& name) {
        if (auto* b = find<QAbstractButton>(window, name)) b->click();
    }

    void expectMessages(std::initializer_list<std::pair<QString, Icon>> expected) const {
        expectShown(h.messages, expected);
    }
    // After a failed exchange: the panel error when `warned`, else no box at all.
    void expectPanelErrorIf(bool warned) const {
        if (warned)
            expectMessages({{kPanelError, Icon::Warning}});
        else
            EXPECT_TRUE(h.messages.shown.empty());
    }
    void expectAllFailed(const MemoryGrid& grid) const {
        for (int i = 0; i < 128; ++i)
            EXPECT_TRUE(grid.text(i) == "Er" && grid.colour(i) == colour::kRed) << i;
    }
    void expectGridHoldsPanel(const MemoryGrid& grid) const {
        for (int a = 0; a < 128; ++a) {
            EXPECT_EQ(grid.text(a),
                      QString::asprintf("%02X", h.panel->memory[static_cast<std::size_t>(a)]))
                << a;
            EXPECT_EQ(grid.colour(a), colour::kGreen) << a;
        }
    }

    Harness h;
    ConfigurationWindow cfg{h.context};
};

}  // namespace veq::test
