#include "brightness/lum.h"

#include <algorithm>

#include <QFrame>
#include <QStringList>

#include "link/kldbase.h"
#include "panelmem/memmap.h"
#include "panelmem/messages.h"
#include "panelmem/operations.h"
#include "panelmem/settings.h"
#include "panelmem/transfer.h"
#include "panelmem/ui/gridpanel.h"
#include "panelmem/ui/operation.h"
#include "ui/twips.h"
#include "ui/windows.h"

namespace veq {

namespace {

// Captions of Option1(0) to Option1(6), and the order they stand in from top to bottom: the
// fixed levels from the brightest down, the light sensor last.
const char* const kOptionCaptions[LumWindow::kOptions] = {"Capteur", "100%", "80%", "60%",
                                                          "50%",     "40%",  "20%"};
constexpr int kOptionRows[LumWindow::kOptions] = {6, 0, 1, 2, 3, 4, 5};
// "20%" is shown but cannot be chosen; a panel that holds it still reads as it.
constexpr int kDisabledOption = 6;

constexpr int kThresholdMin = settings::kSwitchThreshold.minimum;
constexpr int kThresholdMax = settings::kSwitchThreshold.maximum;
constexpr int kThresholdInitial = settings::kSwitchThreshold.initial;
constexpr int kPeriodMin = settings::kSwitchPeriod.minimum;
constexpr int kPeriodMax = settings::kSwitchPeriod.maximum;
constexpr int kPeriodInitial = settings::kSwitchPeriod.initial;

// Left column of controls, in twips; the grid stands to its right.
constexpr int kLeft = 120;
constexpr int kColumnWidth = 3000;
constexpr int kGridLeft = 3240;
constexpr int kButtonsTop = 3360;  // level with the grid's own buttons
// Top to bottom: the options, each as high as the style's option with its caption; each slider
// under its heading; the buttons.
constexpr int kOptionPitch = 285;
constexpr int kOptionsHeight = LumWindow::kOptions * kOptionPitch + 90;
constexpr int kHeadingHeight = 255;
constexpr int kSliderHeight = 300;
constexpr int kThresholdTop = 60 + kOptionsHeight + 30;
constexpr int kPeriodTop = kThresholdTop + kHeadingHeight + kSliderHeight + 30;
static_assert(kPeriodTop + kHeadingHeight + kSliderHeight <= kButtonsTop);
constexpr int kWidth = kGridLeft + 6375 + 120;
constexpr int kHeight = kButtonsTop + 375 + 120;

QLineEdit* heading(QWidget* parent, const char* name, const QString& text, const QString& tip) {
    auto* t = new QLineEdit(text, parent);
    t->setObjectName(QLatin1String(name));
    t->setReadOnly(true);
    t->setFrame(false);
    t->setFocusPolicy(Qt::NoFocus);
    t->setToolTip(tip);
    t->setAccessibleName(text);
    QFont f = t->font();
    f.setBold(true);
    t->setFont(f);
    t->setCursorPosition(0);
    return t;
}

QSlider* slider(QWidget* parent, const char* name, int min, int max, int value, const QString& tip,
                const QString& accessible) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(QLatin1String(name));
    s->setRange(min, max);
    s->setValue(value);
    s->setSingleStep(1);
    s->setPageStep(max - min >= 32 ? 8 : 1);
    s->setTickPosition(QSlider::TicksBelow);
    s->setTickInterval(max - min >= 32 ? 16 : 1);
    s->setToolTip(tip);
    s->setAccessibleName(accessible);
    return s;
}

// A value the panel holds outside what the control can show is shown at the nearest end of the
// control's range and named in `problems`, so the operator knows the display is not the panel's.
int shownWithin(int value, int min, int max, const QString& what, QStringList& problems) {
    const int shown = std::clamp(value, min, max);
    if (shown != value) {
        problems << QStringLiteral("%1 : valeur lue %2 hors limites (de %3 à %4), affichée %5.")
                        .arg(what)
                        .arg(value)
                        .arg(min)
                        .arg(max)
                        .arg(shown);
    }
    return shown;
}

}  // namespace

