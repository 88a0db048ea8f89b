#include "link/rfc2217.h"

namespace veq::rfc2217 {

namespace {

// A sub-negotiation longer than this is no COM port answer: its bytes are dropped as they come.
constexpr int kMaxSubnegotiation = 64;

bool accepted(unsigned char option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}

QByteArray bytes(std::initializer_list<unsigned char> list) {
    QByteArray out;
    for (const unsigned char b : list) out.append(static_cast<char>(b));
    return out;
}

}  // namespace

QByteArray escape(const QByteArray& data) {
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out.append(c);
        if (static_cast<unsigned char>(c) == kIac) out.append(c);
    }
    return out;
}

QByteArray subnegotiation(unsigned char command, const QByteArray& value) {
    return bytes({kIac, kSb, kComPortOption, command}) + escape(value) + bytes({kIac, kSe});
}

QString commandName(unsigned char command, unsigned char value) {
    switch (command) {
        case kSetBaudRate:
            return QStringLiteral("SET-BAUDRATE");
        case kSetDataSize:
            return QStringLiteral("SET-DATASIZE");
        case kSetParity:
            return QStringLiteral("SET-PARITY");
        case kSetStopSize:
            return QStringLiteral("SET-STOPSIZE");
        case kSetControl:
            if (value == kDtrOn) return QStringLiteral("SET-CONTROL (DTR on)");
            if (value == kDtrOff) return QStringLiteral("SET-CONTROL (DTR off)");
            if (value == kRtsOff) return QStringLiteral("SET-CONTROL (RTS off)");
            return QStringLiteral("SET-CONTROL");
        case kPurgeData:
            return QStringLiteral("PURGE-DATA");
        default:
            break;
    }
    return QStringLiteral("COM-PORT-OPTION %1").arg(command);
}

QByteArray Session::request(unsigned char verb, unsigned char option) {
    auto& state = (verb == kWill || verb == kWont) ? us_[option] : him_[option];
    state = (verb == kWill || verb == kDo) ? State::WantYes : State::WantNo;
    return bytes({kIac, verb, option});
}

QByteArray Session::negotiation() {
    return request(kWill, kBinary) + request(kDo, kBinary) + request(kWill, kSuppressGoAhead) +
           request(kDo, kSuppressGoAhead) + request(kWill, kComPortOption);
}

bool Session::comPortAgreed() const {
    return us_[kComPortOption] == State::Yes;
}

QByteArray Session::opening(const LineSettings& line) {
    opening_ = {{kSetControl, kDtrOn, false}, {kSetControl, kRtsOff, false},
                {kSetBaudRate, 0, false},     {kSetDataSize, 0, false},
                {kSetParity, 0, false},       {kSetStopSize, 0, false}};
    QByteArray baud;
    for (int shift = 24; shift >= 0; shift -= 8)
        baud.append(static_cast<char>((line.baud >> shift) & 0xFF));
    return subnegotiation(kSetControl, bytes({kDtrOn})) +
           subnegotiation(kSetControl, bytes({kRtsOff})) + subnegotiation(kSetBaudRate, baud) +
           subnegotiation(kSetDataSize, bytes({line.dataBits})) +
           subnegotiation(kSetParity, bytes({line.parity})) +
           subnegotiation(kSetStopSize, bytes({line.stopBits}));
}

bool Session::openingAnswered() const {
    return !opening_.empty() && opening_.back().answered;
}

QStringList Session::unanswered() const {
    QStringList names;
    for (const Sent& s : opening_)
        if (!s.answered) names << commandName(s.command, s.value);
    return names;
}

QByteArray Session::setDtr(bool on) {
    return subnegotiation(kSetControl, bytes({on ? kDtrOn : kDtrOff}));
}

QByteArray Session::purgeReceived() {
    return subnegotiation(kPurgeData, bytes({kPurgeServerReceive}));
}

QByteArray Session::takeReplies() {
    QByteArray out;
    out.swap(replies_);
    return out;
}

void Session::onVerb(unsigned char verb, unsigned char option) {
    // RFC 1143's rules, without queueing: an option is asked for once.
    const bool ours = verb == kDo || verb == kDont;  // the server speaks of our side
    auto& state = ours ? us_[option] : him_[option];
    const bool enable = verb == kDo || verb == kWill;
    const unsigned char yes = ours ? kWill : kDo;
    const unsigned char no = ours ? kWont : kDont;
    if (enable) {
        switch (state) {
            case State::No:
                if (accepted(option)) {
                    state = State::Yes;
                    replies_ += bytes({kIac, yes, option});
                } else {
                    replies_ += bytes({kIac, no, option});
                }
                break;
            case State::Yes:
                break;
            case State::WantYes:
                state = State::Yes;
                break;
            case State::WantNo:
                // Our "no" was answered by a "yes": the server does not follow; take its word.
                state = State::Yes;
                break;
        }
        return;
    }
    switch (state) {
        case State::No:
            break;
        case State::Yes:
            state = State::No;
            replies_ += bytes({kIac, no, option});
            break;
        case State::WantYes:
        case State::WantNo:
            state = State::No;
            break;
    }
    if (option == kComPortOption || option == kBinary) refused_ = true;
}

void Session::onSubnegotiation() {
    if (subOverflow_ || sub_.size() < 2) return;
    if (static_cast<unsigned char>(sub_[0]) != kComPortOption) return;
    const int code = static_cast<unsigned char>(sub_[1]);
    if (code < 100) return;  // a request of the server's (signature...): not answered here
    for (Sent& s : opening_)
        if (!s.answered && s.command == code - 100) {
            s.answered = true;
            break;
        }
}

QByteArray Session::receive(const QByteArray& in) {
    QByteArray data;
    data.reserve(in.size());
    for (const char ch : in) {
        const auto b = static_cast<unsigned char>(ch);
        switch (read_) {
            case Read::Data:
                if (b == kIac)
                    read_ = Read::Iac;
                else
                    data.append(ch);
                break;
            case Read::Iac:
                if (b == kIac) {
                    data.append(ch);
                    read_ = Read::Data;
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    verb_ = b;
                    read_ = Read::Verb;
                } else if (b == kSb) {
                    sub_.clear();
                    subOverflow_ = false;
                    read_ = Read::Sub;
                } else {
                    read_ = Read::Data;  // NOP, GA, a stray SE...: no data
                }
                break;
            case Read::Verb:
                onVerb(verb_, b);
                read_ = Read::Data;
                break;
            case Read::Sub:
                if (b == kIac) {
                    read_ = Read::SubIac;
                } else if (sub_.size() < kMaxSubnegotiation) {
                    sub_.append(ch);
                } else {
                    subOverflow_ = true;
                }
                break;
            case Read::SubIac:
                if (b == kIac) {
                    if (sub_.size() < kMaxSubnegotiation)
                        sub_.append(ch);
                    else
                        subOverflow_ = true;
                    read_ = Read::Sub;
                } else {
                    // IAC SE ends it; any other command there ends it too, as broken.
                    if (b == kSe) onSubnegotiation();
                    sub_.clear();
                    read_ = Read::Data;
                }
                break;
        }
    }
    return data;
}

}  // namespace veq::rfc2217
