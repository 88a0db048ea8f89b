// veqctl sends what the parameter window sends: the same writes, byte for byte.

#include <QPushButton>

#include "link/ui/configuration.h"
#include "params/dump24c01.h"
#include "tests/cli/bench.h"
#include "tests/support/harness.h"

namespace veq::test {
namespace {

class WindowAndCli : public CliBench {
  protected:
    WindowAndCli() {
        h.context.configuration = [this]() -> ConfigurationWindow& { return cfg; };
        h.context.session = [this]() -> LinkSession& { return cfg.session(); };
        cfg.validateButton()->click();
    }
    // The bytes of every write the window's port made from `from` on.
    std::vector<QByteArray> windowWrites(std::size_t from) {
        std::vector<QByteArray> out;
        for (std::size_t k = from; k < h.port().writes.size(); ++k)
            out.push_back(h.port().writes[k].bytes);
        return out;
    }

    Harness h;
    ConfigurationWindow cfg{h.context};
    Dump24c01 w{h.context};
};

TEST_F(WindowAndCli, ParamsGetAndSetSendTheFramesOfTheWindowsReadAndProgramming) {
    h.panel->memory = sim::programmedMemory();
    h.panel->memory[0x7D] = 0x12;  // a byte no setting covers goes back as it was read
    addPanel(QStringLiteral("COM3"), std::make_shared<sim::Panel>(h.panel->memory));

    // The window: "Lire les paramètres", then "Programme les paramètres" of what it read.
    const std::size_t start = h.port().writes.size();
    w.findChild<QPushButton*>(QStringLiteral("but_lit_para"))->click();
    const std::vector<QByteArray> windowRead = windowWrites(start);
    const std::size_t afterRead = h.port().writes.size();
    w.findChild<QPushButton*>(QStringLiteral("but_ecrit_para"))->click();
    const std::vector<QByteArray> windowProgram = windowWrites(afterRead);
    ASSERT_GT(windowRead.size(), 30u);
    ASSERT_GT(windowProgram.size(), 40u);

    // veqctl: params get, then params set of the file it wrote.
    const QString path = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", path}), cli::kDone);
    const std::vector<QByteArray> get = recorders.at(QStringLiteral("COM3"))->writes;
    EXPECT_EQ(get, windowRead);

    recorders.at(QStringLiteral("COM3"))->writes.clear();
    ASSERT_EQ(run({"-p", "COM3", "params", "set", path}), cli::kDone) << err.toStdString();
    // The panel's bytes are read first, then programmed as the window does, then read back.
    std::vector<QByteArray> expected = windowRead;
    expected.insert(expected.end(), windowProgram.begin(), windowProgram.end());
    expected.insert(expected.end(), windowRead.begin(), windowRead.end());
    EXPECT_EQ(recorders.at(QStringLiteral("COM3"))->writes, expected);
    EXPECT_EQ(recorders.at(QStringLiteral("COM3"))->panel->memory, h.panel->memory);
}

}  // namespace
}  // namespace veq::test
