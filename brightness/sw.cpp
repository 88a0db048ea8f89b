#include "brightness/sw.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>

#include "link/kldbase.h"
#include "panelmem/memmap.h"
#include "panelmem/messages.h"
#include "panelmem/transfer.h"
#include "panelmem/ui/gridpanel.h"
#include "panelmem/ui/operation.h"
#include "ui/twips.h"
#include "ui/windows.h"

namespace veq {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGreen(0, 255, 0);

const char* const kBankNames[2] = {"SW2", "SW3"};
const char* const kSwitchNames[2] = {"SW2", "SW1"};
const char* const kCaptionNames[2] = {"Text2", "Text3"};
const char* const kCaptions[2][SwWindow::kSwitches] = {
    {"DIP1 Anti-rebond\r\n", "DIP2 Signal actif\r\n", "DIP3 Luminosité (voir Doc)\r\n",
     "DIP4 Luminosité (voir Doc)\r\n", "DIP5 Point décimal (voir Doc)\r\n",
     "DIP6 Point décimal (voir Doc)\r\n", "DIP7 Point décimal (voir Doc)\r\n",
     "DIP8 Point décimal (voir Doc)\r\n"},
    {"DIP1 Nbr digit  (Voir doc.)\r\n", "DIP2 Nbr digit  (Voir doc.)\r\n",
     "DIP3 Nbr digit  (Voir doc.)\r\n", "DIP4 Valeur négative\r\n", "DIP5 RAZ automatique\r\n",
     "DIP6 Zéro de tête\r\n", "DIP7 Report de visu\r\n", "DIP8 Test de l'affichage\r\n"}};

// A switch looks like a DIP switch: a dark slot with a white thumb that fills half of it, top or
// bottom, and no arrows.
const QString kSwitchStyle = QStringLiteral(
    "QScrollBar:vertical { background: #505050; border: 1px solid #202020; width: 15px; margin: 0; "
    "}"
    "QScrollBar::handle:vertical { background: white; border: 1px solid #202020; }"
    "QScrollBar::handle:vertical:focus { border: 2px solid #0060c0; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");

const QString kRowLabel = QStringLiteral("1   2  3  4  5  6  7  8");
const QString kNoModel = QStringLiteral("   --   ");
const QString kThreeColours = QStringLiteral("VEQ trois couleurs.");
const QString kOneColour = QStringLiteral("VEQ une couleur.   ");
const QString kTitle = QStringLiteral(
    "24C01  (128octets)    -24C01  (128octets)    -24C01  (128octets)    -24C01  (128octets)    "
    "-24C01  (128octets)  ");

// Layout. The banks stand side by side, each over its column of caption boxes; the colour
// model and the button below them; the grid to the right. Heights are in twips; the banks are as
// wide as their row of DIP numbers needs, and never narrower than a caption.
constexpr int kLeft = 120;
constexpr int kMinBankWidth = 3060;
constexpr int kBankGap = 120;
constexpr int kBankTop = 60;
constexpr int kBankHeight = 1680;
constexpr int kCaptionsTop = kBankTop + kBankHeight + 60;
constexpr int kCaptionPitch = 300;
constexpr int kCaptionHeight = 285;
constexpr int kModelTop = kCaptionsTop + SwWindow::kSwitches * kCaptionPitch + 60;
constexpr int kButtonTop = kModelTop + 360;
constexpr int kHeight = kButtonTop + 375 + 120;
constexpr int kGridWidth = 6375;

// Inside a bank: the row of DIP numbers, a switch under each digit, "ON" at the left, level with
// the top of the switches.
constexpr int kRowLabelLeft = 600;
constexpr int kRowLabelTop = 300;
constexpr int kSwitchTop = 600;
constexpr int kSwitchHeight = 960;
constexpr int kSwitchWidth = 255;
constexpr int kSwitchGap = 90;  // at least this much between two switches

}  // namespace

// The row label "1   2  3  4  5  6  7  8" set in a font spaced out enough for a switch to stand
// under each digit, and where each digit's centre falls (pixels from the label's left edge).
struct DipRow {
    QFont font;
    std::array<int, SwWindow::kSwitches> centres{};
    int width = 0;
};

