#include "panelmem/ui/gridpanel.h"

#include <algorithm>

#include <QRegularExpressionValidator>

#include "ui/twips.h"
#include "ui/windows.h"

namespace veq {

namespace {

const QColor kGreen(0, 255, 0);

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
}

QPushButton* gridButton(QWidget* window, const char* name, const QString& caption,
                        const QString& tooltip, const QRect& geometry) {
    auto* b = new QPushButton(caption, window);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    b->setToolTip(tooltip);
    setBackground(b, kGreen);
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    return b;
}

}  // namespace

QRect GridPanel::at(int left, int top, int width, int height) const {
    return twipsRect(left + shift_.x(), top + shift_.y(), width, height);
}

GridPanel::GridPanel(QWidget* window, MemoryGrid& grid, const Options& options)
    : QObject(window), grid_(grid), shift_(options.origin - QPoint(7440, 0)) {
    Label26 = new QLabel(options.title, window);
    Label26->setObjectName(QStringLiteral("Label26"));
    QRect title = at(7440, 0, 6120, 255);
    // A title longer than the grid is shown whole, past the grid's right edge.
    title.setWidth(
        std::max(title.width(), Label26->fontMetrics().horizontalAdvance(options.title)));
    Label26->setGeometry(title);

    std::vector<QLabel*> headings;
    for (int c = 0; c < 16; ++c) {
        auto* h = new QLabel(QString::number(c, 16).toUpper(), window);
        headings.push_back(h);
        h->setObjectName(QStringLiteral("Label%1").arg(c + 1));
        h->setAlignment(Qt::AlignCenter);
        h->setGeometry(at(7800 + 360 * c, 240, 375, 240));
    }
    const int rowLabels[8] = {17, 18, 19, 20, 22, 23, 24, 25};
    for (int r = 0; r < 8; ++r) {
        auto* h = new QLabel(QStringLiteral("%1xh").arg(r), window);
        headings.push_back(h);
        h->setObjectName(QStringLiteral("Label%1").arg(rowLabels[r]));
        h->setGeometry(at(7440, 480 + 360 * r, 360, 285));
    }

    // Cells take hexadecimal digits only, at most two, shown upper-case; what the transfers put
    // there ("Er", "?", " ") is shown as it is.
    auto* hex = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,2}")), this);
    auto makeCell = [&](int n, const QRect& geometry, const QString& accessible) {
        auto* e = new QLineEdit(window);
        e->setObjectName(QStringLiteral("Text1(%1)").arg(n));
        e->setAccessibleName(accessible);
        e->setMaxLength(2);
        e->setValidator(hex);
        e->setAlignment(Qt::AlignCenter);
        e->setGeometry(geometry);
        e->setFrame(true);
        e->setTextMargins(0, 0, 0, 0);
        // The validator only guards a cell whose text was valid before the keystroke: typing
        // into " " or "Er" left by a transfer gets past it. So what the operator leaves is
        // cleaned here too: its hexadecimal digits, two at most, upper-case.
        connect(e, &QLineEdit::textEdited, this, [this, e, n](const QString& typed) {
            QString clean;
            int cursor = 0;
            const int pos = e->cursorPosition();
            for (int i = 0; i < typed.size(); ++i) {
                const QChar c = typed.at(i);
                if (clean.size() < 2 && isHexDigit(c)) {
                    clean += c.toUpper();
                    if (i < pos) ++cursor;
                }
            }
            if (clean != typed) {
                e->setText(clean);
                e->setCursorPosition(cursor);
            }
            grid_.setTypedText(n, clean);
        });
        cells_[static_cast<size_t>(n)] = e;
    };
    for (int n = 0; n < MemoryGrid::kBytes; ++n) {
        makeCell(n, at(7800 + 360 * (n % 16), 480 + 360 * (n / 16), 375, 285),
                 QStringLiteral("Octet %1h")
                     .arg(QString::number(n, 16).toUpper().rightJustified(2, QLatin1Char('0'))));
    }

    but_RD = gridButton(window, "but_RD", QStringLiteral("Lire "),
                        QStringLiteral("Lecture EEPROM du panneau."), at(7800, 3360, 1695, 375));
    if (options.editButtons) {
        but_edit = gridButton(window, "but_edit", QStringLiteral("EDIT"), QString(),
                              at(9600, 3360, 975, 375));
        makeCell(MemoryGrid::kFillCell, at(10680, 3360 + 45, 615, 285),
                 QStringLiteral("Valeur de remplissage"));
        but_lin = gridButton(window, "but_lin", QStringLiteral("Lin"), QString(),
                             at(11400, 3360, 1215, 375));
        but_WR = gridButton(window, "but_WR", QStringLiteral("Envoi"),
                            QStringLiteral("Envoi des paramètres couleur au panneau."),
                            at(12720, 3360, 1095, 375));
        connect(but_edit, &QPushButton::clicked, this, [this] { grid_.fill(); });
        connect(but_lin, &QPushButton::clicked, this, [this] { grid_.addressPattern(); });
    }

    grid_.setRedrawHook([this](int index) { show(index); });
    for (int n = 0; n < MemoryGrid::kCells; ++n) show(n);
    controls_.push_back(Label26);
    controls_.insert(controls_.end(), headings.begin(), headings.end());
    for (QLineEdit* e : cells_)
        if (e) controls_.push_back(e);
    for (QPushButton* b : {but_RD, but_edit, but_lin, but_WR})
        if (b) controls_.push_back(b);
}

void GridPanel::setShown(bool shown) {
    for (QWidget* c : controls_) c->setVisible(shown);
}

void GridPanel::show(int index) {
    if (index < 0 || index >= MemoryGrid::kCells) return;
    QLineEdit* e = cells_[static_cast<size_t>(index)];
    if (!e) return;
    const QString text = grid_.text(index);
    if (e->text() != text) e->setText(text);
    const QColor c = fromColourNumber(grid_.colour(index));
    if (background(e) != c) setBackground(e, c);
    // The exchange blocks the event loop: paint now so the operator watches the transfer.
    if (e->isVisible()) e->repaint();
}

}  // namespace veq
