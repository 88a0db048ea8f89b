#include "params/dump24c01.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include <QEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

#include "journal/known.h"
#include "link/ui/twips.h"
#include "link/ui/windows.h"
#include "panelmem/messages.h"
#include "panelmem/operations.h"
#include "panelmem/paramfile.h"
#include "panelmem/settings.h"
#include "panelmem/transfer.h"
#include "panelmem/ui/operation.h"

namespace veq {

namespace {

const QColor kGreenBack(0, 255, 0);
const QColor kWhiteBack(255, 255, 255);

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

// Top of the controls kept below the window's height.
constexpr int kHiddenTop = 5040;

const QString kLevel1Caption = QStringLiteral("Niveau 1. Moyenne sur 1,2,4,8 cadences. => ");
const QString kLevel2Caption = QStringLiteral("Niveau 2. Moyenne sur 1,2,4,8,16 du niveau 1. => ");

// Captions show numbers with the system's decimal separator, never grouped: "0,5", "9999".
QLocale plainLocale() {
    QLocale l;
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    return l;
}

// The shortest decimal text of a number, without trailing zeros: 16, 0,5, 25,5.
QString decimal(double v) {
    return plainLocale().toString(v, 'f', QLocale::FloatingPointShortest);
}

QString integer(int v) {
    return plainLocale().toString(v);
}

void makeGreenBold(QPushButton* b) {
    setBackground(b, kGreenBack);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
}

// A click (or the space bar) on a control that has no click signal of its own: a left button
// pressed and released on it. The second press of a double click comes as a double-click event,
// so a double click counts as one click.
class ClickFilter : public QObject {
  public:
    ClickFilter(QWidget* target, std::function<void()> onClick)
        : QObject(target), onClick_(std::move(onClick)) {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        auto* w = static_cast<QWidget*>(o);
        switch (e->type()) {
            case QEvent::MouseButtonPress:
                pressed_ = static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton;
                break;
            case QEvent::MouseButtonDblClick:
                pressed_ = false;
                break;
            case QEvent::MouseButtonRelease: {
                auto* m = static_cast<QMouseEvent*>(e);
                const bool click = std::exchange(pressed_, false) &&
                                   m->button() == Qt::LeftButton &&
                                   w->rect().contains(m->position().toPoint());
                if (click) onClick_();
                break;
            }
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Space) {
                    onClick_();
                    return true;
                }
                break;
            default:
                break;
        }
        return false;
    }

  private:
    std::function<void()> onClick_;
    bool pressed_ = false;
};

// The arrow keys of a horizontal scroll bar as in Windows: Left towards the minimum, Right towards
// the maximum. A Qt scroll bar inverts its keys (so that Page Down goes down a vertical one), and
// its Left and Right with them; Up, Down, Page Up and Page Down are right as they are.
class ArrowKeys : public QObject {
  public:
    explicit ArrowKeys(QScrollBar* bar) : QObject(bar), bar_(bar) { bar->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key != Qt::Key_Left && key != Qt::Key_Right) return false;
        bar_->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                : QAbstractSlider::SliderSingleStepAdd);
        return true;
    }

  private:
    QScrollBar* bar_;
};

// A slider of the settings table: its control name, its label for screen readers, its range and
// its value at load.
QScrollBar* makeSlider(QWidget* parent, const settings::Numeric& setting) {
    auto* s = new QScrollBar(Qt::Horizontal, parent);
    s->setObjectName(QLatin1String(setting.control));
    s->setAccessibleName(QString::fromUtf8(setting.label));
    s->setRange(setting.minimum, setting.maximum);
    s->setSingleStep(1);
    s->setPageStep(1);
    s->setValue(setting.initial);
    // A scroll bar takes no focus of its own: the arrow keys would go on to the control that had
    // it (a time base option) while the operator looks at the slider just clicked.
    s->setFocusPolicy(Qt::StrongFocus);
    new ArrowKeys(s);
    return s;
}

QPlainTextEdit* makeCaptionBox(QWidget* parent, const char* name, const QString& accessible,
                               const QString& text, const QString& tooltip) {
    auto* t = new QPlainTextEdit(parent);
    t->setObjectName(QLatin1String(name));
    t->setAccessibleName(accessible);
    t->setToolTip(tooltip);
    t->setPlainText(text);
    t->setReadOnly(true);
    // It shows what the slider under it holds; the keyboard goes to the slider.
    t->setFocusPolicy(Qt::NoFocus);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->document()->setDocumentMargin(1);
    // One line above the slider that covers the rest of the box.
    t->setFont(windowFont(10));
    return t;
}

QRadioButton* makeOption(QGroupBox* frame, QButtonGroup* group, const QString& name, int id,
                         const QString& caption, int left, int top, int width) {
    auto* o = new QRadioButton(caption, frame);
    o->setObjectName(name);
    placeTwips(o, left, top, width, 285);
    group->addButton(o, id);
    return o;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, int left, int top,
                     int width, int height) {
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(QLatin1String(name));
    placeTwips(g, left, top, width, height);
    return g;
}

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
    journal::putBytes(grid_, from, bytes);
    for (int a = from; a < from + bytes.size(); ++a) grid_.setColour(a, colour::kWhite);
    if (from > kRateTransfer.firstAddress || from + bytes.size() - 1 < kRateLast) return false;
    if (memmap::isBlank(grid_)) return false;
    applySettings(paramfile::settingsFromMemory(grid_));
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
