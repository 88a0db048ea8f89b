#include "params/dump24c01.h"

#include <initializer_list>
#include <vector>

#include "panelmem/settings.h"
#include "params/controls.h"
#include "ui/twips.h"
#include "ui/windows.h"

// How the parameter window is built: its controls, their twips and captions, the keyboard order.
namespace veq {

using namespace params;

namespace {

// Top of the controls kept below the window's height.
constexpr int kHiddenTop = 5040;

}  // namespace

Dump24c01::Dump24c01(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("dump_24c01"));
    setWindowTitle(QStringLiteral(" Paramètres."));
    useWindowFont(this);

    buildTimeBaseFrame();
    buildRanges();
    buildCaptionBoxes();
    buildHiddenRow();
    buildGridArea();

    but_lit_para = new QPushButton(QStringLiteral("Lire les paramètres"), this);
    but_lit_para->setObjectName(QStringLiteral("but_lit_para"));
    placeTwips(but_lit_para, 60, 4020, 3015, 375);
    makeGreenBold(but_lit_para);
    connect(but_lit_para, &QPushButton::clicked, this, [this] { but_lit_para_Click(); });

    but_ecrit_para = new QPushButton(QStringLiteral("Programme les paramètres"), this);
    but_ecrit_para->setObjectName(QStringLiteral("but_ecrit_para"));
    placeTwips(but_ecrit_para, 3240, 4020, 3975, 375);
    makeGreenBold(but_ecrit_para);
    connect(but_ecrit_para, &QPushButton::clicked, this, [this] { but_ecrit_para_Click(); });

    setKeyboardOrder();
    pressButtonsOnEnter(this);
    Form_Load();
    // The row below the window's height, and the grid until the extension opens.
    keepHiddenControlsOutOfReach(this);
}

// Tab goes down each column as the window reads: the top row, the ranges with the slider
// between each two boxes, the reading button; the sliders under their captions, the programming
// button; then the strip and the grid.
void Dump24c01::setKeyboardOrder() {
    std::vector<QWidget*> order = {Option2[0],
                                   Option2[1],
                                   Option2[2],
                                   Option2[3],
                                   Text5,
                                   digitsGroup->button(1),
                                   digitsGroup->button(2),
                                   digitsGroup->button(3),
                                   suppressGroup->button(1),
                                   suppressGroup->button(2)};
    for (int i = 0; i < 5; ++i) {
        order.push_back(COULE[static_cast<size_t>(i)]);
        if (i < 4) order.push_back(HScroll1[static_cast<size_t>(i + 1)]);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{but_lit_para, HScroll3, HScroll2, HScroll4, HScroll5,
                                         but_ecrit_para, Command2, gridPanel_->cell(0)})
        order.push_back(w);
    for (std::size_t k = 1; k < order.size(); ++k) setTabOrder(order[k - 1], order[k]);
}

void Dump24c01::buildTimeBaseFrame() {
    QGroupBox* base =
        makeFrame(this, "Frame1", QStringLiteral("Unité de la cadence en impulsion par:"), 120, 60,
                  3495, 975);
    base->setToolTip(QStringLiteral("Un clic sur la base de temps"));
    timeBaseGroup = new QButtonGroup(this);
    struct Choice {
        const char* caption;
        const char* tooltip;
        int left, top, width;
    };
    const Choice choices[4] = {{"Heure", "Pièce par heure", 90, 285, 900},
                               {"Minute", "Pièce par minute", 90, 615, 900},
                               {"Seconde", "Pièce par seconde", 1020, 285, 1035},
                               {"Autre", "autre base de temps", 1020, 615, 1035}};
    for (int k = 0; k < 4; ++k) {
        const Choice& c = choices[k];
        QRadioButton* o = makeOption(base, timeBaseGroup, QStringLiteral("Option2(%1)").arg(k), k,
                                     QString::fromUtf8(c.caption), c.left, c.top, c.width);
        o->setToolTip(QString::fromUtf8(c.tooltip));
        connect(o, &QRadioButton::clicked, this, [this, k] { Option2_Click(k); });
        Option2[static_cast<size_t>(k)] = o;
    }
    Option2[0]->setChecked(true);
    setBackground(Option2[0], kGreenBack);

    Text3 = new QLineEdit(QStringLiteral("Base de temps :"), base);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setReadOnly(true);
    Text3->setFrame(false);
    Text3->setFocusPolicy(Qt::NoFocus);
    placeTwips(Text3, 2130, 285, 1260, 285);

    // The stored value of the choice selected at load, so that programming writes what "Heure"
    // means.
    Text5 = new QLineEdit(memmap::kTimeBaseStored[0], base);
    Text5->setObjectName(QStringLiteral("Text5"));
    Text5->setAccessibleName(QStringLiteral("Registre de la base de temps"));
    Text5->setToolTip(
        QStringLiteral("Registre BT automatique  ou manuelle sur Autre. Ne pas toucher."));
    Text5->setEnabled(false);
    placeTwips(Text5, 2130, 600, 1260, 300);

    QGroupBox* digits =
        makeFrame(this, "Frame2", QStringLiteral("Nombre de digits."), 3600, 60, 1695, 975);
    digitsGroup = new QButtonGroup(this);
    for (int k = 1; k <= 3; ++k)
        makeOption(digits, digitsGroup, QStringLiteral("NB_DIGIT(%1)").arg(k), k,
                   QString::number(k + 1), 90 + 525 * (k - 1), 450, 510);
    digitsGroup->button(3)->setChecked(true);

    QGroupBox* zeros =
        makeFrame(this, "Frame3", QStringLiteral("Suppression des zéros."), 5280, 60, 1875, 975);
    suppressGroup = new QButtonGroup(this);
    makeOption(zeros, suppressGroup, QStringLiteral("SUPRESS(1)"), 1, QStringLiteral("OUI"), 150,
               450, 780);
    makeOption(zeros, suppressGroup, QStringLiteral("SUPRESS(2)"), 2, QStringLiteral("NON"), 960,
               450, 780);
    suppressGroup->button(1)->setChecked(true);
}

