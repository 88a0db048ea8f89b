#include "params/dump24c01.h"

#include <algorithm>

#include <QLocale>

#include "panelmem/messages.h"
#include "panelmem/operations.h"
#include "panelmem/paramfile.h"
#include "panelmem/settings.h"
#include "panelmem/transfer.h"
#include "panelmem/ui/operation.h"
#include "params/controls.h"
#include "ui/windows.h"

namespace veq {

using namespace params;

namespace {

// The operations as the journal names them: the buttons' captions.
const QString kReadButton = QStringLiteral("Lire les paramètres");
const QString kProgramButton = QStringLiteral("Programme les paramètres");
const QString kGridReadButton = QStringLiteral("Paramètres, grille : Lire");
const QString kGridWriteButton = QStringLiteral("Paramètres, grille : Envoi");
constexpr int kRateLast = 127;

const QString kReadFirst = QStringLiteral(
    "Les paramètres du panneau doivent d'abord être lus avec succès (« Lire les paramètres ») "
    "avant de pouvoir le programmer : une partie de sa mémoire n'a pas été lue. Rien n'a été "
    "programmé.");

}  // namespace

// ---------------------------------------------------------------------------------------------
// Captions and previews

void Dump24c01::rangeCaption(int i) {
    const int v = HScroll1[static_cast<size_t>(i)]->value();
    PLAG[static_cast<size_t>(i)]->setText(integer(v) + QStringLiteral("    De ") + integer(v + 1) +
                                          QStringLiteral(" à "));
}

void Dump24c01::stopThresholdPreview() {
    const int v = HScroll5->value();
    const double period = v * 0.583 * 1000 / 1000;
    const double rate = 1 / period;
    const QLocale l = plainLocale();
    Label28->setText(l.toString(rate * 3600, 'f', 1) + QStringLiteral(" pièce/Heure"));
    Label21->setText(l.toString(1 / rate, 'f', 2) + QStringLiteral(" Sec / pièce"));
}

void Dump24c01::HScroll1_Change(int index) {
    if (index >= 1 && index <= 4) rangeCaption(index);
}

void Dump24c01::HScroll2_Change() {
    MOYENNE->setPlainText(kLevel2Caption + integer(1 << HScroll2->value()));
}

void Dump24c01::HScroll3_Change() {
    RAFR_AFF->setPlainText(kLevel1Caption + integer(1 << HScroll3->value()));
}

void Dump24c01::HScroll4_Change() {
    Text2->setPlainText(QStringLiteral("Anti rebond numérique ") +
                        decimal(HScroll4->value() / 10.0) + QStringLiteral(" mS."));
}

void Dump24c01::HScroll5_Change() {
    stopThresholdPreview();
}

// ---------------------------------------------------------------------------------------------
// Time base, range colours, extension

void Dump24c01::Option2_Click(int k) {
    if (k < 0 || k > 3) return;
    for (QRadioButton* o : Option2) setBackground(o, kWhiteBack);
    setBackground(Option2[static_cast<size_t>(k)], kGreenBack);
    Option2[static_cast<size_t>(k)]->setChecked(true);
    Text5->setText(memmap::kTimeBaseStored[static_cast<size_t>(k)]);
    Text5->setEnabled(k == memmap::kTimeBaseOther);
    Text5->setVisible(k == memmap::kTimeBaseOther);
}

int Dump24c01::rangeColour(int i) const {
    return colourNumber(background(COULE[static_cast<size_t>(i)]));
}

void Dump24c01::setRangeColour(int i, int colourNumber) {
    QLineEdit* c = COULE[static_cast<size_t>(i)];
    setBackground(c, fromColourNumber(colourNumber));
    c->update();
}

void Dump24c01::COULE_Click(int index) {
    if (index < 0 || index > 4) return;
    int next = colour::kOrange;
    switch (rangeColour(index)) {
        case colour::kRed:
            next = colour::kGreen;
            break;
        case colour::kGreen:
            next = colour::kOrange;
            break;
        case colour::kOrange:
            next = colour::kRed;
            break;
        default:
            break;
    }
    setRangeColour(index, next);
}

void Dump24c01::Command2_Click() {
    setClientSizeTwips(this, 13860, height() * 15);
    showGrid(true);
}

void Dump24c01::Extension_Click() {
    showGrid(false);
    setClientSizeTwips(this, 7470, height() * 15);
}

// The closed extension is 30 twips wider than the window at load, enough to show the first
// two pixels of the row headings and the title: the grid is hidden as a whole while it is closed.
void Dump24c01::showGrid(bool shown) {
    gridPanel_->setShown(shown);
    Extension->setVisible(shown);
}

// ---------------------------------------------------------------------------------------------
// Option groups

int Dump24c01::selected(const QButtonGroup* group) {
    const int id = group->checkedId();
    return id < 0 ? 0 : id;
}

void Dump24c01::deselectAll(QButtonGroup* group) {
    // An exclusive group keeps one option checked; lift the rule for the time of the reset.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

// ---------------------------------------------------------------------------------------------
// Parameter read and programming

void Dump24c01::putRead(QScrollBar* slider, int value, QStringList& outOfRange) {
    const int shown = std::clamp(value, slider->minimum(), slider->maximum());
    if (shown != value)
        outOfRange << QStringLiteral("%1 : %2 lu, %3 affiché.")
                          .arg(slider->accessibleName(), integer(value), integer(shown));
    slider->setValue(shown);
}

void Dump24c01::applyReading(const memmap::RateReading& r) {
    QStringList outOfRange;
    for (int i = 0; i < 5; ++i) {
        const memmap::Range& range = r.ranges[static_cast<size_t>(i)];
        setRangeColour(i, range.colour);
        putRead(HScroll1[static_cast<size_t>(i)], range.slider, outOfRange);
    }
    if (r.averaging2) HScroll2->setValue(*r.averaging2);
    if (r.averaging1) HScroll3->setValue(*r.averaging1);

    Option2_Click(memmap::kTimeBaseOther);
    Option2_Click(0);
    Option2_Click(r.timeBaseChoice);
    Text5->setText(QString::number(r.timeBase));

    putRead(HScroll4, r.antiBounce, outOfRange);
    putRead(HScroll6, r.relay1, outOfRange);
    putRead(HScroll7, r.relay2, outOfRange);

    if (r.flags.digits) digitsGroup->button(r.flags.digits)->setChecked(true);
    if (r.flags.mode) modeGroup->button(r.flags.mode)->setChecked(true);
    if (r.flags.suppress) suppressGroup->button(r.flags.suppress)->setChecked(true);

    putRead(HScroll5, r.stopThreshold, outOfRange);

    if (!outOfRange.isEmpty())
        ctx_.messages.show(
            QStringLiteral("Des valeurs lues sortent des limites de leur glissière et ont été "
                           "ramenées à la limite la plus proche :\n") +
                outOfRange.join(QLatin1Char('\n')) +
                QStringLiteral("\nUne programmation enverra les valeurs affichées."),
            Icon::Warning);
}

void Dump24c01::but_lit_para_Click() {
    ops::RateRead read;
    const PanelOperation op{
        .name = kReadButton,
        .grid = grid_,
        .from = kRateTransfer.firstAddress,
        .to = kRateLast,
        .prepare =
            [this] {
                for (int i = 0; i < 5; ++i) setRangeColour(i, colour::kOrange);
                for (QButtonGroup* g : {brightnessGroup, digitsGroup, modeGroup, suppressGroup})
                    deselectAll(g);
                return true;
            },
        // A read without the panel's answer leaves "Er" in the cells, which
        // the blank test would take for a memory never programmed: the
        // operator is told of the failure alone, and the controls keep what
        // they held before the read, but for the resets above.
        .succeeded = [this, &read] { showRead(read); },
        .success = ops::kReadDone};
    runRead(ctx_, op, [this, &read](Exchange& ex) {
        read = ops::readRate(ex, grid_);
        return read.outcome;
    });
}

void Dump24c01::showRead(const ops::RateRead& read) {
    if (read.blank) {
        if (read.blankBrightnessOption)
            brightnessGroup->button(read.blankBrightnessOption)->setChecked(true);
        for (int i = 0; i < 5; ++i) {
            HScroll1[static_cast<size_t>(i)]->setValue(1);
            setRangeColour(i, colour::kOrange);
        }
        ctx_.messages.show(ops::kBlankMemory, Icon::Warning);
    } else {
        applyReading(read.reading);
    }
    // The caption says what the slider now holds, even when the read left it where it was.
    HScroll4_Change();
}

memmap::RateSettings Dump24c01::settings(quint32 timeBase) const {
    memmap::RateSettings s;
    for (int i = 0; i < 5; ++i)
        s.ranges[static_cast<size_t>(i)] = {HScroll1[static_cast<size_t>(i)]->value(),
                                            rangeColour(i)};
    s.brightnessOption = selected(brightnessGroup);
    s.averaging2 = HScroll2->value();
    s.averaging1 = HScroll3->value();
    s.timeBase = timeBase;
    s.antiBounce = HScroll4->value();
    s.relay1 = HScroll6->value();
    s.relay2 = HScroll7->value();
    s.flags = {selected(digitsGroup), selected(modeGroup), selected(suppressGroup)};
    s.stopThreshold = HScroll5->value();
    return s;
}

std::optional<memmap::RateSettings> Dump24c01::checkedSettings(QString& warning) const {
    for (int i = 1; i <= 4; ++i) {
        const int before = HScroll1[static_cast<size_t>(i - 1)]->value();
        if (HScroll1[static_cast<size_t>(i)]->value() < before + settings::kRangeGap) {
            warning = QStringLiteral("Le curseur entre la plage ") + integer(i) +
                      QStringLiteral(" et ") + integer(i + 1) + QStringLiteral(" doit être >=à") +
                      decimal((before + settings::kRangeGap) / 10.0) + QStringLiteral(" !");
            return std::nullopt;
        }
    }
    // The panel counts with this number: nothing goes out without a valid one.
    const std::optional<quint32> timeBase = memmap::parseTimeBaseText(Text5->text());
    if (!timeBase) {
        warning = QStringLiteral("La base de temps « ") + Text5->text().trimmed() +
                  QStringLiteral(
                      " » n'est pas un nombre entier de 1 à 2147483647. "
                      "Veuillez la corriger : rien n'a été programmé.");
        return std::nullopt;
    }
    return settings(*timeBase);
}

void Dump24c01::applySettings(const memmap::RateSettings& s) {
    for (int i = 0; i < 5; ++i) {
        setRangeColour(i, s.ranges[static_cast<size_t>(i)].colour);
        HScroll1[static_cast<size_t>(i)]->setValue(s.ranges[static_cast<size_t>(i)].slider);
    }
    for (QButtonGroup* g : {brightnessGroup, digitsGroup, modeGroup, suppressGroup}) deselectAll(g);
    if (s.brightnessOption) brightnessGroup->button(s.brightnessOption)->setChecked(true);
    HScroll2->setValue(s.averaging2);
    HScroll3->setValue(s.averaging1);
    Option2_Click(memmap::kTimeBaseOther);
    Option2_Click(0);
    Option2_Click(memmap::timeBaseChoice(static_cast<qint32>(s.timeBase)));
    Text5->setText(QString::number(s.timeBase));
    HScroll4->setValue(s.antiBounce);
    HScroll6->setValue(s.relay1);
    HScroll7->setValue(s.relay2);
    if (s.flags.digits) digitsGroup->button(s.flags.digits)->setChecked(true);
    if (s.flags.mode) modeGroup->button(s.flags.mode)->setChecked(true);
    if (s.flags.suppress) suppressGroup->button(s.flags.suppress)->setChecked(true);
    HScroll5->setValue(s.stopThreshold);
    HScroll4_Change();
}

bool Dump24c01::loadBytes(int from, const QByteArray& bytes) {
    grid_.putBytes(from, bytes);
    for (int a = from; a < from + bytes.size(); ++a) grid_.setState(a, CellState::Idle);
    if (from > kRateTransfer.firstAddress || from + bytes.size() - 1 < kRateLast) return false;
    if (memmap::isBlank(grid_)) return false;
    applySettings(memmap::settingsFromMemory(grid_));
    return true;
}

void Dump24c01::but_ecrit_para_Click() {
    std::optional<memmap::RateSettings> checked;
    const PanelOperation op{.name = kProgramButton,
                            .grid = grid_,
                            .from = kRateTransfer.firstAddress,
                            .to = kRateLast,
                            .prepare =
                                [this, &checked] {
                                    QString warning;
                                    checked = checkedSettings(warning);
                                    if (!checked) ctx_.messages.show(warning, Icon::Warning);
                                    return checked.has_value();
                                },
                            .success = ops::kProgrammingDone,
                            // After a failed read part of the memory is unknown: nothing was
                            // sent, and reading again is what helps, not trying again.
                            .notRead = kReadFirst};
    runProgramming(ctx_, op, [this, &checked](Exchange& ex, const ops::WriteHooks& hooks) {
        return ops::programRate(ex, grid_, *checked, hooks);
    });
}

// ---------------------------------------------------------------------------------------------
// Grid buttons: the transfer alone, its result shown by the cells

void Dump24c01::but_RD_Click() {
    runGridRead(ctx_, kGridReadButton, grid_, kRateTransfer, kRateTransfer.firstAddress, kRateLast,
                true);
}

void Dump24c01::but_WR_Click() {
    runGridWrite(ctx_, kGridWriteButton, grid_, kRateTransfer, kRateTransfer.firstAddress,
                 kRateLast, true);
}

}  // namespace veq
