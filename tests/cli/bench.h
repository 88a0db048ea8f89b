#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include "cli/lib/veqctl.h"
#include "panelsim/model/image.h"
#include "panelsim/model/simport.h"

namespace veq::test {

// The panel as a device that keeps every write it receives, byte for byte.
class RecordingPanel : public sim::Device {
  public:
    explicit RecordingPanel(std::shared_ptr<sim::Panel> panel) : panel(std::move(panel)) {}
    QByteArray receive(const QByteArray& bytes) override {
        writes.push_back(bytes);
        return panel->receive(bytes);
    }
    std::shared_ptr<sim::Panel> panel;
    std::vector<QByteArray> writes;
};

// veqctl's engine on in-process panels: each port named "COMn" gets its own simulated bench and
// manual clock, made in the port's thread as the real lines are. A port without a panel is absent.
class CliBench : public ::testing::Test {
  protected:
    CliBench() {
        console.lines = [this](const QString& name) {
            cli::Line line;
            auto bus = std::make_shared<sim::SimBus>();
            auto clock = std::make_unique<ManualClock>(1000.0);
            const int number = name.mid(3).toInt();
            if (auto it = devices.find(name); it != devices.end()) bus->attach(number, it->second);
            auto port = std::make_unique<sim::SimSerialPort>(*bus, *clock);
            port->setCommPort(number);
            port->faults.mute = mute.count(name) > 0;
            line.keep = bus;
            line.clock = std::move(clock);
            line.port = std::move(port);
            return line;
        };
        console.out = [this](const QString& t) { out += t; };
        console.err = [this](const QString& t) { err += t; };
    }

    // A programmed panel on `port`.
    sim::Panel& addPanel(
        const QString& port,
        std::shared_ptr<sim::Panel> panel = std::make_shared<sim::Panel>(sim::programmedMemory())) {
        auto rec = std::make_shared<RecordingPanel>(panel);
        devices[port] = rec;
        recorders[port] = rec;
        return *panel;
    }

    int run(const QStringList& args) {
        out.clear();
        err.clear();
        return cli::run(args, console);
    }

    QString file(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }
    QByteArray read(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    std::size_t writes(const QString& port) { return recorders.at(port)->writes.size(); }

    cli::Console console;
    QString out, err;
    std::map<QString, std::shared_ptr<sim::Device>> devices;
    std::map<QString, std::shared_ptr<RecordingPanel>> recorders;
    std::map<QString, bool> mute;
    QTemporaryDir dir;
};

}  // namespace veq::test
