#include "link/session.h"

namespace veq {

LinkSession::LinkSession(std::unique_ptr<SerialPort> port)
    : owned_(std::move(port)), port_(owned_.get()) {}

LinkSession::LinkSession(SerialPort& port) : port_(&port) {}

LinkSession::~LinkSession() {
    // The serial port goes with the session.
    if (owned_ && owned_->isOpen()) owned_->close();
}

bool LinkSession::open(int number) {
    flag_ = PortFlag::Opening;
    if (port_->isOpen()) port_->close();
    port_->setCommPort(number);
    port_->setSettings(QStringLiteral("9600,N,8,1"));
    const bool opened = port_->open();
    flag_ = opened ? PortFlag::True : PortFlag::False;
    return opened;
}

namespace linktext {

QString flag(PortFlag flag) {
    switch (flag) {
        case PortFlag::True:
            return QStringLiteral("True");
        case PortFlag::Opening:
            return QString();
        case PortFlag::False:
            break;
    }
    return QStringLiteral("False");
}

PortFlag flagFrom(const QString& text) {
    if (text == QLatin1String("True")) return PortFlag::True;
    if (text.isEmpty()) return PortFlag::Opening;
    return PortFlag::False;
}

ResponseControl responseFrom(const QString& text) {
    if (text == QLatin1String("OUI")) return ResponseControl::Checked;
    if (text == QLatin1String("NON")) return ResponseControl::Silent;
    return ResponseControl::Unchecked;
}

bool yes(const QString& text) {
    return text == QLatin1String("OUI");
}

}  // namespace linktext

}  // namespace veq
