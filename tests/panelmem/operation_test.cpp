#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "journal/journal.h"
#include "link/kldbase.h"
#include "panelmem/messages.h"
#include "panelmem/ui/operation.h"
#include "tests/support/harness.h"

namespace veq::test {
namespace {

// The one road of a window's panel operation, on the simulated bench: what stops it before any
// frame, when the journal's record is written, and what SEL_REP silences.
TEST(PanelOperationRoad, StepsInTheirOrderAndOnlyTheFinalMessageSilenced) {
    enum class Kind { Read, Programming };
    const QString kStop = QStringLiteral("arrêt");
    const QString kResult = QStringLiteral("résultat");
    const QString kEnd = QStringLiteral("fin");
    const QString kNotRead = QStringLiteral("relire");
    struct Row {
        const char* name;
        Kind kind;
        bool validated;
        const char* rep;  // SEL_REP's text
        bool prepares;    // prepare lets the operation go on
        bool mute;        // the panel does not answer
        bool cellsHoldBytes;
        FailureTold told;
        bool sent;
        std::vector<QString> messages;
        std::optional<journal::Result> recorded;  // the record's outcome, none when no record
    };
    const auto unless = FailureTold::UnlessSilenced;
    const auto checked = FailureTold::WhenChecked;
    // clang-format off
    const std::vector<Row> rows = {
        {"no port validated", Kind::Read, false, "OUI", true, false, true, unless, false,
         {kNoPortMessage}, std::nullopt},
        {"prepare refuses", Kind::Programming, true, "OUI", false, false, true, unless, false,
         {kStop}, std::nullopt},
        {"read", Kind::Read, true, "OUI", true, false, true, unless, true,
         {kResult, kEnd}, journal::Result::Success},
        {"read, NON", Kind::Read, true, "NON", true, false, true, unless, true,
         {kResult}, journal::Result::Success},
        {"mute, NON", Kind::Read, true, "NON", true, true, true, unless, true,
         {}, journal::Result::Failed},
        {"mute, OUI, told when checked", Kind::Read, true, "OUI", true, true, true, checked, true,
         {ops::kPanelError}, journal::Result::Failed},
        {"mute, other text, told when checked", Kind::Read, true, "oui", true, true, true, checked,
         true, {}, journal::Result::Failed},
        {"mute, other text, told unless silenced", Kind::Read, true, "oui", true, true, true,
         unless, true, {ops::kPanelError}, journal::Result::Failed},
        {"programming", Kind::Programming, true, "OUI", true, false, true, unless, true,
         {kResult, kEnd}, journal::Result::Success},
        {"programming, mute, NON", Kind::Programming, true, "NON", true, true, true, unless, true,
         {}, journal::Result::Failed},
        {"programming, cells without bytes", Kind::Programming, true, "NON", true, false, false,
         unless, false, {kNotRead}, journal::Result::Refused},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Harness h;
        LinkSession session(h.context.makePort());
        h.context.session = [&]() -> LinkSession& { return session; };
        if (row.validated) {
            ASSERT_TRUE(session.open(3));
        }
        session.values().response = linktext::responseFrom(QString::fromUtf8(row.rep));
        h.port().faults.mute = row.mute;

        MemoryGrid grid;
        for (int a = 96; a < 128; ++a)
            grid.setText(a, row.cellsHoldBytes ? QStringLiteral("5A") : QStringLiteral("Er"));
        const int recordsBefore =
            static_cast<int>(journal::lastRecords(journal::journalPath(), 1000).size());
        // What the journal held when the write's first frame reached the panel.
        std::optional<journal::Result> atFirstFrame;
        bool prepared = false;
        const PanelOperation op{
            .name = QStringLiteral("essai"),
            .grid = grid,
            .from = 96,
            .to = 127,
            .prepare =
                [&] {
                    prepared = true;
                    if (!row.prepares) h.messages.show(kStop, Icon::Warning, kAppTitle);
                    return row.prepares;
                },
            .succeeded = [&] { h.messages.show(kResult, Icon::Warning, kAppTitle); },
            .success = kEnd,
            .failureTold = row.told,
            .notRead = kNotRead};
        if (row.kind == Kind::Read) {
            runRead(h.context, op,
                    [&](Exchange& ex) { return readMemory(ex, grid, kRateTransfer); });
        } else {
            runProgramming(h.context, op, [&](Exchange& ex, const ops::WriteHooks& hooks) {
                h.port().faults.garble = [&](const QByteArray& answer) {
                    if (!atFirstFrame) {
                        const auto last = journal::lastRecords(journal::journalPath(), 1);
                        atFirstFrame = last.empty() ? journal::Result::Failed : last[0].outcome;
                    }
                    return answer;
                };
                return ops::programRateCells(ex, grid, hooks);
            });
        }

        EXPECT_EQ(prepared, row.validated);
        EXPECT_EQ(!h.port().writes.empty(), row.sent);
        EXPECT_EQ(h.messages.texts(), row.messages);
        const auto records = journal::lastRecords(journal::journalPath(), 1000);
        EXPECT_EQ(static_cast<int>(records.size()) - recordsBefore, row.recorded ? 1 : 0);
        if (row.recorded && !records.empty()) {
            EXPECT_EQ(records.front().outcome, *row.recorded);
        }
        // A programming that writes is in the journal, its outcome unknown yet, before its first
        // frame; the panel answers it even when the line back is mute.
        if (row.kind == Kind::Programming && row.sent && !row.mute) {
            EXPECT_EQ(atFirstFrame, journal::Result::Unknown);
        }
    }
}

}  // namespace
}  // namespace veq::test