void Dump24c01::buildRanges() {
    for (int i = 0; i < 6; ++i) {
        const bool fixed = i == 0 || i == 5;
        QScrollBar* s = makeSlider(this, settings::kRangeBounds[static_cast<size_t>(i)]);
        placeTwips(s, 60, 1260 + 480 * i, 1215, 255);
        s->setEnabled(!fixed);
        HScroll1[static_cast<size_t>(i)] = s;

        auto* p = new QLabel(this);
        p->setObjectName(QStringLiteral("PLAG(%1)").arg(i));
        placeTwips(p, 1380, 1260 + 480 * i, 1695, 255);
        if (i >= 1 && i <= 4)
            p->setToolTip(
                QStringLiteral("Ajuster la glissière horizontale pour déterminer la fin "
                               "et le début d'une plage."));
        PLAG[static_cast<size_t>(i)] = p;
    }
    PLAG[0]->setText(QStringLiteral("De 0 à "));
    PLAG[5]->setText(QStringLiteral("à 9999 ."));

    for (int i = 0; i < 5; ++i) {
        auto* c = new QLineEdit(QStringLiteral("Plage %1:").arg(i + 1), this);
        c->setObjectName(QStringLiteral("COULE(%1)").arg(i));
        c->setAccessibleName(QStringLiteral("Couleur de la plage %1").arg(i + 1));
        c->setToolTip(QStringLiteral("Un clic pour changer de couleur."));
        c->setReadOnly(true);
        c->setCursor(Qt::PointingHandCursor);
        placeTwips(c, 60, 1500 + 480 * i, 3015, 285);
        COULE[static_cast<size_t>(i)] = c;
        setRangeColour(i, settings::kRangeColours[static_cast<size_t>(i)]);
        new ClickFilter(c, [this, i] { COULE_Click(i); });
        connect(c, &QLineEdit::textChanged, this, [this, i] { COULE_Click(i); });
    }
    // The sliders over the boxes they sit between, as the captions are.
    for (QScrollBar* s : HScroll1) s->raise();

    for (int i = 1; i <= 4; ++i)
        connect(HScroll1[static_cast<size_t>(i)], &QScrollBar::valueChanged, this,
                [this, i] { HScroll1_Change(i); });
}

void Dump24c01::buildCaptionBoxes() {
    const QString adjust = QStringLiteral("Ajuster la glissière horizontale pour déterminer ");
    RAFR_AFF = makeCaptionBox(
        this, "RAFR_AFF", QStringLiteral("Moyenne de niveau 1"), kLevel1Caption + "1\n",
        adjust + QStringLiteral(" le nombre de pièce pris en compte pour le calcul de la moyenne "
                                "du niveau 1."));
    placeTwips(RAFR_AFF, 3180, 1260, 3975, 645);
    MOYENNE = makeCaptionBox(
        this, "MOYENNE", QStringLiteral("Moyenne de niveau 2"), kLevel2Caption + "1\n",
        adjust + QStringLiteral(" le nombre de moyenne du niveau 1 pris en compte pour le calcul "
                                "de la moyenne du niveau 2."));
    placeTwips(MOYENNE, 3180, 1860, 3975, 645);
    Text2 = makeCaptionBox(this, "Text2", QStringLiteral("Anti rebond numérique"),
                           QStringLiteral("Anti rebond numérique 1,0 mS.\n"),
                           adjust + QStringLiteral("l'antirebond."));
    placeTwips(Text2, 3180, 2460, 3975, 645);
    Text4 =
        makeCaptionBox(this, "Text4", QStringLiteral("Seuil d'arrêt"),
                       QStringLiteral("Cadence inférieur ou égale interpretée comme arrêt  (0).\n"),
                       adjust + QStringLiteral("les cadence basse comme des ZERO."));
    placeTwips(Text4, 3180, 3120, 3975, 525);

    HScroll3 = makeSlider(this, settings::kAveraging1);
    placeTwips(HScroll3, 3300, 1500, 3735, 255);
    HScroll2 = makeSlider(this, settings::kAveraging2);
    placeTwips(HScroll2, 3300, 2160, 3735, 255);
    HScroll4 = makeSlider(this, settings::kAntiBounce);
    placeTwips(HScroll4, 3300, 2700, 3735, 255);
    HScroll5 = makeSlider(this, settings::kStopThreshold);
    placeTwips(HScroll5, 3300, 3360, 3735, 255);
    connect(HScroll3, &QScrollBar::valueChanged, this, [this] { HScroll3_Change(); });
    connect(HScroll2, &QScrollBar::valueChanged, this, [this] { HScroll2_Change(); });
    connect(HScroll4, &QScrollBar::valueChanged, this, [this] { HScroll4_Change(); });
    connect(HScroll5, &QScrollBar::valueChanged, this, [this] { HScroll5_Change(); });

    Label21 = new QLabel(this);
    Label21->setObjectName(QStringLiteral("Label21"));
    placeTwips(Label21, 3240, 3660, 1635, 315);
    Label28 = new QLabel(this);
    Label28->setObjectName(QStringLiteral("Label28"));
    placeTwips(Label28, 4920, 3660, 2235, 315);
}

