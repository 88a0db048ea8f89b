#include "link/detection.h"

#include <exception>

#include "link/exchange.h"
#include "link/frame.h"

namespace veq {

namespace {

const QString kLineSettings = QStringLiteral("9600,N,8,1");

}  // namespace

PortDetection::PortDetection(LinkSession& link, Clock& clock) : link_(link), clock_(clock) {
    for (int k = kFirstPort; k <= kLastPort; ++k) rowRef(k) = designRow(k);
}

DetectionRow PortDetection::designRow(int port) {
    DetectionRow r;
    r.port.caption = QStringLiteral("COM%1:").arg(port);
    // The state caption of port 11 and the panel captions of ports 11 and 14 were left empty
    // when the window was drawn; the others hold a single space.
    r.state.caption = port == 11 ? QString() : QStringLiteral(" ");
    r.panel.caption = (port == 11 || port == 14) ? QString() : QStringLiteral(" ");
    return r;
}

QString PortDetection::portCaption(int port) {
    // A positive number turned into text keeps a blank where its sign would go.
    const QString number = (port < 0 ? QString() : QStringLiteral(" ")) + QString::number(port);
    return QStringLiteral("COM") + number + QStringLiteral(":");
}

void PortDetection::scan() {
    SerialPort& port = link_.port();
    try {
        port.close();
        port.close();
    } catch (const std::exception&) {
        // A port that cannot even be closed is tried again before the first test.
    }

    for (int k = kFirstPort; k <= kLastPort; ++k) {
        rowRef(k) = DetectionRow{{portCaption(k), false}, {QString(), false}, {QString(), false}};
        changed(k);
    }

    for (int k = kFirstPort; k <= kLastPort; ++k) {
        DetectionRow& r = rowRef(k);
        r.state = {kAbsent, false};
        r.port.green = true;  // the port under test
        r.panel.green = false;
        changed(k);
        try {
            testPort(k);
        } catch (const std::exception&) {
            markAbsent(k);
        }
        repaint(k);
    }

    link_.setFlag(PortFlag::False);
}

PortDetection::Probe PortDetection::probe(SerialPort& port, int number, Clock& clock,
                                          const std::function<void()>& opened) {
    if (port.isOpen()) port.close();
    port.setCommPort(number);
    port.setSettings(kLineSettings);
    if (!port.open() || !port.isOpen()) return Probe::Absent;
    if (opened) opened();
    const bool valid = answersAcknowledgement(port, clock);
    // The device went away while it was being asked.
    if (!port.isOpen()) return Probe::Absent;
    return valid ? Probe::Panel : Probe::Free;
}

void PortDetection::testPort(int k) {
    DetectionRow& r = rowRef(k);
    const Probe found = probe(link_.port(), k, clock_, [this, &r, k] {
        r.state = {kFree, true};
        changed(k);
    });
    if (found == Probe::Absent) {
        markAbsent(k);
        return;
    }
    const bool valid = found == Probe::Panel;
    r.panel = valid ? DetectionCell{kPanel, true} : DetectionCell{kNoPanel, false};
    r.port.green = valid;
    changed(k);
}

bool PortDetection::answersAcknowledgement(SerialPort& port, Clock& clock) {
    // The write itself is checked: a port that refuses the frame is no free port.
    if (!port.write(frame(Prefix::P31, QByteArrayLiteral("RRR")))) {
        port.close();
        return false;
    }
    Exchange exchange(port, clock);
    // Five characters that are not the acknowledgement do not end the wait: whatever is left of
    // the same second is still given to the panel.
    const Reply reply = exchange.replyWait(
        Compare::Equal, 5, [](const QByteArray& text) { return text == acknowledgement(); });
    return !reply.timedOut;
}

void PortDetection::markAbsent(int k) {
    rowRef(k) = DetectionRow{{portCaption(k), false}, {kAbsent, false}, {kNoPanel, false}};
    changed(k);
}

void PortDetection::changed(int port) {
    if (observer_.changed) observer_.changed(port);
}

void PortDetection::repaint(int port) {
    if (observer_.repaint) observer_.repaint(port);
}

}  // namespace veq
