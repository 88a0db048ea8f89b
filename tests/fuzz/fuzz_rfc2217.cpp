// Any byte stream from an RFC 2217 server, cut anywhere: the client's reader gives the same data
// bytes and the same replies however the stream is cut, never more data than it read, the bytes
// themselves when no 0xFF is among them, and replies that are only whole option answers. Any data
// escaped for the line reads back as itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/rfc2217.h"

namespace {

using veq::rfc2217::Session;

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray in(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    Session whole;
    whole.negotiation();
    whole.opening();
    const QByteArray all = whole.receive(in);
    const QByteArray replies = whole.takeReplies();

    // The same stream in pieces whose lengths the bytes themselves give.
    Session cut;
    cut.negotiation();
    cut.opening();
    QByteArray pieces;
    QByteArray pieceReplies;
    for (qsizetype at = 0; at < in.size();) {
        const qsizetype n = std::min<qsizetype>(in.size() - at, 1 + data[at] % 7);
        pieces += cut.receive(in.mid(at, n));
        pieceReplies += cut.takeReplies();
        at += n;
    }
    check(pieces == all && pieceReplies == replies);
    check(cut.unanswered() == whole.unanswered() && cut.comPortAgreed() == whole.comPortAgreed());
    check(all.size() <= in.size());
    if (!in.contains('\xFF')) check(all == in);
    // Replies: IAC, one of WILL WONT DO DONT, an option.
    check(replies.size() % 3 == 0);
    for (qsizetype i = 0; i < replies.size(); i += 3) {
        const auto verb = static_cast<unsigned char>(replies[i + 1]);
        check(static_cast<unsigned char>(replies[i]) == veq::rfc2217::kIac);
        check(verb >= veq::rfc2217::kWill && verb <= veq::rfc2217::kDont);
    }

    // The input as data: escaped, it reads back whole.
    Session echo;
    check(echo.receive(veq::rfc2217::escape(in)) == in && echo.takeReplies().isEmpty());
    return 0;
}
