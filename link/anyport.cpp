#include "link/anyport.h"

#include "link/netaddress.h"
#include "link/netsocket.h"
#include "link/portmap.h"
#ifdef VEQ_NETPORT
#include "link/netport.h"
#endif

namespace veq {

bool AnyPort::open() {
    close();
    active_ = nullptr;
    failure_ = OpenFailure::None;
    error_.clear();
    // The number's device, read once: the local port is handed the path itself.
    QString device = name_;
    if (device.isEmpty() && number_ >= kFirstComNumber && number_ <= kLastComNumber)
        device = portDevice(number_);
    if (!isNetworkName(device)) {
        serial_.setCommPort(number_);
        serial_.setSettings(settings_);
        serial_.setDevicePath(device);  // empty: the number says why it leads nowhere
        active_ = &serial_;
        return serial_.open();
    }
    const std::optional<NetAddress> address = parseNetAddress(device, &error_);
    if (!address) {
        failure_ = OpenFailure::BadAddress;
        return false;
    }
#ifdef VEQ_NETPORT
    net_ = std::make_unique<NetPort>(*address);
    net_->setCommPort(number_);
    net_->setSettings(settings_);
    active_ = net_.get();
    return net_->open();
#else
    failure_ = OpenFailure::NoNetwork;
    error_ = QStringLiteral("pas de ports réseau dans cette version : %1").arg(address->text());
    return false;
#endif
}

void AnyPort::close() {
    if (active_) active_->close();
}

bool AnyPort::write(const QByteArray& bytes) {
    return active_ && active_->write(bytes);
}

int AnyPort::inBufferCount() {
    return active_ ? active_->inBufferCount() : 0;
}

void AnyPort::discardInput() {
    if (active_) active_->discardInput();
}

QByteArray AnyPort::readAll() {
    return active_ ? active_->readAll() : QByteArray();
}

void AnyPort::setDtr(bool on) {
    if (active_) active_->setDtr(on);
}

QString AnyPort::errorString() const {
    return active_ ? active_->errorString() : error_;
}

OpenFailure AnyPort::openFailure() const {
    if (active_) return active_->openFailure();
    return failure_ == OpenFailure::None ? OpenFailure::Other : failure_;
}

Cause AnyPort::lossCause() const {
    return active_ ? active_->lossCause() : Cause::PortLost;
}

QStringList AnyPort::takeNotes() {
    return active_ ? active_->takeNotes() : QStringList();
}

}  // namespace veq