static DipRow dipRow(QFont font) {
    std::array<int, SwWindow::kSwitches> at{};
    for (int k = 0, n = 0; k < kRowLabel.size() && n < SwWindow::kSwitches; ++k)
        if (kRowLabel.at(k).isDigit()) at[static_cast<std::size_t>(n++)] = k;

    auto centres = [&](const QFontMetrics& m) {
        std::array<int, SwWindow::kSwitches> c{};
        for (std::size_t i = 0; i < at.size(); ++i)
            c[i] = m.horizontalAdvance(kRowLabel.left(at[i])) +
                   m.horizontalAdvance(kRowLabel.at(at[i])) / 2;
        return c;
    };
    font.setBold(true);
    // Letter spacing adds to every character between two digits.
    const auto plain = centres(QFontMetrics(font));
    const int pitch = px(kSwitchWidth) + px(kSwitchGap);
    int spacing = 0;
    for (std::size_t i = 1; i < at.size(); ++i) {
        const int chars = at[i] - at[i - 1];
        const int missing = pitch - (plain[i] - plain[i - 1]);
        spacing = std::max(spacing, (missing + chars - 1) / chars);
    }
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    DipRow row;
    row.font = font;
    const QFontMetrics m(font);
    row.centres = centres(m);
    row.width = m.horizontalAdvance(kRowLabel);
    return row;
}

SwWindow::SwWindow(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("SW"));
    setWindowTitle(QStringLiteral(" Lecture de la configuration des microswitches."));
    useWindowFont(this);

    const DipRow row = dipRow(font());
    const int bankWidth =
        std::max(kMinBankWidth, kRowLabelLeft + row.width * 15 + kRowLabelLeft / 2);
    const int banksWidth = 2 * bankWidth + kBankGap;
    const int gridLeft = kLeft + banksWidth + 240;
    setClientSizeTwips(this, gridLeft + kGridWidth + 120, kHeight);

    banks_[0] = makeBank(0, kLeft, bankWidth, row);
    banks_[1] = makeBank(1, kLeft + bankWidth + kBankGap, bankWidth, row);

    Label30 = new QLabel(this);
    Label30->setObjectName(QStringLiteral("Label30"));
    // Described rather than named, so that the label publishes the model it shows.
    Label30->setAccessibleDescription(QStringLiteral("Modèle de couleur du panneau"));
    Label30->setAlignment(Qt::AlignCenter);
    Label30->setEnabled(false);
    placeTwips(Label30, kLeft, kModelTop, banksWidth, 285);

    LIT_SW = new QPushButton(QStringLiteral("Lire la position des microswitches"), this);
    LIT_SW->setObjectName(QStringLiteral("LIT_SW"));
    placeTwips(LIT_SW, kLeft, kButtonTop, banksWidth, 375);
    connect(LIT_SW, &QPushButton::clicked, this, [this] { LIT_SW_Click(); });

    GridPanel::Options grid;
    grid.origin = QPoint(gridLeft, 0);
    grid.title = kTitle;
    grid.editButtons = false;
    gridPanel_ = new GridPanel(this, grid_, grid);
    connect(gridPanel_->but_RD, &QPushButton::clicked, this, [this] { but_RD_Click(); });
    // The grid's title, five times as long as the other windows' one, is shown whole.
    const int titleRight = gridPanel_->Label26->geometry().right() + 1 + px(120);
    if (titleRight > width()) setClientSizeTwips(this, titleRight * 15, kHeight);
    pressButtonsOnEnter(this);
    keepHiddenControlsOutOfReach(this);
}

SwWindow::Bank SwWindow::makeBank(int bank, int left, int width, const DipRow& dips) {
    Bank b;
    const QString name = QLatin1String(kBankNames[bank]);
    b.frame = new QGroupBox(name, this);
    b.frame->setObjectName(QStringLiteral("Frame_%1").arg(name));
    placeTwips(b.frame, left, kBankTop, width, kBankHeight);

    auto* on = new QLabel(QStringLiteral("ON"), b.frame);
    on->setObjectName(QStringLiteral("Label_ON_%1").arg(name));
    placeTwips(on, 120, kSwitchTop, 420, 255);

    auto* row = new QLabel(kRowLabel, b.frame);
    row->setObjectName(QStringLiteral("Label_DIP_%1").arg(name));
    row->setFont(dips.font);
    const QPoint origin = twipsRect(kRowLabelLeft, kRowLabelTop, 0, 0).topLeft();
    row->setGeometry(origin.x(), origin.y(), dips.width + 4, QFontMetrics(dips.font).height());

    for (int i = 0; i < kSwitches; ++i) {
        auto* s = new QScrollBar(Qt::Vertical, b.frame);
        s->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(kSwitchNames[bank])).arg(i));
        s->setRange(kOn, kOff);
        s->setSingleStep(1);
        s->setPageStep(1);
        s->setValue(kOff);
        s->setStyleSheet(kSwitchStyle);
        s->setFocusPolicy(Qt::TabFocus);
        s->setAccessibleName(QStringLiteral("Interrupteur %1 du banc %2").arg(i + 1).arg(name));
        const QRect r = twipsRect(0, kSwitchTop, kSwitchWidth, kSwitchHeight);
        const int centre = origin.x() + dips.centres[static_cast<std::size_t>(i)];
        s->setGeometry(centre - r.width() / 2, r.y(), r.width(), r.height());
        connect(s, &QScrollBar::valueChanged, this, [this, bank, i] { colourRule(bank, i); });
        b.switches[static_cast<std::size_t>(i)] = s;

        auto* c = new QLineEdit(QString::fromUtf8(kCaptions[bank][i]), this);
        c->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(kCaptionNames[bank])).arg(i));
        c->setReadOnly(true);
        c->setCursorPosition(0);
        c->setAccessibleName(
            QStringLiteral("Légende de l'interrupteur %1 du banc %2").arg(i + 1).arg(name));
        c->setToolTip(QStringLiteral("Cliquer pour basculer l'interrupteur."));
        setBackground(c, kWhite);
        placeTwips(c, left, kCaptionsTop + kCaptionPitch * i, width, kCaptionHeight);
        c->installEventFilter(this);
        b.captions[static_cast<std::size_t>(i)] = c;
    }
    return b;
}