LumWindow::LumWindow(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("LUM"));
    setWindowTitle(QStringLiteral(" Luminosité."));
    useWindowFont(this);
    setClientSizeTwips(this, kWidth, kHeight);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame_Option1"));
    frame->setFrameShape(QFrame::StyledPanel);
    placeTwips(frame, kLeft, 60, kColumnWidth, kOptionsHeight);
    options_ = new QButtonGroup(this);
    options_->setExclusive(true);
    for (int i = 0; i < kOptions; ++i) {
        auto* o = new QRadioButton(QString::fromUtf8(kOptionCaptions[i]), frame);
        o->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        placeTwips(o, 180, 45 + kOptionPitch * kOptionRows[i], kColumnWidth - 300, kOptionPitch);
        options_->addButton(o, i);
        Option1[static_cast<std::size_t>(i)] = o;
    }
    Option1[kDisabledOption]->setEnabled(false);
    Option1[1]->setChecked(true);

    Text4 = heading(this, "Text4", QStringLiteral("Commutation JOUR/NUIT"),
                    QStringLiteral("Seuil de commutation jour/nuit avec 0=Jour. 15=Nuit(4 par "
                                   "défaut)"));
    placeTwips(Text4, kLeft, kThresholdTop, kColumnWidth, kHeadingHeight);
    COMP_LDR = slider(this, "COMP_LDR", kThresholdMin, kThresholdMax, kThresholdInitial,
                      QStringLiteral("0=Jour. 15=Nuit(4 par défaut)"),
                      QStringLiteral("Seuil de commutation jour/nuit, de 0 (jour) à 15 (nuit)"));
    placeTwips(COMP_LDR, kLeft, kThresholdTop + kHeadingHeight, kColumnWidth - 600, kSliderHeight);
    comp_value_ = new QLabel(this);
    placeTwips(comp_value_, kLeft + kColumnWidth - 540, kThresholdTop + kHeadingHeight, 540,
               kSliderHeight);

    Text5_1 = heading(this, "Text5(1)", QStringLiteral("Fréquence de Commutation"),
                      QStringLiteral("Fréquence de Commutation sur les 4 mesures de luminosité "
                                     "précédentes."));
    placeTwips(Text5_1, kLeft, kPeriodTop, kColumnWidth, kHeadingHeight);
    DURE_LDR = slider(this, "DURE_LDR", kPeriodMin, kPeriodMax, kPeriodInitial,
                      QStringLiteral("de 1 à 128 secondes (5sec par défaut)"),
                      QStringLiteral("Fréquence de commutation, de 1 à 128 secondes"));
    placeTwips(DURE_LDR, kLeft, kPeriodTop + kHeadingHeight, kColumnWidth - 600, kSliderHeight);
    dure_value_ = new QLabel(this);
    placeTwips(dure_value_, kLeft + kColumnWidth - 540, kPeriodTop + kHeadingHeight, 540,
               kSliderHeight);

    // The sliders alone do not say which value they hold: the number stands beside each.
    // Described rather than named: a label given a name publishes it instead of its text.
    for (QLabel* l : {comp_value_, dure_value_}) l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    comp_value_->setAccessibleDescription(QStringLiteral("Seuil de commutation jour/nuit"));
    dure_value_->setAccessibleDescription(QStringLiteral("Fréquence de commutation"));
    comp_value_->setObjectName(QStringLiteral("Valeur_COMP_LDR"));
    dure_value_->setObjectName(QStringLiteral("Valeur_DURE_LDR"));
    auto showThreshold = [this](int v) { comp_value_->setText(QString::number(v)); };
    auto showPeriod = [this](int v) { dure_value_->setText(QStringLiteral("%1 s").arg(v)); };
    connect(COMP_LDR, &QSlider::valueChanged, this, showThreshold);
    connect(DURE_LDR, &QSlider::valueChanged, this, showPeriod);
    showThreshold(COMP_LDR->value());
    showPeriod(DURE_LDR->value());

    but_LIT_LUM = new QPushButton(QStringLiteral("Lit"), this);
    but_LIT_LUM->setObjectName(QStringLiteral("but_LIT_LUM"));
    but_LIT_LUM->setToolTip(QStringLiteral("Lecture des paramètres de luminosité."));
    placeTwips(but_LIT_LUM, kLeft, kButtonsTop, kColumnWidth / 2 - 60, 375);
    connect(but_LIT_LUM, &QPushButton::clicked, this, [this] { but_LIT_LUM_Click(); });

    but_ECRIT_LUM = new QPushButton(QStringLiteral("Envoi"), this);
    but_ECRIT_LUM->setObjectName(QStringLiteral("but_ECRIT_LUM"));
    but_ECRIT_LUM->setToolTip(QStringLiteral("Programmation des paramètres de luminosité."));
    placeTwips(but_ECRIT_LUM, kLeft + kColumnWidth / 2 + 60, kButtonsTop, kColumnWidth / 2 - 60,
               375);
    connect(but_ECRIT_LUM, &QPushButton::clicked, this, [this] { but_ECRIT_LUM_Click(); });

    GridPanel::Options grid;
    grid.origin = QPoint(kGridLeft, 0);
    gridPanel_ = new GridPanel(this, grid_, grid);
    connect(gridPanel_->but_RD, &QPushButton::clicked, this, [this] { but_RD_Click(); });
    connect(gridPanel_->but_WR, &QPushButton::clicked, this, [this] { but_WR_Click(); });
    pressButtonsOnEnter(this);
    keepHiddenControlsOutOfReach(this);
}