// Below the window's height of 4950 twips: read and written by the parameter operations, out of
// the operator's reach.
void Dump24c01::buildHiddenRow() {
    auto disabledLabel = [this](const QString& name, const QString& text, int left, int width) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setEnabled(false);
        placeTwips(l, left, kHiddenTop, width, 255);
        return l;
    };
    disabledLabel(QStringLiteral("intitu(2)"), QStringLiteral("Relais 1:"), 60, 840);
    HScroll6 = makeSlider(this, settings::kRelay1);
    placeTwips(HScroll6, 900, kHiddenTop, 1800, 255);
    disabledLabel(QStringLiteral("Label60"), QString(), 2760, 720);
    disabledLabel(QStringLiteral("intitu(3)"), QStringLiteral("Relais 2:"), 3600, 840);
    HScroll7 = makeSlider(this, settings::kRelay2);
    placeTwips(HScroll7, 4440, kHiddenTop, 1800, 255);
    disabledLabel(QStringLiteral("Label70"), QString(), 6300, 720);

    QGroupBox* light =
        makeFrame(this, "Frame4", QStringLiteral("Luminosité"), 60, kHiddenTop + 360, 3495, 615);
    light->setToolTip(QStringLiteral("Luminosié."));
    brightnessGroup = new QButtonGroup(this);
    const char* levels[5] = {"100%", "80%", "60%", "50%", "40%"};
    for (int k = 1; k <= 5; ++k)
        makeOption(light, brightnessGroup, QStringLiteral("Option1(%1)").arg(k), k,
                   QLatin1String(levels[k - 1]), 90 + 675 * (k - 1), 270, 660);

    QGroupBox* mode = makeFrame(this, "Frame5", QStringLiteral("Affichage en"), 3600,
                                kHiddenTop + 360, 3555, 615);
    modeGroup = new QButtonGroup(this);
    makeOption(mode, modeGroup, QStringLiteral("DECI_ENT(1)"), 1, QStringLiteral("entier"), 90, 270,
               1200);
    makeOption(mode, modeGroup, QStringLiteral("DECI_ENT(2)"), 2,
               QStringLiteral("décimal si possible"), 1320, 270, 2160);
    modeGroup->button(1)->setChecked(true);
}

void Dump24c01::buildGridArea() {
    gridPanel_ = new GridPanel(this, grid_);
    connect(gridPanel_->but_RD, &QPushButton::clicked, this, [this] { but_RD_Click(); });
    connect(gridPanel_->but_WR, &QPushButton::clicked, this, [this] { but_WR_Click(); });

    Extension = new QPushButton(QStringLiteral("Férmer l'extension."), this);
    Extension->setObjectName(QStringLiteral("Extension"));
    Extension->setToolTip(QStringLiteral(
        "Voir le flux de la centrale et ajuster la fréquence de lecture de celui-ci."));
    placeTwips(Extension, 7440, 3840, 6375, 375);
    connect(Extension, &QPushButton::clicked, this, [this] { Extension_Click(); });

    Command2 = new QPushButton(this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAccessibleName(QStringLiteral("Ouvrir l'extension"));
    Command2->setToolTip(QStringLiteral("Section non documentée."));
    setBackground(Command2, kWhiteBack);
    // Clear of the right edge of "Programme les paramètres" (which ends at 7215), still a thin
    // strip along the right edge of the narrow window. Its right edge runs under the grid's
    // headings, which stay readable over it.
    placeTwips(Command2, 7230, -120, 255, 4575);
    Command2->lower();
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

void Dump24c01::Form_Load() {
    setClientSizeTwips(this, 7410, 4950);
    showGrid(false);
    for (int i = 1; i <= 4; ++i) rangeCaption(i);
    stopThresholdPreview();
    // The caption says what the slider holds, and so what a programming writes: 0,1 ms for its
    // initial value 1.
    HScroll4_Change();
}

}  // namespace veq
