#include "link/ui/detect.h"

#include <QFont>

#include "ui/twips.h"
#include "ui/windows.h"

namespace veq {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGreen(0, 255, 0);

void applyCell(QLabel* label, const DetectionCell& cell) {
    label->setText(cell.caption);
    setBackground(label, cell.green ? kGreen : kWhite);
}

}  // namespace

DetectWindow::DetectWindow(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("DETECT"));
    setWindowTitle(QStringLiteral(" Détection."));
    useWindowFont(this);
    setClientSizeTwips(this, 3225, 3825);

    Command1 = new QPushButton(QStringLiteral("Détection"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    placeTwips(Command1, -120, 3480, 3375, 375);
    setBackground(Command1, kGreen);
    Command1->setFont(comicFont(9.75, true));
    Command1->setToolTip(
        QStringLiteral("Recherche des ports COMs disponibles et d'un chronomètre connecté."));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    struct Column {
        int firstIndex;
        int left;
        int width;
        const char* what;
    };
    const Column columns[] = {
        {1, 120, 735, "Port COM %1"},
        {1 + PortDetection::kPortCount, 960, 735, "État du port COM %1"},
        {1 + 2 * PortDetection::kPortCount, 1800, 1400, "Afficheur sur le port COM %1"},
    };
    for (const Column& c : columns) {
        for (int k = PortDetection::kFirstPort; k <= PortDetection::kLastPort; ++k) {
            const int index = c.firstIndex + k - 1;
            auto* l = new QLabel(this);
            l->setObjectName(QStringLiteral("Label1(%1)").arg(index));
            // What the label stands for goes to its description: a label given a name publishes
            // that name instead of its text, and the scan's results could not be heard.
            l->setAccessibleDescription(QString::fromUtf8(c.what).arg(k));
            placeTwips(l, c.left, 120 + 240 * (k - 1), c.width, 255);
            Label1_.at(index - 1) = l;
        }
    }
    for (int k = PortDetection::kFirstPort; k <= PortDetection::kLastPort; ++k)
        showRow(k, PortDetection::designRow(k));
    pressButtonsOnEnter(this);
    keepHiddenControlsOutOfReach(this);
}

void DetectWindow::Command1_Click() {
    // Up to a second per port that opens, fourteen ports.
    BusyCursor busy;
    PortDetection detection(ctx_.session(), ctx_.clock);
    detection.setObserver({[this, &detection](int k) { showRow(k, detection.row(k)); },
                           [this](int k) { repaintRow(k); }});
    detection.scan();
}

void DetectWindow::showRow(int port, const DetectionRow& row) {
    applyCell(label(port), row.port);
    applyCell(label(PortDetection::kPortCount + port), row.state);
    applyCell(label(2 * PortDetection::kPortCount + port), row.panel);
}

void DetectWindow::repaintRow(int port) {
    // The scan holds the user-interface thread: the row is drawn now or not until it ends.
    label(port)->repaint();
    label(PortDetection::kPortCount + port)->repaint();
    label(2 * PortDetection::kPortCount + port)->repaint();
}

}  // namespace veq