void SwWindow::colourRule(int bank, int i) {
    const Bank& b = banks_[static_cast<std::size_t>(bank)];
    QScrollBar* s = b.switches[static_cast<std::size_t>(i)];
    QLineEdit* c = b.captions[static_cast<std::size_t>(i)];
    const bool on = s->value() == kOn;
    setBackground(c, on ? kGreen : kWhite);
    c->setAccessibleDescription(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

void SwWindow::toggle(int bank, int i) {
    const Bank& b = banks_[static_cast<std::size_t>(bank)];
    QScrollBar* s = b.switches[static_cast<std::size_t>(i)];
    QLineEdit* c = b.captions[static_cast<std::size_t>(i)];
    const QColor now = background(c);
    if (now == kGreen) {
        setBackground(c, kWhite);
        s->setValue(kOff);
    } else if (now == kWhite) {
        setBackground(c, kGreen);
        s->setValue(kOn);
    }
}

bool SwWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool click = event->type() == QEvent::MouseButtonPress &&
                       static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    // The space bar does for the keyboard what the click does for the mouse.
    const bool key =
        event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space;
    if (click || key) {
        for (int bank = 0; bank < 2; ++bank) {
            for (int i = 0; i < kSwitches; ++i) {
                if (banks_[static_cast<std::size_t>(bank)].captions[static_cast<std::size_t>(i)] ==
                    watched) {
                    toggle(bank, i);
                    return key;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool SwWindow::LIT_24C01() {
    return runGridRead(ctx_, QStringLiteral("Microswitches, grille : Lire"), grid_,
                       kMicroswitchTransfer, 0, 127, false);
}

void SwWindow::but_RD_Click() {
    if (!PORT_OUVERT(ctx_.session(), ctx_.messages)) return;
    LIT_24C01();
}

void SwWindow::LIT_SW_Click() {
    ops::SwitchesRead read;
    const PanelOperation op{.name = QStringLiteral("Lire la position des microswitches"),
                            .grid = grid_,
                            .prepare =
                                [this] {
                                    clearSwitches();
                                    return true;
                                },
                            .succeeded = [this, &read] { showSwitches(read.switches); },
                            .success = ops::kReadDone,
                            .failureTold = FailureTold::WhenChecked};
    runRead(ctx_, op, [this, &read](Exchange& ex) {
        read = ops::readSwitches(ex, grid_, afterFailedRead(ctx_.session()));
        return read.outcome;
    });
}

void SwWindow::clearSwitches() {
    const bool shown = isVisible();
    Label30->setText(kNoModel);
    if (shown) Label30->repaint();
    for (int i = 0; i < kSwitches; ++i) {
        for (int bank : {1, 0}) {
            const Bank& b = banks_[static_cast<std::size_t>(bank)];
            b.switches[static_cast<std::size_t>(i)]->setValue(kOff);
            colourRule(bank, i);
        }
        for (int bank : {1, 0}) {
            QLineEdit* c =
                banks_[static_cast<std::size_t>(bank)].captions[static_cast<std::size_t>(i)];
            setBackground(c, kWhite);
            if (shown) c->repaint();
        }
    }
}

void SwWindow::showSwitches(const memmap::Switches& s) {
    for (int i = 0; i < kSwitches; ++i)
        banks_[1].switches[static_cast<std::size_t>(i)]->setValue(
            s.sw3[static_cast<std::size_t>(i)] ? kOn : kOff);
    for (int i = 0; i < kSwitches; ++i)
        banks_[0].switches[static_cast<std::size_t>(i)]->setValue(
            s.sw2[static_cast<std::size_t>(i)] ? kOn : kOff);
    if (s.model == memmap::ColourModel::ThreeColours) Label30->setText(kThreeColours);
    if (s.model == memmap::ColourModel::OneColour) Label30->setText(kOneColour);
}

}  // namespace veq