int LumWindow::selectedOption() const {
    return options_->checkedId();
}

void LumWindow::clearOptions() {
    // An exclusive group keeps one button checked: lift the rule to clear them all.
    options_->setExclusive(false);
    for (QRadioButton* o : Option1) o->setChecked(false);
    options_->setExclusive(true);
}

void LumWindow::repaintControls() {
    // An exchange blocks the event loop: show the cleared controls before it starts.
    if (!isVisible()) return;
    for (QWidget* w : std::initializer_list<QWidget*>{
             Option1[0], Option1[1], Option1[2], Option1[3], Option1[4], Option1[5], Option1[6],
             COMP_LDR, DURE_LDR, comp_value_, dure_value_})
        w->repaint();
}

bool LumWindow::LIT_24C01() {
    return runGridRead(ctx_, QStringLiteral("Luminosité, grille : Lire"), grid_,
                       kBrightnessTransfer, 0, 127, false);
}

bool LumWindow::ECRIT_24C01() {
    return runGridWrite(ctx_, QStringLiteral("Luminosité, grille : Envoi"), grid_,
                        kBrightnessTransfer, 0, 127, false);
}

void LumWindow::but_RD_Click() {
    if (!PORT_OUVERT(ctx_.session(), ctx_.messages)) return;
    LIT_24C01();
}

void LumWindow::but_WR_Click() {
    if (!PORT_OUVERT(ctx_.session(), ctx_.messages)) return;
    ECRIT_24C01();
}

void LumWindow::but_LIT_LUM_Click() {
    ops::BrightnessRead read;
    const PanelOperation op{.name = QStringLiteral("Luminosité : Lit"),
                            .grid = grid_,
                            .prepare =
                                [this] {
                                    clearOptions();
                                    DURE_LDR->setValue(1);
                                    COMP_LDR->setValue(1);
                                    repaintControls();
                                    return true;
                                },
                            .succeeded = [this, &read] { showRead(read.reading); },
                            .success = ops::kReadDone,
                            .failureTold = FailureTold::WhenChecked};
    runRead(ctx_, op, [this, &read](Exchange& ex) {
        read = ops::readBrightness(ex, grid_, afterFailedRead(ctx_.session()));
        return read.outcome;
    });
}

void LumWindow::showRead(const memmap::BrightnessReading& r) {
    QStringList problems;
    DURE_LDR->setValue(shownWithin(r.period, kPeriodMin, kPeriodMax,
                                   QStringLiteral("Fréquence de commutation"), problems));
    COMP_LDR->setValue(shownWithin(r.threshold, kThresholdMin, kThresholdMax,
                                   QStringLiteral("Commutation JOUR/NUIT"), problems));
    clearOptions();
    if (r.option) Option1[static_cast<std::size_t>(*r.option)]->setChecked(true);

    // Like a blank memory, a value the controls cannot hold is told whatever SEL_REP says: the
    // next programming would write the value shown, not the one the panel holds.
    if (!problems.isEmpty()) {
        problems << QStringLiteral("Une programmation enverra la valeur affichée.");
        ctx_.messages.show(problems.join(QLatin1Char('\n')), Icon::Warning);
    }
}

void LumWindow::but_ECRIT_LUM_Click() {
    memmap::BrightnessSettings settings;
    const PanelOperation op{.name = QStringLiteral("Luminosité : Envoi"),
                            .grid = grid_,
                            .prepare =
                                [this, &settings] {
                                    const int option = selectedOption();
                                    if (option >= 0) settings.option = option;
                                    settings.period = DURE_LDR->value();
                                    settings.threshold = COMP_LDR->value();
                                    return true;
                                },
                            .success = ops::kProgrammingDone};
    runProgramming(ctx_, op, [this, &settings](Exchange& ex, const ops::WriteHooks& hooks) {
        return ops::programBrightness(ex, grid_, settings, afterFailedRead(ctx_.session()), hooks);
    });
}

}  // namespace veq
